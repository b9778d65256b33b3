#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/direct_input.h"

namespace testing_support {

// What one fake device answers and what was asked of it. Every call answers
// DI_OK unless a failure code is scripted here.
struct FakeDeviceScript {
  platform::InputResult enumerate = platform::DI_OK;  // EnumDevices (the joystick's only)
  platform::InputResult create = platform::DI_OK;
  platform::InputResult queryInterface = platform::DI_OK;  // a failure leaves device2 null
  platform::InputResult cooperativeLevel = platform::DI_OK;
  platform::InputResult dataFormat = platform::DI_OK;
  platform::InputResult acquire = platform::DI_OK;    // the first Acquire
  platform::InputResult reacquire = platform::DI_OK;  // every later Acquire
  // The next reads report DIERR_INPUTLOST.
  int lostReads = 0;

  int acquires = 0;
  uint32_t cooperativeFlags = 0;
};

// A scripted device system: while it exists, DirectInputCreate creates it
// (one fake at a time). Reads return the states below.
class FakeInput {
 public:
  FakeInput();
  ~FakeInput();
  FakeInput(const FakeInput&) = delete;
  FakeInput& operator=(const FakeInput&) = delete;

  // An attached controller, reported by the enumeration in the order added,
  // with the identity {kJoystickGuidKind, index}.
  void AttachJoystick(const std::string& productName, int index = 0);

  platform::InputResult create = platform::DI_OK;  // DirectInputCreate
  int creations = 0;                               // DirectInputCreate calls
  FakeDeviceScript keyboard;
  FakeDeviceScript mouse;
  FakeDeviceScript joystick;
  std::vector<platform::DIDEVICEINSTANCEA> joysticks;

  uint8_t keys[256] = {};
  platform::DIMOUSESTATE mouseState{};
  platform::DIJOYSTATE joystickState{};

  // The last DIPROP_RANGE and DIPROP_DEADZONE records set, x axis then y.
  platform::DIPROPRANGE ranges[2]{};
  platform::DIPROPDWORD deadZones[2]{};
};

}  // namespace testing_support
