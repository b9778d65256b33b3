// The motion controller: frame advance, transport, blends and root
// corrections, with a manual clock and small hand-made motions.

#include "graph/motion_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/console_variable.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"

using testing_support::ScopedWorkDir;

namespace {

constexpr double kPi = 3.14159265358979323846;
// A hair more than one frame of time, so that rounding in the clock's
// differences never drops a frame.
constexpr double kOneFrame = 1.0 / 120.0 + 1e-9;

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

// A fresh folder and the manual clock at 0 for the test's lifetime.
class MotionControllerTest : public testing::Test {
 protected:
  MotionControllerTest() { platform::ManualClock::Install(0.0); }
  ~MotionControllerTest() override { platform::ManualClock::Uninstall(); }

  // A controller (replacing the last one) on a new MakeMotion of `frames`
  // frames, showing `frame`.
  MotionController& NewController(int frames, int frame) {
    controller.reset();
    motion = MakeMotion("clip", frames);
    controller = std::make_unique<MotionController>(motion.get(), 0, 1.0f);
    controller->currentFrame = frame;
    return *controller;
  }

  ScopedWorkDir dir;
  std::unique_ptr<Motion> motion;
  std::unique_ptr<MotionController> controller;
};

// `updates` updates, each one frame of time after the last.
void PlayFrames(MotionController& controller, int updates) {
  for (int u = 0; u < updates; ++u) {
    platform::ManualClock::Advance(kOneFrame);
    controller.Update();
  }
}

// The half-cosine blend weight written out on its own: 0 at the jump, 1 at W.
float ExpectedWeight(int framesSinceJump, double w) {
  const float phase = static_cast<float>(framesSinceJump / w);
  return static_cast<float>(0.5 - 0.5 * std::cos(phase * kPi));
}

// The joints of the blend of frames `from` and `to` with `weight`.
Posture Blend(const Posture& from, const Posture& to, float weight) {
  Posture blended;
  for (int j = 1; j < kJointCount; ++j) {
    Slerp(weight, from.rotation[j], to.rotation[j], &blended.rotation[j]);
  }
  return blended;
}

void ExpectJointsNear(const Posture& actual, const Posture& expected) {
  for (int j = 1; j < kJointCount; ++j) {
    // q and -q are one rotation.
    EXPECT_NEAR(std::fabs(actual.rotation[j].Dot(expected.rotation[j])), 1.0f, 1e-6f)
        << "joint " << j;
  }
}

}  // namespace

TEST_F(MotionControllerTest, FrameAdvanceFollowsTimeSpeedAndCarry) {
  Motion clip("clip", 100000, 0);
  // The total is updates / updatesPerSecond * 120 * speed.
  struct Case {
    double updatesPerSecond;
    float speed;
    int updates, minStep, maxStep, total;
  };
  const Case cases[] = {
      {60.0, 1.0f, 600, 1, 3, 1200},   // two frames per update
      {240.0, 1.0f, 600, 0, 1, 300},   // half a frame, carried
      {120.0, 2.5f, 400, 2, 3, 1000},  // 2, 3, 2, 3 ...
      {47.0, 1.0f, 470, 2, 3, 1200},   // an uneven rate
      {120.0, 0.0f, 100, 0, 0, 0},     // speed 0 stands still
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.updatesPerSecond);
    platform::ManualClock::Set(0.0);
    MotionController c(&clip, 0, k.speed);
    for (int u = 1; u <= k.updates; ++u) {
      const int before = c.currentFrame;
      platform::ManualClock::Set(u / k.updatesPerSecond);
      c.Update();
      const int step = c.currentFrame - before;
      ASSERT_TRUE(step >= k.minStep && step <= k.maxStep) << step << " at update " << u;
    }
    EXPECT_NEAR(c.currentFrame, k.total, 1) << k.speed;
  }
}

TEST_F(MotionControllerTest, LoopWrapDropsTheOvershootAndNonLoopingHolds) {
  MotionController& c = NewController(10, 8);
  platform::ManualClock::Advance(5 * kOneFrame);
  c.Update();
  EXPECT_EQ(c.currentFrame, 0);
  ExpectJointsNear(c.GetPosture(), motion->frames[0]);
  c.looping = false;
  c.currentFrame = 8;
  platform::ManualClock::Advance(5 * kOneFrame);
  c.Update();
  EXPECT_EQ(c.currentFrame, 9);
}

TEST_F(MotionControllerTest, TransportStopsAndClamps) {
  MotionController& c = NewController(20, 17);
  // The frame after `call` made while playing; -1 when it left c playing.
  auto after = [&c](auto call) {
    c.Play();
    call();
    return c.playing ? -1 : c.currentFrame;
  };
  EXPECT_EQ(after([&] { c.StepForward(5); }), 19);
  EXPECT_EQ(after([&] { c.StepBackward(21); }), 0);
  EXPECT_EQ(after([&] { c.GoToEnd(); }), 19);
  EXPECT_EQ(after([&] { c.Rewind(); }), 0);
  // Absurd steps stay inside the motion.
  EXPECT_EQ(after([&] { c.StepForward(2147483647); }), 19);
  EXPECT_EQ(after([&] { c.StepBackward(2147483647); }), 0);
  EXPECT_EQ(after([&] { c.StepForward(-4); }), 0);
  // A frame written from outside the motion is brought back in.
  c.currentFrame = 500;
  c.Update();
  EXPECT_EQ(c.currentFrame, 19);
  c.currentFrame = -3;
  c.Update();
  EXPECT_EQ(c.currentFrame, 0);
}

