#include "input/dx_devices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "tests/support/fake_input.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace platform;
using testing_support::FakeDeviceScript;
using testing_support::FakeInput;
using testing_support::ReadFile;

int g_handle = 0;
InstanceHandle const kInstance = &g_handle;
WindowHandle const kWindow = &g_handle;

enum Device { kKeyboard, kMouse, kJoystick };

std::unique_ptr<DXInputDevice> MakeDevice(Device kind) {
  if (kind == kKeyboard) return std::make_unique<DXKeyboard>(kInstance, kWindow);
  if (kind == kMouse) return std::make_unique<DXMouse>(kInstance, kWindow);
  return std::make_unique<DXJoystick>(kInstance, kWindow);
}

// The three devices, created in the program's order.
struct Devices {
  DXKeyboard keyboard{kInstance, kWindow};
  DXMouse mouse{kInstance, kWindow};
  DXJoystick joystick{kInstance, kWindow};
};

FakeDeviceScript& ScriptOf(FakeInput& fake, Device kind) {
  return kind == kKeyboard ? fake.keyboard : kind == kMouse ? fake.mouse : fake.joystick;
}

// One Poll (or the mouse's PollMotion); true when it yielded a record.
bool PollOnce(DXInputDevice& device, Device kind, bool motion) {
  if (motion) return std::unique_ptr<MouseSample>(device.PollMotion(nullptr)) != nullptr;
  InputState* state = device.Poll();
  // A keyboard record is a KeyboardState; InputState has no virtual destructor.
  if (kind == kKeyboard) return std::unique_ptr<KeyboardState>(static_cast<KeyboardState*>(state)) != nullptr;
  return std::unique_ptr<InputState>(state) != nullptr;
}

std::vector<std::string> g_consoleLines;

// Each test case runs in its own process, so "log.txt" opens in the case's
// working folder. Tables run their rows in one case: Reset starts a row.
class DXDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogConsoleSink([](const char* text, int) { g_consoleLines.push_back(text); });
  }
  void TearDown() override {
    Reset();
    SetLogConsoleSink(nullptr);
  }
  // Forgets the device system and its failure, and the lines logged so far.
  void Reset() {
    ReleaseDirectInput();
    g_directInputFailed = false;
    Mark();
  }
  void Mark() {
    g_consoleLines.clear();
    logMark_ = ReadFile("log.txt").size();
  }
  // "log.txt" since the last Mark.
  std::string NewLog() const { return ReadFile("log.txt").substr(logMark_); }
  // The console lines as "log.txt" has them.
  static std::string ConsoleText() {
    std::string text;
    for (const std::string& line : g_consoleLines) text += line + "\n";
    return text;
  }

  testing_support::ScopedWorkDir dir_;
  size_t logMark_ = 0;
};

