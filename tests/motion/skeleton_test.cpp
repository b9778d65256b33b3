#include "motion/skeleton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/quaternion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// The fixed tree as each joint's parent (the root has none).
constexpr int kParent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,
                                      0,  11, 12, 13, 14, 15, 13, 17, 18, 19, 20,
                                      21, 20, 13, 24, 25, 26, 27, 28, 27};

// A hand-made body, bone i in BoneNameTable's slot i: world rest direction,
// file length, axis angles, "dof" words (empty: no "dof" line).
struct HandBone {
  float direction[3];
  float length;
  float axis[3];
  const char* dof;
};

// clang-format off
const HandBone kHand[kJointCount] = {
    {{0, 0, 0}, 0, {0, 0, 0}, ""},             {{1, 0, 0}, 1, {0, 0, 0}, ""},
    {{0, 0, 1}, 2, {0, 0, 90}, "rx ry rz"},    {{0, 0, 1}, 3, {0, 0, 0}, "rx"},
    {{0, -1, 0}, 1, {-90, 0, 20}, "rx rz"},    {{0, 0, 1}, 0.5f, {-90, 0, 20}, "rx"},
    {{-1, 0, 0}, 1, {0, 0, 0}, ""},            {{0, -1, 0}, 4, {0, 0, -20}, "rx ry rz"},
    {{0, -1, 0}, 4, {0, 0, -20}, "rx"},        {{0, 0, 1}, 1, {30, -20, 10}, "rx rz"},
    {{0, 0, 1}, 0.5f, {30, -20, 10}, "rx"},    {{0, 1, 0}, 2, {0, 0, 0}, "rx ry rz"},
    {{0, 1, 0}, 2, {0, 0, 0}, "rx ry rz"},     {{0, 1, 0}, 2, {10, 20, 30}, "rx ry rz"},
    {{0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},     {{0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},
    {{0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},     {{1, 0, 0}, 2, {0, 0, -20}, "ry rz"},
    {{1, 0, 0}, 3, {0, 0, -90}, "rx ry rz"},   {{1, 0, 0}, 2, {0, 0, -90}, "rx"},
    {{1, 0, 0}, 0.5f, {0, 45, -90}, "ry"},     {{1, 0, 0}, 0.5f, {0, 0, -90}, "rx rz"},
    {{1, 0, 0}, 0.25f, {0, 0, -90}, "rx"},     {{0.6f, 0, 0.8f}, 0.5f, {-45, 0, -90}, "rx rz"},
    {{-1, 0, 0}, 2, {0, 0, 20}, "ry rz"},      {{-1, 0, 0}, 3, {0, 0, 90}, "rx ry rz"},
    {{-1, 0, 0}, 2, {0, 0, 90}, "rx"},         {{-1, 0, 0}, 0.5f, {0, -45, 90}, "ry"},
    {{-1, 0, 0}, 0.5f, {0, 0, 90}, "rx rz"},   {{-1, 0, 0}, 0.25f, {0, 0, 90}, "rx"},
    {{-0.6f, 0, 0.8f}, 0.5f, {-45, 0, 90}, "rx rz"}};
// clang-format on

// 6 + 14 (legs) + 18 (spine, neck, head) + 24 (arms).
constexpr int kHandTotalDof = 62;
constexpr float kHandScale = 0.5f;

std::string HandAsf() {
  std::string text =
      "# hand-made skeleton\n:version 1.10\n:name hand\n:units\n  mass 1.0\n  length 0.45\n"
      "  angle deg\n:documentation\n  made by hand\n:root\n   order TX TY TZ RX RY RZ\n"
      "   axis XYZ\n   position 0 0 0\n   orientation 0 0 0\n:bonedata\n";
  for (int i = 1; i < kJointCount; ++i) {
    const HandBone& b = kHand[i];
    char block[512];
    std::snprintf(block, sizeof block,
                  "  begin\n     id %d\n     name %s\n     direction %g %g %g\n     length %g\n"
                  "     axis %g %g %g  XYZ\n",
                  i, BoneNameTable[i], b.direction[0], b.direction[1], b.direction[2], b.length,
                  b.axis[0], b.axis[1], b.axis[2]);
    text += block;
    if (b.dof[0] != '\0') text += std::string("    dof ") + b.dof + "\n    limits (-10 170)\n";
    text += "  end\n";
  }
  return text + testing_support::kTinyHierarchy;
}

// text with the first `from` replaced by `to`; fails the test when absent.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

int Slot(const Skeleton& s, const Bone* b) { return b == nullptr ? -1 : int(b - s.bones); }

bool SameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

Vector3 Joint(const Skeleton& s, int j) {
  Vector3 v;
  s.GetJointPosition(j, &v);
  return v;
}

void ExpectNear(const Vector3& v, float x, float y, float z, const std::string& what) {
  EXPECT_TRUE(std::fabs(v.x - x) < 1e-4f && std::fabs(v.y - y) < 1e-4f &&
              std::fabs(v.z - z) < 1e-4f)
      << what << ": (" << v.x << ", " << v.y << ", " << v.z << ")";
}

// Every field of every bone bit for bit (the fields after the two links
// hold no padding); links as slot numbers.
void ExpectSameSkeleton(const Skeleton& a, const Skeleton& b) {
  constexpr size_t kFrom = offsetof(Bone, id);
  constexpr size_t kSize = offsetof(Bone, rz) + sizeof(float) - kFrom;
  static_assert(kSize == 5 * sizeof(int) + 12 * sizeof(float) + sizeof(Matrix4d),
                "padding in Bone");
  EXPECT_EQ(a.totalDof, b.totalDof);
  EXPECT_TRUE(SameBits(&a.rootPosition, &b.rootPosition, sizeof(Vector3)));
  for (int i = 0; i < kJointCount; ++i) {
    const Bone& x = a.bones[i];
    const Bone& y = b.bones[i];
    EXPECT_EQ(Slot(a, x.nextSibling), Slot(b, y.nextSibling)) << i;
    EXPECT_EQ(Slot(a, x.firstChild), Slot(b, y.firstChild)) << i;
    EXPECT_TRUE(SameBits(reinterpret_cast<const char*>(&x) + kFrom,
                         reinterpret_cast<const char*>(&y) + kFrom, kSize))
        << i;
  }
}

// Walks the tree with a step bound; each bone must appear once, ids 0..30,
// and each bone's children must be, in order, the fixed tree's children of
// it that the tree holds. Returns the number of bones in the tree.
int CheckTree(const Skeleton& s) {
  std::vector<const Bone*> seen;
  std::vector<const Bone*> stack = {s.root};
  while (!stack.empty() && seen.size() <= 64) {
    const Bone* b = stack.back();
    stack.pop_back();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), b), 0) << "bone twice in the tree";
    seen.push_back(b);
    EXPECT_TRUE(b->id >= 0 && b->id < kJointCount) << b->id;
    int previous = -1;
    for (const Bone* c = b->firstChild; c != nullptr && seen.size() <= 64; c = c->nextSibling) {
      EXPECT_EQ(kParent[Slot(s, c)], Slot(s, b)) << "child " << Slot(s, c);
      EXPECT_GT(Slot(s, c), previous) << "sibling order";
      previous = Slot(s, c);
      stack.push_back(c);
    }
  }
  EXPECT_LE(seen.size(), size_t(kJointCount));
  return static_cast<int>(seen.size());
}

