#include "input/dx_devices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "tests/support/fake_input.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace platform;
using testing::EndsWith;
using testing_support::FakeDeviceScript;
using testing_support::FakeInput;

int g_handle = 0;
enum Device { kKeyboard, kMouse, kJoystick };

std::unique_ptr<DXInputDevice> MakeDevice(Device kind) {
  if (kind == kKeyboard) return std::make_unique<DXKeyboard>(&g_handle, &g_handle);
  if (kind == kMouse) return std::make_unique<DXMouse>(&g_handle, &g_handle);
  return std::make_unique<DXJoystick>(&g_handle, &g_handle);
}

// One Poll (or the mouse's PollMotion); true when it yielded a record.
bool PollOnce(DXInputDevice& device, Device kind, bool motion) {
  if (motion) return std::unique_ptr<MouseSample>(device.PollMotion(nullptr)) != nullptr;
  InputState* state = device.Poll();
  // A keyboard record is a KeyboardState; InputState has no virtual destructor.
  if (kind == kKeyboard) return std::unique_ptr<KeyboardState>(static_cast<KeyboardState*>(state)) != nullptr;
  return std::unique_ptr<InputState>(state) != nullptr;
}

// The console's lines, each with the line end the log adds.
std::string g_shown;

// A device system with two controllers; Reset gives a fresh one with one.
class DXDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shown.clear();
    SetLogConsoleSink([](const char* text, int) { g_shown += std::string(text) + "\n"; });
    fake_->AttachJoystick(std::string(79, 'n') + "cut", 2);
    fake_->AttachJoystick("Second", 5);
  }
  void TearDown() override {
    ReleaseDirectInput();
    g_directInputFailed = false;
  }
  FakeInput& Reset() {
    TearDown();
    fake_.emplace().AttachJoystick("Pad");
    Mark();
    return *fake_;
  }
  // Forgets the output so far.
  void Mark() {
    g_shown.clear();
    logMark_ = testing_support::ReadFile("log.txt").size();
  }
  std::string NewLog() const { return testing_support::ReadFile("log.txt").substr(logMark_); }
  FakeDeviceScript& ScriptOf(Device kind) {
    return kind == kKeyboard ? fake_->keyboard : kind == kMouse ? fake_->mouse : fake_->joystick;
  }

  std::optional<FakeInput> fake_{std::in_place};
  size_t logMark_ = 0;
};

