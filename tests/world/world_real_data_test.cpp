// The world on real capture data: a scene of our own names real clips; one
// character walks on a fixed-frame graph over two joined walks, another walks
// and blends a punch in while joystick button 0 is held. Thousands of frames
// of simulated time must give finite poses and a walk that travels smoothly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "graph/motion_controller.h"
#include "input/input_state.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"
#include "world/character.h"
#include "world/motion_mixer.h"
#include "world/scene_reader.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

const char kRealScene[] =
    "// Real clips of one subject\n"
    "* MotionData\n"
    "MotionName: Walk\n"
    "AMCFiles: 02_01.amc, 02_02.amc\n"
    "BodyWeights: 0\n"
    "END\n"
    "* MotionData\n"
    "MotionName: Punch\n"
    "AMCFiles: 02_05.amc\n"
    "BodyWeights: 4\n"
    "END\n"
    "* MotionDataSet\n"
    "ID: 1\n"
    "AttackMotion: Punch\n"
    "IdleMotion: Walk\n"
    "END\n"
    "* Character\n"
    "CharacterName: Walker\n"
    "Position: 0 0 0\n"
    "DefaultRootMotion: Walk 1\n"
    "END\n"
    "* Character\n"
    "CharacterName: Fighter\n"
    "Position: 3 0 0\n"
    "GameplayController: 0\n"
    "DatasetID: 1\n"
    "END\n";

bool realtest_Finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Every joint angle, the root, the place and the orientation are numbers.
bool realtest_PoseFinite(Character* character) {
  const Skeleton* skeleton = character->GetMixer()->GetSkeleton();
  if (!realtest_Finite(skeleton->rootPosition) || !realtest_Finite(character->position)) return false;
  for (const Bone& bone : skeleton->bones) {
    if (!std::isfinite(bone.rx) || !std::isfinite(bone.ry) || !std::isfinite(bone.rz)) return false;
  }
  const Quaternion& q = character->orientation;
  return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

double realtest_Horizontal(const Vector3& a, const Vector3& b) {
  return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.z) - b.z);
}

TEST(WorldRealData, WalkerAndButtonFighterAnimateSoundly) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir work;
  ASSERT_TRUE(testing_support::CopyRealClips(testing_support::MocapDir(),
                                             {"02_01.amc", "02_02.amc", "02_05.amc"}));
  fs::create_directories("data/scenes");
  WriteFile("data/scenes/real.sce", kRealScene);

  platform::ManualClock::Install(10.0);
  SceneReader reader;
  ASSERT_TRUE(reader.LoadScene("data/scenes/real.sce"));
  const Level* level = reader.GetLevel();
  ASSERT_EQ(level->motions.size(), 2u);
  ASSERT_EQ(level->characters.size(), 2u);
  EXPECT_EQ(level->motions[0]->frameCount, 343 + 298);
  EXPECT_EQ(level->motions[0]->segmentEnds, (std::vector<int>{343, 641}));
  Character* walker = level->characters[0];
  Character* fighter = level->characters[1];
  ASSERT_NE(walker->GetMixer()->GetPrimary(), nullptr);
  ASSERT_NE(walker->GetMixer()->GetPrimary()->GetGraph(), nullptr);
  ASSERT_NE(fighter->controller, nullptr);

  // Only the walker's travel is measured: the fighter's random graph may land
  // so close to the end of the first walk that no transition is left and it
  // plays on across the seam into the second.
  const int kFrames = 3000;
  const Vector3 walkerStart = walker->position;
  Vector3 previous = walkerStart;
  double largestStep = 0.0;
  double travelled = 0.0;
  double farthest = 0.0;
  int blendedFrames = 0;
  for (int frame = 0; frame < kFrames; ++frame) {
    // Button 0 held from 5 s to 15 s and from 30 s to 35 s.
    const bool held = (frame >= 300 && frame < 900) || (frame >= 1800 && frame < 2100);
    g_joystickState.buttons[0] = held ? 1 : 0;
    platform::ManualClock::Advance(1.0 / 60.0);
    walker->Animate();
    fighter->Animate();

    ASSERT_TRUE(realtest_PoseFinite(walker)) << "walker, frame " << frame;
    ASSERT_TRUE(realtest_PoseFinite(fighter)) << "fighter, frame " << frame;
    MotionController* secondary = fighter->GetMixer()->GetSecondary();
    if (held) {
      ASSERT_NE(secondary, nullptr) << frame;
      EXPECT_EQ(secondary->GetMotion(), level->motions[1]);
      ++blendedFrames;
    } else {
      ASSERT_EQ(secondary, nullptr) << frame;
    }

    const double step = realtest_Horizontal(walker->position, previous);
    largestStep = std::max(largestStep, step);
    travelled += step;
    farthest = std::max(farthest, realtest_Horizontal(walker->position, walkerStart));
    previous = walker->position;
  }
  EXPECT_EQ(blendedFrames, 900);
  // A walk of 50 s: tens of metres of travel (about 1.3 per second), never a
  // jump of more than a few centimetres in one frame (the pace is about 2.3
  // cm per frame at 60 frames per second), also across the graph's jumps.
  EXPECT_LT(largestStep, 0.05) << "largest step per frame";
  EXPECT_GT(travelled, 30.0);
  EXPECT_GT(farthest, 10.0);
  platform::ManualClock::Uninstall();
}

}  // namespace
