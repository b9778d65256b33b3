// Tests of the sample-data generator: the folder it writes must load without
// a single complaint and must look like a person standing, walking, punching
// and guarding on the ground plane.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/quaternion.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Exit status of the generator run with `arguments` (already quoted).
int sampletest_Run(const std::string& arguments) {
  const std::string command =
      std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" " + arguments + " > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int sampletest_Generate(const std::string& folder) { return sampletest_Run("\"" + folder + "\""); }

// Every line the system logs while a test loads the sample data.
std::vector<std::string>& sampletest_Log() {
  static std::vector<std::string> lines;
  return lines;
}

// Each clip and its least frame count.
const std::pair<const char*, int> kClips[] = {
    {"walk", 600}, {"idle", 400}, {"punch", 120}, {"guard", 120}};

// The parent of each joint in the fixed tree (the root has none).
constexpr int kParent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,
                                      0,  11, 12, 13, 14, 15, 13, 17, 18, 19, 20,
                                      21, 20, 13, 24, 25, 26, 27, 28, 27};

// The balls and toe tips of both feet, then the other limb ends (ankles,
// finger tips, thumbs), the first parts to touch the ground.
const std::vector<int> kFootJoints = {4, 5, 9, 10};
const std::vector<int> kLimbEnds = {4, 5, 9, 10, 3, 8, 22, 23, 29, 30};

// Generates into a fresh working folder, which it makes the working directory,
// and loads clips from there on demand.
class SampleDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sampletest_Generate(work_.path()), 0);
    sampletest_Log().clear();
    SetLogConsoleSink([](const char* text, int) { sampletest_Log().push_back(text); });
  }
  void TearDown() override { SetLogConsoleSink(nullptr); }

  Motion* Load(const char* clip) {
    motions_.push_back(std::make_unique<Motion>(clip, std::string(clip) + ".amc", 0.06f, 0));
    return motions_.back().get();
  }

  testing_support::ScopedWorkDir work_;
  std::vector<std::unique_ptr<Motion>> motions_;
};

// Angle of the rotation between two unit quaternions, degrees.
double sampletest_AngleBetween(const Quaternion& a, const Quaternion& b) {
  const double dot = std::fabs(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                               static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w);
  return 2.0 * std::acos(std::min(1.0, dot)) * 180.0 / 3.14159265358979323846;
}

// Range of each rotation a healthy person's joint takes, degrees, for the
// axes x, y, z of the joint's frame (this body: faces +z, y up, bones at
// rest point along the limb; flexing a hip or shoulder is a negative x,
// bending a knee a positive x, bending an elbow a negative x). The y and z
// ranges are symmetric so that one row serves both sides.
struct SampleTestRange {
  const char* joint;  // name without its side letter
  double lo[3];
  double hi[3];
};
const SampleTestRange kRanges[] = {
    {"femur", {-125, -50, -45}, {40, 50, 45}},    {"tibia", {-5, 0, 0}, {150, 0, 0}},
    {"foot", {-40, -35, -35}, {55, 35, 35}},      {"toes", {-65, 0, 0}, {35, 0, 0}},
    {"lowerback", {-25, -35, -25}, {45, 35, 25}}, {"upperback", {-25, -35, -25}, {45, 35, 25}},
    {"thorax", {-25, -35, -25}, {45, 35, 25}},    {"lowerneck", {-40, -55, -35}, {45, 55, 35}},
    {"upperneck", {-40, -55, -35}, {45, 55, 35}}, {"head", {-40, -55, -35}, {45, 55, 35}},
    {"clavicle", {0, -30, -30}, {0, 30, 30}},     {"humerus", {-175, -95, -125}, {65, 95, 125}},
    {"radius", {-155, 0, 0}, {5, 0, 0}},          {"wrist", {0, -90, 0}, {0, 90, 0}},
    {"hand", {-75, 0, -35}, {75, 0, 35}},         {"fingers", {-105, 0, 0}, {25, 0, 0}},
    {"thumb", {-65, 0, -45}, {45, 0, 45}},
};

const SampleTestRange* sampletest_RangeOf(const std::string& joint) {
  for (const SampleTestRange& r : kRanges) {
    if (joint == r.joint || joint.substr(1) == r.joint) return &r;
  }
  return nullptr;
}

