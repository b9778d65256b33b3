// Start-up, the frame update's order of refreshes, the shutdown's one save,
// the camera page's slider rules and the player strip's transport, slider
// and speed rules (the controls themselves, and the camera page's, are
// tested in panels_gui_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app_globals.h"
#include "app/camera_controls.h"
#include "app/player_strip.h"
#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/singleton.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "platform/gl_context.h"
#include "tests/support/skip.h"
#include "tests/support/temp_dir.h"
#include "world/scene_reader.h"

namespace {

using Strings = std::vector<std::string>;

Strings g_trace;  // the panels refreshed, in order

class TracePanel : public ControlPanelEntry {
 public:
  explicit TracePanel(std::string label, void (*onUpdate)() = nullptr) : label_(std::move(label)), onUpdate_(onUpdate) {}
  void UpdateControls() override {
    g_trace.push_back(label_);
    if (onUpdate_ != nullptr) onUpdate_();
  }

 private:
  std::string label_;
  void (*onUpdate_)();
};

std::vector<TracePanel*> g_doomed;  // the panels that the second panel destroys

TEST(GlobalUpdate, RefreshesEveryLivePanelInTheOrderMade) {
  platform::OffscreenGLContext gl;  // the frame is drawn last
  if (!gl.Create(64, 48)) TAVRIN_SKIP_TEST(gl.error());
  g_trace.clear();
  auto* early = new TracePanel("early");
  TracePanel first("first");
  // The second destroys a panel refreshed before it and one not reached yet,
  // which is never called; no live panel is skipped.
  TracePanel second("second", [] {
    for (TracePanel* panel : g_doomed) delete panel;
  });
  g_doomed = {early, new TracePanel("doomed")};
  TracePanel last("last");
  GlobalUpdate();
  EXPECT_EQ(g_trace, (Strings{"early", "first", "second", "last"}));
  EXPECT_EQ(g_controlPanels, (std::vector<ControlPanelEntry*>{&first, &second, &last}));
}

// The end-to-end tests start the program on the sample data too; here, what
// only the inside shows: the console exists before the renderer and the
// scene, the saved values are read at start-up, and the values in force at
// shutdown are written.
// The scene's objects stay registered, under names no other test uses.
TEST(GlobalStartUp, TheConsoleComesFirstAndShutdownSavesTheValuesInForce) {
  ASSERT_EQ(std::system("\"" MAKE_SAMPLE_DATA_PATH "\" . > /dev/null 2>&1"), 0);
  testing_support::WriteFile("cvar.ini", "2 camera.hdist 7.250000\n");
  platform::OffscreenGLContext gl;
  if (!gl.Create(320, 240)) TAVRIN_SKIP_TEST(gl.error());
  GlobalInit();
  // The renderer's and the scene's lines are in the console.
  Strings shown;
  for (const ConsoleLine& line : g_console->lines) shown.push_back(line.text);
  EXPECT_THAT(shown, testing::Contains("RenderInit: Loaded OpenGL Extensions SUCCESSFULLY"));
  EXPECT_THAT(shown, testing::Contains(testing::StartsWith("Done Loading Motion walk.amc")));
  ConsoleVariable<float> hdist("camera.hdist", 1.0f);
  EXPECT_FLOAT_EQ(hdist, 7.25f);
  // A value changed while the program runs is what the file holds after.
  hdist = 3.5f;
  GlobalShutdown();
  EXPECT_EQ(g_console, nullptr);
  EXPECT_THAT(testing_support::ReadFile("cvar.ini"), testing::HasSubstr("2 camera.hdist 3.500000\n"));
}

TEST(GlobalShutdown, SavesOnceAndASecondCallWritesNothing) {
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  new SceneReader();  // the Singleton instance
  GlobalShutdown();
  EXPECT_TRUE(g_console == nullptr && Singleton::Instance() == nullptr);
  EXPECT_TRUE(std::filesystem::remove("cvar.ini"));
  GlobalShutdown();
  EXPECT_FALSE(std::filesystem::exists("cvar.ini"));
}

// A slider's position reads back as set (rounded, not truncated), 100 is
// the top of the range, and values set in the console outside it put the
// slider at its end.
TEST(CameraControls, PositionsReadBackAndStayInRange) {
  for (const auto& [id, name, high] : {std::tuple{kCameraSpeedSliderId, "camera.speed", 4.0f},
                                       {kCameraHDistSliderId, "camera.hdist", 10.0f},
                                       {kCameraVDistSliderId, "camera.vdist", 10.0f}}) {
    for (int p : {0, 1, 37, 99, 100}) {
      ASSERT_TRUE(SetCameraVariableFromSlider(id, p));
      EXPECT_EQ(CameraSliderPosition(id), p) << name;
    }
    ConsoleVariable<float> variable(name, 1.0f);
    EXPECT_FLOAT_EQ(variable, high) << name;  // at 100
    variable = 20.0f;
    EXPECT_EQ(CameraSliderPosition(id), kCameraSliderMax) << name;
    variable = -3.0f;
    EXPECT_EQ(CameraSliderPosition(id), 0) << name;
  }
  EXPECT_FALSE(SetCameraVariableFromSlider(kCameraStateChoiceId, 50));
  EXPECT_EQ(CameraSliderPosition(kCameraStateChoiceId), -1);
}

class PlayerStripTest : public testing::Test {
 protected:
  PlayerStripTest() { strip_.ChooseController(controller_.name); }
  Motion motion_{"strip", 30, 0};
  MotionController controller_{&motion_, 0, 1.0f};
  PlayerStrip strip_;
};

TEST_F(PlayerStripTest, ButtonsRunTheTransportWithTheStepSizeOfEachPress) {
  // Button, step size, frame before and after the press, which stops
  // playback; a step size of 0 or less from "cvar.ini" keeps the frame in
  // the motion.
  const std::tuple<int, int, int, int> cases[] = {
      {kRewindButtonId, 1, 12, 0},        {kEndButtonId, 1, 12, 29},          {kStepBackButtonId, 1, 12, 11},
      {kStepForwardButtonId, 10, 12, 22}, {kStepForwardButtonId, 10, 25, 29}, {kPauseButtonId, 1, 12, 12},
      {kStepForwardButtonId, -5, 2, 0},   {kStepBackButtonId, -2147483647, 1, 29}, {kStopButtonId, 1, 12, 0},
  };
  for (const auto& [id, step, from, frame] : cases) {
    strip_.stepSize = step;
    controller_.currentFrame = from;
    controller_.playing = true;
    EXPECT_TRUE(strip_.PressButton(id));
    EXPECT_EQ(std::make_pair(controller_.currentFrame, controller_.playing), std::make_pair(frame, false))
        << "button " << id << ", step " << step << ", from " << from;
  }
  EXPECT_TRUE(strip_.PressButton(kPlayButtonId));
  EXPECT_EQ(std::make_pair(controller_.currentFrame, controller_.playing), std::make_pair(0, true));
  EXPECT_FALSE(strip_.PressButton(kSpeedSpinId));
  // The step size is the console variable "player.StepSize", capitals included.
  ConsoleVariable<int>("player.StepSize", 1) = 3;
  controller_.currentFrame = 12;
  strip_.PressButton(kStepForwardButtonId);
  EXPECT_EQ(controller_.currentFrame, 15);
  strip_.ChooseController("nothing");
  EXPECT_FALSE(strip_.PressButton(kPlayButtonId));
}

TEST_F(PlayerStripTest, SliderShowsFramesOneBasedAndSpinTheTruncatedPercent) {
  // A move stops playback and shows value - 1; values the toolkit may allow
  // beyond the range stay inside the motion.
  for (const auto& [slider, frame] : {std::pair{30, 29}, {31, 29}, {0, 0}, {17, 16}}) {
    controller_.playing = true;
    controller_.transitioning = true;
    strip_.MoveToSliderValue(slider);
    EXPECT_EQ(std::make_tuple(controller_.currentFrame, controller_.playing, controller_.transitioning),
              std::make_tuple(frame, false, false))
        << slider;
  }
  int value = 0;
  for (const auto& [speed, shown] : {std::pair{1.0f, 100}, {0.5f, 50}, {0.0f, 0}, {9.0f, 400}}) {
    controller_.speed = speed;
    ASSERT_TRUE(strip_.SpinValue(&value));
    EXPECT_EQ(value, shown) << speed;
  }
  strip_.SetSpeedFromSpin(140);
  strip_.SpinValue(&value);
  EXPECT_EQ(value, 139);  // the float nearest 1.4 lies below it
}

}  // namespace
