// The motion controller: frame advance, transport, blends and root
// corrections, with a manual clock and small hand-made motions.

#include "graph/motion_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/console_variable.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"

using testing_support::ScopedWorkDir;

namespace {

constexpr double kPi = 3.14159265358979323846;
// A hair more than one frame of time, so that rounding in the clock's
// differences never drops a frame: one frame per update for far more updates
// than any test makes.
constexpr double kOneFrame = 1.0 / 120.0 + 1e-9;

// Installs the manual clock at 0 for the test's lifetime.
struct ManualTime {
  ManualTime() { platform::ManualClock::Install(0.0); }
  ~ManualTime() { platform::ManualClock::Uninstall(); }
};

// A motion whose frame i has joint j turned by (2 i + j) degrees about x and
// 3 j degrees about y (every frame and joint distinct), the root at the origin
// without rotation.
std::unique_ptr<Motion> MakeMotion(const char* name, int frames) {
  auto motion = std::make_unique<Motion>(name, frames, 0);
  for (int i = 0; i < frames; ++i) {
    for (int j = 1; j < kJointCount; ++j) {
      motion->frames[i].rotation[j] = Quaternion(2.0f * i + j, 3.0f * j, 0.0f);
    }
  }
  return motion;
}

// The half-cosine blend weight written out on its own: 0 at the jump, 1 at W.
float ExpectedWeight(int framesSinceJump, double w) {
  const float phase = static_cast<float>(framesSinceJump / w);
  return static_cast<float>(0.5 - 0.5 * std::cos(phase * kPi));
}

void ExpectJointsNear(const Posture& actual, const Posture& expected, float tolerance) {
  for (int j = 1; j < kJointCount; ++j) {
    // q and -q are one rotation; 1 - |dot| is about an eighth of the squared
    // angle between the two.
    const float dot = std::fabs(actual.rotation[j].Dot(expected.rotation[j]));
    EXPECT_NEAR(dot, 1.0f, tolerance) << "joint " << j;
  }
}

// The update's blend weight, read back from a joint whose two poses differ
// only by a turn about one axis: angle(old -> out) / angle(old -> new).
float MeasuredWeight(const Quaternion& out, const Quaternion& old, const Quaternion& now) {
  const double full = std::acos(std::fmin(1.0, std::fabs(static_cast<double>(old.Dot(now)))));
  const double part = std::acos(std::fmin(1.0, std::fabs(static_cast<double>(old.Dot(out)))));
  return static_cast<float>(part / full);
}

}  // namespace

TEST(MotionControllerTest, FrameAdvanceFollowsTimeSpeedAndCarry) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 100000);
  struct Case {
    double updatesPerSecond;
    float speed;
    int updates;
    int minStep;
    int maxStep;
    int expectedTotal;  // updates / rate * 120 * speed
  };
  const Case cases[] = {
      {60.0, 1.0f, 600, 1, 3, 1200},    // two frames per update
      {120.0, 1.0f, 600, 0, 2, 600},    // one
      {240.0, 1.0f, 600, 0, 1, 300},    // half a frame, carried
      {30.0, 1.0f, 300, 3, 5, 1200},    // four
      {120.0, 0.5f, 600, 0, 1, 300},    // slow motion
      {120.0, 2.5f, 400, 2, 3, 1000},   // 2, 3, 2, 3 ...
      {47.0, 1.0f, 470, 2, 3, 1200},    // an uneven rate
      {120.0, 0.0f, 100, 0, 0, 0},      // speed 0 stands still
  };
  for (const Case& c : cases) {
    platform::ManualClock::Set(0.0);
    MotionController controller(motion.get(), 0, c.speed);
    int total = 0;
    for (int u = 1; u <= c.updates; ++u) {
      const int before = controller.currentFrame;
      platform::ManualClock::Set(u / c.updatesPerSecond);
      EXPECT_TRUE(controller.Update());
      const int step = controller.currentFrame - before;
      EXPECT_GE(step, c.minStep);
      EXPECT_LE(step, c.maxStep);
      total += step;
    }
    EXPECT_NEAR(total, c.expectedTotal, 1) << c.updatesPerSecond << " updates/s at " << c.speed;
  }
}

TEST(MotionControllerTest, StoppedTimeIsNotPlayedLater) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 1000);
  MotionController controller(motion.get(), 0, 1.0f);
  platform::ManualClock::Advance(10 * kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 10);
  controller.Stop();
  for (int u = 0; u < 10; ++u) {
    platform::ManualClock::Advance(0.1);
    controller.Update();
  }
  EXPECT_EQ(controller.currentFrame, 10);
  ExpectJointsNear(controller.GetPosture(), motion->frames[10], 1e-6f);
  controller.Play();
  platform::ManualClock::Advance(kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 11);
}

