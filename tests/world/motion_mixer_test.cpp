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

}  // namespace mixer_test

namespace {

using mixer_test::AnglesA;
using mixer_test::AnglesB;
using mixer_test::FramesToSeconds;
using mixer_test::MakeMotion;
using testing_support::TinyHasDof;

constexpr float kAngleTolerance = 2e-3f;  // degrees, Euler round trip in float

std::vector<std::string>& CapturedLog() {
  static std::vector<std::string> lines;
  return lines;
}

void CaptureLog(const char* text, int) { CapturedLog().push_back(text); }

int CountLogLines(const std::string& part) {
  int n = 0;
  for (const std::string& line : CapturedLog()) n += line.find(part) != std::string::npos;
  return n;
}

// Checks the current angles of bone j: each axis the bone rotates about must
// equal `expected`, every other axis must still be 0 (no write reached it).
void ExpectBoneAngles(const Skeleton& s, int j, const Vector3& expected, const char* what) {
  const Bone& b = s.bones[j];
  EXPECT_NEAR(b.rx, TinyHasDof(j, 'x') ? expected.x : 0.0f, kAngleTolerance)
      << what << " joint " << j;
  EXPECT_NEAR(b.ry, TinyHasDof(j, 'y') ? expected.y : 0.0f, kAngleTolerance)
      << what << " joint " << j;
  EXPECT_NEAR(b.rz, TinyHasDof(j, 'z') ? expected.z : 0.0f, kAngleTolerance)
      << what << " joint " << j;
}

Vector3 Mean(const Vector3& a, const Vector3& b) {
  return Vector3((a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f, (a.z + b.z) / 2.0f);
}

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_TRUE(testing_support::WriteTinySkeleton());
    platform::ManualClock::Install(100.0);
    SetLogConsoleSink(CaptureLog);
    skeleton = new Skeleton("MartialArts.asf", 0.06f);
    mixer = new MotionMixer(skeleton);
  }
  void TearDown() override {
    delete mixer;
    delete skeleton;
    SetLogConsoleSink(nullptr);
    platform::ManualClock::Uninstall();
  }

  testing_support::ScopedWorkDir work;
  Skeleton* skeleton = nullptr;
  MotionMixer* mixer = nullptr;
};

TEST_F(MixerTest, RestPoseWithoutAPlayablePrimary) {
  Motion* b = MakeMotion("b", 20, 0, AnglesB);
  MotionController* second = b->CreateController(0);
  mixer->SetSecondary(second);

  // Some earlier pose, which the rest pose must wipe.
  auto disturb = [&]() {
    skeleton->rootPosition = Vector3(1.0f, 2.0f, 3.0f);
    for (Bone& bone : skeleton->bones) bone.rx = bone.ry = bone.rz = 7.0f;
  };
  auto expectRest = [&](const char* what) {
    EXPECT_EQ(skeleton->rootPosition.x, 0.0f) << what;
    EXPECT_EQ(skeleton->rootPosition.y, 0.0f) << what;
    EXPECT_EQ(skeleton->rootPosition.z, 0.0f) << what;
    for (const Bone& bone : skeleton->bones) {
      EXPECT_EQ(bone.rx, 0.0f) << what << " bone " << bone.id;
      EXPECT_EQ(bone.ry, 0.0f) << what << " bone " << bone.id;
      EXPECT_EQ(bone.rz, 0.0f) << what << " bone " << bone.id;
    }
  };

  {  // No primary at all; the secondary is not advanced either.
    disturb();
    platform::ManualClock::Advance(FramesToSeconds(5));
    EXPECT_TRUE(mixer->Apply());
    expectRest("no primary");
    EXPECT_EQ(second->currentFrame, 0);
  }
  {  // A primary whose motion failed to load (frame count -1).
    auto* broken = new Motion("broken", "no_such_file.amc", 0.06f, 0);
    ASSERT_EQ(broken->frameCount, -1);
    mixer->SetPrimary(broken->CreateController(0));
    disturb();
    EXPECT_TRUE(mixer->Apply());
    expectRest("primary without data");
  }
  {  // A primary of an empty clip.
    auto* empty = new Motion("empty", 0, 0);
    mixer->SetPrimary(empty->CreateController(0));
    disturb();
    EXPECT_TRUE(mixer->Apply());
    expectRest("empty primary");
  }
  EXPECT_EQ(second->currentFrame, 0);
}