TEST_F(DXDevicesTest, SetUpLogsEachStepTakesTheFirstControllerAndClampsTheSavedDeadZone) {
  const DXKeyboard keyboard(&g_handle, &g_handle);
  const DXMouse mouse(&g_handle, &g_handle);
  const DXJoystick joystick(&g_handle, &g_handle);
  EXPECT_EQ(g_shown, "DXKeyboard: Loaded keyboard device - DI_OK\n\nDXMouse: Loaded mouse device - DI_OK\n\n"
                     "DXJoystick: Loading joystick device - " + std::string(79, 'n') +
                         "\n\nSetting x-axis range\n\nSetting y-axis range\n\n"
                         "Setting x-axis dead zone: 0.100000\n\nSetting y-axis dead zone: 0.100000\n\n"
                         "DXJoystick: Loaded joystick device - DI_OK\n\n");
  EXPECT_EQ(NewLog(), g_shown);
  EXPECT_TRUE(keyboard.acquired && mouse.acquired && joystick.acquired && joystick.device2 != nullptr);
  EXPECT_TRUE(joystick.deviceGuid == (DeviceGuid{kJoystickGuidKind, 2}));
  // Handed to the device layer: shared background access, then each axis's
  // range and dead zone (a tenth of the range by default).
  EXPECT_EQ(std::vector<uint32_t>({fake_->keyboard.cooperativeFlags, fake_->mouse.cooperativeFlags,
                                   fake_->joystick.cooperativeFlags}),
            std::vector<uint32_t>(3, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
  const DIPROPRANGE ranges[2] = {{{24, 16, 0, DIPH_BYOFFSET}, -1000, 1000}, {{24, 16, 4, DIPH_BYOFFSET}, -1000, 1000}};
  EXPECT_EQ(std::memcmp(fake_->ranges, ranges, sizeof ranges), 0);
  const DIPROPDWORD deadZones[2] = {{{20, 16, 0, DIPH_BYOFFSET}, 1000}, {{20, 16, 4, DIPH_BYOFFSET}, 1000}};
  EXPECT_EQ(std::memcmp(fake_->deadZones, deadZones, sizeof deadZones), 0);
  // A device that refuses the second-version interface still works; the
  // saved dead zone is logged as it is and set within 0..1.
  fake_->joystick.queryInterface = DIERR_NOINTERFACE;
  for (const auto& [saved, units] : {std::pair{"3.000000", 10000u}, {"-1.500000", 0u}, {"0.250000", 2500u}}) {
    ASSERT_TRUE(CVarLoadEntry("joystick.deadzone", kCVarFloat, saved));
    Mark();
    const DXJoystick other(&g_handle, &g_handle);
    EXPECT_TRUE(other.acquired && other.device2 == nullptr);
    EXPECT_EQ(fake_->deadZones[0].dwData + fake_->deadZones[1].dwData, 2 * units);
    EXPECT_THAT(g_shown, testing::HasSubstr(std::string("Setting x-axis dead zone: ") + saved +
                                            "\n\nSetting y-axis dead zone: " + saved + "\n\n"));
  }
}

// Each failure yields nothing and logs its line last, to the console too but
// for the mouse's reacquire lines. A failed set-up step leaves the device
// unacquired; a failed reacquire after lost input (refused, or the input lost
// again at each of the tries a poll allows) leaves it acquired, polled again
// next time.
TEST_F(DXDevicesTest, EachFailureLogsItsLineLastAndYieldsNothing) {
  using S = FakeDeviceScript;
  const InputResult G = DIERR_GENERIC;
  enum Step { kSetUp, kPoll, kMotion };
  const std::tuple<Device, Step, InputResult S::*, InputResult, const char*> rows[] = {
      {kKeyboard, kSetUp, &S::create, G, "DXKeyboard: Can't create keyboard device - DIERR_GENERIC"},
      {kKeyboard, kSetUp, &S::acquire, G, "DXKeyboard: Couldn't acquire the keyboard..."},
      {kMouse, kSetUp, &S::cooperativeLevel, G, "DXMouse: Failed to set cooperation level properly - DIERR_GENERIC"},
      {kMouse, kSetUp, &S::dataFormat, G, "DXMouse: Error setting data format - DIERR_GENERIC"},
      {kJoystick, kSetUp, &S::enumerate, G, "DXJoystick: Error occured in enumerating joystick devices - DIERR_GENERIC"},
      {kJoystick, kSetUp, nullptr, G, "DXJoystick: Can't create joystick device - DIERR_DEVICENOTREG"},  // none
      {kJoystick, kSetUp, &S::dataFormat, kInputCode(0x80041234), "DXJoystick: Error setting data format - Unknown"},
      {kJoystick, kSetUp, &S::acquire, DIERR_INPUTLOST, "DXJoystick: Couldnt acquire the joystick - DIERR_INPUTLOST"},
      {kKeyboard, kPoll, &S::reacquire, G, "DXKeyboard: Can't reacquire Keyboard device...."},
      {kMouse, kPoll, &S::reacquire, DI_OK, "DXMouse: Can't reacquire mouse device - DIERR_INPUTLOST"},
      {kMouse, kPoll, &S::reacquire, DIERR_OTHERAPPHASPRIO, "DXMouse: Can't reacquire mouse device - DIERR_OTHERAPPHASPRIO"},
      {kMouse, kMotion, &S::reacquire, G, "ERROR: Can't reacquire mouse device...."},
      {kJoystick, kPoll, &S::reacquire, G, "DXJoystick: Can't reacquire joystick device...."},
  };
  for (const auto& [kind, when, step, code, line] : rows) {
    Reset();
    FakeDeviceScript& script = ScriptOf(kind);
    if (step == nullptr) fake_->joysticks.clear();
    if (step != nullptr) script.*step = code;
    const int lost = when == kSetUp ? 0 : code == DI_OK ? kMaxReacquireTries + 1 : 1;
    const std::unique_ptr<DXInputDevice> device = MakeDevice(kind);
    if (when != kSetUp) Mark();
    const int acquires = script.acquires;
    script.lostReads = lost;
    EXPECT_EQ(device->acquired, when != kSetUp) << line;
    EXPECT_FALSE(when != kSetUp && PollOnce(*device, kind, when == kMotion)) << line;
    EXPECT_EQ(script.acquires - acquires, std::min(lost, kMaxReacquireTries)) << line;
    EXPECT_EQ(device->acquired, when != kSetUp) << line;  // a reacquired device is polled again next time
    EXPECT_THAT(NewLog(), EndsWith(std::string(line) + "\n\n"));
    EXPECT_EQ(g_shown, kind == kMouse && when != kSetUp ? "" : NewLog()) << line;
  }
}

// Input lost at every try but the last that a poll allows is reacquired
// without a word, and the poll yields its record.
TEST_F(DXDevicesTest, LostInputIsReacquiredUpToTheTriesAPollAllows) {
  for (Device kind : {kKeyboard, kMouse, kJoystick}) {
    const std::unique_ptr<DXInputDevice> device = MakeDevice(kind);
    Mark();
    ScriptOf(kind).lostReads = kMaxReacquireTries;
    const int acquires = ScriptOf(kind).acquires;
    EXPECT_TRUE(PollOnce(*device, kind, false)) << kind;
    EXPECT_EQ(ScriptOf(kind).acquires - acquires, kMaxReacquireTries) << kind;
    EXPECT_EQ(NewLog() + g_shown, "") << kind;
  }
}

TEST_F(DXDevicesTest, AFailedDeviceSystemIsLoggedOnceByTheFirstDeviceAndNeverRetried) {
  for (Device first : {kKeyboard, kMouse, kJoystick}) {
    Reset().create = DIERR_OUTOFMEMORY;
    EXPECT_FALSE(MakeDevice(first)->acquired);
    for (Device kind : {kKeyboard, kMouse, kJoystick}) EXPECT_FALSE(MakeDevice(kind)->acquired);
    EXPECT_EQ(fake_->creations, 1);
    EXPECT_EQ(NewLog(), "Unable to Initialize DX-Input COM object...\n\n") << first;
    EXPECT_EQ(g_shown, first == kJoystick ? NewLog() : "");  // only the joystick's goes to the console
  }
}

TEST_F(DXDevicesTest, PollsCarryAxesKeysAndTheRecordedButtons) {
  DXKeyboard keyboard(&g_handle, &g_handle);
  DXMouse mouse(&g_handle, &g_handle);
  DXJoystick joystick(&g_handle, &g_handle);
  // Joystick buttons 0, 1 and 9 land in bits 0, 1 and 2; others are dropped.
  fake_->joystickState.lX = -1000;
  fake_->joystickState.lY = 250;
  for (int button : {0, 3, 8, 9, 10, 31}) fake_->joystickState.rgbButtons[button] = 0x80;
  const std::unique_ptr<InputState> state(joystick.Poll());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(std::vector<float>({state->joyX, state->joyY, static_cast<float>(state->buttons.bits[0])}),
            std::vector<float>({-1000.0f, 250.0f, 5.0f}));
  for (const auto& [held, bits] : {std::pair{std::vector<int>{0}, 1}, {{1}, 2}, {{9}, 4}, {{2, 3, 8, 10, 31}, 0}}) {
    std::memset(fake_->joystickState.rgbButtons, 0, sizeof fake_->joystickState.rgbButtons);
    for (int button : held) fake_->joystickState.rgbButtons[button] = 0x80;
    const std::unique_ptr<InputState> polled(joystick.Poll());
    ASSERT_NE(polled, nullptr);
    EXPECT_EQ(polled->buttons.bits[0], bits) << held[0];
  }
  // Mouse: movement as read (y downward), the left button in bit 0 (a
  // fourth button is dropped).
  fake_->mouseState = DIMOUSESTATE{5, -7, 0, {0x80, 0, 0, 0x80}};
  const std::unique_ptr<InputState> moved(mouse.Poll());
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(std::vector<int>({moved->mouseX, moved->mouseY, moved->buttons.bits[0]}), std::vector<int>({5, -7, 1}));
  // A mouse motion sample turns y upward; left and right land in bits 0 and
  // 1 (the middle button is dropped).
  fake_->mouseState = DIMOUSESTATE{5, -7, 0, {0, 0x80, 0x80, 0}};
  BitArray buttons;
  const std::unique_ptr<MouseSample> sample(mouse.PollMotion(&buttons));
  EXPECT_EQ(std::vector<float>({sample->dx, sample->dy, static_cast<float>(buttons.bits[0])}), std::vector<float>({5, 7, 2}));
  // The keyboard: the device's 256 bytes as they are.
  fake_->keys[kKeyUp] = 0x80;
  fake_->keys[1] = 0x80;
  const std::unique_ptr<KeyboardState> keys(static_cast<KeyboardState*>(keyboard.Poll()));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(std::memcmp(keys->keys, fake_->keys, sizeof fake_->keys), 0);
}

}  // namespace
