// Tests of the sample-data generator: the folder it writes must load without
// a single complaint and must look like a person standing, walking, punching
// and guarding on the ground plane.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>
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
using testing_support::ScopedWorkDir;
using testing_support::TempDir;

constexpr double kPi = 3.14159265358979323846;

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
void sampletest_Capture(const char* text, int /*flags*/) { sampletest_Log().push_back(text); }

// Log lines that loading a sound motion writes; anything else is a complaint.
bool sampletest_IsProgressLine(const std::string& line) {
  return line.rfind("Loading Motion ", 0) == 0 || line.rfind("Done Loading Motion ", 0) == 0 ||
         line.rfind("DumpMarkerPositions: Done dumping", 0) == 0;
}

struct SampleTestClip {
  const char* name;
  int minFrames;
};
const SampleTestClip kClips[] = {{"walk", 600}, {"idle", 400}, {"punch", 120}, {"guard", 120}};

// Generates into a fresh working folder, which it makes the working directory,
// and loads clips from there on demand.
class SampleDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sampletest_Generate(work_.path()), 0);
    sampletest_Log().clear();
    SetLogConsoleSink(&sampletest_Capture);
  }
  void TearDown() override { SetLogConsoleSink(nullptr); }

  Motion* Load(const char* clip) {
    motions_.push_back(std::make_unique<Motion>(clip, std::string(clip) + ".amc", 0.06f, 0));
    return motions_.back().get();
  }

  ScopedWorkDir work_;
  std::vector<std::unique_ptr<Motion>> motions_;
};