// World positions of the given joints (slots by joint index; the others stay
// (0, 0, 0)) of every frame.
std::vector<std::vector<Vector3>> sampletest_JointPaths(const Motion& motion,
                                                        const std::vector<int>& joints) {
  Skeleton skeleton("MartialArts.asf", 0.06f);
  std::vector<std::vector<Vector3>> paths(motion.frameCount, std::vector<Vector3>(kJointCount));
  for (int f = 0; f < motion.frameCount; ++f) {
    skeleton.SetPosture(motion.frames[f]);
    for (int j : joints) skeleton.GetJointPosition(j, &paths[f][j]);
  }
  return paths;
}

TEST(SampleDataCommandLineTest, RefusesWhatItCannotDo) {
  TempDir dir;
  EXPECT_EQ(sampletest_Run(""), 2);
  EXPECT_EQ(sampletest_Run("\"\""), 2);
  EXPECT_EQ(sampletest_Run("a b"), 2);
  WriteFile(dir.File("plain"), "x");  // a folder below a plain file cannot be made
  EXPECT_EQ(sampletest_Generate(dir.File("plain") + "/sub"), 1);
}

TEST(SampleDataFilesTest, SameBytesEveryRunAndStaleCachesRemoved) {
  TempDir first, second;
  ASSERT_EQ(sampletest_Generate(first.path()), 0);
  // What a run of the program leaves behind from older clips; only the
  // generator's own graph and cache names are removed.
  const char* stale[] = {"walk_graph.gra", "idle1_graph.gra", "data/motions/walk.bin",
                         "data/motions/punch.mpos"};
  const char* kept[] = {"mine_graph.gra", "walkabout_graph.gra"};
  fs::create_directories(second.File("data/motions"));
  for (const char* file : stale) WriteFile(second.File(file), "old");
  for (const char* file : kept) WriteFile(second.File(file), "kept");
  ASSERT_EQ(sampletest_Generate(second.path()), 0);
  for (const char* file :
       {"MartialArts.asf", "data/motions/walk.amc", "data/motions/idle.amc",
        "data/motions/punch.amc", "data/motions/guard.amc", "data/scenes/default.sce"}) {
    const std::string bytes = ReadFile(first.File(file));
    EXPECT_FALSE(bytes.empty()) << file;
    EXPECT_EQ(bytes, ReadFile(second.File(file))) << file;
  }
  for (const char* file : stale) EXPECT_FALSE(fs::exists(second.File(file))) << file;
  for (const char* file : kept) EXPECT_TRUE(fs::exists(second.File(file))) << file;
}

TEST_F(SampleDataTest, SkeletonIsTheFixedBodyAtHumanSize) {
  Skeleton skeleton("MartialArts.asf", 0.06f);
  EXPECT_TRUE(sampletest_Log().empty()) << sampletest_Log().front();
  int totalDof = 6;
  int links = 0;
  for (int p = 0; p < kJointCount; ++p) {
    for (const Bone* c = skeleton.bones[p].firstChild; c != nullptr && ++links <= 30;
         c = c->nextSibling) {
      EXPECT_EQ(kParent[c - skeleton.bones], p) << BoneNameTable[c - skeleton.bones];
    }
  }
  EXPECT_EQ(links, 30);  // every bone hangs below its parent of the fixed tree
  for (int j = 1; j < kJointCount; ++j) {
    const Bone& bone = skeleton.bones[j];
    EXPECT_GT(bone.length, 0.0f) << BoneNameTable[j];
    EXPECT_EQ(bone.dofCount, bone.dofRx + bone.dofRy + bone.dofRz) << BoneNameTable[j];
    EXPECT_EQ(bone.dofCount == 0, j == 1 || j == 6) << BoneNameTable[j];  // the hip joints
    totalDof += bone.dofCount;
  }
  EXPECT_EQ(skeleton.totalDof, totalDof);

  // At rest: about 1.75 tall from the soles to the top of the head, and the
  // right side the mirror image of the left: joints 1..5 (leg) pair with
  // 6..10, 17..23 (arm) with 24..30.
  Vector3 head, ball, left, right;
  skeleton.GetJointPosition(16, &head);
  skeleton.GetJointPosition(4, &ball);
  EXPECT_GE(head.y - ball.y, 1.70f);
  EXPECT_LE(head.y - ball.y, 1.80f);
  for (int j = 1; j <= 23; j += (j == 5 ? 12 : 1)) {
    skeleton.GetJointPosition(j, &left);
    skeleton.GetJointPosition(j <= 5 ? j + 5 : j + 7, &right);
    EXPECT_GT(left.x, 0.0f) << BoneNameTable[j];
    EXPECT_NEAR(left.x, -right.x, 1e-4) << BoneNameTable[j];
    EXPECT_NEAR(left.y, right.y, 1e-4) << BoneNameTable[j];
    EXPECT_NEAR(left.z, right.z, 1e-4) << BoneNameTable[j];
  }
}