TEST_F(DXDevicesTest, EachFailingSetUpStepLogsItsLineLastAndLeavesTheDeviceUnacquired) {
  using S = FakeDeviceScript;
  struct Row {
    Device device;
    InputResult S::*step;  // null: no controller attached
    InputResult code;
    const char* line;
  };
  const Row rows[] = {
      {kKeyboard, &S::create, DIERR_OTHERAPPHASPRIO,
       "DXKeyboard: Can't create keyboard device - DIERR_OTHERAPPHASPRIO\n"},
      {kKeyboard, &S::cooperativeLevel, DIERR_INVALIDPARAM,
       "DXKeyboard: Failed to set cooperation level properly - DIERR_INVALIDPARAM\n"},
      {kKeyboard, &S::dataFormat, DIERR_NOTINITIALIZED,
       "DXKeyboard: Error setting data format - DIERR_NOTINITIALIZED\n"},
      {kKeyboard, &S::acquire, DIERR_OTHERAPPHASPRIO, "DXKeyboard: Couldn't acquire the keyboard...\n"},
      {kMouse, &S::create, DIERR_OUTOFMEMORY, "DXMouse: Can't create mouse device - DIERR_OUTOFMEMORY\n"},
      {kMouse, &S::cooperativeLevel, DIERR_UNSUPPORTED,
       "DXMouse: Failed to set cooperation level properly - DIERR_UNSUPPORTED\n"},
      {kMouse, &S::dataFormat, DIERR_GENERIC, "DXMouse: Error setting data format - DIERR_GENERIC\n"},
      {kMouse, &S::acquire, DIERR_GENERIC, "DXMouse: Couldnt acquire the mouse...\n"},
      {kJoystick, &S::enumerate, DIERR_NOINTERFACE,
       "DXJoystick: Error occured in enumerating joystick devices - DIERR_NOINTERFACE\n"},
      {kJoystick, &S::create, DIERR_OLDDIRECTINPUTVERSION,
       "DXJoystick: Can't create joystick device - DIERR_OLDDIRECTINPUTVERSION\n"},
      {kJoystick, nullptr, DI_OK, "DXJoystick: Can't create joystick device - DIERR_DEVICENOTREG\n"},
      {kJoystick, &S::cooperativeLevel, DIERR_NOTACQUIRED,
       "DXJoystick: Failed to set cooperation level properly - DIERR_NOTACQUIRED\n"},
      {kJoystick, &S::dataFormat, kInputCode(0x80041234),
       "DXJoystick: Error setting data format - Unknown\n"},
      {kJoystick, &S::acquire, DIERR_INPUTLOST,
       "DXJoystick: Couldnt acquire the joystick - DIERR_INPUTLOST\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Reset();
    FakeInput fake;
    if (row.step != nullptr) {
      fake.AttachJoystick("Pad");
      ScriptOf(fake, row.device).*row.step = row.code;
    }
    EXPECT_FALSE(MakeDevice(row.device)->acquired);
    // On the console and in the file (with the log's own line end), and
    // nothing after it.
    ASSERT_FALSE(g_consoleLines.empty());
    EXPECT_EQ(g_consoleLines.back(), row.line);
    EXPECT_EQ(NewLog(), ConsoleText());
  }
}

TEST_F(DXDevicesTest, SetUpOfAllThreeLogsEachStepAndTakesTheFirstControllerWithItsAxesSet) {
  FakeInput fake;
  fake.AttachJoystick(std::string(79, 'n') + "cut", 2);
  fake.AttachJoystick("Second", 5);
  const Devices d;

  const std::vector<std::string> expected = {
      "DXKeyboard: Loaded keyboard device - DI_OK\n",
      "DXMouse: Loaded mouse device - DI_OK\n",
      "DXJoystick: Loading joystick device - " + std::string(79, 'n') + "\n",
      "Setting x-axis range\n",
      "Setting y-axis range\n",
      "Setting x-axis dead zone: 0.100000\n",
      "Setting y-axis dead zone: 0.100000\n",
      "DXJoystick: Loaded joystick device - DI_OK\n",
  };
  EXPECT_EQ(g_consoleLines, expected);
  EXPECT_EQ(NewLog(), ConsoleText());
  EXPECT_TRUE(d.keyboard.acquired && d.mouse.acquired && d.joystick.acquired);
  EXPECT_TRUE(d.joystick.deviceGuid == (DeviceGuid{kJoystickGuidKind, 2}));
  EXPECT_NE(d.joystick.device2, nullptr);
  for (const FakeDeviceScript* script : {&fake.keyboard, &fake.mouse, &fake.joystick}) {
    EXPECT_EQ(script->cooperativeFlags, 0x0Au);
  }
  for (uint32_t axis = 0; axis < 2; ++axis) {
    const DIPROPRANGE range{{24, 16, axis * 4, DIPH_BYOFFSET}, -1000, 1000};
    EXPECT_EQ(std::memcmp(&fake.ranges[axis], &range, sizeof range), 0) << axis;
    const DIPROPDWORD deadZone{{20, 16, axis * 4, DIPH_BYOFFSET}, 1000};
    EXPECT_EQ(std::memcmp(&fake.deadZones[axis], &deadZone, sizeof deadZone), 0) << axis;
  }

  // A device that refuses the second-version interface still works.
  fake.joystick.queryInterface = DIERR_NOINTERFACE;
  const DXJoystick without2(kInstance, kWindow);
  EXPECT_TRUE(without2.acquired);
  EXPECT_EQ(without2.device2, nullptr);
}

TEST_F(DXDevicesTest, DeadZoneComesFromTheSavedValueClampedToTheAxis) {
  struct Row {
    const char* saved;  // as "cvar.ini" holds it
    uint32_t units;
    std::string shown;
  };
  const Row rows[] = {{"0.250000", 2500, "0.250000"}, {"-1.5", 0, "-1.500000"}, {"3", 10000, "3.000000"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.saved);
    Reset();
    FakeInput fake;
    fake.AttachJoystick("Pad");
    ASSERT_TRUE(CVarLoadEntry("joystick.deadzone", kCVarFloat, row.saved));
    DXJoystick joystick(kInstance, kWindow);
    EXPECT_EQ(fake.deadZones[0].dwData, row.units);
    EXPECT_EQ(fake.deadZones[1].dwData, row.units);
    const std::string log = NewLog();
    EXPECT_NE(log.find("Setting x-axis dead zone: " + row.shown +
                       "\n\nSetting y-axis dead zone: " + row.shown + "\n\n"),
              std::string::npos);
  }
}

TEST_F(DXDevicesTest, AFailedDeviceSystemIsLoggedOnceByTheFirstDeviceAndNeverRetried) {
  for (Device first : {kKeyboard, kMouse, kJoystick}) {
    SCOPED_TRACE(first);
    Reset();
    FakeInput fake;
    fake.create = DIERR_OUTOFMEMORY;
    fake.AttachJoystick("Pad");
    std::vector<std::unique_ptr<DXInputDevice>> devices;
    devices.push_back(MakeDevice(first));
    for (Device kind : {kKeyboard, kMouse, kJoystick}) devices.push_back(MakeDevice(kind));

    EXPECT_EQ(fake.creations, 1);
    for (const auto& device : devices) EXPECT_FALSE(device->acquired);
    EXPECT_EQ(NewLog(), "Unable to Initialize DX-Input COM object...\n\n");
    // Only the joystick says it on the console too.
    EXPECT_EQ(ConsoleText(), first == kJoystick ? "Unable to Initialize DX-Input COM object...\n\n" : "");
  }
}

TEST_F(DXDevicesTest, PollsCarryAxesKeysAndTheRecordedButtons) {
  FakeInput fake;
  fake.AttachJoystick("Pad");
  Devices d;

  // Joystick buttons 0, 1 and 9 land in bits 0, 1 and 2; others are dropped.
  struct Row {
    std::vector<int> held;
    uint8_t bits;
  };
  const Row rows[] = {{{0}, 0x1}, {{1, 2}, 0x2}, {{9}, 0x4}, {{2, 3, 8, 10, 31}, 0x0}, {{0, 1, 9}, 0x7}};
  fake.joystickState.lX = -1000;
  fake.joystickState.lY = 250;
  for (const Row& row : rows) {
    std::memset(fake.joystickState.rgbButtons, 0, sizeof fake.joystickState.rgbButtons);
    for (int button : row.held) fake.joystickState.rgbButtons[button] = 0x80;
    const std::unique_ptr<InputState> state(d.joystick.Poll());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->joyX, -1000.0f);
    EXPECT_EQ(state->joyY, 250.0f);
    EXPECT_EQ(state->buttons.bits[0], row.bits) << row.held.size();
  }

  // Mouse: movement as read (y downward), left and right in bits 0 and 1
  // (the middle button is dropped); a motion sample turns y upward.
  fake.mouseState = DIMOUSESTATE{5, -7, 0, {0x80, 0, 0x80, 0}};
  const std::unique_ptr<InputState> moved(d.mouse.Poll());
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->mouseX, 5);
  EXPECT_EQ(moved->mouseY, -7);
  EXPECT_EQ(moved->buttons.bits[0], 0x1);
  fake.mouseState.rgbButtons[0] = 0;
  fake.mouseState.rgbButtons[1] = 0x80;
  BitArray buttons;
  const std::unique_ptr<MouseSample> sample(d.mouse.PollMotion(&buttons));
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->dx, 5.0f);
  EXPECT_EQ(sample->dy, 7.0f);
  EXPECT_EQ(sample->seconds, 0.0);
  EXPECT_EQ(buttons.bits[0], 0x2);

  fake.keys[kKeyUp] = 0x80;
  fake.keys[1] = 0x80;
  const std::unique_ptr<KeyboardState> keys(static_cast<KeyboardState*>(d.keyboard.Poll()));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(std::memcmp(keys->keys, fake.keys, sizeof fake.keys), 0);
}

