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
}  // namespace mixer_test

namespace {

using mixer_test::FramesToSeconds;

std::vector<std::string>& CapturedLog() {
  static std::vector<std::string> lines;
  return lines;
}

void CaptureLog(const char* text, int) { CapturedLog().push_back(text); }

void SetButton0(int held) { g_joystickState.buttons[0] = held; }

class ButtonBlendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_TRUE(testing_support::WriteTinySkeleton());
    platform::ManualClock::Install(50.0);
    SetLogConsoleSink(CaptureLog);
    skeleton = new Skeleton("MartialArts.asf", 0.06f);
    mixer = new MotionMixer(skeleton);
    attack = mixer_test::MakeMotion("attack", 100, 4, mixer_test::AnglesB);
    defensive = mixer_test::MakeMotion("defend", 100, 0, mixer_test::AnglesB);
    idle = mixer_test::MakeMotion("idle", 100, 0, mixer_test::AnglesA);
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
  Motion* attack = nullptr;
  Motion* defensive = nullptr;
  Motion* idle = nullptr;
};

TEST_F(ButtonBlendTest, FactoryMakesOnlyTypeZeroAndOnlyFromACompleteDataSet) {
  MotionController* earlier = idle->CreateController(0);
  mixer->SetPrimary(earlier);
  Motion* const full[3] = {attack, defensive, idle};

  {  // Other types give nothing and leave the mix alone.
    for (int type : {1, 2, -1, 99}) {
      EXPECT_EQ(CreateGameplayController(type, mixer, full), nullptr) << type;
    }
    EXPECT_EQ(mixer->GetPrimary(), earlier);
    EXPECT_TRUE(earlier->playing);
  }
  {  // A data set without an attack or an idle motion: refused, logged.
    Motion* const noAttack[3] = {nullptr, defensive, idle};
    Motion* const noIdle[3] = {attack, defensive, nullptr};
    for (Motion* const* set : {noAttack, noIdle}) {
      const size_t before = CapturedLog().size();
      EXPECT_EQ(CreateGameplayController(0, mixer, set), nullptr);
      ASSERT_EQ(CapturedLog().size(), before + 1);
      EXPECT_EQ(CapturedLog().back().rfind("CreateGameplayController:", 0), 0u);
    }
    EXPECT_EQ(CreateGameplayController(0, mixer, nullptr), nullptr);
    EXPECT_EQ(CreateGameplayController(0, nullptr, full), nullptr);
    EXPECT_EQ(mixer->GetPrimary(), earlier);
    EXPECT_TRUE(earlier->playing);
  }
  {  // The defensive motion is never played, so it may be missing.
    Motion* const noDefence[3] = {attack, nullptr, idle};
    GameplayController* made = CreateGameplayController(0, mixer, noDefence);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->players->defensive, nullptr);
    delete made;
  }
  {  // Type 0: the idle player replaces (and stops) the earlier primary.
    GameplayController* made = CreateGameplayController(0, mixer, full);
    ASSERT_NE(dynamic_cast<ButtonBlendController*>(made), nullptr);
    ControllerPlayers* players = made->players;
    EXPECT_FALSE(earlier->playing);
    EXPECT_EQ(mixer->GetPrimary(), players->idle);
    EXPECT_TRUE(players->idle->playing);
    EXPECT_EQ(mixer->GetSecondary(), nullptr);
    EXPECT_EQ(players->attack->GetMotion(), attack);
    EXPECT_EQ(players->defensive->GetMotion(), defensive);
    EXPECT_EQ(players->idle->GetMotion(), idle);
    EXPECT_EQ(players->attack->GetGraph(), nullptr);
    EXPECT_EQ(players->defensive->GetGraph(), nullptr);
    EXPECT_NE(players->idle->GetGraph(), nullptr);

    // Deleting the gameplay controller keeps its players and the mix.
    MotionController* idlePlayer = players->idle;
    const std::string attackName = players->attack->name;
    delete made;
    EXPECT_EQ(mixer->GetPrimary(), idlePlayer);
    EXPECT_EQ(MotionControllerMap().count(attackName), 1u);
  }
}