TEST_F(SampleDataTest, ClipsLoadCleanlyWithHumanJointAngles) {
  for (const auto& entry : kClips) {
    const char* clip = entry.first;
    const Motion* motion = Load(clip);
    // The text holds exactly the frames numbered 1, 2, 3, ... in order.
    std::istringstream text(ReadFile(std::string("data/motions/") + clip + ".amc"));
    std::string line;
    int numbered = 0;
    while (std::getline(text, line)) {
      if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) continue;
      EXPECT_EQ(std::stoi(line), ++numbered) << clip;
    }
    EXPECT_EQ(numbered, motion->frameCount) << clip;

    for (int f = 0; f < motion->frameCount; ++f) {
      const Posture& posture = motion->frames[f];
      ASSERT_TRUE(std::isfinite(posture.root.x + posture.root.y + posture.root.z));
      Vector3 euler;
      posture.rotation[0].GetEuler(&euler);
      // The pelvis pitches and rolls only a little; it may face any way.
      EXPECT_LE(std::fabs(euler.x), 20.0f) << clip << " frame " << f;
      EXPECT_LE(std::fabs(euler.z), 20.0f) << clip << " frame " << f;
      for (int j = 1; j < kJointCount; ++j) {
        posture.rotation[j].GetEuler(&euler);
        const SampleTestRange* range = sampletest_RangeOf(BoneNameTable[j]);
        if (range == nullptr) {
          EXPECT_NEAR(sampletest_AngleBetween(posture.rotation[j], Quaternion()), 0.0, 1e-3);
          continue;
        }
        for (int k = 0; k < 3; ++k) {
          ASSERT_TRUE(std::isfinite(euler[k])) << clip << " frame " << f;
          EXPECT_TRUE(euler[k] >= range->lo[k] - 1e-3 && euler[k] <= range->hi[k] + 1e-3)
              << clip << " frame " << f << " " << BoneNameTable[j] << " axis " << k << ": "
              << euler[k];
        }
      }
    }
  }
  // Loading a sound motion logs its progress only.
  for (const std::string& logged : sampletest_Log()) {
    EXPECT_TRUE(logged.rfind("Loading Motion ", 0) == 0 ||
                logged.rfind("Done Loading Motion ", 0) == 0 ||
                logged.rfind("DumpMarkerPositions: Done dumping", 0) == 0)
        << logged;
  }
}

TEST_F(SampleDataTest, FeetStayOnTheGroundWithoutSliding) {
  for (const auto& [clip, minFrames] : kClips) {
    const Motion* motion = Load(clip);
    ASSERT_GE(motion->frameCount, minFrames) << clip;
    const auto paths = sampletest_JointPaths(*motion, kLimbEnds);
    int landings[2] = {0, 0};
    bool inAir[2] = {false, false};
    for (int f = 0; f < motion->frameCount; ++f) {
      // Some foot is always on the ground and nothing goes through it.
      float lowest = 1e9f, foot[2] = {1e9f, 1e9f};
      for (int j : kLimbEnds) lowest = std::min(lowest, paths[f][j].y);
      for (int k = 0; k < 4; ++k) foot[k / 2] = std::min(foot[k / 2], paths[f][kFootJoints[k]].y);
      EXPECT_NEAR(std::min(foot[0], foot[1]), 0.0f, 0.003f) << clip << " frame " << f;
      EXPECT_GE(lowest, -0.003f) << clip << " frame " << f;
      // A foot lands when it comes down after rising above 2 cm.
      for (int side = 0; side < 2; ++side) {
        inAir[side] = inAir[side] || foot[side] > 0.02f;
        if (inAir[side] && foot[side] < 0.001f) {
          ++landings[side];
          inAir[side] = false;
        }
      }
      // A ball or toe tip on the ground in two frames running has not moved.
      for (int j : kFootJoints) {
        const Vector3& a = paths[f == 0 ? 0 : f - 1][j];
        const Vector3& b = paths[f][j];
        if (a.y > 0.005f || b.y > 0.005f) continue;
        EXPECT_LE(std::hypot(b.x - a.x, b.z - a.z), 0.002f)
            << clip << " frame " << f << " " << BoneNameTable[j];
      }
    }
    // The walk takes several steps: each foot lands as often as the other,
    // at least four times.
    if (std::string(clip) != "walk") continue;
    EXPECT_GE(landings[0], 4);
    EXPECT_EQ(landings[0], landings[1]);
  }
}

