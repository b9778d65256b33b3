// The motion controller: frame advance, transport, blends and root
// corrections, with a manual clock and small hand-made motions.
#include "graph/motion_controller.h"

#include <gtest/gtest.h>

#include "tests/graph/graph_fixture.h"

namespace {

using namespace graph_test;

constexpr double kPi = 3.14159265358979323846;

class MotionControllerTest : public GraphFixture {
 protected:
  // A controller on a new motion of `frames` frames, showing `frame`; frame i
  // turns joint j by (2 i + j) degrees about x and 3 j about y (every frame
  // and joint distinct), the root at the origin without rotation.
  MotionController& NewController(int frames, int frame) {
    motion = new Motion("clip", frames, 0);
    for (int i = 0; i < frames; ++i) {
      for (int j = 1; j < kJointCount; ++j) motion->frames[i].rotation[j] = Quaternion(2.0f * i + j, 3.0f * j, 0.0f);
    }
    MotionController& c = *motion->CreateController(0);
    c.currentFrame = frame;
    return c;
  }
  Motion* motion = nullptr;
};

// `updates` updates, each `frames` frames of time (and a hair more, so that
// rounding never drops a frame) after the last.
void Play(MotionController& controller, int updates, int frames = 1) {
  for (int u = 0; u < updates; ++u) {
    platform::ManualClock::Advance(frames * (1.0 / 120.0 + 1e-9));
    controller.Update();
  }
}

// The joints of `actual` are those of `from` blended into `to` after e
// frames of a window of w frames: a half cosine, 0 at the jump and 1 at w
// (q and -q are one rotation).
void ExpectBlend(const Posture& actual, const Posture& from, const Posture& to, int e = 1, double w = 1.0) {
  const float weight = static_cast<float>(0.5 - 0.5 * std::cos(static_cast<float>(e / w) * kPi));
  for (int j = 1; j < kJointCount; ++j) {
    Quaternion expected;
    Slerp(weight, from.rotation[j], to.rotation[j], &expected);
    EXPECT_NEAR(std::fabs(actual.rotation[j].Dot(expected)), 1.0f, 1e-6f) << "joint " << j << " after " << e;
  }
}

TEST_F(MotionControllerTest, AdvanceTransportAndClamps) {
  // From frame 8 of 10: landing exactly on the frame count or past it wraps
  // to frame 0 (the overshoot dropped) while looping and holds the last frame
  // otherwise.
  for (const auto& [frames, looping, shown] :
       {std::tuple{2, true, 0}, std::tuple{5, true, 0}, std::tuple{2, false, 9}, std::tuple{5, false, 9}}) {
    MotionController& c = NewController(10, 8);
    c.looping = looping;
    Play(c, 1, frames);
    EXPECT_EQ(c.currentFrame, shown) << frames << (looping ? " looping" : "");
    ExpectBlend(c.GetPosture(), motion->frames[shown], motion->frames[shown]);
  }
  // At speed 2.5, 2.5 frames for each frame of time, the half frame carried.
  MotionController& c = NewController(100, 0);
  c.speed = 2.5f;
  Play(c, 4);
  EXPECT_EQ(c.currentFrame, 10);
  // Steps stay inside the motion.
  MotionController& t = NewController(20, 17);
  t.StepForward(5);
  EXPECT_EQ(t.currentFrame, 19);
  t.StepBackward(2147483647);
  EXPECT_EQ(t.currentFrame, 0);
  // A frame written from outside the motion is brought back in.
  for (const auto& [written, shown] : {std::pair{500, 19}, std::pair{-3, 0}}) {
    t.currentFrame = written;
    t.Update();
    EXPECT_EQ(t.currentFrame, shown);
  }
}

TEST_F(MotionControllerTest, BlendsRunOverTheWindowAndReadOnlyTheMotion) {
  // One frame per update. The default 0.15 s is W = 18.000000715: the update
  // at 19 frames ends the blend, still blending (weight 0.9924); 0.25 s is
  // W = 30 exactly: the update at 30 frames ends it, at weight 1.
  for (const auto& [seconds, end] : {std::pair{0.15f, 19}, std::pair{0.25f, 30}}) {
    transitionTime = seconds;
    MotionController& c = NewController(200, 10);
    EXPECT_FALSE(c.StartTransition(200) || c.StartTransition(-1));
    ASSERT_TRUE(c.StartTransition(120));
    EXPECT_FALSE(c.StartTransition(30));  // one blend at a time
    for (int e = 0; e <= end + 1; ++e) {
      Play(c, 1, e > 0 ? 1 : 0);
      ASSERT_EQ(c.currentFrame, 120 + e);
      EXPECT_EQ(c.IsTransitioning(), e < end) << seconds << ": " << e;
      const Posture& now = motion->frames[120 + e];
      ExpectBlend(c.GetPosture(), e <= end ? motion->frames[10 + e] : now, now, e, TransitionFrames());
    }
  }
  // Stop drops a blend and the time spent stopped: frame 15 shows alone
  // after one more update.
  transitionTime = 0.15f;
  MotionController& c = NewController(200, 0);
  ASSERT_TRUE(c.StartTransition(10));
  Play(c, 4);
  c.Stop();
  Play(c, 10, 12);
  c.Play();
  Play(c, 1);
  EXPECT_EQ(c.currentFrame, 15);
  ExpectBlend(c.GetPosture(), motion->frames[15], motion->frames[15]);
  // The old clip runs off the end: its frame is held at the last one.
  transitionTime = 0.15f;
  MotionController* d = &NewController(100, 90);
  ASSERT_TRUE(d->StartTransition(20));
  Play(*d, 1, 19);
  ExpectBlend(d->GetPosture(), motion->frames[99], motion->frames[39], 19, TransitionFrames());
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
  // Where it was shown, at the target frame's own height, facing as before
  // (also while stopped).
  c->Stop();
  c->Update();
  ASSERT_TRUE(c->StartTransition(40));
  c->Update();
  EXPECT_LT(Distance(c->GetPosture().root, Vector3(2.0f, 0.9f, 3.0f)), 1e-6f);
  EXPECT_NEAR(std::fabs(c->GetPosture().rotation[0].Dot(motion->frames[5].rotation[0])), 1.0f, 1e-6f);
  // The new clip's step is shown turned by -70 degrees.
  c->Play();
  Play(*c, 1);
  const Vector3 turned(2.0 + std::cos(70.0 * kPi / 180.0), 0.95f, 3.0 + std::sin(70.0 * kPi / 180.0));
  EXPECT_LT(Distance(c->GetPosture().root, turned), 1e-5f);
  // Tilted frames: the tilt difference is dropped, the turn stays about y.
  c = &NewController(60, 5);
  motion->frames[5].rotation[0] = Quaternion(25.0f, 30.0f, -10.0f);
  motion->frames[40].rotation[0] = Quaternion(-15.0f, 120.0f, 40.0f);
  ASSERT_TRUE(c->StartTransition(40));
  EXPECT_LT(std::fabs(c->headingCorrection.x) + std::fabs(c->headingCorrection.z), 1e-6f);
}

TEST_F(MotionControllerTest, MotionsThatGo) {
  Motion* jog = new Motion("Jog", 10, 0);
  MotionController* first = jog->CreateController(0);
  jog->CreateController(0);
  // A dying motion takes its controllers' entries along, and they forget it:
  // like a controller of a motion without frames, they read nothing more.
  delete jog;
  EXPECT_EQ(first->GetMotion(), nullptr);
  EXPECT_EQ(MotionControllerMap().count("jog") + MotionControllerMap().count("jog1"), 0u);
  for (MotionController* c : {first, (new Motion("none", 0, 0))->CreateController(0)}) {
    Play(*c, 1, 60);
    c->StepForward(3);
    EXPECT_EQ(c->currentFrame, 0);
    EXPECT_FALSE(c->StartTransition(0));
    EXPECT_EQ(c->GetFrame(0).rotation[3].w + c->GetJointRotation(3).w, 2.0f);
    EXPECT_EQ(c->GetBodyWeights() + c->EvaluateTransition(0, 0), 0.0f);
  }
  delete first;
}

}  // namespace