TEST_F(MixerTest, EulerBlendOfTwoWholeBodyMotionsIsThePlainMean) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  Motion* b = MakeMotion("b", 40, 0, AnglesB);
  MotionController* first = a->CreateController(0);
  MotionController* second = b->CreateController(0);
  mixer->SetPrimary(first);

  // The setting is unknown until a blend has run: a pose without a
  // secondary does not register it.
  mixer->Apply();
  EXPECT_FALSE(CVarExists("controller.quatBlend"));

  mixer->SetSecondary(second);
  second->speed = 2.0f;
  platform::ManualClock::Advance(FramesToSeconds(5));
  mixer->Apply();
  EXPECT_TRUE(CVarExists("controller.quatBlend"));
  ASSERT_EQ(first->currentFrame, 5);
  ASSERT_EQ(second->currentFrame, 10);  // 5.25 frames at speed 2

  // The root stays the primary's: position and orientation.
  EXPECT_FLOAT_EQ(skeleton->rootPosition.x, 0.5f);
  EXPECT_FLOAT_EQ(skeleton->rootPosition.y, 1.0f);
  EXPECT_FLOAT_EQ(skeleton->rootPosition.z, -1.0f);
  const Vector3 rootA = AnglesA(5, 0);
  EXPECT_NEAR(skeleton->bones[0].rx, rootA.x, kAngleTolerance);
  EXPECT_NEAR(skeleton->bones[0].ry, rootA.y, kAngleTolerance);
  EXPECT_NEAR(skeleton->bones[0].rz, rootA.z, kAngleTolerance);
  for (int j = 1; j < kJointCount; ++j) {
    ExpectBoneAngles(*skeleton, j, Mean(AnglesA(5, j), AnglesB(10, j)), "mean");
  }
}

TEST_F(MixerTest, EulerBlendWithAnUpperBodySecondary) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  Motion* b = MakeMotion("b", 40, 4, AnglesB);
  mixer->SetPrimary(a->CreateController(0));
  mixer->SetSecondary(b->CreateController(0));
  platform::ManualClock::Advance(FramesToSeconds(3));
  mixer->Apply();
  for (int j = 1; j <= 11; ++j) ExpectBoneAngles(*skeleton, j, AnglesA(3, j), "primary alone");
  for (int j = 12; j < kJointCount; ++j) {
    ExpectBoneAngles(*skeleton, j, Mean(AnglesA(3, j), AnglesB(3, j)), "mean");
  }
}

TEST_F(MixerTest, SlerpBlendReadsTheRawFramesOfBothMotions) {
  ConsoleVariable<int> quatBlend("controller.quatBlend", 1);
  Motion* a = MakeMotion("a", 60, 0, AnglesA);
  Motion* b = MakeMotion("b", 60, 4, AnglesB);
  MotionController* first = a->CreateController(0);
  MotionController* second = b->CreateController(0);
  mixer->SetPrimary(first);
  mixer->SetSecondary(second);

  // A jump of the primary from frame 0 to 30, nine frames into its blend:
  // its output posture is half way between frames 9 and 39, its raw frame is
  // 39.
  ASSERT_TRUE(first->StartTransition(30));
  platform::ManualClock::Advance(FramesToSeconds(9));
  mixer->Apply();
  ASSERT_EQ(first->currentFrame, 39);
  ASSERT_TRUE(first->IsTransitioning());
  ASSERT_EQ(second->currentFrame, 9);

  // t = 0 on joints 1..11 (the primary's raw frame, not its blended output),
  // t = 1 on joints 12..30 (the secondary's raw frame).
  for (int j = 1; j <= 11; ++j) ExpectBoneAngles(*skeleton, j, AnglesA(39, j), "primary raw");
  for (int j = 12; j < kJointCount; ++j) {
    ExpectBoneAngles(*skeleton, j, AnglesB(9, j), "secondary raw");
  }

  // The Euler blend of the same moment sees the primary's blended output.
  quatBlend = 0;
  mixer->Apply();
  Vector3 blended;
  first->GetPosture().rotation[2].GetEuler(&blended);
  EXPECT_GT(std::abs(blended.x - AnglesA(39, 2).x), 1.0f);
  ExpectBoneAngles(*skeleton, 2, blended, "euler on the blended output");
}

TEST_F(MixerTest, SecondaryWithoutFramesIsNeitherUpdatedNorBlended) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  auto* broken = new Motion("broken", "no_such_file.amc", 0.06f, 0);
  auto* empty = new Motion("empty", 0, 0);
  MotionController* first = a->CreateController(0);
  mixer->SetPrimary(first);
  for (Motion* m : {broken, empty}) {
    MotionController* second = m->CreateController(0);
    mixer->SetSecondary(second);
    platform::ManualClock::Advance(FramesToSeconds(2));
    mixer->Apply();
    EXPECT_EQ(second->currentFrame, 0) << m->name;
    for (int j = 1; j < kJointCount; ++j) {
      ExpectBoneAngles(*skeleton, j, AnglesA(first->currentFrame, j), m->name.c_str());
    }
  }
  // Not even a blend ran.
  EXPECT_FALSE(CVarExists("controller.quatBlend"));
}