// Poses the skeleton and measures every joint; all must be finite.
void ExpectSafeToPose(Skeleton& s) {
  Posture p;
  for (int j = 0; j < kJointCount; ++j) p.rotation[j].SetEuler(10.0f * j, -5.0f * j, 3.0f * j);
  p.root = Vector3(1, 2, 3);
  s.SetPosture(p);
  for (int j = -1; j <= kJointCount; ++j) {
    const Vector3 v = Joint(s, j);
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << j;
  }
  CheckTree(s);
}

// `markers` holds, bit for bit, the joint positions `direct` gives joint by
// joint for posture p with the root at the origin and unturned (the body
// frame). Leaves `direct` in that pose.
void ExpectMarkersOfSkeleton(Skeleton& direct, const Posture& p, const MarkerSet& markers) {
  Posture body = p;
  body.root = Vector3();
  body.rotation[0] = Quaternion();
  direct.SetPosture(body);
  for (int j = 0; j < kJointCount; ++j) {
    const Vector3 v = Joint(direct, j);
    EXPECT_TRUE(SameBits(&v, &markers.positions[j], sizeof v)) << j;
  }
}

// A fresh working folder; Load reads a skeleton from the given ASF text.
class SkeletonTest : public testing::Test {
 protected:
  std::unique_ptr<Skeleton> Load(const std::string& text) {
    WriteFile("test.asf", text);
    return std::make_unique<Skeleton>("test.asf", kHandScale);
  }
  // Whether the log written since the last call holds each of `texts`.
  void ExpectLogged(std::initializer_list<std::string> texts) {
    const std::string log = ReadFile("log.txt");
    const std::string fresh = log.substr(std::min(logSeen_, log.size()));
    logSeen_ = log.size();
    for (const std::string& text : texts) EXPECT_NE(fresh.find(text), std::string::npos) << text;
  }