// Angle of the rotation between two unit quaternions, degrees.
double sampletest_AngleBetween(const Quaternion& a, const Quaternion& b) {
  const double dot = std::fabs(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                               static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w);
  return 2.0 * std::acos(std::min(1.0, dot)) * 180.0 / kPi;
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

// The fixed tree: the parent of each joint, by name.
const std::map<std::string, std::string> kParents = {
    {"lhipjoint", "root"},     {"lfemur", "lhipjoint"}, {"ltibia", "lfemur"},
    {"lfoot", "ltibia"},       {"ltoes", "lfoot"},      {"rhipjoint", "root"},
    {"rfemur", "rhipjoint"},   {"rtibia", "rfemur"},    {"rfoot", "rtibia"},
    {"rtoes", "rfoot"},        {"lowerback", "root"},   {"upperback", "lowerback"},
    {"thorax", "upperback"},   {"lowerneck", "thorax"}, {"upperneck", "lowerneck"},
    {"head", "upperneck"},     {"lclavicle", "thorax"}, {"lhumerus", "lclavicle"},
    {"lradius", "lhumerus"},   {"lwrist", "lradius"},   {"lhand", "lwrist"},
    {"lfingers", "lhand"},     {"lthumb", "lwrist"},    {"rclavicle", "thorax"},
    {"rhumerus", "rclavicle"}, {"rradius", "rhumerus"}, {"rwrist", "rradius"},
    {"rhand", "rwrist"},       {"rfingers", "rhand"},   {"rthumb", "rwrist"},
};

// The ball and toe tip of both feet.
const int kFootJoints[4] = {4, 5, 9, 10};

// The ends of the limbs, which are the first to touch the ground: ankles,
// balls and toe tips, finger tips and thumbs.
const int kLimbEnds[10] = {3, 4, 5, 8, 9, 10, 22, 23, 29, 30};

// World positions of the given joints (slots by joint index; the others stay
// (0, 0, 0)) of every frame.
std::vector<std::vector<Vector3>> sampletest_JointPaths(const Motion& motion, Skeleton* skeleton,
                                                        const std::vector<int>& joints) {
  std::vector<std::vector<Vector3>> paths(motion.frameCount, std::vector<Vector3>(kJointCount));
  for (int f = 0; f < motion.frameCount; ++f) {
    skeleton->SetPosture(motion.frames[f]);
    for (int j : joints) skeleton->GetJointPosition(j, &paths[f][j]);
  }
  return paths;
}

TEST(SampleDataCommandLineTest, RefusesWhatItCannotDo) {
  TempDir dir;
  EXPECT_EQ(sampletest_Run(""), 2);
  EXPECT_EQ(sampletest_Run("\"\""), 2);
  EXPECT_EQ(sampletest_Run("a b"), 2);
  {
    // A folder below a plain file cannot be made.
    testing_support::WriteFile(dir.File("plain"), "x");
    EXPECT_EQ(sampletest_Generate(dir.File("plain") + "/sub"), 1);
  }
}

TEST(SampleDataFilesTest, SameBytesEveryRunAndStaleCachesRemoved) {
  TempDir first, second;
  ASSERT_EQ(sampletest_Generate(first.path()), 0);
  // What a run of the program leaves behind from older clips.
  testing_support::WriteFile(second.File("walk_graph.gra"), "old");
  testing_support::WriteFile(second.File("idle1_graph.gra"), "old");
  testing_support::WriteFile(second.File("mine_graph.gra"), "kept");
  testing_support::WriteFile(second.File("walkabout_graph.gra"), "kept");
  fs::create_directories(second.File("data/motions"));
  testing_support::WriteFile(second.File("data/motions/walk.bin"), "old");
  testing_support::WriteFile(second.File("data/motions/punch.mpos"), "old");
  ASSERT_EQ(sampletest_Generate(second.path()), 0);

  const char* files[] = {"MartialArts.asf",        "data/motions/walk.amc",
                         "data/motions/idle.amc",  "data/motions/punch.amc",
                         "data/motions/guard.amc", "data/scenes/default.sce"};
  for (const char* file : files) {
    const std::string bytes = ReadFile(first.File(file));
    EXPECT_FALSE(bytes.empty()) << file;
    EXPECT_EQ(bytes, ReadFile(second.File(file))) << file;
  }
  EXPECT_FALSE(fs::exists(second.File("walk_graph.gra")));
  EXPECT_FALSE(fs::exists(second.File("idle1_graph.gra")));
  EXPECT_FALSE(fs::exists(second.File("data/motions/walk.bin")));
  EXPECT_FALSE(fs::exists(second.File("data/motions/punch.mpos")));
  EXPECT_TRUE(fs::exists(second.File("mine_graph.gra")));
  EXPECT_TRUE(fs::exists(second.File("walkabout_graph.gra")));
}

TEST_F(SampleDataTest, SkeletonIsTheFixedBodyAtHumanSize) {
  const std::string text = ReadFile("MartialArts.asf");
  EXPECT_NE(text.find(":root"), std::string::npos);
  EXPECT_NE(text.find(":hierarchy"), std::string::npos);

  Skeleton skeleton("MartialArts.asf", 0.06f);
  EXPECT_TRUE(sampletest_Log().empty()) << sampletest_Log().front();

  int totalDof = 6;
  for (int j = 1; j < kJointCount; ++j) {
    const Bone& bone = skeleton.bones[j];
    const std::string name = BoneNameTable[j];
    EXPECT_EQ(bone.id, j) << name;
    EXPECT_GT(bone.length, 0.0f) << name;
    EXPECT_EQ(bone.dofCount, bone.dofRx + bone.dofRy + bone.dofRz) << name;
    const bool hip = name == "lhipjoint" || name == "rhipjoint";
    EXPECT_EQ(bone.dofCount == 0, hip) << name;
    totalDof += bone.dofCount;
    // Each bone hangs below its parent of the fixed tree.
    int parent = -1;
    for (int p = 0; p < kJointCount; ++p) {
      for (const Bone* c = skeleton.bones[p].firstChild; c != nullptr; c = c->nextSibling) {
        if (c == &bone) parent = p;
      }
    }
    ASSERT_GE(parent, 0) << name;
    EXPECT_EQ(kParents.at(name), BoneNameTable[parent]) << name;
  }
  EXPECT_EQ(skeleton.totalDof, totalDof);

  // At rest: about 1.75 tall from the soles to the top of the head, and the
  // right side the mirror image of the left.
  skeleton.ResetPosture();
  Vector3 head, ball, left, right;
  skeleton.GetJointPosition(16, &head);
  skeleton.GetJointPosition(4, &ball);
  EXPECT_GE(head.y - ball.y, 1.70f);
  EXPECT_LE(head.y - ball.y, 1.80f);
  // Left joints 1..5 (leg) pair with 6..10, 17..23 (arm) with 24..30.
  for (int j = 1; j <= 23; ++j) {
    if (j > 5 && j < 17) continue;
    const int mirror = j <= 5 ? j + 5 : j + 7;
    skeleton.GetJointPosition(j, &left);
    skeleton.GetJointPosition(mirror, &right);
    EXPECT_GT(left.x, 0.0f) << BoneNameTable[j];
    EXPECT_NEAR(left.x, -right.x, 1e-4) << BoneNameTable[j];
    EXPECT_NEAR(left.y, right.y, 1e-4) << BoneNameTable[j];
    EXPECT_NEAR(left.z, right.z, 1e-4) << BoneNameTable[j];
  }
}

TEST_F(SampleDataTest, ClipsLoadCleanlyWithHumanJointAngles) {
  for (const SampleTestClip& clip : kClips) {
    const Motion* motion = Load(clip.name);
    ASSERT_GE(motion->frameCount, clip.minFrames) << clip.name;

    // The text holds exactly the frames numbered 1, 2, 3, ... in order.
    std::istringstream text(ReadFile(std::string("data/motions/") + clip.name + ".amc"));
    std::string line;
    int numbered = 0;
    while (std::getline(text, line)) {
      if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
        EXPECT_EQ(std::stoi(line), numbered + 1) << clip.name;
        ++numbered;
      }
    }
    EXPECT_EQ(numbered, motion->frameCount) << clip.name;

    for (int f = 0; f < motion->frameCount; ++f) {
      const Posture& posture = motion->frames[f];
      ASSERT_TRUE(std::isfinite(posture.root.x) && std::isfinite(posture.root.y) &&
                  std::isfinite(posture.root.z));
      Vector3 euler;
      posture.rotation[0].GetEuler(&euler);
      // The pelvis pitches and rolls only a little; it may face any way.
      EXPECT_LE(std::fabs(euler.x), 20.0f) << clip.name << " frame " << f;
      EXPECT_LE(std::fabs(euler.z), 20.0f) << clip.name << " frame " << f;
      for (int j = 1; j < kJointCount; ++j) {
        posture.rotation[j].GetEuler(&euler);
        const SampleTestRange* range = sampletest_RangeOf(BoneNameTable[j]);
        if (range == nullptr) {
          EXPECT_NEAR(sampletest_AngleBetween(posture.rotation[j], Quaternion()), 0.0, 1e-3);
          continue;
        }
        for (int k = 0; k < 3; ++k) {
          ASSERT_TRUE(std::isfinite(euler[k])) << clip.name << " frame " << f;
          EXPECT_GE(euler[k], range->lo[k] - 1e-3)
              << clip.name << " frame " << f << " " << BoneNameTable[j] << " axis " << k;
          EXPECT_LE(euler[k], range->hi[k] + 1e-3)
              << clip.name << " frame " << f << " " << BoneNameTable[j] << " axis " << k;
        }
      }
    }
  }
  for (const std::string& logged : sampletest_Log()) {
    EXPECT_TRUE(sampletest_IsProgressLine(logged)) << logged;
  }
}

