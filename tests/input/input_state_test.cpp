#include "input/input_state.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

// The four bytes of a 32-bit set, lowest byte first, as one number.
uint32_t Bytes(const BitArray& a) {
  return a.bits[0] | a.bits[1] << 8 | a.bits[2] << 16 | uint32_t{a.bits[3]} << 24;
}

TEST(BitArray, BitILiesAtByteIOver8AndIndicesOutsideReadZeroAndWriteNothing) {
  for (int i = 0; i < 32; ++i) {
    BitArray a;
    a[i] = 0x80;  // the devices assign the masked byte
    EXPECT_EQ(Bytes(a), uint32_t{1} << i) << i;
    EXPECT_EQ(static_cast<int>(a[i]), 1) << i;
  }
  BitArray a;
  a[9] = 1;
  a[10] = 1;
  a[9] = 0;
  for (int i : {32, -1, -8, INT_MIN}) EXPECT_EQ(static_cast<int>(a[i] = 1), 0) << i;
  EXPECT_EQ(Bytes(a), 0x400u);
  // Init: n / 8 clear bytes (12 bits give one), bit 0 selected.
  a.Init(12);
  a[11] = 1;
  a[7] = 1;
  EXPECT_EQ(a.bits[0], 0x80);
  a.Init(7);  // no byte at all
  EXPECT_EQ(static_cast<int>(a[0] = 1), 0);
}

TEST(BitArray, CopiesOwnTheirBitsAndKeepTheSelection) {
  InputState source;
  source.buttons[0] = 1;
  source.buttons[2] = 1;
  source.buttons[1] = 1;  // leaves bit 1 selected
  InputState copy(source);
  InputState target;
  target.buttons[31] = 1;
  target = copy;
  EXPECT_EQ(copy.buttons.index + target.buttons.index, 2);
  copy.buttons[0] = 0;
  target.buttons[2] = 0;
  EXPECT_EQ(Bytes(source.buttons) << 8 | Bytes(copy.buttons) << 4 | Bytes(target.buttons), 0x763u);
  // Sets of different sizes.
  BitArray small;
  small.Init(8);
  small[5] = 1;
  target.buttons = small;
  EXPECT_EQ(target.buttons.bits[0], 0x20);
  EXPECT_EQ(static_cast<int>(target.buttons[8]), 0);
  small = source.buttons;
  EXPECT_EQ(static_cast<int>(small[2]), 1);
}

}  // namespace
