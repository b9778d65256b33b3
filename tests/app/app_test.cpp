// The frame update's order of refreshes, the shutdown's one save, and the
// player strip's transport, slider and speed rules (the controls themselves,
// and the camera page, are tested in panels_gui_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app_globals.h"
#include "app/player_strip.h"
#include "console/gl_console.h"
#include "core/singleton.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "platform/gl_context.h"
#include "tests/support/skip.h"
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

TEST(GlobalShutdown, SavesOnceAndASecondCallWritesNothing) {
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  new SceneReader();  // the Singleton instance
  GlobalShutdown();
  EXPECT_TRUE(g_console == nullptr && Singleton::Instance() == nullptr);
  EXPECT_TRUE(std::filesystem::remove("cvar.ini"));
  GlobalShutdown();
  EXPECT_FALSE(std::filesystem::exists("cvar.ini"));
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
      {kStepForwardButtonId, -5, 2, 0},   {kStepBackButtonId, -2147483647, 1, 29},
  };
  for (const auto& [id, step, from, frame] : cases) {
    strip_.stepSize = step;
    controller_.currentFrame = from;
    controller_.playing = true;
    EXPECT_TRUE(strip_.PressButton(id));
    EXPECT_EQ(std::make_pair(controller_.currentFrame, controller_.playing), std::make_pair(frame, false))
        << "button " << id << ", step " << step << ", from " << from;
  }
  EXPECT_FALSE(strip_.PressButton(kSpeedSpinId));
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
