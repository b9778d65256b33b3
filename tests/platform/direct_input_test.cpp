#include "tests/support/skip.h"
#include "platform/direct_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/joystick.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/input_backends.h"
#include "tests/support/temp_dir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace platform;
using testing_support::TempDir;

struct Releaser {
  void operator()(DirectInputDevice* device) const { device->Release(); }
};
using DevicePtr = std::unique_ptr<DirectInputDevice, Releaser>;

// The device system of the real backends, reading controllers from a test
// folder.
class RealInput {
 public:
  explicit RealInput(const std::string& joystickFolder = "") {
    SetJoystickFolder(joystickFolder);
    EXPECT_EQ(DirectInputCreate(this, DIRECTINPUT_VERSION, &system_, nullptr), DI_OK);
  }
  ~RealInput() {
    if (system_ != nullptr) system_->Release();
    SetJoystickFolder("");
  }

  DevicePtr Create(const DeviceGuid& guid, InputResult* result = nullptr) {
    DirectInputDevice* device = nullptr;
    const InputResult r = system_->CreateDevice(guid, &device, nullptr);
    if (result != nullptr) *result = r;
    return DevicePtr(device);
  }
  // Created, shared in the background, formatted and acquired.
  DevicePtr Open(const DeviceGuid& guid, const DataFormat& format) {
    DevicePtr device = Create(guid);
    if (device == nullptr) return device;
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(device->SetDataFormat(format), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }

  // The controllers the enumeration reports until `stopAfter` of them.
  std::vector<std::pair<DeviceGuid, std::string>> Enumerate(size_t stopAfter = 100) {
    struct Context {
      std::vector<std::pair<DeviceGuid, std::string>> seen;
      size_t stopAfter;
    } context{{}, stopAfter};
    auto collect = [](const DIDEVICEINSTANCEA* instance, void* c) {
      auto* context = static_cast<Context*>(c);
      context->seen.emplace_back(instance->guidInstance, instance->tszProductName);
      return context->seen.size() >= context->stopAfter ? DIENUM_STOP : DIENUM_CONTINUE;
    };
    EXPECT_EQ(system_->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &context, DIEDFL_ATTACHEDONLY), DI_OK);
    return context.seen;
  }

 private:
  DirectInput* system_ = nullptr;
};

TEST(LinuxJoystick, EnumerationReportsEachDeviceFileThatOpensInOrderWithAFallbackName) {
  TempDir folder;
  RealInput input(folder.path());
  EXPECT_TRUE(input.Enumerate().empty());

  // Plain files answer no product name: the fallback names them.
  testing_support::WriteFile(folder.File("js3"), "");
  testing_support::WriteFile(folder.File("js1"), "");
  testing_support::WriteFile(folder.File("event0"), "");
  const std::vector<std::pair<DeviceGuid, std::string>> both = {{{kJoystickGuidKind, 1}, "Joystick js1"},
                                                                {{kJoystickGuidKind, 3}, "Joystick js3"}};
  EXPECT_EQ(input.Enumerate(), both);
  EXPECT_EQ(input.Enumerate(1), decltype(both)(both.begin(), both.begin() + 1));

  for (const DeviceGuid& missing : {DeviceGuid{kJoystickGuidKind, 0}, GUID_NULL}) {
    InputResult result = DI_OK;
    EXPECT_EQ(input.Create(missing, &result), nullptr);
    EXPECT_EQ(result, DIERR_DEVICENOTREG);
  }
  EXPECT_NE(input.Create({kJoystickGuidKind, 3}), nullptr);
}

// A controller simulated by a FIFO "js0": the test writes the driver's
// js_event records into it; closing the writer and removing the file
// unplugs it.
class FifoController {
 public:
  explicit FifoController(std::string path) : path_(std::move(path)) { Plug(); }
  ~FifoController() { Unplug(); }
  void Plug() {
    EXPECT_EQ(mkfifo(path_.c_str(), 0600), 0);
    // Read-write: opening does not wait for a reader.
    writer_ = open(path_.c_str(), O_RDWR | O_NONBLOCK);
    EXPECT_GE(writer_, 0);
  }
  void Unplug() {
    if (writer_ < 0) return;
    close(writer_);
    writer_ = -1;
    unlink(path_.c_str());
  }
  void Send(uint8_t type, uint8_t number, int16_t value) {
    const js_event event{0, value, type, number};
    EXPECT_EQ(write(writer_, &event, sizeof event), static_cast<ssize_t>(sizeof event));
  }

 private:
  std::string path_;
  int writer_ = -1;
};

