#include "input/dx_devices.h"

#include <algorithm>
#include <cstring>

#include "core/console_variable.h"
#include "core/log.h"

using platform::DIJOYSTATE;
using platform::DIMOUSESTATE;
using platform::DirectInputDevice;
using platform::InputFailed;
using platform::InputResult;
using platform::InputResultName;

platform::DirectInput* g_directInput = nullptr;
bool g_directInputFailed = false;

DXKeyboard* g_keyboard = nullptr;
DXMouse* g_mouse = nullptr;
DXJoystick* g_joystick = nullptr;

bool InitDirectInput(platform::InstanceHandle instance) {
  if (g_directInputFailed) return true;
  const InputResult result =
      platform::DirectInputCreate(instance, platform::DIRECTINPUT_VERSION, &g_directInput, nullptr);
  if (InputFailed(result)) {
    g_directInputFailed = true;
    return false;
  }
  return true;
}

void ReleaseDirectInput() {
  if (g_directInput == nullptr) return;
  g_directInput->Release();
  // A released system must never be reached again through the pointer.
  g_directInput = nullptr;
}

namespace {

// The first device to need it creates the shared device system.
void dx_EnsureDirectInput(platform::InstanceHandle instance, bool toConsole) {
  if (g_directInput != nullptr || InitDirectInput(instance)) return;
  if (toConsole) {
    LogPrintf("Unable to Initialize DX-Input COM object...\n");
  } else {
    LogToFile("Unable to Initialize DX-Input COM object...\n");
  }
}

// The lines of the set-up steps that the three devices share; each takes
// the call's result name (an acquire failure line may leave it out).
struct dx_SetupLines {
  const char* create;
  const char* cooperation;
  const char* format;
  const char* acquireFailed;
  const char* loaded;
};

// Creates the device and sets its cooperative level (shared, background) and
// data format. The joystick also asks for the second-version interface right
// after the creation (`device2` non-null; a refusal is no failure). Logs the
// failing step's line and answers false.
bool dx_CreateAndFormat(DXInputDevice& d, const platform::DataFormat& format, const dx_SetupLines& lines,
                        platform::DirectInputDevice2** device2) {
  InputResult result = g_directInput->CreateDevice(d.deviceGuid, &d.device, nullptr);
  if (InputFailed(result)) {
    d.device = nullptr;
    LogPrintf(lines.create, InputResultName(result));
    return false;
  }
  if (device2 != nullptr) d.device->QueryInterface2(device2);
  result = d.device->SetCooperativeLevel(d.window, platform::DISCL_NONEXCLUSIVE | platform::DISCL_BACKGROUND);
  if (InputFailed(result)) {
    LogPrintf(lines.cooperation, InputResultName(result));
    return false;
  }
  result = d.device->SetDataFormat(format);
  if (InputFailed(result)) {
    LogPrintf(lines.format, InputResultName(result));
    return false;
  }
  return true;
}

// Acquires the device and logs the outcome; `acquired` once that worked.
void dx_Acquire(DXInputDevice& d, const dx_SetupLines& lines) {
  const InputResult result = d.device->Acquire();
  if (InputFailed(result)) {
    LogPrintf(lines.acquireFailed, InputResultName(result));
    return;
  }
  LogPrintf(lines.loaded, InputResultName(result));
  d.acquired = true;
}

// Reads the device's state into `data`, acquiring the device again while it
// reports lost input, at most kMaxReacquireTries times in one poll. True
// with the state read (zeroed when the read failed otherwise); false when
// the device could not be re-acquired, with `failure` = the failed Acquire's
// result, or DIERR_INPUTLOST when every try lost the input again.
bool dx_ReadState(DirectInputDevice* device, uint32_t size, void* data, InputResult* failure) {
  InputResult result = device->GetDeviceState(size, data);
  for (int tries = 0; result == platform::DIERR_INPUTLOST; ++tries) {
    if (tries == kMaxReacquireTries) {
      *failure = result;
      return false;
    }
    const InputResult acquire = device->Acquire();
    if (InputFailed(acquire)) {
      *failure = acquire;
      return false;
    }
    result = device->GetDeviceState(size, data);
  }
  if (InputFailed(result)) std::memset(data, 0, size);
  return true;
}

}  // namespace

DXInputDevice::DXInputDevice(platform::InstanceHandle instance_handle, platform::WindowHandle window_handle)
    : instance(instance_handle), window(window_handle) {}

DXInputDevice::~DXInputDevice() {
  if (device == nullptr) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}