TEST_F(SampleDataTest, FeetStayOnTheGroundWithoutSliding) {
  Skeleton skeleton("MartialArts.asf", 0.06f);
  for (const SampleTestClip& clip : kClips) {
    const Motion* motion = Load(clip.name);
    ASSERT_GT(motion->frameCount, 0) << clip.name;
    const auto paths = sampletest_JointPaths(
        *motion, &skeleton, std::vector<int>(std::begin(kLimbEnds), std::end(kLimbEnds)));
    for (int f = 0; f < motion->frameCount; ++f) {
      // Some foot is always on the ground and nothing goes through it.
      float lowestFoot = 1e9f, lowest = 1e9f;
      for (int j : kFootJoints) lowestFoot = std::min(lowestFoot, paths[f][j].y);
      for (int j : kLimbEnds) lowest = std::min(lowest, paths[f][j].y);
      EXPECT_NEAR(lowestFoot, 0.0f, 0.003f) << clip.name << " frame " << f;
      EXPECT_GE(lowest, -0.003f) << clip.name << " frame " << f;
      // A ball or toe tip on the ground in two frames running has not moved.
      if (f == 0) continue;
      for (int j : kFootJoints) {
        const Vector3& a = paths[f - 1][j];
        const Vector3& b = paths[f][j];
        if (a.y > 0.005f || b.y > 0.005f) continue;
        EXPECT_LE(std::hypot(b.x - a.x, b.z - a.z), 0.002f)
            << clip.name << " frame " << f << " " << BoneNameTable[j];
      }
    }
  }
}

