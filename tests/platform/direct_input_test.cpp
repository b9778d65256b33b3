// The real input backends: controllers read from FIFOs in the test's working
// folder, the keyboard and the mouse of the X server (Xvfb in the test command)
// driven by XTest as a user would.
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
#include "tests/support/skip.h"
#include "tests/support/temp_dir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace platform;
struct Releaser {
  void operator()(DirectInputDevice* device) const { device->Release(); }
};
using DevicePtr = std::unique_ptr<DirectInputDevice, Releaser>;

// The device system of the real backends, reading controllers from the working folder.
struct RealInput {
  RealInput() {
    SetJoystickFolder(".");
    EXPECT_EQ(DirectInputCreate(this, DIRECTINPUT_VERSION, &system, nullptr), DI_OK);
  }
  ~RealInput() {
    system->Release();
    SetJoystickFolder("");
  }
  // The device, null when refused (the answer in *result).
  DevicePtr Create(const DeviceGuid& guid, InputResult* result = nullptr, const DataFormat* format = nullptr) {
    DirectInputDevice* device = nullptr;
    const InputResult r = system->CreateDevice(guid, &device, nullptr);
    if (result != nullptr) *result = r;
    if (device != nullptr && format != nullptr) {  // shared in the background, formatted and acquired
      EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
      EXPECT_EQ(device->SetDataFormat(*format), DI_OK);
      EXPECT_EQ(device->Acquire(), DI_OK);
    }
    return DevicePtr(device);
  }
  DirectInput* system = nullptr;
};

TEST(LinuxJoystick, EnumerationReportsEachDeviceFileThatOpensInOrderWithAFallbackName) {
  RealInput input;
  using Seen = std::vector<std::pair<int, std::string>>;
  std::pair<Seen, size_t> seen;  // the controllers reported, and after how many to stop
  auto collect = [](const DIDEVICEINSTANCEA* instance, void* context) {
    auto* s = static_cast<std::pair<Seen, size_t>*>(context);
    EXPECT_EQ(instance->guidInstance.kind, kJoystickGuidKind);
    s->first.emplace_back(instance->guidInstance.index, instance->tszProductName);
    return s->first.size() >= s->second ? DIENUM_STOP : DIENUM_CONTINUE;
  };
  for (const char* file : {"js3", "js1", "event0"}) testing_support::WriteFile(file, "");  // no product names
  for (size_t stopAfter : {1, 100}) {
    seen = {{}, stopAfter};
    EXPECT_EQ(input.system->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
    const Seen both = {{1, "Joystick js1"}, {3, "Joystick js3"}};
    EXPECT_EQ(seen.first, Seen(both.begin(), both.begin() + std::min<size_t>(stopAfter, 2)));
  }
  for (const DeviceGuid& missing : {DeviceGuid{kJoystickGuidKind, 0}, GUID_NULL}) {
    InputResult result = DI_OK;
    EXPECT_EQ(input.Create(missing, &result), nullptr);
    EXPECT_EQ(result, DIERR_DEVICENOTREG);
  }
  EXPECT_NE(input.Create({kJoystickGuidKind, 3}), nullptr);
}

// A controller "js0" simulated by a FIFO: the test writes the driver's js_event
// records into it; closing the writer and removing the file unplugs it.
struct FifoController {
  FifoController() { Plug(); }
  ~FifoController() { Unplug(); }
  void Plug() {
    EXPECT_EQ(mkfifo("js0", 0600), 0);
    writer = open("js0", O_RDWR | O_NONBLOCK);  // read-write: opening does not wait for a reader
  }
  void Unplug() {
    close(writer);
    unlink("js0");
  }
  void Send(uint8_t type, uint8_t number, int16_t value) {
    const js_event event{0, value, type, number};
    EXPECT_EQ(write(writer, &event, sizeof event), static_cast<ssize_t>(sizeof event));
  }
  int writer = -1;
};

TEST(LinuxJoystick, ReadsScaleTheAxesAroundTheDeadZoneAndSurviveUnplugging) {
  FifoController controller;
  RealInput input;
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
    range.lMax = range.lMin;  // an empty range is refused
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM);
    DIPROPDWORD deadZone{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &deadZone.diph), DI_OK);
  }
  ASSERT_EQ(device->Acquire(), DI_OK);
  EXPECT_EQ(device->Acquire(), DI_NOEFFECT);
  // A dead zone of 1000 is 3276.7 raw units around the centre; beyond it the
  // value is 1000 (|raw| - 3276.7) / (32767 - 3276.7), rounded. y reads -raw.
  for (const auto& [raw, expected] : {std::pair<int16_t, int32_t>{0, 0}, {3276, 0}, {-3276, 0}, {3300, 1},
                                      {16384, 444}, {18022, 500}, {-18022, -500}, {32767, 1000}, {-32768, -1000}}) {
    controller.Send(JS_EVENT_AXIS, 0, raw);
    controller.Send(JS_EVENT_AXIS, 1, static_cast<int16_t>(raw == -32768 ? 32767 : -raw));
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(std::make_pair(state.lX, state.lY), std::make_pair(expected, -expected)) << raw;
  }
  // The opening report (JS_EVENT_INIT) and later changes; axis 2 is not read.
  for (const auto& [type, number, value] : {std::tuple{JS_EVENT_BUTTON | JS_EVENT_INIT, 9, 1}, {JS_EVENT_BUTTON, 0, 1},
                                            {JS_EVENT_BUTTON, 31, 1}, {JS_EVENT_BUTTON, 0, 0}, {JS_EVENT_AXIS, 2, 32767}}) {
    controller.Send(type, number, value);
  }
  ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(std::vector<int>({state.rgbButtons[0], state.rgbButtons[9], state.rgbButtons[31], state.otherAxes[0]}),
            std::vector<int>({0, 0x80, 0x80, 0}));
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