// ---------------------------------------------------------------------------
// Keyboard

DXKeyboard::DXKeyboard(platform::InstanceHandle instance_handle, platform::WindowHandle window_handle)
    : DXInputDevice(instance_handle, window_handle) {
  dx_EnsureDirectInput(instance, false);
  device = nullptr;
  deviceGuid = platform::GUID_SysKeyboard;
  DXKeyboard::Init();
}

void DXKeyboard::Init() {
  if (g_directInput == nullptr) return;
  static constexpr dx_SetupLines kLines = {
      "DXKeyboard: Can't create keyboard device - %s\n",
      "DXKeyboard: Failed to set cooperation level properly - %s\n",
      "DXKeyboard: Error setting data format - %s\n",
      "DXKeyboard: Couldn't acquire the keyboard...\n",
      "DXKeyboard: Loaded keyboard device - %s\n",
  };
  if (dx_CreateAndFormat(*this, platform::c_dfDIKeyboard, kLines, nullptr)) dx_Acquire(*this, kLines);
}

InputState* DXKeyboard::Poll() {
  if (device == nullptr) return nullptr;
  auto* state = new KeyboardState;
  InputResult failure = platform::DI_OK;
  if (!dx_ReadState(device, sizeof state->keys, state->keys, &failure)) {
    LogPrintf("DXKeyboard: Can't reacquire Keyboard device....\n");
    delete state;
    return nullptr;
  }
  return state;
}

MouseSample* DXKeyboard::PollMotion(BitArray*) { return nullptr; }

// ---------------------------------------------------------------------------
// Mouse

DXMouse::DXMouse(platform::InstanceHandle instance_handle, platform::WindowHandle window_handle)
    : DXInputDevice(instance_handle, window_handle) {
  dx_EnsureDirectInput(instance, false);
  device = nullptr;
  deviceGuid = platform::GUID_SysMouse;
  DXMouse::Init();
}

void DXMouse::Init() {
  if (g_directInput == nullptr) return;
  static constexpr dx_SetupLines kLines = {
      "DXMouse: Can't create mouse device - %s\n",
      "DXMouse: Failed to set cooperation level properly - %s\n",
      "DXMouse: Error setting data format - %s\n",
      "DXMouse: Couldnt acquire the mouse...\n",
      "DXMouse: Loaded mouse device - %s\n",
  };
  if (dx_CreateAndFormat(*this, platform::c_dfDIMouse, kLines, nullptr)) dx_Acquire(*this, kLines);
}

InputState* DXMouse::Poll() {
  if (device == nullptr) return nullptr;
  DIMOUSESTATE mouse{};
  InputResult failure = platform::DI_OK;
  if (!dx_ReadState(device, sizeof mouse, &mouse, &failure)) {
    LogToFile("DXMouse: Can't reacquire mouse device - %s\n", InputResultName(failure));
    return nullptr;
  }
  auto* state = new InputState;
  state->mouseX = mouse.lX;
  state->mouseY = mouse.lY;
  state->buttons[0] = mouse.rgbButtons[0] & 0x80;
  state->buttons[1] = mouse.rgbButtons[1] & 0x80;
  return state;
}

MouseSample* DXMouse::PollMotion(BitArray* buttons) {
  if (device == nullptr) return nullptr;
  DIMOUSESTATE mouse{};
  InputResult failure = platform::DI_OK;
  if (!dx_ReadState(device, sizeof mouse, &mouse, &failure)) {
    LogToFile("ERROR: Can't reacquire mouse device....\n");
    return nullptr;
  }
  if (buttons != nullptr) {
    (*buttons)[0] = mouse.rgbButtons[0] & 0x80;
    (*buttons)[1] = mouse.rgbButtons[1] & 0x80;
  }
  auto* sample =
      new MouseSample(static_cast<float>(mouse.lX), -static_cast<float>(mouse.lY), timer.GetTimeSinceReset());
  timer.Reset();
  return sample;
}

// ---------------------------------------------------------------------------
// Joystick

