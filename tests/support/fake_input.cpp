#include "tests/support/fake_input.h"

#include <cstring>

namespace testing_support {

using namespace platform;

namespace {

FakeInput* g_fake = nullptr;

class FakeDevice2 : public DirectInputDevice2 {
 public:
  void Release() override { delete this; }
};

class FakeDevice : public DirectInputDevice {
 public:
  FakeDevice(FakeDeviceScript& script, void* state, uint32_t stateSize)
      : script_(script), state_(state), stateSize_(stateSize) {}

  InputResult SetCooperativeLevel(WindowHandle, uint32_t flags) override {
    script_.cooperativeFlags = flags;
    return script_.cooperativeLevel;
  }
  InputResult SetDataFormat(const DataFormat& format) override {
    return format.stateSize != stateSize_ ? DIERR_INVALIDPARAM : script_.dataFormat;
  }
  InputResult SetProperty(int property, const DIPROPHEADER* header) override {
    const uint32_t axis = header->dwObj / 4;
    if (property == DIPROP_RANGE) std::memcpy(&g_fake->ranges[axis], header, sizeof(DIPROPRANGE));
    if (property == DIPROP_DEADZONE) std::memcpy(&g_fake->deadZones[axis], header, sizeof(DIPROPDWORD));
    return DI_OK;
  }
  InputResult Acquire() override { return ++script_.acquires == 1 ? script_.acquire : script_.reacquire; }
  InputResult Unacquire() override { return DI_OK; }
  InputResult GetDeviceState(uint32_t size, void* data) override {
    if (size != stateSize_) return DIERR_INVALIDPARAM;
    if (script_.lostReads > 0) {
      --script_.lostReads;
      return DIERR_INPUTLOST;
    }
    std::memcpy(data, state_, size);
    return DI_OK;
  }
  InputResult QueryInterface2(DirectInputDevice2** out) override {
    *out = InputFailed(script_.queryInterface) ? nullptr : new FakeDevice2;
    return script_.queryInterface;
  }
  void Release() override { delete this; }

 private:
  FakeDeviceScript& script_;
  void* state_;
  uint32_t stateSize_;
};

class FakeSystem : public DirectInput {
 public:
  InputResult EnumDevices(uint32_t, EnumDevicesCallback callback, void* context, uint32_t) override {
    if (InputFailed(g_fake->joystick.enumerate)) return g_fake->joystick.enumerate;
    for (const DIDEVICEINSTANCEA& instance : g_fake->joysticks) {
      if (callback(&instance, context) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  InputResult CreateDevice(const DeviceGuid& guid, DirectInputDevice** device, void*) override {
    *device = nullptr;
    FakeInput& f = *g_fake;
    if (guid == GUID_SysKeyboard) return Make(f.keyboard, f.keys, sizeof f.keys, device);
    if (guid == GUID_SysMouse) return Make(f.mouse, &f.mouseState, sizeof f.mouseState, device);
    for (const DIDEVICEINSTANCEA& instance : f.joysticks) {
      if (instance.guidInstance == guid) {
        return Make(f.joystick, &f.joystickState, sizeof f.joystickState, device);
      }
    }
    return DIERR_DEVICENOTREG;
  }

  void Release() override { delete this; }

 private:
  static InputResult Make(FakeDeviceScript& script, void* state, uint32_t size, DirectInputDevice** device) {
    if (InputFailed(script.create)) return script.create;
    *device = new FakeDevice(script, state, size);
    return DI_OK;
  }
};

InputResult fake_Create(InstanceHandle, uint32_t, DirectInput** out) {
  ++g_fake->creations;
  if (InputFailed(g_fake->create)) return g_fake->create;
  *out = new FakeSystem;
  return DI_OK;
}

}  // namespace

FakeInput::FakeInput() {
  g_fake = this;
  SetDirectInputFactory(&fake_Create);
}

FakeInput::~FakeInput() {
  SetDirectInputFactory(nullptr);
  g_fake = nullptr;
}

void FakeInput::AttachJoystick(const std::string& productName, int index) {
  DIDEVICEINSTANCEA instance{};
  instance.guidInstance = DeviceGuid{kJoystickGuidKind, index};
  productName.copy(instance.tszProductName, sizeof instance.tszProductName - 1);
  joysticks.push_back(instance);
}

}  // namespace testing_support
