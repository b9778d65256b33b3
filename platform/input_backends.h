#pragma once

#include <string>

#include "platform/direct_input.h"

// The real backends behind platform/direct_input.h: the keyboard and the
// mouse of the X server named by $DISPLAY, and the game controllers of the
// Linux joystick interface.

namespace platform {

// The bookkeeping that every real device shares: the one data format it
// takes, the cooperative level, the acquired state and the checks of
// GetDeviceState. A backend supplies the acquisition and the read.
class BasicInputDevice : public DirectInputDevice {
 public:
  // `format`: the only data format the device accepts.
  explicit BasicInputDevice(const DataFormat& format) : format_(format) {}

  // Only DISCL_NONEXCLUSIVE | DISCL_BACKGROUND is served; DIERR_UNSUPPORTED
  // for any other flags. The window is not used.
  InputResult SetCooperativeLevel(WindowHandle window, uint32_t flags) override;
  // DIERR_INVALIDPARAM for any format but the device's own.
  InputResult SetDataFormat(const DataFormat& format) override;
  // DIERR_UNSUPPORTED: the keyboard and the mouse have no properties.
  InputResult SetProperty(int property, const DIPROPHEADER* header) override;
  // DIERR_INVALIDPARAM before SetDataFormat; DI_NOEFFECT when acquired.
  InputResult Acquire() override;
  InputResult Unacquire() override;
  // DIERR_NOTACQUIRED unless acquired; DIERR_INVALIDPARAM for a null buffer
  // or a size other than the format's. Lost input unacquires the device.
  InputResult GetDeviceState(uint32_t size, void* data) override;
  InputResult QueryInterface2(DirectInputDevice2** out) override;
  void Release() override { delete this; }

 protected:
  ~BasicInputDevice() override = default;
  // Starts reading; DI_OK or a failure code.
  virtual InputResult OnAcquire() = 0;
  // Fills the format's record at `data` (zeroed by the caller). DI_OK, or
  // DIERR_INPUTLOST when the device went away.
  virtual InputResult ReadState(void* data) = 0;

 private:
  DataFormat format_;
  bool formatSet_ = false;
  bool acquired_ = false;
};

// Keyboard and mouse on a connection of their own to $DISPLAY. Without a
// display: DIERR_DEVICENOTREG, *out null.
InputResult CreateXKeyboard(DirectInputDevice** out);
InputResult CreateXMouse(DirectInputDevice** out);

// Reports every game controller whose device file js0, js1, ... (up to js31)
// in the joystick folder opens, in that order, as
// {kJoystickGuidKind, number} with its product name, until `callback`
// answers DIENUM_STOP.
InputResult EnumLinuxJoysticks(EnumDevicesCallback callback, void* context);
// The controller js<index>; DIERR_DEVICENOTREG when its file does not open.
InputResult CreateLinuxJoystick(int index, DirectInputDevice** out);

// The folder that holds the joystick device files: "/dev/input" unless a
// test names another; an empty name restores "/dev/input".
void SetJoystickFolder(const std::string& folder);

}  // namespace platform
