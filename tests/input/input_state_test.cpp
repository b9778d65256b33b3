#include "input/input_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The four bytes of a 32-bit set, lowest byte first, as one number.
uint32_t Bytes(const BitArray& a) {
  return static_cast<uint32_t>(a.bits[0]) | static_cast<uint32_t>(a.bits[1]) << 8 |
         static_cast<uint32_t>(a.bits[2]) << 16 | static_cast<uint32_t>(a.bits[3]) << 24;
}

TEST(BitArray, FreshSetsAreClearAndBitsLieLowestFirst) {
  const InputState state;
  EXPECT_EQ(Bytes(state.buttons), 0u);
  EXPECT_EQ(state.mouseX + state.mouseY + state.reserved, 0);
  EXPECT_EQ(state.joyX + state.joyY, 0.0f);
  // Bit i lands at byte i / 8, value 1 << (i % 8): as one little-endian
  // 32-bit number, 1 << i. The selection stays.
  for (int i = 0; i < 32; ++i) {
    BitArray a;
    EXPECT_EQ(static_cast<int>(a[i]), 0) << i;
    a[i] = 1;
    EXPECT_EQ(Bytes(a), uint32_t{1} << i) << i;
    EXPECT_EQ(static_cast<int>(a), 1) << i;
  }
  BitArray a;
  a[8] = 0x80;  // the devices assign the masked byte
  a[9] = 1;
  a[10] = 1;
  a[9] = 0;
  EXPECT_EQ(Bytes(a), 0x0500u);
  EXPECT_EQ(static_cast<int>(a[9]), 0);
  // Init starts over: clear bytes, bit 0 selected.
  a.Init(16);
  EXPECT_EQ(a.index, 0);
  EXPECT_EQ(a.bits[0] | a.bits[1], 0);
}

TEST(BitArray, IndicesOutsideTheBitsReadZeroAndWriteNothing) {
  BitArray a;
  a[3] = 1;
  for (int i : {32, 40, 1000, -1, -8, -2147483647 - 1}) {
    a[i] = 1;
    EXPECT_EQ(static_cast<int>(a), 0) << i;
  }
  EXPECT_EQ(Bytes(a), 0x8u);
  // n / 8 bytes: 12 bits give one byte, bits 8..11 do not exist.
  a.Init(12);
  a[11] = 1;
  EXPECT_EQ(static_cast<int>(a[11]), 0);
  a[7] = 1;
  EXPECT_EQ(a.bits[0], 0x80);
  for (int n : {0, 7, -5}) {  // no bytes at all
    BitArray none;
    none.Init(n);
    none[0] = 1;
    EXPECT_EQ(static_cast<int>(none), 0) << n;
  }
}

TEST(InputRecords, CopiesOwnTheirBits) {
  InputState source;
  source.joyX = 1000.0f;
  source.buttons[2] = 1;
  source.buttons[0] = 1;  // leaves bit 0 selected
  {
    InputState copy(source);
    EXPECT_EQ(Bytes(copy.buttons), 0x5u);
    EXPECT_EQ(copy.buttons.index, 0);
    EXPECT_EQ(copy.joyX, 1000.0f);
    copy.buttons[2] = 0;
    EXPECT_EQ(Bytes(source.buttons), 0x5u);
  }
  {  // Assignment, as the per-frame input update does with a polled record
     // that is released right after; then self-assignment.
    InputState target;
    target.buttons[31] = 1;
    auto* polled = new InputState(source);
    polled->buttons[1] = 1;
    target = *polled;
    delete polled;
    EXPECT_EQ(Bytes(target.buttons), 0x7u);
    EXPECT_EQ(target.buttons.index, 1);
    target.buttons[0] = 0;
    EXPECT_EQ(Bytes(source.buttons), 0x5u);
    const InputState& same = target;
    target = same;
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
  KeyboardState keys;
  keys.keys[kKeyUp] = 0x80;
  KeyboardState copy;
  copy = keys;
  keys.keys[kKeyUp] = 0;
  EXPECT_TRUE(copy.IsKeyDown(kKeyUp));
}

TEST(InputRecords, KeyIsHeldByItsHighBit) {
  KeyboardState k;
  k.keys[kKeyDown] = 0x80;
  k.keys[kKeyLeft] = 0xFF;
  k.keys[kKeyRight] = 0x7F;
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(k.IsKeyDown(code), code == kKeyDown || code == kKeyLeft) << code;
    EXPECT_FALSE(g_keyboardState.IsKeyDown(code));  // the global records start released
  }
  for (int code : {-1, 256, 100000}) EXPECT_FALSE(k.IsKeyDown(code)) << code;
  EXPECT_EQ(Bytes(g_joystickState.buttons) | Bytes(g_mouseState.buttons), 0u);
}

}  // namespace
