// Tests of the motion mixer (the rest pose without frames, the blend with
// the body weight tables, unknown codes, replacing and clearing controllers)
// and of the button blend that drives it.

#include "world/motion_mixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "input/input_state.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"
#include "world/gameplay_controller.h"

namespace {

// Hand-chosen angle patterns (degrees), well inside y = -90 .. 90, so that
// the Euler angles read back from the rotations are the ones put in.
Vector3 AnglesA(int f, int j) { return Vector3(2.0f * f + j, 0.5f * j - 5.0f, 20.0f - j + f); }
Vector3 AnglesB(int f, int j) { return Vector3(40.0f - j - 3.0f * f, 15.0f + f, j - 30.0f); }

// Registered before any test, so that the mixer's own handle and the test's
// name the same variable in every test.
ConsoleVariable<int> g_quatBlend("controller.quatBlend", 0);

// The small skeleton, a mixer posing it and the manual clock.
class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::WriteTinySkeleton());
    platform::ManualClock::Install(100.0);
    skeleton = std::make_unique<Skeleton>("MartialArts.asf", 0.06f);
    mixer = std::make_unique<MotionMixer>(skeleton.get());
  }
  // A registered clip of 100 frames whose frame f, joint j has the Euler
  // angles angles(f, j) and the root at (f / 10, 1, -f / 5).
  static Motion* Clip(const std::string& name, int code, Vector3 (*angles)(int, int)) {
    auto* motion = new Motion(name, 100, code);
    for (int f = 0; f < 100; ++f) {
      Posture& p = motion->frames[f];
      p.root = Vector3(f * 0.1f, 1.0f, -f * 0.2f);
      for (int j = 0; j < kJointCount; ++j) p.rotation[j] = Quaternion(angles(f, j).x, angles(f, j).y, angles(f, j).z);
    }
    return motion;
  }
  // Time for `frames` frames at speed 1 from a zero carry (a quarter frame
  // more, which the timers carry), then the skeleton posed.
  void Apply(int frames) {
    platform::ManualClock::Advance((frames + 0.25) / 120.0);
    mixer->Apply();
  }
  // Each axis a bone of joints from..to rotates about must hold
  // AnglesA(frameA) (1 - shareB) + AnglesB(frameB) shareB, or with `slerp`
  // the angles of the rotation shareB of the way between the two; the
  // others 0.
  void ExpectJoints(int from, int to, int frameA, int frameB, float shareB, const char* what, bool slerp = false) {
    for (int j = from; j <= to; ++j) {
      const Vector3 ea = AnglesA(frameA, j), eb = AnglesB(frameB, j);
      Vector3 w = Lerp(shareB, ea, eb);
      Quaternion q;
      Slerp(shareB, Quaternion(ea.x, ea.y, ea.z), Quaternion(eb.x, eb.y, eb.z), &q);
      if (slerp) q.GetEuler(&w);
      const Bone& b = skeleton->bones[j];
      const Vector3 want(b.dofRx ? w.x : 0, b.dofRy ? w.y : 0, b.dofRz ? w.z : 0);
      EXPECT_LT(Distance(Vector3(b.rx, b.ry, b.rz), want), 3e-3f) << what << ", joint " << j;
    }
  }
  std::unique_ptr<Skeleton> skeleton;
  std::unique_ptr<MotionMixer> mixer;
};

TEST_F(MixerTest, ReplacingAndClearingStopsTheOldControllerWithoutDeletingIt) {
  Motion* a = Clip("a", 0, AnglesA);
  MotionController* old[2] = {a->CreateController(0), a->CreateController(0)};
  MotionController* now[2] = {a->CreateController(0), a->CreateController(0)};
  mixer->SetPrimary(old[0]);
  mixer->SetSecondary(old[1]);
  Apply(4);
  platform::ManualClock::Advance(1.0);  // time out of use is not played
  mixer->SetPrimary(now[0]);
  mixer->SetSecondary(now[1]);
  Apply(2);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(std::make_tuple(old[k]->playing, old[k]->currentFrame, now[k]->currentFrame),
              std::make_tuple(false, 4, 2));
  }
  // Nulls are refused, the mix stays as it was; cleared, the secondary stops.
  mixer->SetPrimary(nullptr);
  mixer->SetSecondary(nullptr);
  mixer->SetSecondaryMotion(nullptr);
  EXPECT_EQ(std::make_tuple(mixer->GetPrimary(), mixer->GetSecondary(), MotionControllerMap().size()),
            std::make_tuple(now[0], now[1], 4u));
  mixer->ClearSecondary();
  EXPECT_FALSE(now[1]->playing);
}

