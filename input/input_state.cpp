#include "input/input_state.h"

#include <cstring>

BitArray::BitArray() : bits(nullptr), index(0), byteCount_(0) { Init(32); }

BitArray::BitArray(const BitArray& other) : bits(nullptr), index(other.index), byteCount_(0) {
  if (other.byteCount_ > 0) {
    bits = new uint8_t[other.byteCount_];
    std::memcpy(bits, other.bits, static_cast<size_t>(other.byteCount_));
    byteCount_ = other.byteCount_;
  }
}

BitArray& BitArray::operator=(const BitArray& other) {
  if (this == &other) return *this;
  // Reuse the bytes when the sizes agree: the per-frame record copy then
  // allocates nothing.
  if (byteCount_ != other.byteCount_) {
    delete[] bits;
    bits = other.byteCount_ > 0 ? new uint8_t[other.byteCount_] : nullptr;
    byteCount_ = other.byteCount_;
  }
  if (byteCount_ > 0) std::memcpy(bits, other.bits, static_cast<size_t>(byteCount_));
  index = other.index;
  return *this;
}

BitArray::~BitArray() { delete[] bits; }

void BitArray::Init(int n) {
  delete[] bits;
  bits = nullptr;
  byteCount_ = n > 0 ? n / 8 : 0;
  if (byteCount_ > 0) {
    bits = new uint8_t[byteCount_];
    std::memset(bits, 0, static_cast<size_t>(byteCount_));
  }
  index = 0;
}

BitArray& BitArray::operator[](int i) {
  index = i;
  return *this;
}

BitArray& BitArray::operator=(int v) {
  // Division by 8 of a negative index would land inside the bytes: test the
  // sign first.
  if (index < 0 || index / 8 >= byteCount_) return *this;
  const uint8_t mask = static_cast<uint8_t>(1u << (index % 8));
  if (v != 0) {
    bits[index / 8] = static_cast<uint8_t>(bits[index / 8] | mask);
  } else {
    bits[index / 8] = static_cast<uint8_t>(bits[index / 8] & ~mask);
  }
  return *this;
}

BitArray::operator int() const {
  if (index < 0 || index / 8 >= byteCount_) return 0;
  return (bits[index / 8] >> (index % 8)) & 1;
}

InputState::InputState() : mouseX(0), mouseY(0), joyX(0.0f), joyY(0.0f), buttons(), reserved(0) {}

KeyboardState::KeyboardState() { std::memset(keys, 0, sizeof keys); }

bool KeyboardState::IsKeyDown(int code) const {
  if (code < 0 || code > 255) return false;
  return (keys[code] & 0x80) != 0;
}

InputState g_joystickState;
InputState g_mouseState;
KeyboardState g_keyboardState;