  ScopedWorkDir work_;
  const std::string hand_ = HandAsf();
  size_t logSeen_ = 0;
};

TEST_F(SkeletonTest, HandMadeFileLoadsAsWritten) {
  const auto s = Load(hand_);
  EXPECT_EQ(s->totalDof, kHandTotalDof);
  EXPECT_EQ(CheckTree(*s), kJointCount);
  for (int i = 1; i < kJointCount; ++i) {
    const Bone& b = s->bones[i];
    const std::string dof = kHand[i].dof;
    const std::string flags =
        std::string(b.dofRx ? "rx " : "") + (b.dofRy ? "ry " : "") + (b.dofRz ? "rz " : "");
    EXPECT_EQ(flags, dof.empty() ? "" : dof + " ") << BoneNameTable[i];
    EXPECT_EQ(b.dofCount, dof.empty() ? 0 : int(dof.size() + 1) / 3) << BoneNameTable[i];
    EXPECT_EQ(b.id, i);
    EXPECT_EQ(b.length, kHand[i].length * kHandScale) << BoneNameTable[i];
    EXPECT_NEAR(Length(b.direction), 1.0f, 1e-6f) << BoneNameTable[i];  // in the bone's own frame
  }

  EXPECT_EQ(s->bones[28].drawSize[1], 0.8f);  // from the fixed table

  // At rest every joint lies at the sum of the world rest vectors along its
  // path, whatever the bones' axis frames.
  s->rootPosition = Vector3(1, 2, 3);
  for (int j = 0; j < kJointCount; ++j) {
    float e[3] = {1, 2, 3};
    for (int k = j; k > 0; k = kParent[k]) {
      for (int c = 0; c < 3; ++c) e[c] += kHand[k].direction[c] * kHand[k].length * kHandScale;
    }
    ExpectNear(Joint(*s, j), e[0], e[1], e[2], BoneNameTable[j]);
  }
}

TEST_F(SkeletonTest, HandMadePoseByHand) {
  const auto s = Load(hand_);
  Posture p;
  p.root = Vector3(10, 20, 30);
  p.rotation[0].SetEuler(0, 0, 90);   // body turned about z: (x, y, z) -> (-y, x, z)
  p.rotation[2].SetEuler(90, 0, 0);   // lfemur about its x, which is world y (axis z 90)
  p.rotation[17].SetEuler(0, 0, 90);  // lclavicle about its z, world z (axis z -20)
  s->SetPosture(p);
  // Body frame: hip (0.5, 0, 0); the thigh (0, 0, 1) and shin (0, 0, 1.5)
  // turn to +x: knee (1.5, 0, 0), ankle (3, 0, 0), the foot's (0, -0.5, 0)
  // stays: (3, -0.5, 0). Spine up to (0, 3, 0); the clavicle (1, 0, 0) turns
  // to (0, 1, 0), the upper arm (1.5, 0, 0) with it: (0, 4, 0), (0, 5.5, 0).
  // The right leg keeps its rest shape: hip (-0.5, 0, 0), then 2 and 2 down.
  // Then the body turn and the root position.
  const struct {
    int joint;
    float x, y, z;
  } expected[] = {{0, 10, 20, 30},    {1, 10, 20.5f, 30}, {2, 10, 21.5f, 30},
                  {3, 10, 23, 30},    {4, 10.5f, 23, 30}, {17, 6, 20, 30},
                  {18, 4.5f, 20, 30}, {8, 14, 19.5f, 30}, {16, 5.5f, 20, 30}};
  for (const auto& e : expected)
    ExpectNear(Joint(*s, e.joint), e.x, e.y, e.z, BoneNameTable[e.joint]);
  s->ResetPosture();  // the rest pose at the origin
  ExpectNear(Joint(*s, 3), 0.5f, 0, 2.5f, "ltibia at rest");
}