TEST(XInput, KeyboardAndMouseReadWhatXTestDoes) {
  Display* display = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    if (display != nullptr) XCloseDisplay(display);
    TAVRIN_SKIP_TEST("no X display with the XTest extension (run under xvfb-run); test skipped");
  }
  auto sync = [display](int) { XSync(display, False); };
  XTestFakeMotionEvent(display, DefaultScreen(display), 100, 200, CurrentTime);
  sync(0);
  RealInput input;
  const DevicePtr keyboard = input.Create(GUID_SysKeyboard, nullptr, &c_dfDIKeyboard);
  const DevicePtr mouse = input.Create(GUID_SysMouse, nullptr, &c_dfDIMouse);
  ASSERT_TRUE(keyboard != nullptr && mouse != nullptr);
  // Each held key reads as its scan code (set 1; extended keys with bit 0x80), alone.
  uint8_t keys[256];
  for (const auto& [sym, scanCode] : {std::pair<KeySym, int>{XK_Up, 200}, {XK_Down, 208}, {XK_Left, 203},
                                      {XK_Right, 205}, {XK_Escape, 1}, {XK_a, 30}, {XK_z, 44}, {XK_space, 57},
                                      {XK_Return, 28}, {XK_F12, 88}, {XK_KP_Enter, 156}, {XK_Control_R, 157},
                                      {XK_KP_Divide, 181}, {XK_Home, 199}, {XK_Page_Down, 209}, {XK_Delete, 211},
                                      {XK_Super_L, 219}}) {
    const KeyCode keycode = XKeysymToKeycode(display, sym);
    sync(XTestFakeKeyEvent(display, keycode, True, CurrentTime));
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    sync(XTestFakeKeyEvent(display, keycode, False, CurrentTime));
    for (int code = 0; code < 256; ++code) EXPECT_EQ(keys[code], code == scanCode ? 0x80 : 0) << scanCode << " " << code;
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[scanCode], 0);
  }
  // The mouse reads the movement since the last read, and X buttons 1, 3, 2 as left, right, middle.
  DIMOUSESTATE state{};
  for (const auto& [x, y, dx, dy] : {std::tuple{130, 190, 30, -10}, {130, 190, 0, 0}, {120, 195, -10, 5}}) {
    sync(XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime));
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(std::make_pair(state.lX, state.lY), std::make_pair(dx, dy));
  }
  for (const auto& [button, index] : {std::pair<unsigned, int>{1, 0}, {3, 1}, {2, 2}}) {
    sync(XTestFakeButtonEvent(display, button, True, CurrentTime));
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    sync(XTestFakeButtonEvent(display, button, False, CurrentTime));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(state.rgbButtons[i], i == index ? 0x80 : 0) << button;
  }
  XCloseDisplay(display);
  // Without a display the keyboard and the mouse are not registered.
  const std::string saved = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  for (const DeviceGuid& guid : {GUID_SysKeyboard, GUID_SysMouse}) {
    InputResult result = DI_OK;
    EXPECT_EQ(input.Create(guid, &result), nullptr);
    EXPECT_EQ(result, DIERR_DEVICENOTREG);
  }
  setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace
