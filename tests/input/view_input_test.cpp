// The console keys, the arrow-key camera motion and the mouse over the view.
#include "input/view_input.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "console/gl_console.h"
#include "input/dx_devices.h"
#include "input/input_state.h"
#include "tests/support/fake_input.h"
#include "world/camera.h"
#include "world/entity.h"

namespace {

class ViewInputTest : public ::testing::Test {
 protected:
  ViewInputTest() {
    g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
    g_camera = &camera_;
    expected_.SetPosition(camera_.GetPosition());
  }
  ~ViewInputTest() override {
    g_camera = nullptr;
    g_keyboardState = KeyboardState();
    DeleteConsole();
  }
  // A motion event at (x, y), the one before it at (0, 0).
  static void Drag(int x, int y, bool left, bool middle, bool right) {
    HandleViewMouse({0, 0, false, false, true});
    HandleViewMouse({x, y, false, false, true, left, middle, right});
  }
  // Where the camera is and how it is turned, against expected_.
  void ExpectCameraAsExpected() {
    EXPECT_LT(Length(camera_.GetPosition() - expected_.GetPosition()), 1e-4);
    const Quaternion a = camera_.GetOrientation();
    const Quaternion b = expected_.GetOrientation();
    EXPECT_EQ(std::vector<float>({a.x, a.y, a.z, a.w}), std::vector<float>({b.x, b.y, b.z, b.w}));
  }

  Camera camera_;
  Entity expected_{"expected", 0};
};

TEST_F(ViewInputTest, KeysEditTheConsoleLine) {
  g_console->currentLine = "ab";
  const int keys[] = {'Z', ' ', kViewKeyPadPlus, kViewKeyPadDecimal, '[', 31, 'z', kViewKeyBackspace, '0'};
  for (int code : keys) HandleConsoleKey(code);
  EXPECT_EQ(g_console->currentLine, "abz =0");
  DeleteConsole();
  HandleConsoleKey('A');  // no console: nothing
}

TEST_F(ViewInputTest, ArrowKeysMoveTheCameraAlongItsOwnAxesWhileTheConsoleIsClosed) {
  camera_.Turn(Vector3(0.0f, 90.0f, 0.0f));  // its own axes are not the world's
  expected_.Turn(Vector3(0.0f, 90.0f, 0.0f));
  g_keyboardState.keys[kKeyLeft] = 0x80;
  ProcessKeyboardInput();  // the console is open: nothing
  g_console->Close();
  // Each key held for its own number of frames; up and down together cancel.
  for (const auto& [keys, frames] : {std::pair{std::vector<int>{kKeyUp}, 1}, {{kKeyDown}, 3}, {{kKeyLeft}, 4},
                                     {{kKeyRight}, 6}, {{kKeyUp, kKeyDown}, 5}}) {
    g_keyboardState = KeyboardState();
    for (int key : keys) g_keyboardState.keys[key] = 0x80;
    for (int frame = 0; frame < frames; ++frame) ProcessKeyboardInput();
  }
  expected_.MoveLocal(Vector3(2 * 0.35f, 0.0f, 2 * 0.35f));
  ExpectCameraAsExpected();
}

TEST_F(ViewInputTest, DragsMoveAndTurnTheCameraOrScrollTheOpenConsole) {
  g_console->Close();
  // Left: 10 pixels right and 4 up moves (1.5, 0.6, 0) along its own axes;
  // right: 5 right and 3 down turns (1.2, 2, 0); middle: 5 right rolls 2.
  Drag(10, -4, true, false, false);
  expected_.MoveLocal(Vector3(1.5f, 0.6f, 0.0f));
  Drag(5, 3, false, false, true);
  expected_.Turn(Vector3(1.2f, 2.0f, 0.0f));
  Drag(5, 0, false, true, false);
  expected_.Turn(Vector3(0.0f, 0.0f, 2.0f));
  Drag(40, 40, false, false, false);  // no button: nothing moves
  g_console->Open();
  for (const auto& [dy, scroll] : {std::pair{3, 3}, {1, 3}, {-1, 3}, {-2, 1}, {-5, 0}}) {
    Drag(0, dy, true, false, false);
    EXPECT_EQ(g_console->scrollPixels, scroll) << dy;
  }
  ExpectCameraAsExpected();
}

// --- The per-frame poll's records and the camera's lock-on under the mouse.

TEST_F(ViewInputTest, ThePollStoresTheSticksYAndTheMousesXNegated) {
  testing_support::FakeInput fake;
  fake.AttachJoystick("Pad");
  fake.joystickState.lX = 300;
  fake.joystickState.lY = 500;
  fake.mouseState = platform::DIMOUSESTATE{5, -7, 0, {}};
  int handle = 0;
  {
    DXKeyboard keyboard(&handle, &handle);
    DXMouse mouse(&handle, &handle);
    DXJoystick joystick(&handle, &handle);
    g_keyboard = &keyboard;
    g_mouse = &mouse;
    g_joystick = &joystick;
    // Forward on the stick reads positive; each poll starts from the device.
    for (int frame = 0; frame < 2; ++frame) {
      EXPECT_FALSE(UpdateInput());  // mouse and joystick both there
      EXPECT_EQ(std::vector<float>({g_joystickState.joyX, g_joystickState.joyY, static_cast<float>(g_mouseState.mouseX),
                                    static_cast<float>(g_mouseState.mouseY)}),
                std::vector<float>({300, -500, -5, -7}));
    }
    g_keyboard = nullptr;
    g_mouse = nullptr;
    g_joystick = nullptr;
  }
  ReleaseDirectInput();
  g_joystickState = InputState();
  g_mouseState = InputState();
}

TEST_F(ViewInputTest, PressingAButtonReleasesTheLockOnAndLettingGoRestoresIt) {
  for (const bool press : {true, false}) {
    const ViewMouseEvent click{0, 0, press, !press};
    HandleViewMouse(click);
    HandleViewMouse(click);  // a second press or release changes nothing
    EXPECT_EQ(camera_.IsLockedOn(), !press);
  }
}

}  // namespace