TEST_F(MixerTest, UnknownCodesUseTheWholeBodyTableAndAreLoggedOnce) {
  Motion* a = MakeMotion("a", 40, 0, AnglesA);
  Motion* b = MakeMotion("b", 40, 0, AnglesB);
  b->bodyWeights = 7;  // set behind the loader's back
  mixer->SetPrimary(a->CreateController(0));
  mixer->SetSecondary(b->CreateController(0));
  MotionController* first = mixer->GetPrimary();
  MotionController* second = mixer->GetSecondary();
  for (int k = 0; k < 4; ++k) {
    platform::ManualClock::Advance(FramesToSeconds(1));
    mixer->Apply();
  }
  ASSERT_GT(first->currentFrame, 0);
  for (int j = 1; j < kJointCount; ++j) {
    ExpectBoneAngles(*skeleton, j,
                     Mean(AnglesA(first->currentFrame, j), AnglesB(second->currentFrame, j)),
                     "table 0");
  }
  EXPECT_EQ(CountLogLines("body weights code 7"), 1);

  {  // Both sides unknown, for the slerp blend too: still no out-of-table read.
    ConsoleVariable<int> quatBlend("controller.quatBlend", 0);
    quatBlend = 1;
    a->bodyWeights = -3;
    mixer->Apply();
    mixer->Apply();
    EXPECT_EQ(CountLogLines("body weights code -3"), 1);
    EXPECT_EQ(CountLogLines("body weights code 7"), 1);
    quatBlend = 0;
  }
}

TEST_F(MixerTest, JointsWithoutWeightOnEitherSideKeepThePrimary) {
  {  // Both lower body alone: joints 12..30 have weight 0 on both sides.
    Motion* a = MakeMotion("a3", 40, 3, AnglesA);
    Motion* b = MakeMotion("b3", 40, 3, AnglesB);
    mixer->SetPrimary(a->CreateController(0));
    mixer->SetSecondary(b->CreateController(0));
    platform::ManualClock::Advance(FramesToSeconds(2));
    mixer->Apply();
    for (int j = 1; j <= 11; ++j) {
      ExpectBoneAngles(*skeleton, j, Mean(AnglesA(2, j), AnglesB(2, j)), "code 3 mean");
    }
    for (int j = 12; j < kJointCount; ++j) {
      ExpectBoneAngles(*skeleton, j, AnglesA(2, j), "code 3 zero weights");
    }
  }
  {  // Both code 1: the fingers and thumbs have weight 0 on both sides, the
     // upper back 0.8 and 0.8 (the mean again).
    Motion* a = MakeMotion("a1", 40, 1, AnglesA);
    Motion* b = MakeMotion("b1", 40, 1, AnglesB);
    MotionController* first = a->CreateController(0);
    mixer->SetPrimary(first);
    mixer->SetSecondary(b->CreateController(0));
    mixer->Apply();
    for (int j : {22, 23, 29, 30}) {
      ExpectBoneAngles(*skeleton, j, AnglesA(0, j), "code 1 zero weights");
    }
    ExpectBoneAngles(*skeleton, 12, Mean(AnglesA(0, 12), AnglesB(0, 12)), "code 1 upperback");
  }
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
  EXPECT_FALSE(p1->playing);
  EXPECT_EQ(p1->currentFrame, 4);
  EXPECT_TRUE(p2->playing);
  EXPECT_EQ(mixer->GetPrimary(), p2);

  mixer->SetSecondary(s2);
  EXPECT_FALSE(s1->playing);
  EXPECT_EQ(s1->currentFrame, 4);
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

TEST(BodyWeightTables, CodesAndTheirDocumentedShape) {
  for (int code : {-1, 5, 1000}) EXPECT_EQ(GetBodyWeightTable(code), nullptr) << code;
  const float* whole = GetBodyWeightTable(0);
  const float* lowerAlone = GetBodyWeightTable(3);
  const float* upperAlone = GetBodyWeightTable(4);
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(lowerAlone, nullptr);
  ASSERT_NE(upperAlone, nullptr);
  EXPECT_EQ(whole[0], 1.0f);
  for (int code = 0; code < kBodyWeightCodes; ++code) {
    EXPECT_EQ(GetBodyWeightTable(code)[31], 0.0f) << code;
  }
  // 3 and 4 split the body at the lower back.
  for (int j = 1; j <= 30; ++j) {
    EXPECT_EQ(whole[j], 1.0f) << j;
    EXPECT_EQ(lowerAlone[j], j <= 11 ? 1.0f : 0.0f) << j;
    EXPECT_EQ(upperAlone[j] + lowerAlone[j], 1.0f) << j;
  }
  // Code 2 favours the right arm a little more than the left.
  const float* upper = GetBodyWeightTable(2);
  EXPECT_EQ(upper[18], 0.8f);
  EXPECT_EQ(upper[19], 0.8f);
  EXPECT_EQ(upper[25], 0.9f);
  EXPECT_EQ(upper[26], 0.9f);
  // Code 1 fades out towards the head: upperback .. head.
  const float* lower = GetBodyWeightTable(1);
  EXPECT_EQ(lower[12], 0.8f);
  EXPECT_EQ(lower[16], 0.1f);
}

}  // namespace