TEST_F(SampleDataTest, WalkStepsForwardAndLoops) {
  const Motion* walk = Load("walk");
  ASSERT_GT(walk->frameCount, 0);
  const int last = walk->frameCount - 1;
  // From the last frame into the first the pose changes no more than between
  // any two neighbouring frames.
  auto poseStep = [&](int a, int b) {
    double step = 0.0;
    for (int j = 0; j < kJointCount; ++j) {
      step = std::max(
          step, sampletest_AngleBetween(walk->frames[a].rotation[j], walk->frames[b].rotation[j]));
    }
    return step;
  };
  double largestStep = 0.0;
  for (int f = 1; f <= last; ++f) largestStep = std::max(largestStep, poseStep(f - 1, f));
  EXPECT_LT(largestStep, 6.0);
  EXPECT_LE(poseStep(last, 0), largestStep * 1.2);
  EXPECT_NEAR(walk->frames[last].root.y, walk->frames[0].root.y, 0.01f);
  // The root keeps going forward (+z) at a walking pace without drifting
  // sideways.
  for (int f = 1; f <= last; ++f) EXPECT_GT(walk->frames[f].root.z, walk->frames[f - 1].root.z);
  const double speed = (walk->frames[last].root.z - walk->frames[0].root.z) / (last / 120.0);
  EXPECT_GT(speed, 0.8);
  EXPECT_LT(speed, 1.8);
  EXPECT_NEAR(walk->frames[last].root.x, walk->frames[0].root.x, 0.05f);
}

// The scene reader's own test loads the sample scene whole and quietly; this
// one looks at what it does not: distinct motion names, characters standing
// on the ground apart from each other, and the three roles (a button-driven
// fighter of the data set, a walker on a fixed-frame graph with the idle
// blended over it, one on a random graph of a motion of the scene).
TEST_F(SampleDataTest, SceneHoldsTheThreeRoles) {
  std::istringstream in(ReadFile("data/scenes/default.sce"));
  std::vector<std::pair<std::string, std::map<std::string, std::string>>> sections;
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(':');
    if (line.rfind("* ", 0) == 0) {
      sections.push_back({line.substr(2), {}});
    } else if (colon != std::string::npos && line.find("//") == std::string::npos) {
      ASSERT_FALSE(sections.empty()) << line;
      sections.back().second[line.substr(0, colon)] =
          line.substr(line.find_first_not_of(' ', colon + 1));
    }
  }
  std::vector<std::string> motions;
  std::vector<std::string> dataSets;
  std::vector<std::pair<float, float>> places;
  bool fighter = false, blendedWalker = false, randomGraph = false;
  for (auto& [name, keys] : sections) {
    if (name == "MotionData") {
      EXPECT_EQ(std::count(motions.begin(), motions.end(), keys["MotionName"]), 0);
      motions.push_back(keys["MotionName"]);
    } else if (name == "MotionDataSet") {
      dataSets.push_back(keys["ID"]);
      EXPECT_EQ(keys["AttackMotion"], "punch");
      EXPECT_EQ(keys["DefensiveMotion"], "guard");
      EXPECT_EQ(keys["IdleMotion"], "idle");
    } else if (name == "Character") {
      std::istringstream position(keys["Position"]);
      float x = 0, y = 1, z = 0;
      position >> x >> y >> z;
      EXPECT_EQ(y, 0.0f) << keys["CharacterName"];
      for (const auto& [ox, oz] : places) EXPECT_GE(std::hypot(x - ox, z - oz), 2.0f);
      places.emplace_back(x, z);
      const std::string root = keys["DefaultRootMotion"];
      fighter |= keys["GameplayController"] == "0" &&
                 std::count(dataSets.begin(), dataSets.end(), keys["DatasetID"]) == 1;
      blendedWalker |= root == "walk 1" && keys["DefaultBlendMotion"] == "idle 2";
      randomGraph |=
          root.size() > 2 && root.compare(root.size() - 2, 2, " 2") == 0 &&
          std::count(motions.begin(), motions.end(), root.substr(0, root.size() - 2)) == 1;
    }
  }
  EXPECT_EQ(places.size(), 3u);
  EXPECT_TRUE(fighter);
  EXPECT_TRUE(blendedWalker);
  EXPECT_TRUE(randomGraph);
}

}  // namespace
