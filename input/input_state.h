#pragma once

#include <cstdint>

// The plain records that carry one poll of an input device to the rest of the
// system, and the three global records that the per-frame input poll fills.

// A packed set of bits reached one bit at a time: operator[] selects a bit and
// returns the set itself, which then reads as 1 or 0 and takes an integer
// assignment (non-zero sets the bit, 0 clears it). The selection stays in the
// object. Bit i lives in byte i / 8 at bit value 1 << (i % 8). Callers keep
// the index within the set.
class BitArray {
 public:
  // 32 clear bits.
  BitArray();
  BitArray(const BitArray& other);
  BitArray& operator=(const BitArray& other);
  ~BitArray();

  // n / 8 clear bytes (any earlier bytes are freed); selects bit 0.
  void Init(int n);
  // Selects bit i; an index outside the set selects nothing readable (reads
  // 0, assignments are ignored).
  BitArray& operator[](int i);
  // Sets (v != 0) or clears (v == 0) the selected bit.
  BitArray& operator=(int v);
  // 1 when the selected bit is set, else 0.
  operator int() const;

  uint8_t* bits;
  int32_t index;

 private:
  int32_t byteCount_;
};

// One poll of the joystick or the mouse.
struct InputState {
  InputState();
  // 32.
  uint8_t GetButtonCount() const { return 32; }

  // Mouse movement since the previous poll, device units (y downward); 0 in
  // a joystick record.
  int32_t mouseX;
  int32_t mouseY;
  // Joystick axes, -1000 .. 1000; 0 in a mouse record.
  float joyX;
  float joyY;
  // Joystick: bit 0 button 0, bit 1 button 1, bit 2 button 9. Mouse: bit 0
  // left, bit 1 right. A set bit is a held button.
  BitArray buttons;
  int32_t reserved;
};

// Key codes of the keyboard record (the DirectInput numbering).
constexpr int kKeyUp = 200;
constexpr int kKeyDown = 208;
constexpr int kKeyLeft = 203;
constexpr int kKeyRight = 205;

// One poll of the keyboard: an InputState plus one byte per key code.
struct KeyboardState : InputState {
  // Every key byte 0.
  KeyboardState();
  // True when bit value 0x80 of the key's byte is set; false outside 0..255.
  bool IsKeyDown(int code) const;

  uint8_t keys[256];
};

// One relative mouse movement and the time it took.
struct MouseSample {
  MouseSample(float dx_value, float dy_value, double seconds_value)
      : dx(dx_value), dy(dy_value), seconds(seconds_value) {}
  float dx;
  float dy;  // up positive
  double seconds;
};

// The latest polls, copied in once per frame by the input update. The
// button-driven gameplay controller reads bit 0 of g_joystickState.buttons.
extern InputState g_joystickState;
extern InputState g_mouseState;
extern KeyboardState g_keyboardState;