TEST(LinuxJoystick, ReadsScaleTheAxesAroundTheDeadZoneAndSurviveUnplugging) {
  TempDir folder;
  FifoController controller(folder.File("js0"));
  RealInput input(folder.path());
  const DevicePtr device = input.Create({kJoystickGuidKind, 0});
  ASSERT_NE(device, nullptr);
  DIJOYSTATE state{};
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  EXPECT_EQ(device->SetDataFormat(c_dfDIMouse), DIERR_INVALIDPARAM);
  ASSERT_EQ(device->SetDataFormat(c_dfDIJoystick), DI_OK);
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
  for (uint32_t axis : {DIJOFS_X, DIJOFS_Y}) {
    DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, -1000, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    DIPROPDWORD deadZone{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &deadZone.diph), DI_OK);
  }
  ASSERT_EQ(device->Acquire(), DI_OK);
  EXPECT_EQ(device->Acquire(), DI_NOEFFECT);

  // A dead zone of 1000 is 3276.7 raw units around the centre; beyond it
  // the value is 1000 * (|raw| - 3276.7) / (32767 - 3276.7), rounded.
  const std::pair<int16_t, int32_t> rows[] = {{0, 0},          {3276, 0},      {-3276, 0},     {3300, 1},
                                              {16384, 444},    {18022, 500},   {-18022, -500}, {32767, 1000},
                                              {-32767, -1000}, {-32768, -1000}};
  for (const auto& [raw, expected] : rows) {
    controller.Send(JS_EVENT_AXIS, 0, raw);
    controller.Send(JS_EVENT_AXIS, 1, static_cast<int16_t>(raw == -32768 ? 32767 : -raw));
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, expected) << raw;
    EXPECT_EQ(state.lY, -expected) << raw;
  }

  // The opening report (JS_EVENT_INIT) and later changes; axis 2 is not read.
  controller.Send(JS_EVENT_BUTTON | JS_EVENT_INIT, 9, 1);
  controller.Send(JS_EVENT_BUTTON, 0, 1);
  controller.Send(JS_EVENT_BUTTON, 31, 1);
  controller.Send(JS_EVENT_BUTTON, 0, 0);
  controller.Send(JS_EVENT_AXIS, 2, 32767);
  ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(std::vector<int>({state.rgbButtons[0], state.rgbButtons[9], state.rgbButtons[31]}),
            std::vector<int>({0, 0x80, 0x80}));
  EXPECT_EQ(state.otherAxes[0], 0);

  // Unplugged: input lost, and no acquisition until it is back.
  controller.Unplug();
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
  EXPECT_TRUE(InputFailed(device->Acquire()));
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
  controller.Plug();
  ASSERT_EQ(device->Acquire(), DI_OK);
  controller.Send(JS_EVENT_AXIS, 0, -32767);
  ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, -1000);
  EXPECT_EQ(state.rgbButtons[9], 0);  // the state starts over with the new report
}

// Under Xvfb (the test command), XTest presses keys and moves the pointer
// as a user would.
class XInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) TAVRIN_SKIP_TEST("no X display (run under xvfb-run); test skipped");
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
      TAVRIN_SKIP_TEST("the X server has no XTest extension; test skipped");
    }
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Display* display_ = nullptr;
};

TEST_F(XInputTest, KeyboardReadsEachHeldKeyAsItsScanCode) {
  RealInput input;
  const DevicePtr keyboard = input.Open(GUID_SysKeyboard, c_dfDIKeyboard);
  ASSERT_NE(keyboard, nullptr);
  // Scan codes of the PC keyboard (set 1; extended keys with bit 0x80).
  const std::pair<KeySym, int> keys[] = {
      {XK_Up, 200},       {XK_Down, 208},      {XK_Left, 203},      {XK_Right, 205}, {XK_Escape, 1},
      {XK_a, 30},         {XK_z, 44},          {XK_space, 57},      {XK_Return, 28}, {XK_F12, 88},
      {XK_KP_Enter, 156}, {XK_Control_R, 157}, {XK_KP_Divide, 181}, {XK_Home, 199},  {XK_Page_Down, 209},
      {XK_Delete, 211},   {XK_Super_L, 219},
  };
  uint8_t state[256];
  for (const auto& [sym, scanCode] : keys) {
    SCOPED_TRACE(scanCode);
    const KeyCode keycode = XKeysymToKeycode(display_, sym);
    ASSERT_NE(keycode, 0);
    XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
    XSync(display_, False);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof state, state), DI_OK);
    XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
    XSync(display_, False);
    for (int code = 0; code < 256; ++code) EXPECT_EQ(state[code], code == scanCode ? 0x80 : 0) << code;
    ASSERT_EQ(keyboard->GetDeviceState(sizeof state, state), DI_OK);
    EXPECT_EQ(state[scanCode], 0);
  }
}

TEST_F(XInputTest, MouseReadsTheMovementSinceTheLastReadAndItsButtons) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), 100, 200, CurrentTime);
  XSync(display_, False);
  RealInput input;
  const DevicePtr mouse = input.Open(GUID_SysMouse, c_dfDIMouse);
  ASSERT_NE(mouse, nullptr);
  DIMOUSESTATE state{};
  XTestFakeMotionEvent(display_, DefaultScreen(display_), 130, 190, CurrentTime);
  XSync(display_, False);
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 30);
  EXPECT_EQ(state.lY, -10);
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX | state.lY, 0);

  // X buttons 1, 3 and 2 are left, right and middle: bytes 0, 1 and 2.
  for (const auto& [button, index] : {std::pair<unsigned, int>{1, 0}, {3, 1}, {2, 2}}) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XSync(display_, False);
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(state.rgbButtons[i], i == index ? 0x80 : 0) << button;
  }
}

TEST(XInput, WithoutADisplayKeyboardAndMouseAreNotRegistered) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  unsetenv("DISPLAY");
  {
    RealInput input;
    for (const DeviceGuid& guid : {GUID_SysKeyboard, GUID_SysMouse}) {
      InputResult result = DI_OK;
      EXPECT_EQ(input.Create(guid, &result), nullptr);
      EXPECT_EQ(result, DIERR_DEVICENOTREG);
    }
  }
  if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace
