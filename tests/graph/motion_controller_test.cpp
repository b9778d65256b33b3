// The motion controller: frame advance, transport, blends and root
// corrections, with a manual clock and small hand-made motions.
#include "graph/motion_controller.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/matrix4.h"
#include "tests/graph/graph_fixture.h"
#include "tests/support/real_clips.h"

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

// Where a root rotation faces (its z axis) about the vertical, in degrees.
double Facing(const Quaternion& rotation) {
  Matrix4 m;
  rotation.GetMatrix(&m);
  const Vector3 z = m.TransformPoint(Vector3(0.0f, 0.0f, 1.0f));
  return std::atan2(z.x, z.z) * 180.0 / kPi;
}

// The turn from one facing to another, 0 to 180 degrees.
double Turn(double from, double to) { return std::fabs(std::remainder(to - from, 360.0)); }

// Horizontal distance.
float Ground(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

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
  // Transport: every call but Play stops the controller; steps stay inside
  // the motion.
  MotionController& t = NewController(20, 17);
  // The frame after `call` made while playing; -1 when it left t playing.
  auto after = [&t](auto call) {
    t.Play();
    call();
    return t.playing ? -1 : t.currentFrame;
  };
  EXPECT_EQ(after([&] { t.StepForward(5); }), 19);
  EXPECT_EQ(after([&] { t.StepBackward(2147483647); }), 0);
  EXPECT_EQ(after([&] { t.GoToEnd(); }), 19);
  EXPECT_EQ(after([&] { t.Rewind(); }), 0);
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
      // The mixer's joint rotation is the current frame's, not the blend's.
      EXPECT_EQ(c.GetJointRotation(7).x, now.rotation[7].x);
    }
  }
  // A change of the window acts on a running blend: W = 36.0000014 ends it
  // at 37 frames. Stop drops a blend and the time spent stopped: frame 15
  // shows alone after one more update.
  transitionTime = 0.15f;
  MotionController& c = NewController(200, 0);
  ASSERT_TRUE(c.StartTransition(100));
  Play(c, 9);
  transitionTime = 0.3f;
  Play(c, 27);
  EXPECT_TRUE(c.IsTransitioning());
  Play(c, 1);
  EXPECT_FALSE(c.IsTransitioning());
  ASSERT_TRUE(c.StartTransition(10));
  Play(c, 4);
  c.Stop();
  EXPECT_FALSE(c.IsTransitioning());
  Play(c, 10, 12);
  EXPECT_EQ(c.currentFrame, 14);
  c.Play();
  Play(c, 1);
  EXPECT_EQ(c.currentFrame, 15);
  ExpectBlend(c.GetPosture(), motion->frames[15], motion->frames[15]);
  // The old clip runs off the end: its frame is held at the last one.
  transitionTime = 0.15f;
  MotionController* d = &NewController(100, 90);
  ASSERT_TRUE(d->StartTransition(20));
  Play(*d, 1, 19);
  EXPECT_FALSE(d->IsTransitioning());
  ExpectBlend(d->GetPosture(), motion->frames[99], motion->frames[39], 19, TransitionFrames());
  // A loop wrap during the blend ends it: frame 0 is shown alone.
  d = &NewController(50, 10);
  ASSERT_TRUE(d->StartTransition(45));
  Play(*d, 1, 6);
  EXPECT_EQ(d->currentFrame, 0);
  EXPECT_FALSE(d->IsTransitioning());
  ExpectBlend(d->GetPosture(), motion->frames[0], motion->frames[0]);
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
  // Corrections accumulate: jumping back turns by +70, cancelling the first.
  Play(*c, 18);
  ASSERT_TRUE(c->StartTransition(5));
  EXPECT_NEAR(std::fabs(c->headingCorrection.w), 1.0f, 1e-6f);
  // Tilted frames: the tilt difference is dropped, the turn stays about y.
  c = &NewController(60, 5);
  motion->frames[5].rotation[0] = Quaternion(25.0f, 30.0f, -10.0f);
  motion->frames[40].rotation[0] = Quaternion(-15.0f, 120.0f, 40.0f);
  ASSERT_TRUE(c->StartTransition(40));
  const Quaternion tilted = c->headingCorrection;
  EXPECT_LT(std::fabs(tilted.x) + std::fabs(tilted.z), 1e-6f);
  EXPECT_NEAR(tilted.y * tilted.y + tilted.w * tilted.w, 1.0f, 1e-6f);
  // Looping a clip that steps 0.1 a frame along x and turns by 2 degrees a
  // frame: at each wrap the root stays where it stands, facing on, and
  // walks on from there; a clip standing in place wraps in place.
  for (const float stride : {0.1f, 0.0f}) {
    c = &NewController(10, 0);
    for (int i = 0; i < 10; ++i) {
      motion->frames[i].rotation[0] = Quaternion(0.0f, 2.0f * i, 0.0f);
      motion->frames[i].root = Vector3(stride * i, 0.9f, 0.0f);
    }
    c->Update();
    for (int u = 1; u <= 25; ++u) {
      const Vector3 before = c->GetPosture().root;
      Play(*c, 1);
      EXPECT_NEAR(Ground(before, c->GetPosture().root), u % 10 == 0 ? 0.0f : stride, 1e-6f) << stride << ": " << u;
    }
    // Frame 5 after two wraps that each carried frame 9's facing over.
    EXPECT_NEAR(Facing(c->GetPosture().rotation[0]), 10.0 + 2 * 18.0, 1e-3);
  }
}

// A real walk (02_01) looping, and a walk, a run, punches and swordplay
// joined into one motion (02_01, 02_03, 02_05, 02_07), played on across loop
// wraps and the seams between the files, one and four frames per update,
// without a graph: no update moves the root horizontally further than that
// many of the files' largest steps between neighbouring frames, nor turns it
// further than the larger of that many of their largest turns and the
// largest turn that an update making a graph jump shows on the same motion.
TEST_F(MotionControllerTest, RealClipsWalkOnAcrossLoopWrapsAndSeams) {
  TAVRIN_REQUIRE_MOCAP();
  const std::vector<std::string> joined = {"02_01.amc", "02_03.amc", "02_05.amc", "02_07.amc"};
  ASSERT_TRUE(testing_support::CopyRealClips(testing_support::MocapDir(), joined));
  evalType = 2;
  for (const size_t files : {1, 4}) {
    Motion* m = new Motion("real" + std::to_string(files), joined[0], 0.06f, 0);
    for (size_t f = 1; f < files; ++f) ASSERT_TRUE(m->AppendFile(joined[f], 0.06f));
    float stride = 0.0f;
    double turn = 0.0;
    for (int i = 0; i + 1 < m->frameCount; ++i) {
      if (m->GetSegmentEnd(i) == i + 1) continue;  // frame i + 1 opens the next file
      stride = std::max(stride, Ground(m->frames[i].root, m->frames[i + 1].root));
      turn = std::max(turn, Turn(Facing(m->frames[i].rotation[0]), Facing(m->frames[i + 1].rotation[0])));
    }
    for (const int frames : {1, 4}) {
      MotionController* plain = m->CreateController(0);
      MotionController* jumping = m->CreateController(1);
      double jumpTurn = 0.0, worstTurn = 0.0;
      float worstStep = 0.0f;
      int wraps = 0, jumps = 0;
      plain->Update();
      jumping->Update();
      while (wraps < 3) {
        const Posture a = plain->GetPosture(), b = jumping->GetPosture();
        const int shown = plain->currentFrame;
        platform::ManualClock::Advance(frames * (1.0 / 120.0 + 1e-9));
        plain->Update();
        jumping->Update();
        wraps += plain->currentFrame < shown;
        worstStep = std::max(worstStep, Ground(a.root, plain->GetPosture().root));
        worstTurn = std::max(worstTurn, Turn(Facing(a.rotation[0]), Facing(plain->GetPosture().rotation[0])));
        if (jumping->IsTransitioning() && jumping->currentFrame == jumping->transitionFrame) {
          ++jumps;
          jumpTurn = std::max(jumpTurn, Turn(Facing(b.rotation[0]), Facing(jumping->GetPosture().rotation[0])));
        }
      }
      EXPECT_GT(jumps, 0);
      EXPECT_LE(worstStep, frames * stride * 1.0001f) << files << " files, " << frames << " frames";
      EXPECT_LE(worstTurn, std::max(frames * turn, jumpTurn) + 1e-3) << files << " files, " << frames << " frames";
    }
  }
}

TEST_F(MotionControllerTest, NamesAndMotionsThatGo) {
  Motion* jog = new Motion("Jog", 10, 0);
  MotionController* first = jog->CreateController(0);
  EXPECT_EQ(first->name + " " + jog->CreateController(0)->name, "jog jog1");
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
