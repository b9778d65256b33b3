// Tests of the sample-data generator: the folder it writes must load without
// a single complaint and look like a person standing, walking, punching and
// guarding on the ground plane.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "motion/motion.h"
#include "motion/skeleton.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

// Exit status of the generator run with `arguments` (already quoted).
int Generate(const std::string& arguments) {
  const int status = std::system(("\"" MAKE_SAMPLE_DATA_PATH "\" " + arguments + " > /dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SampleData, CommandLineSameBytesEveryRunAndStaleCachesRemoved) {
  EXPECT_EQ(std::vector<int>({Generate(""), Generate("\"\""), Generate("a b")}), std::vector<int>({2, 2, 2}));
  testing_support::WriteFile("plain", "x");
  EXPECT_EQ(Generate("plain/sub"), 1);  // a folder below a plain file cannot be made
  ASSERT_EQ(Generate("first"), 0);
  // What a run of the program leaves behind from older clips; only the
  // generator's own graph and cache names are removed.
  const char* stale[] = {"walk_graph.gra", "idle1_graph.gra", "data/motions/walk.bin", "data/motions/punch.mpos"};
  fs::create_directories("second/data/motions");
  for (const char* file : stale) testing_support::WriteFile("second/" + std::string(file), "old");
  for (const char* file : {"mine_graph.gra", "walkabout_graph.gra"}) testing_support::WriteFile("second/" + std::string(file), "");
  ASSERT_EQ(Generate("second"), 0);
  for (const char* file : {"MartialArts.asf", "data/motions/walk.amc", "data/motions/idle.amc", "data/motions/punch.amc",
                           "data/motions/guard.amc", "data/scenes/default.sce"}) {
    EXPECT_FALSE(ReadFile("first/" + std::string(file)).empty()) << file;
    EXPECT_EQ(ReadFile("first/" + std::string(file)), ReadFile("second/" + std::string(file))) << file;
  }
  for (const char* file : stale) EXPECT_FALSE(fs::exists("second/" + std::string(file))) << file;
  EXPECT_TRUE(fs::exists("second/mine_graph.gra") && fs::exists("second/walkabout_graph.gra"));
}

class SampleDataTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Generate("."), 0); }
};

// Each clip holds the frames numbered 1, 2, 3, ... in order, the pelvis
// pitches and rolls a little, and some foot is always on the ground: a ball
// or toe tip on it in two frames running has not moved, and nothing goes
// through it. The walk steps forward (+z) at a walking pace, each foot
// landing as often as the other, and loops.
TEST_F(SampleDataTest, ClipsStandOnTheGroundWithoutSlidingAndTheWalkLoops) {
  const int balls[] = {4, 5, 9, 10}, limbEnds[] = {4, 5, 9, 10, 3, 8, 22, 23, 29, 30};
  Skeleton skeleton("MartialArts.asf", 0.06f);
  for (const auto& [clip, minFrames] : {std::pair{"walk", 600}, {"idle", 400}, {"punch", 120}, {"guard", 120}}) {
    Motion motion(clip, clip + std::string(".amc"), 0.06f, 0);
    ASSERT_GE(motion.frameCount, minFrames) << clip;
    std::istringstream text(ReadFile("data/motions/" + std::string(clip) + ".amc"));
    int numbered = 0;
    for (std::string line; std::getline(text, line);) {
      const bool number = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
      EXPECT_TRUE(!number || std::stoi(line) == ++numbered) << clip << " " << line;
    }
    EXPECT_EQ(numbered, motion.frameCount) << clip;
    Vector3 was[kJointCount], at[kJointCount], euler;
    int landings[2] = {0, 0};
    bool inAir[2] = {false, false};
    for (int f = 0; f < motion.frameCount; ++f) {
      motion.frames[f].rotation[0].GetEuler(&euler);
      EXPECT_TRUE(std::fabs(euler.x) <= 20.0f && std::fabs(euler.z) <= 20.0f) << clip << " frame " << f;
      skeleton.SetPosture(motion.frames[f]);
      float lowest = 1e9f, foot[2] = {1e9f, 1e9f};
      for (int j : limbEnds) {
        skeleton.GetJointPosition(j, &at[j]);
        lowest = std::min(lowest, at[j].y);
      }
      for (int k = 0; k < 4; ++k) foot[k / 2] = std::min(foot[k / 2], at[balls[k]].y);
      EXPECT_NEAR(std::min(foot[0], foot[1]), 0.0f, 0.003f) << clip << " frame " << f;
      EXPECT_GE(lowest, -0.003f) << clip << " frame " << f;
      for (int side = 0; side < 2; ++side) {  // a foot lands when it comes down after rising above 2 cm
        inAir[side] = inAir[side] || foot[side] > 0.02f;
        landings[side] += inAir[side] && foot[side] < 0.001f;
        inAir[side] = inAir[side] && foot[side] >= 0.001f;
      }
      for (int j : balls) {
        if (f > 0 && was[j].y <= 0.005f && at[j].y <= 0.005f) {
          EXPECT_LE(std::hypot(at[j].x - was[j].x, at[j].z - was[j].z), 0.002f) << clip << " frame " << f << " " << j;
        }
        was[j] = at[j];
      }
    }
    if (std::string(clip) != "walk") continue;
    EXPECT_GE(landings[0], 4);
    EXPECT_EQ(landings[0], landings[1]);
    const Posture *first = &motion.frames[0], *last = &motion.frames[motion.frameCount - 1];
    double step = 0.0, wrap = 0.0;  // the largest change of a joint between neighbouring frames, and last to first
    for (int f = 1; f < motion.frameCount; ++f) {
      EXPECT_GT(motion.frames[f].root.z, motion.frames[f - 1].root.z);
      for (int j = 0; j < kJointCount; ++j) {
        step = std::max<double>(step, motion.frames[f].rotation[j].AngleTo(motion.frames[f - 1].rotation[j]));
        wrap = std::max<double>(wrap, first->rotation[j].AngleTo(last->rotation[j]));
      }
    }
    EXPECT_LT(step, 0.055);  // radians, half the turn: 6 degrees
    EXPECT_LE(wrap, step * 1.2);
    EXPECT_NEAR(last->root.y, first->root.y, 0.01f);
    EXPECT_NEAR((last->root.z - first->root.z) / ((motion.frameCount - 1) / 120.0), 1.3, 0.5);  // m/s
    EXPECT_NEAR(last->root.x, first->root.x, 0.05f);
  }
}

}  // namespace
