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
    "* MotionData\nMotionName: Walk\nAMCFiles: 02_01.amc, 02_02.amc\nBodyWeights: 0\nEND\n"
    "* MotionData\nMotionName: Punch\nAMCFiles: 02_05.amc\nBodyWeights: 4\nEND\n"
    "* MotionDataSet\nID: 1\nAttackMotion: Punch\nIdleMotion: Walk\nEND\n"
    "* Character\nCharacterName: Walker\nPosition: 0 0 0\nDefaultRootMotion: Walk 1\nEND\n"
    "* Character\nCharacterName: Fighter\nPosition: 3 0 0\nGameplayController: 0\nDatasetID: 1\nEND\n";

// Every joint angle, the root, the place and the orientation are numbers.
bool realtest_PoseFinite(Character* character) {
  const Skeleton* skeleton = character->GetMixer()->GetSkeleton();
  const Vector3& r = skeleton->rootPosition;
  const Vector3& p = character->position;
  const Quaternion& q = character->orientation;
  float sum = r.x + r.y + r.z + p.x + p.y + p.z + q.x + q.y + q.z + q.w;
  for (const Bone& bone : skeleton->bones) sum += bone.rx + bone.ry + bone.rz;
  return std::isfinite(sum);  // a NaN or an infinity anywhere spoils the sum
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
  const Vector3 walkerStart = walker->position;
  Vector3 previous = walkerStart;
  double largestStep = 0.0, travelled = 0.0, farthest = 0.0;
  for (int frame = 0; frame < 3000; ++frame) {
    // Button 0 held from 5 s to 15 s and from 30 s to 35 s.
    const bool held = (frame >= 300 && frame < 900) || (frame >= 1800 && frame < 2100);
    g_joystickState.buttons[0] = held ? 1 : 0;
    platform::ManualClock::Advance(1.0 / 60.0);
    walker->Animate();
    fighter->Animate();

    ASSERT_TRUE(realtest_PoseFinite(walker)) << "walker, frame " << frame;
    ASSERT_TRUE(realtest_PoseFinite(fighter)) << "fighter, frame " << frame;
    const MotionController* secondary = fighter->GetMixer()->GetSecondary();
    ASSERT_EQ(secondary != nullptr, held) << frame;
    if (held) {
      ASSERT_EQ(secondary->GetMotion(), level->motions[1]) << frame;
    }
    const double step = realtest_Horizontal(walker->position, previous);
    largestStep = std::max(largestStep, step);
    travelled += step;
    farthest = std::max(farthest, realtest_Horizontal(walker->position, walkerStart));
    previous = walker->position;
  }
  // A walk of 50 s: tens of metres of travel (about 1.3 per second), never a
  // jump of more than a few centimetres in one frame (the pace is about 2.3
  // cm per frame at 60 frames per second), also across the graph's jumps.
  EXPECT_LT(largestStep, 0.05) << "largest step per frame";
  EXPECT_GT(travelled, 30.0);
  EXPECT_GT(farthest, 10.0);
  platform::ManualClock::Uninstall();
}

}  // namespace