TEST(MotionControllerTest, LoopWrapDropsTheOvershootAndNonLoopingHolds) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 10);
  MotionController controller(motion.get(), 0, 1.0f);
  controller.currentFrame = 8;
  platform::ManualClock::Advance(5 * kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 0);
  ExpectJointsNear(controller.GetPosture(), motion->frames[0], 1e-6f);

  controller.looping = false;
  controller.currentFrame = 8;
  platform::ManualClock::Advance(5 * kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 9);
  platform::ManualClock::Advance(5 * kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 9);
}

TEST(MotionControllerTest, TransportStopsAndClamps) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 20);
  MotionController controller(motion.get(), 0, 1.0f);
  {
    controller.currentFrame = 17;
    controller.StepForward(5);
    EXPECT_EQ(controller.currentFrame, 19);
    EXPECT_FALSE(controller.playing);
  }
  {
    controller.Play();
    controller.currentFrame = 2;
    controller.StepBackward(5);
    EXPECT_EQ(controller.currentFrame, 0);
    EXPECT_FALSE(controller.playing);
  }
  {
    controller.StepForward(3);
    controller.StepBackward(1);
    EXPECT_EQ(controller.currentFrame, 2);
    controller.GoToEnd();
    EXPECT_EQ(controller.currentFrame, 19);
    controller.Play();
    EXPECT_TRUE(controller.playing);
    controller.Rewind();
    EXPECT_EQ(controller.currentFrame, 0);
    EXPECT_FALSE(controller.playing);
  }
  {
    // Absurd steps stay inside the motion.
    controller.StepForward(2147483647);
    EXPECT_EQ(controller.currentFrame, 19);
    controller.StepBackward(2147483647);
    EXPECT_EQ(controller.currentFrame, 0);
    controller.StepForward(-4);
    EXPECT_EQ(controller.currentFrame, 0);
  }
  {
    // A frame written from outside the motion is brought back in.
    controller.currentFrame = 500;
    controller.Update();
    EXPECT_EQ(controller.currentFrame, 19);
    controller.currentFrame = -3;
    controller.Update();
    EXPECT_EQ(controller.currentFrame, 0);
  }
}

TEST(MotionControllerTest, BlendWeightSequence) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 200);
  MotionController controller(motion.get(), 0, 1.0f);
  const double w = TransitionFrames();
  EXPECT_NEAR(w, 18.000000715, 1e-9);

  controller.currentFrame = 10;
  controller.Update();
  EXPECT_FALSE(controller.StartTransition(200));
  EXPECT_FALSE(controller.StartTransition(-1));
  EXPECT_EQ(controller.currentFrame, 10);
  ASSERT_TRUE(controller.StartTransition(120));
  EXPECT_FALSE(controller.StartTransition(30));  // one blend at a time
  EXPECT_EQ(controller.previousFrame, 10);
  std::vector<float> weights;
  for (int e = 0; e <= 20; ++e) {
    if (e > 0) platform::ManualClock::Advance(kOneFrame);
    controller.Update();
    ASSERT_EQ(controller.currentFrame, 120 + e);
    EXPECT_EQ(controller.IsTransitioning(), e < 19) << "e = " << e;
    const Posture& out = controller.GetPosture();
    const Posture& old = motion->frames[10 + e];
    const Posture& now = motion->frames[120 + e];
    if (e <= 19) {
      const float expected = ExpectedWeight(e, w);
      Posture blended;
      for (int j = 1; j < kJointCount; ++j) {
        Slerp(expected, old.rotation[j], now.rotation[j], &blended.rotation[j]);
      }
      ExpectJointsNear(out, blended, 1e-6f);
      // Joint 1: old and new differ by a turn about x alone.
      weights.push_back(MeasuredWeight(out.rotation[1], old.rotation[1], now.rotation[1]));
    } else {
      ExpectJointsNear(out, now, 1e-6f);
    }
  }
  EXPECT_NEAR(weights[0], 0.0f, 1e-3f);
  EXPECT_NEAR(weights[9], 0.5f, 1e-3f);
  EXPECT_NEAR(weights[18], 1.0f, 1e-3f);
  EXPECT_NEAR(weights[19], 0.992f, 1e-3f);
  for (int e = 1; e <= 18; ++e) EXPECT_GT(weights[e], weights[e - 1]);
}