TEST_F(DXDevicesTest, LostInputIsReacquiredSilentlyAndAFailedReacquireLogsTheDevicesLine) {
  struct Row {
    Device device;
    bool motion;
    const char* line;  // "%s": the failure's name
    bool onConsole;
  };
  const Row rows[] = {
      {kKeyboard, false, "DXKeyboard: Can't reacquire Keyboard device....\n", true},
      {kMouse, false, "DXMouse: Can't reacquire mouse device - %s\n", false},
      {kMouse, true, "ERROR: Can't reacquire mouse device....\n", false},
      {kJoystick, false, "DXJoystick: Can't reacquire joystick device....\n", true},
  };
  struct Case {
    int lostReads;
    InputResult reacquire;
    bool yields;
    int acquires;
    const char* failure;
  };
  const Case cases[] = {
      {kMaxReacquireTries, DI_OK, true, kMaxReacquireTries, ""},
      // Reads that keep losing the input: the poll gives up.
      {kMaxReacquireTries + 1, DI_OK, false, kMaxReacquireTries, "DIERR_INPUTLOST"},
      {1, DIERR_OTHERAPPHASPRIO, false, 1, "DIERR_OTHERAPPHASPRIO"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Reset();
    FakeInput fake;
    fake.AttachJoystick("Pad");
    const std::unique_ptr<DXInputDevice> device = MakeDevice(row.device);
    FakeDeviceScript& script = ScriptOf(fake, row.device);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.lostReads);
      Mark();
      script.lostReads = c.lostReads;
      script.reacquire = c.reacquire;
      const int acquiresBefore = script.acquires;
      EXPECT_EQ(PollOnce(*device, row.device, row.motion), c.yields);
      EXPECT_EQ(script.acquires - acquiresBefore, c.acquires);
      char text[100] = "";
      if (!c.yields) std::snprintf(text, sizeof text, row.line, c.failure);
      const std::string line = c.yields ? "" : std::string(text) + "\n";
      EXPECT_EQ(NewLog(), line);
      EXPECT_EQ(ConsoleText(), row.onConsole ? line : "");
      // Still polled next time.
      EXPECT_TRUE(device->acquired);
    }
  }
}

}  // namespace