TEST_F(SampleDataTest, WalkStepsForwardAndLoops) {
  const Motion* walk = Load("walk");
  ASSERT_GE(walk->frameCount, 600);
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

  // The root keeps going forward (+z) at a walking pace, without drifting
  // sideways.
  for (int f = 1; f <= last; ++f) EXPECT_GT(walk->frames[f].root.z, walk->frames[f - 1].root.z);
  const double seconds = last / 120.0;
  const double speed = (walk->frames[last].root.z - walk->frames[0].root.z) / seconds;
  EXPECT_GT(speed, 0.8);
  EXPECT_LT(speed, 1.8);
  EXPECT_NEAR(walk->frames[last].root.x, walk->frames[0].root.x, 0.05f);

  // Several steps: each foot leaves the ground and lands again as often as
  // the other, at least four times.
  Skeleton skeleton("MartialArts.asf", 0.06f);
  const auto paths = sampletest_JointPaths(
      *walk, &skeleton, std::vector<int>(std::begin(kFootJoints), std::end(kFootJoints)));
  int landings[2] = {0, 0};
  for (int side = 0; side < 2; ++side) {
    bool inAir = false;
    for (int f = 0; f <= last; ++f) {
      const float height =
          std::min(paths[f][kFootJoints[2 * side]].y, paths[f][kFootJoints[2 * side + 1]].y);
      if (height > 0.02f) inAir = true;
      if (inAir && height < 0.001f) {
        ++landings[side];
        inAir = false;
      }
    }
  }
  EXPECT_GE(landings[0], 4);
  EXPECT_EQ(landings[0], landings[1]);
}

// The scene reader's line rules, applied to the scene file: line 1 is passed
// over (but the reserved header refuses the file), lines holding "//" are
// skipped, "* Name" opens a section, a line holding "END" or "End" closes it,
// every other line of a section is "Key: value".
struct SampleTestSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> keys;
  bool closedCleanly = false;  // by a line that is only the end word
  bool failed = false;         // a line without ":"
};

std::vector<SampleTestSection> sampletest_ReadScene(const std::string& text, std::string* first) {
  std::vector<SampleTestSection> sections;
  std::istringstream in(text);
  std::string line;
  std::getline(in, *first);
  SampleTestSection* open = nullptr;
  while (std::getline(in, line)) {
    if (line.find("//") != std::string::npos) continue;
    if (open == nullptr) {
      if (line.size() >= 2 && line[0] == '*') {
        sections.push_back({line.substr(2), {}, false, false});
        open = &sections.back();
      }
      continue;
    }
    if (line.find("END") != std::string::npos || line.find("End") != std::string::npos) {
      open->closedCleanly = line.find(':') == std::string::npos;
      open = nullptr;
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      open->failed = true;
      open = nullptr;
      continue;
    }
    std::string key = line.substr(0, colon);
    key.erase(0, key.find_first_not_of(" \t"));
    std::string value = line.substr(colon + 1);
    value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
    open->keys.emplace_back(key, value);
  }
  if (open != nullptr) open->failed = true;  // the file ends inside a section
  return sections;
}