TEST_F(SkeletonTest, AnglesAndChains) {
  const auto s = Load(hand_);
  // ltibia rotates about x only: y and z keep what they held; lhipjoint has
  // no degree of freedom.
  s->bones[3].ry = 7.0f;
  s->bones[3].rz = -8.0f;
  Posture p;
  p.rotation[3].SetEuler(30, 40, 50);
  p.rotation[1].SetEuler(30, 40, 50);
  s->SetPosture(p);
  EXPECT_NE(s->bones[3].rx, 0.0f);
  EXPECT_EQ(s->bones[3].ry, 7.0f);
  EXPECT_EQ(s->bones[3].rz, -8.0f);
  EXPECT_EQ(s->bones[1].rx, 0.0f);
  // Y at +-90 (the Euler conversion's singular case) gives finite angles.
  for (float y : {90.0f, -90.0f, 89.99f}) {
    p.rotation[2].SetEuler(25, y, -60);
    s->SetPosture(p);
    EXPECT_TRUE(std::isfinite(s->bones[2].rx + s->bones[2].ry + s->bones[2].rz)) << y;
  }

  // A joint in no chain has an empty one (the chains themselves are walked
  // by the rest-pose sums of HandMadeFileLoadsAsWritten).
  int chain[kMaxChainLength];
  int length = -1;
  for (int bad : {31, -1, kKinematicChainEnd, 1 << 30}) {
    Skeleton::FindChainToBone(bad, chain, &length);
    EXPECT_EQ(length, 0) << bad;
  }
}

TEST_F(SkeletonTest, RootSectionUnitsAndAxisOrderHaveNoEffect) {
  std::string other = Replace(hand_, "length 0.45", "length 2.54");
  other = Replace(other, "position 0 0 0", "position 5 6 7");
  other = Replace(other, "orientation 0 0 0", "orientation 10 20 30");
  other = Replace(other, "   axis XYZ", "   axis ZYX");
  other = Replace(other, "axis 30 -20 10  XYZ", "axis 30 -20 10  ZYX");
  other = Replace(other, "axis 0 0 -20  XYZ", "axis 0 0 -20");
  ExpectSameSkeleton(*Load(hand_), *Load(other));
}

TEST_F(SkeletonTest, MarkerSetAndBlend) {
  WriteFile("MartialArts.asf", hand_);
  Posture p;
  p.root = Vector3(3, 4, 5);
  p.rotation[0].SetEuler(0, 70, 0);
  p.rotation[2].SetEuler(90, 0, 0);
  const Posture before = p;
  MarkerSet m(p);
  EXPECT_TRUE(SameBits(&p, &before, sizeof p)) << "the posture must not change";
  // Body frame at scale 0.06: the knee of the turned thigh at (0.06 + 0.12, 0, 0).
  ExpectNear(m.positions[0], 0, 0, 0, "root");
  ExpectNear(m.positions[2], 0.18f, 0, 0, "lfemur");
  ExpectNear(m.positions[16], 0, 0.54f, 0, "head");
  // Root place and turn do not matter.
  p.root = Vector3(-9, 0, 1);
  p.rotation[0].SetEuler(12, -30, 100);
  MarkerSet n;
  n.ComputeFromPosture(p);
  EXPECT_TRUE(SameBits(&m, &n, sizeof m));
  // Bit for bit what a skeleton of the same file gives joint by joint.
  for (int j = 1; j < kJointCount; ++j) p.rotation[j].SetEuler(9.0f * j, 20.0f - 3 * j, -4.0f * j);
  m.ComputeFromPosture(p);
  Skeleton direct("MartialArts.asf", 0.06f);
  ExpectMarkersOfSkeleton(direct, p, m);

  Posture a;
  Posture b;
  b.root = Vector3(2, -4, 8);
  b.rotation[5].SetEuler(90, 0, 0);
  Posture out;
  BlendPostures(0.5f, a, b, &out);
  ExpectNear(out.root, 1, -2, 4, "root");
  EXPECT_NEAR(out.rotation[5].x, 0.3826834f, 1e-5f);  // 45 degrees about x
  EXPECT_NEAR(out.rotation[5].w, 0.9238795f, 1e-5f);
  EXPECT_NEAR(out.rotation[6].w, 1.0f, 1e-6f);
  BlendPostures(1.0f, a, b, &a);  // the output may be an input
  ExpectNear(a.root, 2, -4, 8, "root at 1");
}

