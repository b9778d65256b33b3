// What the control panels do to the engine, without a window: the camera
// page's slider maps and choices, and the player strip's transport, slider,
// speed and controller rules.

#include <gtest/gtest.h>

#include <memory>

#include "app/camera_controls.h"
#include "app/player_strip.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "world/camera.h"
#include "world/entity.h"

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

TEST(CameraControls, ChoicesSetTheModeAndTheTarget) {
  Camera camera;
  ChooseCameraMode(&camera, kFreeRoamItem);
  EXPECT_EQ(camera.GetMode(), Camera::kFreeRoam);
  ChooseCameraMode(&camera, "freeroam");  // items match exactly
  EXPECT_EQ(camera.GetMode(), Camera::kFreeRoam);
  ChooseCameraTarget(&camera, "test");  // choosing a target also tracks it
  EXPECT_EQ(camera.GetTarget(), EntityMap().at("test"));
  EXPECT_EQ(camera.GetMode(), Camera::kTrackEntity);
  ChooseCameraMode(&camera, kFreeRoamItem);
  ChooseCameraMode(&camera, kTrackEntityItem);
  EXPECT_EQ(camera.GetMode(), Camera::kTrackEntity);
  ChooseCameraTarget(&camera, "gone");
  EXPECT_EQ(camera.GetTarget(), EntityMap().at("test"));
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
  controller.currentFrame = 7;
  EXPECT_FALSE(strip.PressButton(kRewindButtonId));
  strip.MoveToSliderValue(1);
  strip.SetSpeedFromSpin(0);
  int value = -1;
  EXPECT_FALSE(strip.SpinValue(&value));
  EXPECT_FALSE(strip.SliderValue(&value));
  EXPECT_EQ(controller.currentFrame, 7);
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
      {kRewindButtonId, 1, 12, 0, false},       {kEndButtonId, 1, 12, 29, false},
      {kStepBackButtonId, 1, 12, 11, false},    {kStepForwardButtonId, 1, 12, 13, false},
      {kStepBackButtonId, 10, 12, 2, false},    {kStepForwardButtonId, 10, 12, 22, false},
      {kStepBackButtonId, 1, 0, 0, false},      {kStepForwardButtonId, 1, 29, 29, false},
      {kStepForwardButtonId, 10, 25, 29, false}, {kPauseButtonId, 1, 12, 12, false},
      {kStopButtonId, 1, 12, 0, false},         {kPlayButtonId, 1, 12, 12, true},
      // A step size of 0 or less from "cvar.ini" or the console keeps the
      // frame inside the motion.
      {kStepForwardButtonId, 0, 12, 12, false}, {kStepForwardButtonId, -5, 2, 0, false},
      {kStepBackButtonId, -5, 27, 29, false},   {kStepBackButtonId, -2147483647, 1, 29, false},
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
  ASSERT_TRUE(strip.SliderRange(&first, &last));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 30);
  int value = 0;
  ASSERT_TRUE(strip.SliderValue(&value));
  EXPECT_EQ(value, 1);
  // A move stops playback and shows value - 1; values the toolkit may allow
  // beyond the range stay inside the motion.
  for (const auto& [slider, frame] : {std::pair{30, 29}, {1, 0}, {31, 29}, {0, 0}, {17, 16}}) {
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
  EXPECT_FALSE(strip.SliderRange(&first, &last));
  EXPECT_FALSE(strip.SliderValue(&value));
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
  strip.SetSpeedFromSpin(0);
  EXPECT_EQ(controller.speed, 0.0f);
}

TEST_F(PlayerStripTest, RefillIsDueOnlyWhenTheMapGrows) {
  EXPECT_TRUE(strip.ControllersAdded());
  strip.NoteControllersListed();
  EXPECT_FALSE(strip.ControllersAdded());
  {
    MotionController second(&motion, 0, 1.0f);
    EXPECT_TRUE(strip.ControllersAdded());
    strip.NoteControllersListed();
  }
  EXPECT_FALSE(strip.ControllersAdded());  // shrinking is no reason
}

}  // namespace