std::string sampletest_Value(const SampleTestSection& s, const std::string& key) {
  for (const auto& kv : s.keys) {
    if (kv.first == key) return kv.second;
  }
  return std::string();
}

TEST_F(SampleDataTest, SceneKeepsTheReaderRules) {
  std::string first;
  const auto sections = sampletest_ReadScene(ReadFile("data/scenes/default.sce"), &first);
  EXPECT_NE(first.rfind("// Tavrin Scene Description  - ", 0), 0u) << first;

  std::vector<std::string> motions;
  std::vector<int> dataSets;
  std::vector<std::pair<float, float>> places;
  bool buttonFighter = false, blendedWalker = false, randomGraph = false;
  for (const SampleTestSection& s : sections) {
    SCOPED_TRACE(s.name);
    ASSERT_FALSE(s.failed);
    EXPECT_TRUE(s.closedCleanly);
    if (s.name == "MotionData") {
      ASSERT_EQ(s.keys.size(), 3u);
      const std::string name = sampletest_Value(s, "MotionName");
      const std::string file = sampletest_Value(s, "AMCFiles");
      const std::string weights = sampletest_Value(s, "BodyWeights");
      EXPECT_TRUE(fs::exists(std::string("data/motions/") + file)) << file;
      ASSERT_FALSE(weights.empty());
      EXPECT_GE(std::atoi(weights.c_str()), 0);
      EXPECT_LE(std::atoi(weights.c_str()), 4);
      EXPECT_EQ(std::count(motions.begin(), motions.end(), name), 0);
      motions.push_back(name);
    } else if (s.name == "MotionDataSet") {
      const std::string id = sampletest_Value(s, "ID");
      ASSERT_FALSE(id.empty());
      dataSets.push_back(std::atoi(id.c_str()));
      // Each motion named was made by an earlier section.
      const std::pair<const char*, const char*> roles[] = {
          {"AttackMotion", "punch"}, {"DefensiveMotion", "guard"}, {"IdleMotion", "idle"}};
      for (const auto& role : roles) {
        EXPECT_EQ(sampletest_Value(s, role.first), role.second);
        EXPECT_EQ(std::count(motions.begin(), motions.end(), role.second), 1) << role.second;
      }
    } else if (s.name == "Character") {
      EXPECT_GE(s.keys.size(), 2u);
      std::istringstream position(sampletest_Value(s, "Position"));
      float x = 0, y = 0, z = 0;
      position >> x >> y >> z;
      EXPECT_EQ(y, 0.0f);
      for (const auto& other : places)
        EXPECT_GE(std::hypot(x - other.first, z - other.second), 2.0f);
      places.emplace_back(x, z);
      const std::string controller = sampletest_Value(s, "GameplayController");
      const std::string set = sampletest_Value(s, "DatasetID");
      const std::string root = sampletest_Value(s, "DefaultRootMotion");
      const std::string blend = sampletest_Value(s, "DefaultBlendMotion");
      if (controller == "0" && !set.empty()) {
        buttonFighter = std::count(dataSets.begin(), dataSets.end(), std::atoi(set.c_str())) == 1;
      }
      if (root == "walk 1" && blend == "idle 2") blendedWalker = true;
      if (root.size() > 2 && root.compare(root.size() - 2, 2, " 2") == 0) {
        randomGraph =
            std::count(motions.begin(), motions.end(), root.substr(0, root.size() - 2)) == 1;
      }
    } else {
      ADD_FAILURE() << "unexpected section";
    }
  }
  EXPECT_EQ(motions.size(), 4u);
  EXPECT_EQ(dataSets.size(), 1u);
  EXPECT_EQ(places.size(), 3u);
  EXPECT_TRUE(buttonFighter);
  EXPECT_TRUE(blendedWalker);
  EXPECT_TRUE(randomGraph);
}

}  // namespace