TEST(MotionControllerTest, TransitionTimeChangeActsOnARunningBlend) {
  ScopedWorkDir dir;
  ManualTime time;
  ConsoleVariable<float> transitionTime("motionctrl.transition_time", 0.15f);
  auto motion = MakeMotion("clip", 200);
  MotionController controller(motion.get(), 0, 1.0f);
  ASSERT_TRUE(controller.StartTransition(100));
  for (int e = 1; e <= 5; ++e) {
    platform::ManualClock::Advance(kOneFrame);
    controller.Update();
  }
  transitionTime = 0.3f;  // W = 36.0000014: the update at 37 frames ends it
  for (int e = 6; e <= 37; ++e) {
    platform::ManualClock::Advance(kOneFrame);
    controller.Update();
    EXPECT_EQ(controller.IsTransitioning(), e < 37) << "e = " << e;
    if (e == 18) {
      const Posture& out = controller.GetPosture();
      EXPECT_NEAR(MeasuredWeight(out.rotation[1], motion->frames[18].rotation[1],
                                 motion->frames[118].rotation[1]),
                  0.5f, 1e-3f);
    }
  }
}

TEST(MotionControllerTest, StopDropsTheBlend) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 200);
  MotionController controller(motion.get(), 0, 1.0f);
  controller.currentFrame = 10;
  ASSERT_TRUE(controller.StartTransition(100));
  for (int e = 1; e <= 4; ++e) {
    platform::ManualClock::Advance(kOneFrame);
    controller.Update();
  }
  ASSERT_TRUE(controller.IsTransitioning());
  // The mixer's joint rotation is the current frame's, not the blend's.
  EXPECT_EQ(controller.GetJointRotation(7).x, motion->frames[104].rotation[7].x);
  EXPECT_NE(controller.GetPosture().rotation[7].x, motion->frames[104].rotation[7].x);
  controller.Stop();
  EXPECT_FALSE(controller.IsTransitioning());
  controller.Update();
  ExpectJointsNear(controller.GetPosture(), motion->frames[104], 1e-6f);
  controller.Play();
  platform::ManualClock::Advance(kOneFrame);
  controller.Update();
  EXPECT_EQ(controller.currentFrame, 105);
  EXPECT_FALSE(controller.IsTransitioning());
  ExpectJointsNear(controller.GetPosture(), motion->frames[105], 1e-6f);
}

TEST(MotionControllerTest, BlendNeverReadsOutsideTheMotion) {
  ScopedWorkDir dir;
  ManualTime time;
  {
    // The old clip runs off the end: its frame is held at the last one.
    auto motion = MakeMotion("clip", 100);
    MotionController controller(motion.get(), 0, 1.0f);
    controller.currentFrame = 90;
    ASSERT_TRUE(controller.StartTransition(20));
    platform::ManualClock::Advance(19 * kOneFrame);  // e = 19 in one update
    controller.Update();
    EXPECT_FALSE(controller.IsTransitioning());
    const float weight = ExpectedWeight(19, TransitionFrames());
    Posture blended;
    for (int j = 1; j < kJointCount; ++j) {
      Slerp(weight, motion->frames[99].rotation[j], motion->frames[39].rotation[j],
            &blended.rotation[j]);
    }
    ExpectJointsNear(controller.GetPosture(), blended, 1e-6f);
  }
  {
    // A loop wrap during the blend ends it: frame 0 is shown alone.
    auto motion = MakeMotion("clip", 50);
    MotionController controller(motion.get(), 0, 1.0f);
    controller.currentFrame = 10;
    ASSERT_TRUE(controller.StartTransition(45));
    platform::ManualClock::Advance(6 * kOneFrame);
    controller.Update();
    EXPECT_EQ(controller.currentFrame, 0);
    EXPECT_FALSE(controller.IsTransitioning());
    ExpectJointsNear(controller.GetPosture(), motion->frames[0], 1e-6f);
  }
  {
    // Many frames in one update: the blend ends with the old clip held.
    auto motion = MakeMotion("clip", 100);
    MotionController controller(motion.get(), 0, 1.0f);
    controller.currentFrame = 50;
    ASSERT_TRUE(controller.StartTransition(0));
    platform::ManualClock::Advance(60 * kOneFrame);
    controller.Update();
    EXPECT_EQ(controller.currentFrame, 60);
    EXPECT_FALSE(controller.IsTransitioning());
  }
}

