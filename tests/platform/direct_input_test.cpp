// The real input backends: controllers read from FIFOs in the test's working
// folder, the keyboard and the mouse of the X server (Xvfb in the test command)
// driven by XTest as a user would.
#include "platform/direct_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/joystick.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The device system of the real backends, reading controllers from the
// working folder.
struct RealInput {
  RealInput() {
    SetJoystickFolder(".");
    EXPECT_EQ(DirectInputCreate(this, DIRECTINPUT_VERSION, &system, nullptr), DI_OK);
  }
  ~RealInput() {
    system->Release();
    SetJoystickFolder("");
  }
  std::shared_ptr<DirectInputDevice> Create(const DeviceGuid& guid) {
    DirectInputDevice* device = nullptr;
    EXPECT_EQ(system->CreateDevice(guid, &device, nullptr), DI_OK);
    return std::shared_ptr<DirectInputDevice>(device, [](DirectInputDevice* d) { if (d != nullptr) d->Release(); });
  }
  DirectInput* system = nullptr;
};

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
  void Send(int type, int number, int value) {
    const js_event event{0, static_cast<int16_t>(value), static_cast<uint8_t>(type), static_cast<uint8_t>(number)};
    EXPECT_EQ(write(writer, &event, sizeof event), static_cast<ssize_t>(sizeof event));
  }
  int writer = -1;
};

TEST(LinuxJoystick, EnumeratesDeviceFilesAndReadsTheAxesAroundTheDeadZoneAndSurvivesUnplugging) {
  FifoController controller;
  RealInput input;
  // Every device file that opens, in order, named by the fallback when the driver names none.
  for (const char* file : {"js3", "event0"}) testing_support::WriteFile(file, "");
  std::vector<DIDEVICEINSTANCEA> seen;
  auto collect = [](const DIDEVICEINSTANCEA* instance, void* context) {
    static_cast<std::vector<DIDEVICEINSTANCEA>*>(context)->push_back(*instance);
    return DIENUM_CONTINUE;
  };
  EXPECT_EQ(input.system->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &seen, DIEDFL_ATTACHEDONLY), DI_OK);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(std::string(seen[0].tszProductName) + ", " + seen[1].tszProductName, "Joystick js0, Joystick js3");
  EXPECT_TRUE(input.Create(seen[1].guidInstance));
  const auto device = input.Create(seen[0].guidInstance);
  ASSERT_TRUE(device);
  DIJOYSTATE state{};
  EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  ASSERT_EQ(device->SetDataFormat(c_dfDIJoystick), DI_OK);
  for (uint32_t axis : {DIJOFS_X, DIJOFS_Y}) {  // -1000 .. 1000 with a dead zone of 10 %; an empty range is refused
    DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 1000, 1000};
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM);
    range.lMin = -1000;
    DIPROPDWORD deadZone{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 1000};
    EXPECT_TRUE(device->SetProperty(DIPROP_RANGE, &range.diph) == DI_OK &&
                device->SetProperty(DIPROP_DEADZONE, &deadZone.diph) == DI_OK);
  }
  ASSERT_EQ(device->Acquire(), DI_OK);
  // A dead zone of 1000 is 3276.7 raw units around the centre; beyond it the
  // value is 1000 (|raw| - 3276.7) / (32767 - 3276.7), rounded. y reads -raw.
  for (const auto& [raw, expected] : {std::pair{3276, 0}, {3300, 1}, {-18022, -500}, {32767, 1000}, {-32768, -1000}}) {
    controller.Send(JS_EVENT_AXIS, 0, raw);
    controller.Send(JS_EVENT_AXIS, 1, raw == -32768 ? 32767 : -raw);
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
  // Unplugged: input lost, and no acquisition until it is back; then the state starts over.
  controller.Unplug();
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
  EXPECT_TRUE(InputFailed(device->Acquire()));
  EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
  controller.Plug();
  ASSERT_EQ(device->Acquire(), DI_OK);
  controller.Send(JS_EVENT_AXIS, 0, -32767);
  ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(std::make_pair(state.lX, static_cast<int32_t>(state.rgbButtons[9])), std::make_pair(-1000, 0));
}

TEST(XInput, KeyboardAndMouseReadWhatXTestDoes) {
  Display* display = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    if (display != nullptr) XCloseDisplay(display);
    TAVRIN_SKIP_TEST("no X display with the XTest extension (run under xvfb-run); test skipped");
  }
  auto sync = [display](int) { XSync(display, False); };  // takes what XTest answered
  sync(XTestFakeMotionEvent(display, DefaultScreen(display), 100, 200, CurrentTime));
  RealInput input;
  const auto keyboard = input.Create(GUID_SysKeyboard), mouse = input.Create(GUID_SysMouse);
  ASSERT_TRUE(keyboard && mouse);
  for (const auto& [device, format] : {std::pair{keyboard.get(), &c_dfDIKeyboard}, {mouse.get(), &c_dfDIMouse}}) {
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_TRUE(device->SetDataFormat(*format) == DI_OK && device->Acquire() == DI_OK);
  }
  // Each held key reads as its scan code (set 1; extended keys with bit 0x80), alone.
  uint8_t keys[256];
  for (const auto& [sym, scanCode] : {std::pair<KeySym, int>{XK_Up, 200}, {XK_z, 44}, {XK_KP_Enter, 156}}) {
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
}

}  // namespace