TEST_F(ButtonBlendTest, PressReleasePressContinuesTheAttackWhereItStopped) {
  Motion* const set[3] = {attack, defensive, idle};
  ButtonBlendController controller(mixer, set);
  MotionController* attackPlayer = controller.players->attack;

  // Some time passes before the first press: none of it is played.
  Frame(&controller, 2.0);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);

  SetButton0(1);
  Frame(&controller, 0.0);
  EXPECT_EQ(mixer->GetSecondary(), attackPlayer);
  EXPECT_EQ(attackPlayer->currentFrame, 0);

  // Held: the attack runs.
  Frame(&controller, FramesToSeconds(10));
  EXPECT_EQ(attackPlayer->currentFrame, 10);

  // Release: the attack stops where it was.
  SetButton0(0);
  Frame(&controller, 0.0);
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  EXPECT_FALSE(attackPlayer->playing);
  for (int k = 0; k < 5; ++k) Frame(&controller, 0.5);
  EXPECT_EQ(attackPlayer->currentFrame, 10);

  // Press again: on from frame 10, not from 10 plus the released time.
  SetButton0(1);
  Frame(&controller, 0.0);
  EXPECT_EQ(mixer->GetSecondary(), attackPlayer);
  EXPECT_TRUE(attackPlayer->playing);
  Frame(&controller, FramesToSeconds(5));
  EXPECT_EQ(attackPlayer->currentFrame, 15);
}

TEST_F(ButtonBlendTest, OnlyEdgesChangeTheMix) {
  Motion* const set[3] = {attack, defensive, idle};
  ButtonBlendController controller(mixer, set);
  MotionController* other = defensive->CreateController(0);

  {  // Released all along (no joystick): the idle motion plays alone, and a
     // secondary set by someone else stays.
    for (int k = 0; k < 3; ++k) Frame(&controller, 0.1);
    EXPECT_EQ(mixer->GetSecondary(), nullptr);
    mixer->SetSecondary(other);
    Frame(&controller, 0.1);
    EXPECT_EQ(mixer->GetSecondary(), other);
  }
  {  // Held: only the press edge sets the attack; clearing it by hand while
     // the button stays held is not undone.
    SetButton0(1);
    Frame(&controller, 0.1);
    EXPECT_EQ(mixer->GetSecondary(), controller.players->attack);
    EXPECT_FALSE(other->playing);
    mixer->ClearSecondary();
    Frame(&controller, 0.1);
    Frame(&controller, 0.1);
    EXPECT_EQ(mixer->GetSecondary(), nullptr);
  }
  {  // The release edge clears whatever secondary the mixer has.
    mixer->SetSecondary(other);
    SetButton0(0);
    Frame(&controller, 0.1);
    EXPECT_EQ(mixer->GetSecondary(), nullptr);
    EXPECT_FALSE(other->playing);
  }
}

TEST_F(ButtonBlendTest, EveryCharacterSeesThePressAndReleaseEdges) {
  // A second character's mixer beside the fixture's.
  Skeleton otherSkeleton("MartialArts.asf", 0.06f);
  MotionMixer otherMixer(&otherSkeleton);
  Motion* const set[3] = {attack, defensive, idle};
  ButtonBlendController first(mixer, set);
  ButtonBlendController second(&otherMixer, set);

  SetButton0(1);
  first.Update();
  second.Update();
  EXPECT_EQ(mixer->GetSecondary(), first.players->attack);
  EXPECT_EQ(otherMixer.GetSecondary(), second.players->attack);

  SetButton0(0);
  first.Update();
  second.Update();
  EXPECT_EQ(mixer->GetSecondary(), nullptr);
  EXPECT_EQ(otherMixer.GetSecondary(), nullptr);
}

}  // namespace