TEST(MotionControllerTest, RootKeepsItsPlaceAtAJump) {
  ScopedWorkDir dir;
  ManualTime time;
  auto motion = MakeMotion("clip", 60);
  motion->frames[5].root = Vector3(2.0f, 1.0f, 3.0f);
  motion->frames[40].root = Vector3(10.0f, 0.9f, -4.0f);
  motion->frames[41].root = Vector3(10.5f, 0.95f, -4.25f);
  MotionController controller(motion.get(), 0, 1.0f);
  controller.currentFrame = 5;
  controller.Update();
  const Vector3 shown = controller.GetPosture().root;
  EXPECT_EQ(shown.x, 2.0f);
  EXPECT_EQ(shown.z, 3.0f);

  ASSERT_TRUE(controller.StartTransition(40));
  controller.Update();
  const Vector3 jumped = controller.GetPosture().root;
  EXPECT_FLOAT_EQ(jumped.x, 2.0f);
  EXPECT_FLOAT_EQ(jumped.y, 0.9f);
  EXPECT_FLOAT_EQ(jumped.z, 3.0f);

  // From there the root moves by the new clip's own displacement.
  platform::ManualClock::Advance(kOneFrame);
  controller.Update();
  const Vector3 moved = controller.GetPosture().root;
  EXPECT_FLOAT_EQ(moved.x, 2.5f);
  EXPECT_FLOAT_EQ(moved.y, 0.95f);
  EXPECT_FLOAT_EQ(moved.z, 2.75f);
}

TEST(MotionControllerTest, HeadingCorrectionKeepsOnlyTheTurnAboutY) {
  ScopedWorkDir dir;
  ManualTime time;
  {
    // Pure turns: facing 30 degrees, jumping to a frame facing 100 degrees,
    // the correction turns by -70 degrees, so the body keeps facing 30.
    auto motion = MakeMotion("clip", 100);
    motion->frames[5].rotation[0] = Quaternion(0.0f, 30.0f, 0.0f);
    for (int i = 40; i < 80; ++i) motion->frames[i].rotation[0] = Quaternion(0.0f, 100.0f, 0.0f);
    motion->frames[41].root = Vector3(1.0f, 0.0f, 0.0f);
    MotionController controller(motion.get(), 0, 1.0f);
    controller.currentFrame = 5;
    controller.Update();
    ASSERT_TRUE(controller.StartTransition(40));
    controller.Update();
    const Quaternion& h = controller.headingCorrection;
    EXPECT_NEAR(h.x, 0.0f, 1e-6f);
    EXPECT_NEAR(h.z, 0.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(h.y), std::sin(35.0 * kPi / 180.0), 2e-6);
    EXPECT_LT(h.y * h.w, 0.0f);  // a negative turn
    const Quaternion facing = controller.GetPosture().rotation[0];
    EXPECT_NEAR(std::fabs(facing.Dot(motion->frames[5].rotation[0])), 1.0f, 1e-6f);
    // The new clip's step along +x is shown turned by -70 degrees about y.
    platform::ManualClock::Advance(kOneFrame);
    controller.Update();
    const Vector3 root = controller.GetPosture().root;
    EXPECT_NEAR(root.x, std::cos(-70.0 * kPi / 180.0), 1e-5);
    EXPECT_NEAR(root.y, 0.0, 1e-6);
    EXPECT_NEAR(root.z, -std::sin(-70.0 * kPi / 180.0), 1e-5);
    // Corrections accumulate: jumping back to the frame facing 30 degrees
    // turns by +70, which cancels the first correction.
    for (int e = 2; e <= 19; ++e) {
      platform::ManualClock::Advance(kOneFrame);
      controller.Update();
    }
    ASSERT_FALSE(controller.IsTransitioning());
    ASSERT_TRUE(controller.StartTransition(5));
    controller.Update();
    EXPECT_NEAR(std::fabs(controller.headingCorrection.w), 1.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(controller.GetPosture().rotation[0].Dot(motion->frames[5].rotation[0])),
                1.0f, 1e-6f);
  }
  {
    // Tilted frames: the tilt difference is dropped, the turn stays about y.
    auto motion = MakeMotion("clip", 60);
    motion->frames[5].rotation[0] = Quaternion(25.0f, 30.0f, -10.0f);
    motion->frames[40].rotation[0] = Quaternion(-15.0f, 120.0f, 40.0f);
    MotionController controller(motion.get(), 0, 1.0f);
    controller.currentFrame = 5;
    controller.Update();
    ASSERT_TRUE(controller.StartTransition(40));
    const Quaternion first = controller.headingCorrection;
    EXPECT_NEAR(first.x, 0.0f, 1e-6f);
    EXPECT_NEAR(first.z, 0.0f, 1e-6f);
    EXPECT_NEAR(first.y * first.y + first.w * first.w, 1.0f, 1e-6f);
    // Corrections accumulate: a second jump turns further about y.
    for (int e = 1; e <= 19; ++e) {
      platform::ManualClock::Advance(kOneFrame);
      controller.Update();
    }
    ASSERT_FALSE(controller.IsTransitioning());
    motion->frames[5].rotation[0] = Quaternion(0.0f, 0.0f, 0.0f);
    motion->frames[59].rotation[0] = Quaternion(0.0f, 90.0f, 0.0f);
    ASSERT_TRUE(controller.StartTransition(5));
    const Quaternion second = controller.headingCorrection;
    EXPECT_NEAR(second.x, 0.0f, 1e-6f);
    EXPECT_NEAR(second.z, 0.0f, 1e-6f);
  }
}

