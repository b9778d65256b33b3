#include "input/input_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The four bytes of a 32-bit set, lowest byte first, as one number.
uint32_t Bytes(const BitArray& a) {
  return static_cast<uint32_t>(a.bits[0]) | static_cast<uint32_t>(a.bits[1]) << 8 |
         static_cast<uint32_t>(a.bits[2]) << 16 | static_cast<uint32_t>(a.bits[3]) << 24;
}

TEST(BitArray, FreshSetReadsZeroAndKeepsTheLastSelection) {
  InputState state;
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(static_cast<int>(state.buttons[i]), 0) << i;
    EXPECT_EQ(state.buttons.index, i);
  }
  EXPECT_EQ(Bytes(state.buttons), 0u);
  EXPECT_EQ(state.mouseX, 0);
  EXPECT_EQ(state.mouseY, 0);
  EXPECT_EQ(state.joyX, 0.0f);
  EXPECT_EQ(state.joyY, 0.0f);
  EXPECT_EQ(state.reserved, 0);
}

TEST(BitArray, BitLayoutLowestBitFirst) {
  // Every single bit lands at byte i / 8, value 1 << (i % 8): as one
  // little-endian 32-bit number, bit i is 1 << i.
  for (int i = 0; i < 32; ++i) {
    BitArray a;
    a[i] = 1;
    EXPECT_EQ(Bytes(a), uint32_t{1} << i) << i;
    EXPECT_EQ(static_cast<int>(a), 1) << i;  // the selection stays
  }

  BitArray a;
  a[8] = 0x80;  // the devices assign the masked byte
  a[9] = 1;
  a[10] = 1;
  EXPECT_EQ(a.bits[1], 0x07);
  a[9] = 0;
  EXPECT_EQ(a.bits[1], 0x05);
  EXPECT_EQ(a.index, 9);
  EXPECT_EQ(static_cast<int>(a[8]), 1);
  EXPECT_EQ(static_cast<int>(a[9]), 0);
  EXPECT_EQ(Bytes(a), 0x0500u);

  // Init starts over: clear bytes, bit 0 selected.
  a.Init(16);
  EXPECT_EQ(a.index, 0);
  EXPECT_EQ(a.bits[0], 0);
  EXPECT_EQ(a.bits[1], 0);
}

TEST(BitArray, IndicesOutsideTheBitsReadZeroAndWriteNothing) {
  {
    BitArray a;
    a[3] = 1;
    for (int i : {32, 33, 40, 1000, -1, -8, -2147483647 - 1}) {
      a[i] = 1;
      EXPECT_EQ(static_cast<int>(a), 0) << i;
      EXPECT_EQ(a.index, i);
    }
    EXPECT_EQ(Bytes(a), 0x8u);
  }
  {  // n / 8 bytes: 12 bits give one byte, bits 8..11 do not exist.
    BitArray a;
    a.Init(12);
    a[11] = 1;
    EXPECT_EQ(static_cast<int>(a[11]), 0);
    a[7] = 1;
    EXPECT_EQ(a.bits[0], 0x80);
  }
  {  // No bytes at all.
    for (int n : {0, 7, -5}) {
      BitArray a;
      a.Init(n);
      a[0] = 1;
      EXPECT_EQ(static_cast<int>(a), 0) << n;
    }
  }
}

TEST(InputRecords, CopiesOwnTheirBits) {
  InputState source;
  source.mouseX = -4;
  source.mouseY = 9;
  source.joyX = 1000.0f;
  source.joyY = -250.0f;
  source.buttons[2] = 1;
  source.buttons[0] = 1;  // leaves bit 0 selected

  {  // Copy construction: same values and selection, bytes of its own.
    InputState copy(source);
    EXPECT_NE(copy.buttons.bits, source.buttons.bits);
    EXPECT_EQ(Bytes(copy.buttons), 0x5u);
    EXPECT_EQ(copy.buttons.index, 0);
    EXPECT_EQ(copy.mouseX, -4);
    EXPECT_EQ(copy.joyY, -250.0f);
    copy.buttons[2] = 0;
    EXPECT_EQ(Bytes(source.buttons), 0x5u);
  }
  {  // Assignment, as the per-frame input update does with a polled record
     // that is released right after.
    InputState target;
    target.buttons[31] = 1;
    auto* polled = new InputState(source);
    polled->buttons[1] = 1;
    target = *polled;
    delete polled;
    EXPECT_EQ(Bytes(target.buttons), 0x7u);
    EXPECT_EQ(target.buttons.index, 1);
    EXPECT_EQ(target.joyX, 1000.0f);
    target.buttons[0] = 0;
    EXPECT_EQ(Bytes(source.buttons), 0x5u);
    const InputState& same = target;
    target = same;  // self-assignment keeps everything
    EXPECT_EQ(Bytes(target.buttons), 0x6u);
  }
  {  // Sets of different sizes.
    BitArray small;
    small.Init(8);
    small[5] = 1;
    BitArray big;
    big = small;
    EXPECT_EQ(big.bits[0], 0x20);
    EXPECT_EQ(static_cast<int>(big[8]), 0);
    big.Init(32);
    big[20] = 1;
    small = big;
    EXPECT_EQ(static_cast<int>(small[20]), 1);
  }
  {  // The keyboard record copies its keys too.
    KeyboardState keys;
    keys.keys[kKeyUp] = 0x80;
    KeyboardState copy;
    copy = keys;
    keys.keys[kKeyUp] = 0;
    EXPECT_TRUE(copy.IsKeyDown(kKeyUp));
  }
}

TEST(InputRecords, KeyIsHeldByItsHighBit) {
  KeyboardState k;
  for (int code = 0; code < 256; ++code) EXPECT_FALSE(k.IsKeyDown(code)) << code;
  k.keys[kKeyDown] = 0x80;
  k.keys[kKeyLeft] = 0xFF;
  k.keys[kKeyRight] = 0x7F;
  EXPECT_TRUE(k.IsKeyDown(kKeyDown));
  EXPECT_TRUE(k.IsKeyDown(kKeyLeft));
  EXPECT_FALSE(k.IsKeyDown(kKeyRight));
  for (int code : {-1, 256, 100000}) EXPECT_FALSE(k.IsKeyDown(code)) << code;

  // The global records start released.
  for (int code = 0; code < 256; ++code) EXPECT_FALSE(g_keyboardState.IsKeyDown(code));
  EXPECT_EQ(static_cast<int>(g_joystickState.buttons[0]), 0);
  EXPECT_EQ(Bytes(g_mouseState.buttons), 0u);
}

}  // namespace