TEST_F(MotionControllerTest, StopHoldsTheFrameDropsTheBlendAndForgetsTheTime) {
  MotionController& c = NewController(200, 10);
  ASSERT_TRUE(c.StartTransition(100));
  PlayFrames(c, 4);
  ASSERT_TRUE(c.IsTransitioning());
  // The mixer's joint rotation is the current frame's, not the blend's.
  EXPECT_EQ(c.GetJointRotation(7).x, motion->frames[104].rotation[7].x);
  EXPECT_NE(c.GetPosture().rotation[7].x, motion->frames[104].rotation[7].x);
  c.Stop();
  EXPECT_FALSE(c.IsTransitioning());
  for (int u = 0; u < 10; ++u) {
    platform::ManualClock::Advance(0.1);
    c.Update();
  }
  EXPECT_EQ(c.currentFrame, 104);
  ExpectJointsNear(c.GetPosture(), motion->frames[104]);
  c.Play();
  PlayFrames(c, 1);
  EXPECT_EQ(c.currentFrame, 105);
  EXPECT_FALSE(c.IsTransitioning());
  ExpectJointsNear(c.GetPosture(), motion->frames[105]);
}

TEST_F(MotionControllerTest, BlendWeightSequence) {
  const double w = TransitionFrames();
  EXPECT_NEAR(w, 18.000000715, 1e-9);
  MotionController& c = NewController(200, 10);
  c.Update();
  EXPECT_FALSE(c.StartTransition(200));
  EXPECT_FALSE(c.StartTransition(-1));
  ASSERT_TRUE(c.StartTransition(120));
  EXPECT_FALSE(c.StartTransition(30));  // one blend at a time
  EXPECT_EQ(c.previousFrame, 10);
  for (int e = 0; e <= 20; ++e) {
    SCOPED_TRACE(e);
    if (e > 0) platform::ManualClock::Advance(kOneFrame);
    c.Update();
    ASSERT_EQ(c.currentFrame, 120 + e);
    EXPECT_EQ(c.IsTransitioning(), e < 19);
    const Posture& old = motion->frames[10 + e];
    const Posture& now = motion->frames[120 + e];
    ExpectJointsNear(c.GetPosture(), e <= 19 ? Blend(old, now, ExpectedWeight(e, w)) : now);
    // Half way, and the last blended update (0.5 + 0.5 cos 10 degrees).
    if (e == 9) ExpectJointsNear(c.GetPosture(), Blend(old, now, 0.5f));
    if (e == 19) ExpectJointsNear(c.GetPosture(), Blend(old, now, 0.9924f));
  }
}

TEST_F(MotionControllerTest, TransitionTimeChangeActsOnARunningBlend) {
  ConsoleVariable<float> transitionTime("motionctrl.transition_time", 0.15f);
  MotionController& c = NewController(200, 0);
  ASSERT_TRUE(c.StartTransition(100));
  PlayFrames(c, 5);
  transitionTime = 0.3f;  // W = 36.0000014: the update at 37 frames ends it
  PlayFrames(c, 13);
  ExpectJointsNear(c.GetPosture(), Blend(motion->frames[18], motion->frames[118], 0.5f));
  PlayFrames(c, 18);
  EXPECT_TRUE(c.IsTransitioning());
  PlayFrames(c, 1);
  EXPECT_FALSE(c.IsTransitioning());
}

TEST_F(MotionControllerTest, BlendNeverReadsOutsideTheMotion) {
  // The old clip runs off the end: its frame is held at the last one.
  MotionController* c = &NewController(100, 90);
  ASSERT_TRUE(c->StartTransition(20));
  platform::ManualClock::Advance(19 * kOneFrame);  // e = 19 in one update
  c->Update();
  EXPECT_FALSE(c->IsTransitioning());
  ExpectJointsNear(c->GetPosture(), Blend(motion->frames[99], motion->frames[39],
                                          ExpectedWeight(19, TransitionFrames())));
  // A loop wrap during the blend ends it: frame 0 is shown alone.
  c = &NewController(50, 10);
  ASSERT_TRUE(c->StartTransition(45));
  platform::ManualClock::Advance(6 * kOneFrame);
  c->Update();
  EXPECT_EQ(c->currentFrame, 0);
  EXPECT_FALSE(c->IsTransitioning());
  ExpectJointsNear(c->GetPosture(), motion->frames[0]);
}

