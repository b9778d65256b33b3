#include "world/gameplay_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "input/input_state.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"
#include "world/motion_mixer.h"

// Defined in motion_mixer_test.cpp.
namespace mixer_test {
Motion* MakeMotion(const std::string& name, int frames, int code, Vector3 (*angles)(int, int));
Vector3 AnglesA(int f, int j);
Vector3 AnglesB(int f, int j);
double FramesToSeconds(int frames);
std::vector<std::string>& CapturedLog();
void CaptureLog(const char* text, int);
}  // namespace mixer_test

namespace {

using mixer_test::CapturedLog;
using mixer_test::FramesToSeconds;

void SetButton0(int held) { g_joystickState.buttons[0] = held; }

class ButtonBlendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_TRUE(testing_support::WriteTinySkeleton());
    platform::ManualClock::Install(50.0);
    SetLogConsoleSink(mixer_test::CaptureLog);
    skeleton = new Skeleton("MartialArts.asf", 0.06f);
    mixer = new MotionMixer(skeleton);
    set[0] = mixer_test::MakeMotion("attack", 100, 4, mixer_test::AnglesB);
    set[1] = mixer_test::MakeMotion("defend", 100, 0, mixer_test::AnglesB);
    set[2] = mixer_test::MakeMotion("idle", 100, 0, mixer_test::AnglesA);
    SetButton0(0);
  }
  void TearDown() override {
    delete mixer;
    delete skeleton;
    SetLogConsoleSink(nullptr);
    platform::ManualClock::Uninstall();
  }

  // One drawn frame of a character: the gameplay controller, then the mix.
  void Frame(GameplayController* controller, double seconds) {
    platform::ManualClock::Advance(seconds);
    controller->Update();
    mixer->Apply();
  }

  testing_support::ScopedWorkDir work;
  Skeleton* skeleton = nullptr;
  MotionMixer* mixer = nullptr;
  Motion* set[3] = {};  // attack, defensive, idle
};

TEST_F(ButtonBlendTest, FactoryMakesOnlyTypeZeroAndOnlyFromACompleteDataSet) {
  MotionController* earlier = set[2]->CreateController(0);
  mixer->SetPrimary(earlier);
  // Other types, data sets without an attack or an idle motion, no mixer:
  // nothing made, the mix left alone; the refused sets are logged.
  for (int type : {1, 2, -1, 99}) EXPECT_EQ(CreateGameplayController(type, mixer, set), nullptr) << type;
  Motion* const noAttack[3] = {nullptr, set[1], set[2]};
  Motion* const noIdle[3] = {set[0], set[1], nullptr};
  for (Motion* const* bad : {noAttack, noIdle}) {
    const size_t before = CapturedLog().size();
    EXPECT_EQ(CreateGameplayController(0, mixer, bad), nullptr);
    ASSERT_EQ(CapturedLog().size(), before + 1);
    EXPECT_EQ(CapturedLog().back().rfind("CreateGameplayController:", 0), 0u);
  }
  EXPECT_EQ(CreateGameplayController(0, mixer, nullptr), nullptr);
  EXPECT_EQ(CreateGameplayController(0, nullptr, set), nullptr);
  EXPECT_EQ(mixer->GetPrimary(), earlier);
  EXPECT_TRUE(earlier->playing);

  // Type 0: the idle player (random graph) replaces and stops the earlier
  // primary; attack and defensive play without a graph.
  GameplayController* made = CreateGameplayController(0, mixer, set);
  ASSERT_NE(dynamic_cast<ButtonBlendController*>(made), nullptr);
  const ControllerPlayers* players = made->players;
  EXPECT_FALSE(earlier->playing);
  EXPECT_EQ(mixer->GetPrimary(), players->idle);
  EXPECT_TRUE(players->idle->playing);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  EXPECT_EQ(players->attack->GetMotion(), set[0]);
  EXPECT_EQ(players->defensive->GetMotion(), set[1]);
  EXPECT_EQ(players->attack->GetGraph(), nullptr);
  EXPECT_NE(players->idle->GetGraph(), nullptr);
  // Deleting the gameplay controller keeps its players and the mix.
  MotionController* idlePlayer = players->idle;
  const std::string attackName = players->attack->name;
  delete made;
  EXPECT_EQ(mixer->GetPrimary(), idlePlayer);
  EXPECT_EQ(MotionControllerMap().count(attackName), 1u);

  // The defensive motion is never played, so it may be missing.
  Motion* const noDefence[3] = {set[0], nullptr, set[2]};
  made = CreateGameplayController(0, mixer, noDefence);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->players->defensive, nullptr);
  delete made;
}

TEST_F(ButtonBlendTest, PressReleasePressContinuesTheAttackWhereItStopped) {
  ButtonBlendController controller(mixer, set);
  MotionController* attackPlayer = controller.players->attack;
  Frame(&controller, 2.0);  // time before the first press is not played
  SetButton0(1);
  Frame(&controller, 0.0);
  EXPECT_EQ(mixer->GetSecondary(), attackPlayer);
  EXPECT_EQ(attackPlayer->currentFrame, 0);
  Frame(&controller, FramesToSeconds(10));
  EXPECT_EQ(attackPlayer->currentFrame, 10);

  // Release: the attack stops where it was.
  SetButton0(0);
  for (int k = 0; k < 5; ++k) Frame(&controller, 0.5);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  EXPECT_FALSE(attackPlayer->playing);
  EXPECT_EQ(attackPlayer->currentFrame, 10);

  // Press again: on from frame 10, not from 10 plus the released time.
  SetButton0(1);
  Frame(&controller, 0.0);
  EXPECT_EQ(mixer->GetSecondary(), attackPlayer);
  Frame(&controller, FramesToSeconds(5));
  EXPECT_EQ(attackPlayer->currentFrame, 15);
}

TEST_F(ButtonBlendTest, OnlyEdgesChangeTheMixOfEveryCharacter) {
  ButtonBlendController controller(mixer, set);
  MotionController* other = set[1]->CreateController(0);
  // A second character's mixer beside the fixture's: it sees the same edges.
  Skeleton otherSkeleton("MartialArts.asf", 0.06f);
  MotionMixer otherMixer(&otherSkeleton);
  ButtonBlendController second(&otherMixer, set);

  // Released all along: a secondary set by someone else stays.
  Frame(&controller, 0.1);
  mixer->SetSecondary(other);
  Frame(&controller, 0.1);
  EXPECT_EQ(mixer->GetSecondary(), other);

  // Held: only the press edge sets the attack; clearing it by hand while the
  // button stays held is not undone.
  SetButton0(1);
  Frame(&controller, 0.1);
  second.Update();
  EXPECT_EQ(mixer->GetSecondary(), controller.players->attack);
  EXPECT_EQ(otherMixer.GetSecondary(), second.players->attack);
  EXPECT_FALSE(other->playing);
  mixer->ClearSecondary();
  Frame(&controller, 0.1);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);

  // The release edge clears whatever secondary the mixer has.
  mixer->SetSecondary(other);
  SetButton0(0);
  Frame(&controller, 0.1);
  second.Update();
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  EXPECT_EQ(otherMixer.GetSecondary(), nullptr);
  EXPECT_FALSE(other->playing);
}

}  // namespace
