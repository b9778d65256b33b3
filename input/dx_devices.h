#pragma once

#include "core/timer.h"
#include "input/input_state.h"
#include "platform/direct_input.h"

// The keyboard, the mouse and the first game controller, read through the
// device layer of platform/direct_input.h. Each device sets itself up
// completely in its constructor (create, cooperative level, data format,
// joystick ranges and dead zone, acquire), logs every step's failure, and is
// `acquired` when that worked. The frame update polls the acquired devices
// once per frame. All three share one device system, which the first device
// to need it creates. GUI thread only.

// How often one poll acquires a device again while its reads report lost
// input; after that the poll gives up as when the acquisition fails.
constexpr int kMaxReacquireTries = 3;

// The root of the device family.
class InputDevice {
 public:
  InputDevice() = default;
  virtual ~InputDevice() = default;
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  // One read of the device's state as a new record that the caller owns, or
  // null when nothing could be read this time.
  virtual InputState* Poll() = 0;
  // One relative movement as a new sample that the caller owns, or null.
  // Only the mouse answers; `buttons` (may be null) receives its buttons.
  virtual MouseSample* PollMotion(BitArray* buttons) = 0;

  Timer timer;  // restarted by PollMotion
};

// The part shared by the three devices.
class DXInputDevice : public InputDevice {
 public:
  // Unacquires and releases the device when it holds one.
  ~DXInputDevice() override;

  // Sets up and acquires the device; the constructors call it.
  virtual void Init() = 0;

  bool acquired = false;  // set once Init has acquired the device; never cleared
  platform::DirectInputDevice* device = nullptr;
  platform::DeviceGuid deviceGuid = platform::GUID_NULL;
  platform::InstanceHandle instance = nullptr;
  platform::WindowHandle window = nullptr;

 protected:
  DXInputDevice(platform::InstanceHandle instance, platform::WindowHandle window);
};

class DXKeyboard : public DXInputDevice {
 public:
  DXKeyboard(platform::InstanceHandle instance, platform::WindowHandle window);
  // A KeyboardState whose 256 key bytes are this read's (the caller owns it).
  InputState* Poll() override;
  MouseSample* PollMotion(BitArray* buttons) override;  // null
  void Init() override;
};

class DXMouse : public DXInputDevice {
 public:
  DXMouse(platform::InstanceHandle instance, platform::WindowHandle window);
  // mouseX, mouseY = movement since the last read; bit 0 left, bit 1 right.
  InputState* Poll() override;
  MouseSample* PollMotion(BitArray* buttons) override;
  void Init() override;
};

class DXJoystick : public DXInputDevice {
 public:
  DXJoystick(platform::InstanceHandle instance, platform::WindowHandle window);
  // Releases device2 first when it holds one.
  ~DXJoystick() override;
  // joyX, joyY in -1000..1000; bit 0 button 0, bit 1 button 1, bit 2 button 9.
  InputState* Poll() override;
  MouseSample* PollMotion(BitArray* buttons) override;  // null
  void Init() override;

  // The enumeration callback: takes the first attached controller.
  static int EnumCallback(const platform::DIDEVICEINSTANCEA* instance, void* context);

  platform::DirectInputDevice2* device2 = nullptr;
};

// Creates the shared device system unless an earlier attempt failed (then
// true at once, without a new attempt). False when the creation fails.
bool InitDirectInput(platform::InstanceHandle instance);
// Releases the shared device system and sets g_directInput to null (the
// program never calls it; tests do).
void ReleaseDirectInput();

// The shared device system and its failure flag.
extern platform::DirectInput* g_directInput;
extern bool g_directInputFailed;

// The three devices, created at start-up (null until then, and when the
// program's handles were missing); never deleted by the program.
extern DXKeyboard* g_keyboard;
extern DXMouse* g_mouse;
extern DXJoystick* g_joystick;