TEST_F(MotionControllerTest, RootKeepsItsPlaceAndHeadingAtAJump) {
  // Facing 30 degrees at (2, 1, 3), jumping to frames that face 100 degrees
  // and step along +x: the correction turns by -70 degrees about y.
  MotionController* c = &NewController(100, 5);
  motion->frames[5].rotation[0] = Quaternion(0.0f, 30.0f, 0.0f);
  motion->frames[5].root = Vector3(2.0f, 1.0f, 3.0f);
  for (int i = 40; i < 80; ++i) {
    motion->frames[i].rotation[0] = Quaternion(0.0f, 100.0f, 0.0f);
    motion->frames[i].root = Vector3(10.0f + (i - 40), 0.9f + 0.05f * (i - 40), -4.0f);
  }
  c->Update();
  ASSERT_TRUE(c->StartTransition(40));
  c->Update();
  // Where it was shown, at the target frame's own height, facing as before.
  const Vector3 jumped = c->GetPosture().root;
  EXPECT_FLOAT_EQ(jumped.x, 2.0f);
  EXPECT_FLOAT_EQ(jumped.y, 0.9f);
  EXPECT_FLOAT_EQ(jumped.z, 3.0f);
  EXPECT_NEAR(std::fabs(c->GetPosture().rotation[0].Dot(motion->frames[5].rotation[0])), 1.0f,
              1e-6f);
  // The new clip's step is shown turned by -70 degrees.
  PlayFrames(*c, 1);
  const Vector3 moved = c->GetPosture().root;
  EXPECT_NEAR(moved.x, 2.0 + std::cos(70.0 * kPi / 180.0), 1e-5);
  EXPECT_NEAR(moved.y, 0.95, 1e-5);
  EXPECT_NEAR(moved.z, 3.0 + std::sin(70.0 * kPi / 180.0), 1e-5);
  // Corrections accumulate: jumping back turns by +70, cancelling the first.
  PlayFrames(*c, 18);
  ASSERT_TRUE(c->StartTransition(5));
  EXPECT_NEAR(std::fabs(c->headingCorrection.w), 1.0f, 1e-6f);

  // Tilted frames: the tilt difference is dropped, the turn stays about y.
  c = &NewController(60, 5);
  motion->frames[5].rotation[0] = Quaternion(25.0f, 30.0f, -10.0f);
  motion->frames[40].rotation[0] = Quaternion(-15.0f, 120.0f, 40.0f);
  ASSERT_TRUE(c->StartTransition(40));
  const Quaternion tilted = c->headingCorrection;
  EXPECT_TRUE(std::fabs(tilted.x) < 1e-6f && std::fabs(tilted.z) < 1e-6f)
      << tilted.x << ", " << tilted.z;
  EXPECT_NEAR(tilted.y * tilted.y + tilted.w * tilted.w, 1.0f, 1e-6f);
}

TEST_F(MotionControllerTest, NamesAndRegistry) {
  auto walk = MakeMotion("Walk", 10);
  MotionController* first = walk->CreateController(0);
  MotionController* second = walk->CreateController(0);
  auto third = std::make_unique<MotionController>(walk.get(), 0, 0.5f);
  EXPECT_EQ(first->name + " " + second->name + " " + third->name, "walk walk1 walk2");
  auto& map = MotionControllerMap();
  EXPECT_EQ(map.at("walk1"), second);
  delete second;
  EXPECT_EQ(map.count("walk1"), 0u);
  MotionController* fourth = walk->CreateController(0);
  EXPECT_EQ(fourth->name, "walk1");
  // Controllers without a motion share the empty base name.
  EXPECT_EQ((new MotionController(nullptr, 0, 1.0f))->name, "");
  EXPECT_EQ((new MotionController(nullptr, 0, 1.0f))->name, "1");

  // A dying motion takes its controllers' entries along and they forget it.
  auto run = MakeMotion("run", 10);
  MotionController* runner = run->CreateController(0);
  walk.reset();
  EXPECT_EQ(map.count("walk") + map.count("walk1") + map.count("walk2"), 0u);
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

TEST_F(MotionControllerTest, ControllersWithoutFramesReadNothing) {
  Motion empty("empty", 0, 0);
  for (Motion* clip : {static_cast<Motion*>(nullptr), &empty}) {
    MotionController c(clip, 0, 1.0f);
    EXPECT_EQ(c.frameCount, clip == nullptr ? -1 : 0);
    EXPECT_EQ(c.nodeCount, c.frameCount);
    platform::ManualClock::Advance(1.0);
    EXPECT_TRUE(c.Update());
    c.GoToEnd();
    c.StepForward(3);
    c.StepBackward(3);
    EXPECT_EQ(c.currentFrame, 0);
    EXPECT_FALSE(c.StartTransition(0));
    EXPECT_EQ(c.GetFrame(0).rotation[3].w, 1.0f);
    EXPECT_EQ(c.GetJointRotation(3).w, 1.0f);
    EXPECT_EQ(c.GetBodyWeights(), 0);
  }
}