namespace {

constexpr int32_t kJoystickAxisMin = -1000;
constexpr int32_t kJoystickAxisMax = 1000;
// The product name as logged: at most 79 characters.
constexpr size_t kProductNameSize = 80;

void dx_SetRange(DirectInputDevice* device, uint32_t axis) {
  platform::DIPROPRANGE range{};
  range.diph = {sizeof(platform::DIPROPRANGE), sizeof(platform::DIPROPHEADER), axis, platform::DIPH_BYOFFSET};
  range.lMin = kJoystickAxisMin;
  range.lMax = kJoystickAxisMax;
  device->SetProperty(platform::DIPROP_RANGE, &range.diph);
}

void dx_SetDeadZone(DirectInputDevice* device, uint32_t axis, uint32_t deadZone) {
  platform::DIPROPDWORD value{};
  value.diph = {sizeof(platform::DIPROPDWORD), sizeof(platform::DIPROPHEADER), axis, platform::DIPH_BYOFFSET};
  value.dwData = deadZone;
  device->SetProperty(platform::DIPROP_DEADZONE, &value.diph);
}

}  // namespace

DXJoystick::DXJoystick(platform::InstanceHandle instance_handle, platform::WindowHandle window_handle)
    : DXInputDevice(instance_handle, window_handle) {
  dx_EnsureDirectInput(instance, true);
  device = nullptr;
  DXJoystick::Init();
}

DXJoystick::~DXJoystick() {
  if (device2 != nullptr) device2->Release();
  device2 = nullptr;
}

int DXJoystick::EnumCallback(const platform::DIDEVICEINSTANCEA* instance, void* context) {
  *static_cast<platform::DeviceGuid*>(context) = instance->guidInstance;
  char name[kProductNameSize];
  const size_t length =
      std::min(strnlen(instance->tszProductName, sizeof instance->tszProductName), kProductNameSize - 1);
  std::memcpy(name, instance->tszProductName, length);
  name[length] = '\0';
  LogPrintf("DXJoystick: Loading joystick device - %s\n", name);
  return platform::DIENUM_STOP;
}

void DXJoystick::Init() {
  if (g_directInput == nullptr) return;
  const InputResult result = g_directInput->EnumDevices(
      platform::DIDEVTYPE_JOYSTICK, &DXJoystick::EnumCallback, &deviceGuid, platform::DIEDFL_ATTACHEDONLY);
  if (InputFailed(result)) {
    LogPrintf("DXJoystick: Error occured in enumerating joystick devices - %s\n", InputResultName(result));
    return;
  }
  static constexpr dx_SetupLines kLines = {
      "DXJoystick: Can't create joystick device - %s\n",
      "DXJoystick: Failed to set cooperation level properly - %s\n",
      "DXJoystick: Error setting data format - %s\n",
      "DXJoystick: Couldnt acquire the joystick - %s\n",
      "DXJoystick: Loaded joystick device - %s\n",
  };
  if (!dx_CreateAndFormat(*this, platform::c_dfDIJoystick, kLines, &device2)) return;

  LogPrintf("Setting x-axis range\n");
  dx_SetRange(device, platform::DIJOFS_X);
  LogPrintf("Setting y-axis range\n");
  dx_SetRange(device, platform::DIJOFS_Y);

  // Bound here, so a value restored from "cvar.ini" wins over the default.
  ConsoleVariable<float> deadZoneVar("joystick.deadzone", 0.1f);
  const float deadZone = deadZoneVar;
  // The saved value may lie outside 0..1 (or be far too large for an
  // integer, or no number): the device takes 0..10000.
  const float fraction = deadZone >= 0.0f ? std::min(deadZone, 1.0f) : 0.0f;
  const uint32_t deadZoneUnits = static_cast<uint32_t>(fraction * 10000.0f);
  LogPrintf("Setting x-axis dead zone: %f\n", static_cast<double>(deadZone));
  dx_SetDeadZone(device, platform::DIJOFS_X, deadZoneUnits);
  LogPrintf("Setting y-axis dead zone: %f\n", static_cast<double>(deadZone));
  dx_SetDeadZone(device, platform::DIJOFS_Y, deadZoneUnits);

  dx_Acquire(*this, kLines);
}

InputState* DXJoystick::Poll() {
  if (device == nullptr) return nullptr;
  DIJOYSTATE joystick{};
  InputResult failure = platform::DI_OK;
  if (!dx_ReadState(device, sizeof joystick, &joystick, &failure)) {
    LogPrintf("DXJoystick: Can't reacquire joystick device....\n");
    return nullptr;
  }
  auto* state = new InputState;
  state->joyX = static_cast<float>(joystick.lX);
  state->joyY = static_cast<float>(joystick.lY);
  state->buttons[0] = joystick.rgbButtons[0] & 0x80;
  state->buttons[1] = joystick.rgbButtons[1] & 0x80;
  state->buttons[2] = joystick.rgbButtons[9] & 0x80;
  return state;
}

MouseSample* DXJoystick::PollMotion(BitArray*) { return nullptr; }