// A missing file leaves the root alone with 30 empty bones, with one line; each
// bad file gives a "ReadASF:" line naming the file and line, no crash, and a
// skeleton that is safe to pose and measure.
TEST_F(SkeletonTest, BadFilesAreReportedAndStaySafe) {
  {
    Skeleton missing("no such file.asf", 0.06f);
    EXPECT_EQ(missing.totalDof, 6);
    EXPECT_EQ(CheckTree(missing), 1);
    for (int i = 1; i < kJointCount; ++i) {
      const Bone& b = missing.bones[i];
      EXPECT_TRUE(b.id == i && b.length == 0.0f && b.dofCount == 0 && b.axisMatrix[0][0] == 1.0)
          << i;
    }
    ExpectSafeToPose(missing);
    // Every skeleton reads the same file: a missing one is told once.
    Skeleton again("no such file.asf", 0.06f);
    EXPECT_EQ(ReadFile("log.txt"), "ReadASF: cannot open no such file.asf; the skeleton has no bones\n");
    Posture p;  // without a skeleton file every joint position is the origin
    p.rotation[2].SetEuler(40, 0, 0);
    for (const Vector3& v : MarkerSet(p).positions) ExpectNear(v, 0, 0, 0, "no skeleton");
  }
  const std::unique_ptr<Skeleton> sound = Load(hand_);
  const struct {
    std::string text;
    const char* logged;
    int treeSize;
  } cases[] = {
      {hand_.substr(0, hand_.find(":bonedata")),
       "ReadASF: test.asf line 14: the file ends before \":bonedata\"", 1},
      // The unfinished block 3 is dropped, blocks 1 and 2 are kept.
      {hand_.substr(0, hand_.find("    limits", hand_.find("name ltibia"))),
       "line 38: the file ends inside bone block 3 of 30", 1},
      {hand_.substr(0, hand_.find(":hierarchy")), "the file ends before \":hierarchy\"", 1},
      {hand_.substr(0, hand_.find("    lhipjoint lfemur")),
       "the file ends before the hierarchy's \"end\"", 4},
      // The slot keeps the block with its own id.
      {Replace(hand_, "name lfemur", "name LFemur"), "bone block 2 has the unknown name \"LFemur\"",
       kJointCount},
      {Replace(hand_, "     length 4\n", ""), "bone block 7 (rfemur) has no \"length\"; length 0",
       kJointCount},
      {Replace(hand_, "length 3\n", "length inf\n"), "\"length\" without a number", kJointCount},
      {Replace(hand_, "direction 0 0 1", "direction 0 nan 1"),
       "\"direction\" without three numbers", kJointCount},
  };
  std::vector<std::unique_ptr<Skeleton>> s;
  for (const auto& c : cases) {
    s.push_back(Load(c.text));
    ExpectLogged({c.logged});
    EXPECT_EQ(CheckTree(*s.back()), c.treeSize) << c.logged;
    ExpectSafeToPose(*s.back());
  }
  EXPECT_EQ(s[1]->totalDof, 6 + 3);
  EXPECT_EQ(s[1]->bones[2].length, sound->bones[2].length);
  EXPECT_EQ(s[1]->bones[3].length, 0.0f);
  EXPECT_EQ(s[1]->bones[3].dofCount, 0);
  EXPECT_EQ(s[2]->totalDof, kHandTotalDof);
  EXPECT_EQ(s[4]->bones[2].id, 2);
  EXPECT_EQ(s[5]->bones[7].length, 0.0f);
  EXPECT_EQ(s[5]->bones[8].length, sound->bones[8].length);
  {  // Unknown child and unknown parent in the hierarchy.
    testing::internal::CaptureStdout();
    const auto u = Load(Replace(Replace(hand_, "lhipjoint lfemur", "lhipjoint lfemur2"),
                                "    ltibia lfoot", "    ltibia_x lfoot"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "inbord bone is undefined\ninbord bone is undefined\ninbord bone is undefined\n");
    ExpectLogged({"unknown bone \"lfemur2\" in the hierarchy",
                  "parent bone \"ltibia_x\" is not in the tree",
                  "AddChild: inbord bone is undefined"});
    EXPECT_EQ(CheckTree(*u), kJointCount - 4);  // lfemur, ltibia, lfoot, ltoes
    ExpectSafeToPose(*u);
  }
  {  // A bone named twice, the root as a child, a loop back up the leg.
    const auto t =
        Load(Replace(hand_, "    lfoot ltoes\n",
                     "    lfoot ltoes lfemur root\n    ltoes lhipjoint\n    root lhipjoint\n"));
    ExpectLogged({"bone lfemur is already in the tree", "bone root is already in the tree",
                  "bone lhipjoint is already in the tree"});
    EXPECT_EQ(CheckTree(*t), kJointCount);
    ExpectSafeToPose(*t);
    // Outside the reader too, a bone already in the tree is refused.
    EXPECT_FALSE(t->AddChild(5, t->root));
    EXPECT_FALSE(t->AddChild(5, nullptr));
    EXPECT_EQ(CheckTree(*t), kJointCount);
  }
  // Empty lines, a line of blanks, and an over-long line read whole.
  std::string text = Replace(hand_, "name ltibia\n", "name ltibia\n\n   \n");
  text = Replace(text, "  begin\n    root", "  begin\n\n    root");
  text = Replace(text, "dof rx ry rz\n", "dof rx ry rz" + std::string(3000, ' ') + "\n");
  ExpectSameSkeleton(*Load(text), *sound);
  ExpectLogged({"empty line in bone block 3 ignored", "empty line in the hierarchy ignored",
                "line of 3016 characters, longer than 2047"});
  // Numbers in exponent form or with a plus sign; a dof word with a tab.
  const auto n =
      Load(Replace(Replace(hand_, "length 3\n", "length +3e0\n"), "dof rx ry rz", "dof rx\try rz"));
  EXPECT_EQ(n->bones[3].length, sound->bones[3].length);
  EXPECT_EQ(n->bones[2].dofCount, 2);  // "rx\try" is one word
  EXPECT_EQ(n->bones[2].dofRx * 4 + n->bones[2].dofRy * 2 + n->bones[2].dofRz, 1);  // rz alone
}

TEST(SkeletonRealDataTest, SubjectTwoKeepsBoneLengths) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir work;
  std::filesystem::copy_file(testing_support::MocapDir() + "/cmu02/02.asf", "MartialArts.asf");
  Skeleton& s = DefaultSkeleton();
  EXPECT_EQ(s.totalDof, 62);
  EXPECT_EQ(CheckTree(s), kJointCount);
  EXPECT_FLOAT_EQ(s.bones[2].length, 7.59371f * 0.06f);  // lfemur's "length 7.59371"
  EXPECT_TRUE(ReadFile("log.txt").empty());
  // Body-frame joint positions bit for bit those of the plain forward
  // kinematics; every bone keeps its length, at the singular angles too.
  Skeleton direct("MartialArts.asf", 0.06f);
  for (int k = 0; k < 4; ++k) {
    Posture p;
    p.root = Vector3(4, 1, -2);
    for (int j = 0; j < kJointCount && k > 0; ++j) {
      const float angles[3][3] = {{17.0f * j, 90.0f, -11.0f * j},
                                  {-30.0f + 7 * j, 45.0f - 5 * j, 3.0f * j},
                                  {170.0f, -89.9f, 179.0f - j}};
      p.rotation[j].SetEuler(angles[k - 1][0], angles[k - 1][1], angles[k - 1][2]);
    }
    ExpectMarkersOfSkeleton(direct, p, MarkerSet(p));
    s.SetPosture(p);
    for (int j = 1; j < kJointCount; ++j) {
      EXPECT_NEAR(Distance(Joint(s, j), Joint(s, kParent[j])), s.bones[j].length, 1e-4f) << j;
    }
  }
}

TEST(SkeletonRealDataTest, CrlfReadsLikeLf) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir work;
  std::string lf = ReadFile(testing_support::MocapDir() + "/crlf-originals/12.asf");
  ASSERT_NE(lf.find("\r\n"), std::string::npos);
  WriteFile("crlf.asf", lf);
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  WriteFile("lf.asf", lf);
  Skeleton a("crlf.asf", 0.06f);
  Skeleton b("lf.asf", 0.06f);
  EXPECT_EQ(a.totalDof, 62);
  EXPECT_EQ(CheckTree(a), kJointCount);
  ExpectSameSkeleton(a, b);
}

}  // namespace
