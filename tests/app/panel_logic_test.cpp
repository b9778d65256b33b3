// What the control panels do to the engine, without a window: the camera
// page's slider maps and the player strip's transport, slider and speed
// rules. The controls themselves are tested in panels_gui_test.cpp.

#include <gtest/gtest.h>

#include <vector>

#include "app/camera_controls.h"
#include "app/player_strip.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"

namespace {

TEST(CameraControls, SlidersMapTheirVariablesBothWaysAndStayInRange) {
  struct Case {
    int id;
    const char* variable;
    double low;   // value at position 0
    double high;  // value at position 100
  };
  for (const Case& c : {Case{kCameraSpeedSliderId, "camera.speed", 0.25, 4.0},
                        Case{kCameraHDistSliderId, "camera.hdist", 0.5, 10.0},
                        Case{kCameraVDistSliderId, "camera.vdist", 0.5, 10.0}}) {
    SCOPED_TRACE(c.variable);
    ConsoleVariable<float> variable(c.variable, 1.0f);
    for (int p : {0, 1, 37, 99, 100}) {
      ASSERT_TRUE(SetCameraVariableFromSlider(c.id, p));
      EXPECT_FLOAT_EQ(variable, static_cast<float>(c.low + p * (c.high - c.low) / 100.0)) << p;
      EXPECT_EQ(CameraSliderPosition(c.id), p);  // a chosen position reads back unchanged
    }
    // Values set in the console outside the range put the slider at its end.
    variable = 20.0f;
    EXPECT_EQ(CameraSliderPosition(c.id), kCameraSliderMax);
    variable = -3.0f;
    EXPECT_EQ(CameraSliderPosition(c.id), 0);
  }
  EXPECT_FALSE(SetCameraVariableFromSlider(kCameraStateChoiceId, 50));
  EXPECT_EQ(CameraSliderPosition(kCameraStateChoiceId), -1);
}

class PlayerStripTest : public testing::Test {
 protected:
  PlayerStripTest() : motion("walk", 30, 0), controller(&motion, 0, 1.0f) {}
  Motion motion;
  MotionController controller;
  PlayerStrip strip;
};

TEST_F(PlayerStripTest, WithoutAControllerNothingHappens) {
  strip.ChooseController("nothing");
  EXPECT_EQ(strip.currentController, nullptr);
  EXPECT_EQ(MotionControllerMap().count("nothing"), 0u);  // the lookup adds nothing
  EXPECT_FALSE(strip.PressButton(kRewindButtonId));
  strip.MoveToSliderValue(5);
  strip.SetSpeedFromSpin(0);
  int value = -1;
  EXPECT_FALSE(strip.SpinValue(&value) || strip.SliderValue(&value));
  EXPECT_TRUE(controller.playing);
  EXPECT_FLOAT_EQ(controller.speed, 1.0f);
}

TEST_F(PlayerStripTest, ButtonsRunTheTransportWithTheStepSizeOfEachPress) {
  strip.ChooseController("walk");
  ASSERT_EQ(strip.currentController, &controller);
  struct Case {
    int id;
    int stepSize;
    int from;
    int frame;  // after the press
    bool playing;
  };
  const Case cases[] = {
      {kRewindButtonId, 1, 12, 0, false},        {kEndButtonId, 1, 12, 29, false},
      {kStepBackButtonId, 1, 12, 11, false},     {kStepForwardButtonId, 10, 12, 22, false},
      {kStepForwardButtonId, 10, 25, 29, false}, {kPauseButtonId, 1, 12, 12, false},
      {kStopButtonId, 1, 12, 0, false},          {kPlayButtonId, 1, 12, 12, true},
      // A step size of 0 or less from "cvar.ini" or the console keeps the
      // frame inside the motion.
      {kStepForwardButtonId, 0, 12, 12, false},  {kStepForwardButtonId, -5, 2, 0, false},
      {kStepBackButtonId, -2147483647, 1, 29, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id << ", step " << c.stepSize << ", from " << c.from);
    strip.stepSize = c.stepSize;
    controller.currentFrame = c.from;
    controller.playing = !c.playing;
    EXPECT_TRUE(strip.PressButton(c.id));
    EXPECT_EQ(controller.currentFrame, c.frame);
    EXPECT_EQ(controller.playing, c.playing);
  }
  EXPECT_FALSE(strip.PressButton(kSpeedSpinId));
  // The step size is the console variable "player.StepSize", capitals included.
  ConsoleVariable<int>("player.StepSize", 1) = 3;
  controller.currentFrame = 12;
  strip.PressButton(kStepForwardButtonId);
  EXPECT_EQ(controller.currentFrame, 15);
}

TEST_F(PlayerStripTest, SliderShowsFramesOneBasedAndNeverLeavesTheMotion) {
  strip.ChooseController("walk");
  int first = 0;
  int last = 0;
  int value = 0;
  ASSERT_TRUE(strip.SliderRange(&first, &last) && strip.SliderValue(&value));
  EXPECT_EQ(std::vector<int>({first, last, value}), std::vector<int>({1, 30, 1}));
  // A move stops playback and shows value - 1; values the toolkit may allow
  // beyond the range stay inside the motion.
  for (const auto& [slider, frame] : {std::pair{30, 29}, {31, 29}, {0, 0}, {17, 16}}) {
    controller.playing = true;
    controller.transitioning = true;
    strip.MoveToSliderValue(slider);
    EXPECT_EQ(controller.currentFrame, frame) << slider;
    EXPECT_FALSE(controller.playing);
    EXPECT_FALSE(controller.transitioning);
  }
  // A controller without frames leaves the slider alone.
  MotionController empty(nullptr, 0, 1.0f);
  strip.ChooseController(empty.name);
  ASSERT_EQ(strip.currentController, &empty);
  EXPECT_FALSE(strip.SliderRange(&first, &last) || strip.SliderValue(&value));
  strip.MoveToSliderValue(5);
  EXPECT_EQ(empty.currentFrame, 0);
}

TEST_F(PlayerStripTest, SpinShowsTruncatedPercentAndSetsTheSpeed) {
  strip.ChooseController("walk");
  int percent = 0;
  for (const auto& [speed, shown] : {std::pair{1.0f, 100}, {0.5f, 50}, {0.0f, 0}, {9.0f, 400}}) {
    controller.speed = speed;
    ASSERT_TRUE(strip.SpinValue(&percent));
    EXPECT_EQ(percent, shown) << speed;
  }
  strip.SetSpeedFromSpin(140);
  EXPECT_EQ(controller.speed, 1.4f);
  strip.SpinValue(&percent);
  EXPECT_EQ(percent, 139);  // the float nearest 1.4 lies below it
}

}  // namespace
