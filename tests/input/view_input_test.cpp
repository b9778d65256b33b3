// The console keys, the arrow-key camera motion and the mouse over the view.
#include "input/view_input.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "input/input_state.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/entity.h"

namespace {

std::vector<float> Components(const Vector3& v) { return {v.x, v.y, v.z}; }
std::vector<float> Components(const Quaternion& q) { return {q.x, q.y, q.z, q.w}; }

class ViewInputTest : public ::testing::Test {
 protected:
  ViewInputTest() {
    g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
    camera_ = std::make_unique<Camera>();
    g_camera = camera_.get();
    g_keyboardState = KeyboardState();
  }
  ~ViewInputTest() override {
    g_camera = nullptr;
    DeleteConsole();
  }

  // A mouse event at (x, y) relative to the previous one at (0, 0).
  static void Drag(int x, int y, bool left, bool middle, bool right) {
    ViewMouseEvent still;
    still.motion = true;
    HandleViewMouse(still);
    ViewMouseEvent event;
    event.x = x;
    event.y = y;
    event.motion = true;
    event.leftDown = left;
    event.middleDown = middle;
    event.rightDown = right;
    HandleViewMouse(event);
  }

  testing_support::ScopedWorkDir dir_;
  std::unique_ptr<Camera> camera_;
};

TEST_F(ViewInputTest, KeysEditTheConsoleLineWhateverTheirCase) {
  g_console->currentLine = "ab";
  const struct {
    int code;
    const char* line;
  } cases[] = {
      {'A', "aba"},  {'z', "aba"},       {' ', "aba "}, {'Z', "aba z"},        {kViewKeyPadPlus, "aba z="},
      {kViewKeyPadDecimal, "aba z=."},  {'[', "aba z=."}, {96, "aba z=."},  {kViewKeyBackspace, "aba z="},
      {kViewKeyTab, "aba z="},          {'0', "aba z=0"}, {'9', "aba z=09"}, {33, "aba z=09!"},
  };
  for (const auto& c : cases) {
    HandleConsoleKey(c.code);
    EXPECT_EQ(g_console->currentLine, c.line) << c.code;
  }
  HandleConsoleKey(kViewKeyEnter);
  EXPECT_EQ(g_console->currentLine, "");
  HandleConsoleKey(kViewKeyUp);
  EXPECT_EQ(g_console->currentLine, "aba z=09!");
  HandleConsoleKey(kViewKeyDown);
  EXPECT_EQ(g_console->currentLine, "");

  ASSERT_TRUE(g_console->IsOpen());
  HandleConsoleKey(kViewKeyConsole);
  EXPECT_FALSE(g_console->IsOpen());
  HandleConsoleKey(kViewKeyConsole);
  EXPECT_TRUE(g_console->IsOpen());
  DeleteConsole();
  HandleConsoleKey('A');  // no console: nothing
}

TEST_F(ViewInputTest, ArrowKeysMoveTheCameraAlongItsOwnAxesWhileTheConsoleIsClosed) {
  const struct {
    std::vector<int> keys;
    Vector3 step;  // per frame, along the camera's own axes
  } cases[] = {
      {{kKeyUp}, Vector3(0.0f, 0.0f, -0.35f)},
      {{kKeyDown}, Vector3(0.0f, 0.0f, 0.35f)},
      {{kKeyLeft}, Vector3(-0.35f, 0.0f, 0.0f)},
      {{kKeyRight}, Vector3(0.35f, 0.0f, 0.0f)},
      {{kKeyUp, kKeyDown, kKeyRight}, Vector3(0.35f, 0.0f, 0.0f)},
  };
  // Turned, so that its own axes are not the world's.
  camera_->Turn(Vector3(0.0f, 90.0f, 0.0f));
  const Vector3 start = camera_->GetPosition();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.size());
    g_keyboardState = KeyboardState();
    for (int key : c.keys) g_keyboardState.keys[key] = 0x80;
    camera_->SetPosition(start);
    g_console->Open();
    ProcessKeyboardInput();
    EXPECT_EQ(Components(camera_->GetPosition()), Components(start)) << "console open";
    g_console->Close();
    Entity expected("expected", 0);
    expected.Turn(Vector3(0.0f, 90.0f, 0.0f));
    expected.SetPosition(start);
    for (int frame = 0; frame < 10; ++frame) {
      ProcessKeyboardInput();
      expected.MoveLocal(c.step);
    }
    const Vector3 moved = camera_->GetPosition() - start;
    EXPECT_NEAR(Length(moved), 3.5f, 1e-4);
    const Vector3 error = camera_->GetPosition() - expected.GetPosition();
    EXPECT_LT(Length(error), 1e-4);
  }
}

TEST_F(ViewInputTest, DragsMoveAndTurnTheCameraOrScrollTheOpenConsole) {
  g_console->Close();
  const Vector3 start = camera_->GetPosition();
  // Left: 10 pixels right and 4 up moves (1.5, 0.6, 0) along its own axes.
  Drag(10, -4, true, false, false);
  Entity expected("expected", 0);
  expected.SetPosition(start);
  expected.MoveLocal(Vector3(1.5f, 0.6f, 0.0f));
  EXPECT_EQ(Components(camera_->GetPosition()), Components(expected.GetPosition()));
  // Right: 5 right and 3 down turns (1.2, 2, 0); middle: 5 right rolls 2.
  Drag(5, 3, false, false, true);
  expected.Turn(Vector3(1.2f, 2.0f, 0.0f));
  Drag(5, 0, false, true, false);
  expected.Turn(Vector3(0.0f, 0.0f, 2.0f));
  EXPECT_EQ(Components(camera_->GetOrientation()), Components(expected.GetOrientation()));
  // Motion without a button moves nothing.
  Drag(40, 40, false, false, false);
  EXPECT_EQ(Components(camera_->GetPosition()), Components(expected.GetPosition()));

  g_console->Open();
  const struct {
    int dy;
    int scroll;
  } scrolls[] = {{3, 3}, {1, 3}, {-1, 3}, {-2, 1}, {-5, 0}};
  for (const auto& s : scrolls) {
    Drag(0, s.dy, true, false, false);
    EXPECT_EQ(g_console->scrollPixels, s.scroll) << s.dy;
  }
  EXPECT_EQ(Components(camera_->GetPosition()), Components(expected.GetPosition()));
}

TEST_F(ViewInputTest, PressingAButtonReleasesTheLockOnAndLettingGoRestoresIt) {
  ASSERT_TRUE(camera_->IsLockedOn());
  ViewMouseEvent press;
  press.buttonPress = true;
  ViewMouseEvent release;
  release.buttonRelease = true;
  HandleViewMouse(press);
  EXPECT_FALSE(camera_->IsLockedOn());
  HandleViewMouse(press);
  EXPECT_FALSE(camera_->IsLockedOn());
  HandleViewMouse(release);
  EXPECT_TRUE(camera_->IsLockedOn());
  HandleViewMouse(release);
  EXPECT_TRUE(camera_->IsLockedOn());
}

}  // namespace
