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
  const InputState fresh;
  EXPECT_EQ(Bytes(fresh.buttons) | fresh.mouseX | fresh.mouseY | fresh.reserved, 0u);
  EXPECT_EQ(fresh.joyX + fresh.joyY, 0.0f);
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
  for (int i : {32, 1000, -1, -8, INT_MIN}) EXPECT_EQ(static_cast<int>(a[i] = 1), 0) << i;
  EXPECT_EQ(Bytes(a), 0x400u);
  // Init: n / 8 clear bytes (12 bits give one), bit 0 selected.
  a.Init(12);
  a[11] = 1;
  a[7] = 1;
  EXPECT_EQ(static_cast<int>(a[11]), 0);
  EXPECT_EQ(a.bits[0], 0x80);
  a.Init(8);
  EXPECT_EQ(a.bits[0] | a.index, 0);
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
  // As the per-frame input update copies a polled record and releases it.
  InputState frame;
  auto* polled = new InputState(source);
  frame = *polled;
  delete polled;
  EXPECT_EQ(Bytes(frame.buttons), 0x7u);
  EXPECT_EQ(frame.buttons.index, 1);
  // Sets of different sizes.
  BitArray small;
  small.Init(8);
  small[5] = 1;
  target.buttons = small;
  EXPECT_EQ(target.buttons.bits[0], 0x20);
  EXPECT_EQ(static_cast<int>(target.buttons[8]), 0);
  small = source.buttons;
  EXPECT_EQ(static_cast<int>(small[2]), 1);
  BitArray big;
  big.Init(32);
  big[20] = 1;
  small = big;
  EXPECT_EQ(static_cast<int>(small[20]), 1);
}

TEST(KeyboardState, AKeyIsHeldByTheHighBitOfItsByte) {
  KeyboardState k;
  k.keys[kKeyDown] = 0x80;
  k.keys[kKeyLeft] = 0xFF;
  k.keys[kKeyRight] = 0x7F;
  for (int code = -1; code <= 256; ++code) {
    EXPECT_EQ(k.IsKeyDown(code), code == kKeyDown || code == kKeyLeft) << code;
  }
}

}  // namespace
