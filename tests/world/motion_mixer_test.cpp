#include "world/motion_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "core/quaternion.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

// Helpers shared with gameplay_controller_test.cpp (declared there).
namespace mixer_test {

// A registered clip of `frames` frames whose frame f, joint j has the Euler
// angles angles(f, j) (degrees) and the root at (f / 10, 1, -f / 5).
Motion* MakeMotion(const std::string& name, int frames, int code, Vector3 (*angles)(int, int)) {
  auto* motion = new Motion(name, frames, code);
  for (int f = 0; f < frames; ++f) {
    Posture p;
    p.root = Vector3(f * 0.1f, 1.0f, -f * 0.2f);
    for (int j = 0; j < kJointCount; ++j) {
      const Vector3 a = angles(f, j);
      p.rotation[j] = Quaternion(a.x, a.y, a.z);
    }
    motion->SetPosture(f, p);
  }
  return motion;
}

// Hand-chosen angle patterns, well inside y = -90 .. 90, so that the Euler
// angles read back from the rotations are the ones put in.
Vector3 AnglesA(int f, int j) { return Vector3(2.0f * f + j, 0.5f * j - 5.0f, 20.0f - j + f); }
Vector3 AnglesB(int f, int j) { return Vector3(40.0f - j - 3.0f * f, 15.0f + f, j - 30.0f); }

// Seconds that make a controller at speed 1 advance exactly `frames` frames
// from a zero carry (a quarter frame more, which the timer carries).
double FramesToSeconds(int frames) { return (frames + 0.25) / 120.0; }

// Log lines, caught by the console sink the test fixtures install.
std::vector<std::string>& CapturedLog() {
  static std::vector<std::string> lines;
  return lines;
}
void CaptureLog(const char* text, int) { CapturedLog().push_back(text); }

}  // namespace mixer_test

namespace {

using mixer_test::AnglesA;
using mixer_test::AnglesB;
using mixer_test::CapturedLog;
using mixer_test::FramesToSeconds;
using mixer_test::MakeMotion;

int CountLogLines(const std::string& part) {
  int n = 0;
  for (const std::string& line : CapturedLog()) n += line.find(part) != std::string::npos;
  return n;
}

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_TRUE(testing_support::WriteTinySkeleton());
    platform::ManualClock::Install(100.0);
    SetLogConsoleSink(mixer_test::CaptureLog);
    skeleton = new Skeleton("MartialArts.asf", 0.06f);
    mixer = new MotionMixer(skeleton);
  }
  void TearDown() override {
    delete mixer;
    delete skeleton;
    SetLogConsoleSink(nullptr);
    platform::ManualClock::Uninstall();
  }

  // Checks joints from..to: each axis a bone rotates about must hold
  // AnglesA(frameA) (1 - shareB) + AnglesB(frameB) shareB, written out
  // component by component; every other axis must still be 0.
  void ExpectJoints(int from, int to, int frameA, int frameB, float shareB, const char* what) {
    for (int j = from; j <= to; ++j) {
      const Vector3 a = AnglesA(frameA, j), b = AnglesB(frameB, j);
      const float want[3] = {a.x + (b.x - a.x) * shareB, a.y + (b.y - a.y) * shareB, a.z + (b.z - a.z) * shareB};
      const float got[3] = {skeleton->bones[j].rx, skeleton->bones[j].ry, skeleton->bones[j].rz};
      for (int k = 0; k < 3; ++k) {
        const bool dof = testing_support::TinyHasDof(j, "xyz"[k]);
        EXPECT_NEAR(got[k], dof ? want[k] : 0.0f, 2e-3f) << what << " joint " << j << " axis " << k;
      }
    }
  }

  testing_support::ScopedWorkDir work;
  Skeleton* skeleton = nullptr;
  MotionMixer* mixer = nullptr;
};

TEST_F(MixerTest, ControllersWithoutFramesGiveTheRestPoseOrNoBlend) {
  MotionController* second = MakeMotion("b", 20, 0, AnglesB)->CreateController(0);
  mixer->SetSecondary(second);
  // No primary at all, a primary whose motion failed to load (frame count
  // -1), a primary of an empty clip: the rest pose; the secondary is not
  // advanced either.
  Motion* const empties[] = {nullptr, new Motion("broken", "no_such_file.amc", 0.06f, 0), new Motion("empty", 0, 0)};
  for (Motion* motion : empties) {
    if (motion != nullptr) mixer->SetPrimary(motion->CreateController(0));
    skeleton->rootPosition = Vector3(1.0f, 2.0f, 3.0f);  // some earlier pose
    for (Bone& bone : skeleton->bones) bone.rx = bone.ry = bone.rz = 7.0f;
    platform::ManualClock::Advance(FramesToSeconds(5));
    EXPECT_TRUE(mixer->Apply());
    const Vector3& r = skeleton->rootPosition;
    EXPECT_EQ(std::fabs(r.x) + std::fabs(r.y) + std::fabs(r.z), 0.0f);
    for (const Bone& bone : skeleton->bones) {
      EXPECT_EQ(std::fabs(bone.rx) + std::fabs(bone.ry) + std::fabs(bone.rz), 0.0f) << "bone " << bone.id;
    }
  }
  EXPECT_EQ(second->currentFrame, 0);

  // As secondaries they are neither updated nor blended: not even a blend
  // runs.
  MotionController* first = MakeMotion("a", 40, 0, AnglesA)->CreateController(0);
  mixer->SetPrimary(first);
  for (Motion* m : {empties[1], empties[2]}) {
    MotionController* none = m->CreateController(0);
    mixer->SetSecondary(none);
    platform::ManualClock::Advance(FramesToSeconds(2));
    mixer->Apply();
    EXPECT_EQ(none->currentFrame, 0) << m->name;
    ExpectJoints(1, 30, first->currentFrame, 0, 0.0f, m->name.c_str());
  }
  EXPECT_FALSE(CVarExists("controller.quatBlend"));
}

TEST_F(MixerTest, EulerBlendIsThePlainMeanOnTheJointsBothWeigh) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  MotionController* first = a->CreateController(0);
  MotionController* second = MakeMotion("b", 40, 0, AnglesB)->CreateController(0);
  mixer->SetPrimary(first);
  mixer->SetSecondary(second);
  second->speed = 2.0f;
  platform::ManualClock::Advance(FramesToSeconds(5));
  mixer->Apply();
  EXPECT_TRUE(CVarExists("controller.quatBlend"));  // registered by the first blend
  ASSERT_EQ(first->currentFrame, 5);
  ASSERT_EQ(second->currentFrame, 10);  // 5.25 frames at speed 2
  // The root stays the primary's: position and orientation.
  EXPECT_FLOAT_EQ(skeleton->rootPosition.x, 0.5f);
  EXPECT_FLOAT_EQ(skeleton->rootPosition.z, -1.0f);
  EXPECT_NEAR(skeleton->bones[0].rx, AnglesA(5, 0).x, 2e-3f);
  EXPECT_NEAR(skeleton->bones[0].rz, AnglesA(5, 0).z, 2e-3f);
  ExpectJoints(1, 30, 5, 10, 0.5f, "whole body mean");

  // An upper-body secondary (code 4): joints 1..11 keep the primary.
  mixer->SetSecondary(MakeMotion("b4", 40, 4, AnglesB)->CreateController(0));
  platform::ManualClock::Advance(FramesToSeconds(3));
  mixer->Apply();
  ASSERT_EQ(first->currentFrame, 8);  // 5.25 + 3.25 frames
  ExpectJoints(1, 11, 8, 3, 0.0f, "primary alone");
  ExpectJoints(12, 30, 8, 3, 0.5f, "upper body mean");
}

TEST_F(MixerTest, JointsWithoutWeightOnEitherSideKeepThePrimary) {
  // Both lower body alone (code 3): joints 12..30 weigh 0 on both sides.
  mixer->SetPrimary(MakeMotion("a3", 40, 3, AnglesA)->CreateController(0));
  mixer->SetSecondary(MakeMotion("b3", 40, 3, AnglesB)->CreateController(0));
  platform::ManualClock::Advance(FramesToSeconds(2));
  mixer->Apply();
  ExpectJoints(1, 11, 2, 2, 0.5f, "code 3 mean");
  ExpectJoints(12, 30, 2, 2, 0.0f, "code 3 zero weights");

  // Both code 1: the fingers and thumbs weigh 0 on both sides, the upper
  // back 0.8 and 0.8 (the mean again).
  mixer->SetPrimary(MakeMotion("a1", 40, 1, AnglesA)->CreateController(0));
  mixer->SetSecondary(MakeMotion("b1", 40, 1, AnglesB)->CreateController(0));
  mixer->Apply();
  for (int j : {22, 23, 29, 30}) ExpectJoints(j, j, 0, 0, 0.0f, "code 1 zero weights");
  ExpectJoints(12, 12, 0, 0, 0.5f, "code 1 upperback");
}

TEST_F(MixerTest, SlerpBlendReadsTheRawFramesOfBothMotions) {
  ConsoleVariable<int> quatBlend("controller.quatBlend", 1);
  MotionController* first = MakeMotion("a", 60, 0, AnglesA)->CreateController(0);
  MotionController* second = MakeMotion("b", 60, 4, AnglesB)->CreateController(0);
  mixer->SetPrimary(first);
  mixer->SetSecondary(second);

  // A jump of the primary from frame 0 to 30, nine frames into its blend:
  // its output posture is half way between frames 9 and 39, its raw frame 39.
  ASSERT_TRUE(first->StartTransition(30));
  platform::ManualClock::Advance(FramesToSeconds(9));
  mixer->Apply();
  ASSERT_EQ(first->currentFrame, 39);
  ASSERT_TRUE(first->IsTransitioning());
  ASSERT_EQ(second->currentFrame, 9);
  // t = 0 on joints 1..11 (the primary's raw frame, not its blended output),
  // t = 1 on joints 12..30 (the secondary's raw frame).
  ExpectJoints(1, 11, 39, 9, 0.0f, "primary raw");
  ExpectJoints(12, 30, 39, 9, 1.0f, "secondary raw");

  // The Euler blend of the same moment sees the primary's blended output.
  quatBlend = 0;
  mixer->Apply();
  Vector3 blended;
  first->GetPosture().rotation[2].GetEuler(&blended);
  EXPECT_GT(std::abs(blended.x - AnglesA(39, 2).x), 1.0f);
  EXPECT_NEAR(skeleton->bones[2].rx, blended.x, 2e-3f);
}

TEST_F(MixerTest, UnknownCodesUseTheWholeBodyTableAndAreLoggedOnce) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  Motion* b = MakeMotion("b", 40, 0, AnglesB);
  b->bodyWeights = 7;  // set behind the loader's back
  mixer->SetPrimary(a->CreateController(0));
  mixer->SetSecondary(b->CreateController(0));
  for (int k = 0; k < 4; ++k) {
    platform::ManualClock::Advance(FramesToSeconds(1));
    mixer->Apply();
  }
  ASSERT_GT(mixer->GetPrimary()->currentFrame, 0);
  ExpectJoints(1, 30, mixer->GetPrimary()->currentFrame, mixer->GetSecondary()->currentFrame, 0.5f, "table 0");
  EXPECT_EQ(CountLogLines("body weights code 7"), 1);
  for (int code : {-1, 5, 7}) EXPECT_EQ(GetBodyWeightTable(code), nullptr) << code;

  // Both sides unknown, for the slerp blend too: still no out-of-table read.
  ConsoleVariable<int> quatBlend("controller.quatBlend", 0);
  quatBlend = 1;
  a->bodyWeights = -3;
  mixer->Apply();
  mixer->Apply();
  EXPECT_EQ(CountLogLines("body weights code -3"), 1);
  EXPECT_EQ(CountLogLines("body weights code 7"), 1);
  quatBlend = 0;
}

TEST_F(MixerTest, ReplacingAndClearingStopsTheOldControllerWithoutDeletingIt) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  MotionController* p1 = a->CreateController(0);
  MotionController* p2 = a->CreateController(0);
  MotionController* s1 = a->CreateController(0);
  MotionController* s2 = a->CreateController(0);
  mixer->SetPrimary(p1);
  mixer->SetSecondary(s1);
  platform::ManualClock::Advance(FramesToSeconds(4));
  mixer->Apply();

  mixer->SetPrimary(p2);
  mixer->SetSecondary(s2);
  EXPECT_FALSE(p1->playing);
  EXPECT_FALSE(s1->playing);
  EXPECT_EQ(p1->currentFrame, 4);
  EXPECT_EQ(s1->currentFrame, 4);
  EXPECT_TRUE(p2->playing);
  EXPECT_TRUE(s2->playing);
  mixer->ClearSecondary();
  EXPECT_FALSE(s2->playing);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  mixer->ClearSecondary();  // nothing to clear: no effect
  for (const char* name : {"a", "a1", "a2", "a3"}) EXPECT_EQ(MotionControllerMap().count(name), 1u);

  // A graph-less controller of its own for a secondary motion.
  mixer->SetSecondaryMotion(a);
  MotionController* made = mixer->GetSecondary();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetMotion(), a);
  EXPECT_EQ(made->GetGraph(), nullptr);
  EXPECT_TRUE(made->playing);

  // Nulls are refused with a log line; the mix stays as it was.
  const size_t before = CapturedLog().size();
  mixer->SetPrimary(nullptr);
  mixer->SetSecondary(nullptr);
  mixer->SetSecondaryMotion(nullptr);
  EXPECT_EQ(mixer->GetPrimary(), p2);
  EXPECT_EQ(mixer->GetSecondary(), made);
  EXPECT_TRUE(made->playing);
  EXPECT_EQ(CapturedLog().size(), before + 3);
}

}  // namespace