TEST(MotionControllerTest, NamesAndRegistry) {
  ScopedWorkDir dir;
  ManualTime time;
  auto walk = MakeMotion("Walk", 10);
  MotionController* first = walk->CreateController(0);
  MotionController* second = walk->CreateController(0);
  auto third = std::make_unique<MotionController>(walk.get(), 0, 0.5f);
  EXPECT_EQ(first->name, "walk");
  EXPECT_EQ(second->name, "walk1");
  EXPECT_EQ(third->name, "walk2");
  EXPECT_EQ(first->speed, 1.0f);
  EXPECT_EQ(first->GetGraph(), nullptr);
  auto& map = MotionControllerMap();
  EXPECT_EQ(map.at("walk1"), second);

  delete second;
  EXPECT_EQ(map.count("walk1"), 0u);
  MotionController* fourth = walk->CreateController(0);
  EXPECT_EQ(fourth->name, "walk1");

  {
    // Controllers without a motion share the empty base name.
    MotionController* none = new MotionController(nullptr, 0, 1.0f);
    MotionController* none1 = new MotionController(nullptr, 0, 1.0f);
    EXPECT_EQ(none->name, "");
    EXPECT_EQ(none1->name, "1");
  }

  // A dying motion takes its controllers' entries along and they forget it.
  auto run = MakeMotion("run", 10);
  MotionController* runner = run->CreateController(0);
  walk.reset();
  EXPECT_EQ(map.count("walk"), 0u);
  EXPECT_EQ(map.count("walk1"), 0u);
  EXPECT_EQ(map.count("walk2"), 0u);
  EXPECT_EQ(map.at("run"), runner);
  for (MotionController* orphan : {first, fourth, third.get()}) {
    EXPECT_EQ(orphan->GetMotion(), nullptr);
    EXPECT_EQ(orphan->frameCount, -1);
    EXPECT_TRUE(orphan->Update());
    EXPECT_FALSE(orphan->StartTransition(0));
    EXPECT_EQ(orphan->EvaluateTransition(0, 0), 0.0f);
  }
  third.reset();  // its entry is already gone; nothing else is erased
  EXPECT_EQ(map.at("run"), runner);
}

TEST(MotionControllerTest, ControllersWithoutFramesReadNothing) {
  ScopedWorkDir dir;
  ManualTime time;
  auto empty = std::make_unique<Motion>("empty", 0, 0);
  for (Motion* motion : {static_cast<Motion*>(nullptr), empty.get()}) {
    MotionController controller(motion, 0, 1.0f);
    EXPECT_EQ(controller.frameCount, motion == nullptr ? -1 : 0);
    EXPECT_EQ(controller.nodeCount, controller.frameCount);
    platform::ManualClock::Advance(1.0);
    EXPECT_TRUE(controller.Update());
    EXPECT_EQ(controller.currentFrame, 0);
    controller.GoToEnd();
    controller.StepForward(3);
    controller.StepBackward(3);
    EXPECT_EQ(controller.currentFrame, 0);
    controller.Play();
    EXPECT_TRUE(controller.Update());
    EXPECT_FALSE(controller.StartTransition(0));
    EXPECT_EQ(controller.GetFrame(0).rotation[3].w, 1.0f);
    EXPECT_EQ(controller.GetJointRotation(3).w, 1.0f);
    EXPECT_EQ(controller.GetBodyWeights(), 0);
  }
}
