#include "platform/direct_input.h"

#include <cstring>

#include "platform/input_backends.h"

namespace platform {

const char* InputResultName(InputResult result) {
  struct Name {
    InputResult code;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {DI_OK, "DI_OK"},
      {DI_NOEFFECT, "DI_NOEFFECT"},
      {DIERR_INPUTLOST, "DIERR_INPUTLOST"},
      {DIERR_NOTACQUIRED, "DIERR_NOTACQUIRED"},
      {DIERR_INVALIDPARAM, "DIERR_INVALIDPARAM"},
      {DIERR_DEVICENOTREG, "DIERR_DEVICENOTREG"},
      {DIERR_NOTINITIALIZED, "DIERR_NOTINITIALIZED"},
      {DIERR_OTHERAPPHASPRIO, "DIERR_OTHERAPPHASPRIO"},
      {DIERR_OUTOFMEMORY, "DIERR_OUTOFMEMORY"},
      {DIERR_OLDDIRECTINPUTVERSION, "DIERR_OLDDIRECTINPUTVERSION"},
      {DIERR_NOINTERFACE, "DIERR_NOINTERFACE"},
      {DIERR_UNSUPPORTED, "DIERR_UNSUPPORTED"},
      {DIERR_GENERIC, "DIERR_GENERIC"},
  };
  for (const Name& entry : kNames) {
    if (entry.code == result) return entry.name;
  }
  return "Unknown";
}

// ---------------------------------------------------------------------------
// The shared device bookkeeping.

namespace {

class BasicInputDevice2 : public DirectInputDevice2 {
 public:
  void Release() override { delete this; }
};

}  // namespace

InputResult BasicInputDevice::SetCooperativeLevel(WindowHandle, uint32_t flags) {
  // Devices are shared and read whatever window has the focus: other
  // programs keep the keyboard.
  return flags == (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND) ? DI_OK : DIERR_UNSUPPORTED;
}

InputResult BasicInputDevice::SetDataFormat(const DataFormat& format) {
  if (format.kind != format_.kind || format.stateSize != format_.stateSize) return DIERR_INVALIDPARAM;
  formatSet_ = true;
  return DI_OK;
}

InputResult BasicInputDevice::SetProperty(int, const DIPROPHEADER*) { return DIERR_UNSUPPORTED; }

InputResult BasicInputDevice::Acquire() {
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  const InputResult result = OnAcquire();
  if (InputFailed(result)) return result;
  acquired_ = true;
  return DI_OK;
}

InputResult BasicInputDevice::Unacquire() {
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

InputResult BasicInputDevice::GetDeviceState(uint32_t size, void* data) {
  if (data == nullptr || size != format_.stateSize) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  std::memset(data, 0, size);
  const InputResult result = ReadState(data);
  if (result == DIERR_INPUTLOST) acquired_ = false;
  return result;
}

InputResult BasicInputDevice::QueryInterface2(DirectInputDevice2** out) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = new BasicInputDevice2;
  return DI_OK;
}

// ---------------------------------------------------------------------------
// The device system of the real backends.

namespace {

class SystemInput : public DirectInput {
 public:
  InputResult EnumDevices(uint32_t deviceType, EnumDevicesCallback callback, void* context,
                          uint32_t) override {
    if (callback == nullptr) return DIERR_INVALIDPARAM;
    // Only game controllers are listed; the keyboard and the mouse are
    // reached by their fixed identities.
    if (deviceType != DIDEVTYPE_JOYSTICK) return DI_OK;
    return EnumLinuxJoysticks(callback, context);
  }

  InputResult CreateDevice(const DeviceGuid& guid, DirectInputDevice** device, void* outer) override {
    if (device == nullptr) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (outer != nullptr) return DIERR_NOINTERFACE;
    if (guid == GUID_SysKeyboard) return CreateXKeyboard(device);
    if (guid == GUID_SysMouse) return CreateXMouse(device);
    if (guid.kind == kJoystickGuidKind) return CreateLinuxJoystick(guid.index, device);
    return DIERR_DEVICENOTREG;
  }

  void Release() override { delete this; }
};

InputResult input_CreateSystem(InstanceHandle, uint32_t, DirectInput** out) {
  *out = new SystemInput;
  return DI_OK;
}

DirectInputFactory g_factory = nullptr;

}  // namespace

InputResult DirectInputCreate(InstanceHandle instance, uint32_t version, DirectInput** out, void* outer) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer != nullptr) return DIERR_NOINTERFACE;
  if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  const DirectInputFactory factory = g_factory != nullptr ? g_factory : input_CreateSystem;
  const InputResult result = factory(instance, version, out);
  if (InputFailed(result) && *out != nullptr) {
    (*out)->Release();
    *out = nullptr;
  }
  return result;
}

void SetDirectInputFactory(DirectInputFactory factory) { g_factory = factory; }

}  // namespace platform