TEST_F(MixerTest, WithoutFramesToShowTheSkeletonTakesTheRestPose) {
  MotionController* posing = Clip("a", 0, AnglesA)->CreateController(0);
  MotionController* secondary = Clip("b", 0, AnglesB)->CreateController(0);
  // No primary, a primary whose motion did not load, one of an empty clip;
  // the secondary is not played either.
  MotionController* const primaries[] = {nullptr, (new Motion("missing", "nosuch.amc", 0.06f, 0))->CreateController(0),
                                         (new Motion("empty", 0, 0))->CreateController(0)};
  for (MotionController* primary : primaries) {
    mixer->SetPrimary(posing);
    Apply(5);
    MotionMixer rest(skeleton.get());
    if (primary != nullptr) rest.SetPrimary(primary);
    rest.SetSecondary(secondary);
    platform::ManualClock::Advance(0.5);
    rest.Apply();
    const std::string what = primary != nullptr ? primary->name : "no primary";
    EXPECT_EQ(secondary->currentFrame, 0) << what;
    EXPECT_EQ(Length(skeleton->rootPosition), 0.0f) << what;
    for (const Bone& b : skeleton->bones) EXPECT_EQ(Length(Vector3(b.rx, b.ry, b.rz)), 0.0f) << what << ", joint " << b.id;
  }
  // A secondary without frames is not blended.
  mixer->SetPrimary(Clip("a2", 0, AnglesA)->CreateController(0));
  mixer->SetSecondary(MotionMap().at("empty")->CreateController(0));
  Apply(2);
  ExpectJoints(1, 30, 2, 0, 0.0f, "no blend");
}

TEST_F(MixerTest, EulerBlendIsThePlainMeanOnTheJointsBothWeigh) {
  MotionController* first = Clip("a", 0, AnglesA)->CreateController(0);
  MotionController* second = Clip("b", 0, AnglesB)->CreateController(0);
  mixer->SetPrimary(first);
  mixer->SetSecondary(second);
  second->speed = 2.0f;
  Apply(5);
  // The root stays the primary's: position and orientation.
  EXPECT_LT(Distance(skeleton->rootPosition, Vector3(0.5f, 1.0f, -1.0f)), 1e-6f);
  ExpectJoints(0, 0, 5, 10, 0.0f, "root");
  ExpectJoints(1, 30, 5, 10, 0.5f, "whole body mean");
  // An upper-body secondary (code 4): joints 1..11 keep the primary. Both
  // lower body alone (code 3): joints 12..30 weigh 0 on both sides and keep
  // the primary.
  mixer->SetSecondary(Clip("b4", 4, AnglesB)->CreateController(0));
  Apply(3);
  ExpectJoints(1, 11, 8, 3, 0.0f, "primary alone");  // 5.25 + 3.25 frames
  ExpectJoints(12, 30, 8, 3, 0.5f, "upper body mean");
  mixer->SetPrimary(Clip("a3", 3, AnglesA)->CreateController(0));
  mixer->SetSecondary(Clip("b3", 3, AnglesB)->CreateController(0));
  Apply(2);
  ExpectJoints(1, 11, 2, 2, 0.5f, "code 3 mean");
  ExpectJoints(12, 30, 2, 2, 0.0f, "code 3 zero weights");
  for (int code : {-1, 5}) EXPECT_EQ(GetBodyWeightTable(code), nullptr) << code;
  // "controller.quatBlend" 1: each joint slerps from the primary's frame to
  // the secondary's by the secondary's weight alone (code 2: 0.2 on joint
  // 12, 0.8 on joint 18).
  g_quatBlend = 1;
  mixer->SetSecondary(Clip("b2", 2, AnglesB)->CreateController(0));
  Apply(1);
  g_quatBlend = 0;
  ExpectJoints(12, 12, 3, 1, 0.2f, "slerp", true);
  ExpectJoints(18, 18, 3, 1, 0.8f, "slerp", true);
}

TEST_F(MixerTest, UnknownCodesUseTheWholeBodyTableAndAreLoggedOnce) {
  Motion* b = Clip("b", 0, AnglesB);
  b->bodyWeights = 7;  // set behind the loader's back
  mixer->SetPrimary(Clip("a", 3, AnglesA)->CreateController(0));
  mixer->SetSecondary(b->CreateController(0));
  Apply(4);
  Apply(4);
  ExpectJoints(1, 11, 8, 8, 0.5f, "tables 3 and 0");
  ExpectJoints(12, 30, 8, 8, 1.0f, "tables 3 and 0");
  const std::string log = testing_support::ReadFile("log.txt"), line = "body weights code 7 ";
  EXPECT_TRUE(log.find(line) != log.npos && log.find(line) == log.rfind(line)) << log;  // once
}

TEST_F(MixerTest, OnlyTheButtonsEdgesChangeTheMixOfEveryCharacter) {
  Motion* const set[3] = {Clip("attack", 4, AnglesB), nullptr, Clip("idle", 0, AnglesA)};
  MotionMixer otherMixer(skeleton.get());  // a second character's
  ButtonBlendController first(mixer.get(), set), second(&otherMixer, set);
  MotionController* other = set[2]->CreateController(0);
  const auto frame = [&](int button) {
    g_joystickState.buttons[0] = button;
    first.Update();
    second.Update();
    return std::make_tuple(mixer->GetSecondary(), otherMixer.GetSecondary());
  };
  // Held: only the press edge sets the attack; clearing it by hand while the
  // button stays held is not undone; the release edge clears whatever
  // secondary the mixer has.
  EXPECT_EQ(frame(1), std::make_tuple(first.players->attack, second.players->attack));
  mixer->ClearSecondary();
  EXPECT_EQ(frame(1), std::make_tuple(nullptr, second.players->attack));
  mixer->SetSecondary(other);
  EXPECT_EQ(frame(0), std::make_tuple(nullptr, nullptr));
  // Staying released changes nothing either.
  mixer->SetSecondary(other);
  EXPECT_EQ(frame(0), std::make_tuple(other, nullptr));
}

}  // namespace
