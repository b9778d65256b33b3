// The keyboard and the mouse of the X server, each read on a connection of
// its own: the whole key map (XQueryKeymap) and the pointer (XQueryPointer)
// are asked for on every read, so nothing is grabbed and no event is taken
// from the program's window.

#include <X11/Xlib.h>

#include <array>
#include <cstdint>

#include "platform/input_backends.h"

namespace platform {

namespace {

// X key codes of evdev servers are the Linux key codes plus 8.
constexpr int kXKeycodeOffset = 8;
// Linux key codes 1 .. 88 are the scan codes themselves.
constexpr int kLastPlainKey = 88;

// Linux key codes above 88 and the scan codes of those keys (the extended
// keys, whose scan codes carry the 0x80 bit).
struct xin_KeyPair {
  uint8_t linuxCode;
  uint8_t scanCode;
};
constexpr xin_KeyPair kExtendedKeys[] = {
    {89, 0x73},   // Ro (Brazilian and Japanese keyboards)
    {92, 0x79},   // Henkan (convert)
    {93, 0x70},   // Katakana / Hiragana
    {94, 0x7B},   // Muhenkan (no convert)
    {96, 0x9C},   // keypad Enter
    {97, 0x9D},   // right Ctrl
    {98, 0xB5},   // keypad /
    {99, 0xB7},   // Print Screen / SysRq
    {100, 0xB8},  // right Alt (AltGr)
    {102, 0xC7},  // Home
    {103, 0xC8},  // Up
    {104, 0xC9},  // Page Up
    {105, 0xCB},  // Left
    {106, 0xCD},  // Right
    {107, 0xCF},  // End
    {108, 0xD0},  // Down
    {109, 0xD1},  // Page Down
    {110, 0xD2},  // Insert
    {111, 0xD3},  // Delete
    {113, 0xA0},  // Mute
    {114, 0xAE},  // Volume Down
    {115, 0xB0},  // Volume Up
    {116, 0xDE},  // Power
    {117, 0x8D},  // keypad =
    {119, 0xC5},  // Pause
    {121, 0xB3},  // keypad , (Brazilian)
    {124, 0x7D},  // Yen
    {125, 0xDB},  // left Windows
    {126, 0xDC},  // right Windows
    {127, 0xDD},  // Menu (application key)
    {142, 0xDF},  // Sleep
    {143, 0xE3},  // Wake
    {183, 0x64},  // F13
    {184, 0x65},  // F14
    {185, 0x66},  // F15
};

// The scan code of every X key code; 0 for keys without one.
const std::array<uint8_t, 256>& xin_ScanCodes() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> codes{};
    for (int linuxCode = 1; linuxCode <= kLastPlainKey; ++linuxCode) {
      codes[linuxCode + kXKeycodeOffset] = static_cast<uint8_t>(linuxCode);
    }
    for (const xin_KeyPair& pair : kExtendedKeys) {
      codes[pair.linuxCode + kXKeycodeOffset] = pair.scanCode;
    }
    return codes;
  }();
  return table;
}

// A device with a connection of its own to $DISPLAY.
class XDevice : public BasicInputDevice {
 public:
  XDevice(const DataFormat& format, Display* display) : BasicInputDevice(format), display_(display) {}

 protected:
  ~XDevice() override { XCloseDisplay(display_); }
  Display* display_;
};

class XKeyboard : public XDevice {
 public:
  explicit XKeyboard(Display* display) : XDevice(c_dfDIKeyboard, display) {}

 protected:
  InputResult OnAcquire() override { return DI_OK; }

  InputResult ReadState(void* data) override {
    char keymap[32];
    XQueryKeymap(display_, keymap);
    auto* keys = static_cast<uint8_t*>(data);
    const std::array<uint8_t, 256>& scanCodes = xin_ScanCodes();
    for (int keycode = 0; keycode < 256; ++keycode) {
      const bool held = (static_cast<unsigned char>(keymap[keycode / 8]) >> (keycode % 8)) & 1;
      if (held && scanCodes[keycode] != 0) keys[scanCodes[keycode]] = 0x80;
    }
    return DI_OK;
  }
};

class XMouse : public XDevice {
 public:
  explicit XMouse(Display* display) : XDevice(c_dfDIMouse, display) {}

 protected:
  // The first read after an acquisition reports the movement since then.
  InputResult OnAcquire() override {
    unsigned int buttons = 0;
    QueryPointer(&lastX_, &lastY_, &buttons);
    return DI_OK;
  }

  InputResult ReadState(void* data) override {
    int x = 0;
    int y = 0;
    unsigned int buttons = 0;
    QueryPointer(&x, &y, &buttons);
    auto* state = static_cast<DIMOUSESTATE*>(data);
    state->lX = x - lastX_;
    state->lY = y - lastY_;
    lastX_ = x;
    lastY_ = y;
    state->rgbButtons[0] = (buttons & Button1Mask) ? 0x80 : 0;  // left
    state->rgbButtons[1] = (buttons & Button3Mask) ? 0x80 : 0;  // right
    state->rgbButtons[2] = (buttons & Button2Mask) ? 0x80 : 0;  // middle
    return DI_OK;
  }

 private:
  // The pointer in root coordinates (y downward) and the button mask.
  void QueryPointer(int* x, int* y, unsigned int* buttons) {
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, x, y, &windowX, &windowY, buttons);
  }

  int lastX_ = 0;
  int lastY_ = 0;
};

template <typename Device>
InputResult xin_Create(DirectInputDevice** out) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return DIERR_DEVICENOTREG;
  *out = new Device(display);
  return DI_OK;
}

}  // namespace

InputResult CreateXKeyboard(DirectInputDevice** out) { return xin_Create<XKeyboard>(out); }
InputResult CreateXMouse(DirectInputDevice** out) { return xin_Create<XMouse>(out); }

}  // namespace platform
