// The ASF reader and forward kinematics, on a hand-made body whose joint
// positions are worked out by hand, and what the reader keeps and reports of
// bad files (the fuzz target keeps every file safe to pose).
#include "motion/skeleton.h"

#include <gtest/gtest.h>

#include "tests/motion/tiny_motion.h"

namespace {

using namespace motion_test;
using testing_support::TinyBone;

// A hand-made body, bone i in BoneNameTable's slot i: world rest direction,
// file length, axis angles; its degrees of freedom are those of kTinyDof.
// clang-format off
const TinyBone kHand[kJointCount] = {
    {{0, 0, 0}, 0, {0, 0, 0}},          {{1, 0, 0}, 1, {0, 0, 0}},
    {{0, 0, 1}, 2, {0, 0, 90}},         {{0, 0, 1}, 3, {0, 0, 0}},
    {{0, -1, 0}, 1, {-90, 0, 20}},      {{0, 0, 1}, 0.5f, {-90, 0, 20}},
    {{-1, 0, 0}, 1, {0, 0, 0}},         {{0, -1, 0}, 4, {0, 0, -20}},
    {{0, -1, 0}, 4, {0, 0, -20}},       {{0, 0, 1}, 1, {30, -20, 10}},
    {{0, 0, 1}, 0.5f, {30, -20, 10}},   {{0, 1, 0}, 2, {0, 0, 0}},
    {{0, 1, 0}, 2, {0, 0, 0}},          {{0, 1, 0}, 2, {10, 20, 30}},
    {{0, 1, 0}, 1, {0, 0, 0}},          {{0, 1, 0}, 1, {0, 0, 0}},
    {{0, 1, 0}, 1, {0, 0, 0}},          {{1, 0, 0}, 2, {0, 0, -20}},
    {{1, 0, 0}, 3, {0, 0, -90}},        {{1, 0, 0}, 2, {0, 0, -90}},
    {{1, 0, 0}, 0.5f, {0, 45, -90}},    {{1, 0, 0}, 0.5f, {0, 0, -90}},
    {{1, 0, 0}, 0.25f, {0, 0, -90}},    {{0.6f, 0, 0.8f}, 0.5f, {-45, 0, -90}},
    {{-1, 0, 0}, 2, {0, 0, 20}},        {{-1, 0, 0}, 3, {0, 0, 90}},
    {{-1, 0, 0}, 2, {0, 0, 90}},        {{-1, 0, 0}, 0.5f, {0, -45, 90}},
    {{-1, 0, 0}, 0.5f, {0, 0, 90}},     {{-1, 0, 0}, 0.25f, {0, 0, 90}},
    {{-0.6f, 0, 0.8f}, 0.5f, {-45, 0, 90}}};
// clang-format on
const std::string kHandAsf = testing_support::TinySkeletonAsf([](int i) { return kHand[i]; });

// The hand-made text with the first `from` replaced by `to`.
std::string Hand(const std::string& from, const std::string& to) {
  std::string text = kHandAsf;
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A skeleton read from ASF text at scale 0.5.
std::unique_ptr<Skeleton> Load(const std::string& text) {
  WriteFile("test.asf", text);
  return std::make_unique<Skeleton>("test.asf", 0.5f);
}

Vector3 Joint(const Skeleton& s, int j) {
  Vector3 v;
  s.GetJointPosition(j, &v);
  return v;
}

// Bones met walking the tree, stopping past 64 (a cycle).
int TreeSize(const Bone* b, int seen = 0) {
  if (b == nullptr || seen > 64) return seen;
  return TreeSize(b->nextSibling, TreeSize(b->firstChild, seen + 1));
}

// The degrees of freedom and the joint positions (as bytes) in a pose that
// turns every joint about every axis.
std::string Shape(Skeleton& s) {
  Posture p;
  for (int j = 1; j < kJointCount; ++j) p.rotation[j].SetEuler(9.0f * j, 20.0f - 3 * j, -4.0f * j);
  s.SetPosture(p);
  std::string shape = std::to_string(s.totalDof);
  for (int j = 0; j < kJointCount; ++j) {
    const Vector3 v = Joint(s, j);
    shape += Bytes(&v, sizeof v);
  }
  return shape;
}

class SkeletonTest : public TinyMotionTest {};

TEST_F(SkeletonTest, HandMadeFileLoadsAsWritten) {
  const auto s = Load(kHandAsf);
  EXPECT_TRUE(s->loaded);
  EXPECT_EQ(s->totalDof, 62);
  EXPECT_EQ(TreeSize(s->root), kJointCount);
  // At rest every joint lies at the sum of the world rest vectors along its
  // path (the fixed tree), whatever the bones' axis frames.
  const int parent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,  0,  11, 12, 13, 14,
                                   15, 13, 17, 18, 19, 20, 21, 20, 13, 24, 25, 26, 27, 28, 27};
  s->rootPosition = Vector3(1, 2, 3);
  for (int j = 0; j < kJointCount; ++j) {
    Vector3 e(1, 2, 3);
    for (int k = j; k > 0; k = parent[k]) e += (kHand[k].length * 0.5f) * Vector3(kHand[k].direction[0], kHand[k].direction[1], kHand[k].direction[2]);
    EXPECT_LT(Distance(Joint(*s, j), e), 1e-4f) << BoneNameTable[j];
  }
  // A joint in no chain has an empty one.
  int chain[kMaxChainLength];
  int length = -1;
  for (int bad : {31, -1, kKinematicChainEnd}) {
    Skeleton::FindChainToBone(bad, chain, &length);
    EXPECT_EQ(length, 0) << bad;
  }
}

TEST_F(SkeletonTest, HandMadePoseByHand) {
  const auto s = Load(kHandAsf);
  Posture p;
  p.root = Vector3(10, 20, 30);
  p.rotation[0].SetEuler(0, 0, 90);    // body turned about z: (x, y, z) -> (-y, x, z)
  p.rotation[2].SetEuler(90, 0, 0);    // lfemur about its x, which is world y (axis z 90)
  p.rotation[17].SetEuler(0, 0, 90);   // lclavicle about its z, world z (axis z -20)
  p.rotation[1].SetEuler(30, 40, 50);  // lhipjoint has no degree of freedom
  s->SetPosture(p);
  // Body frame: hip (0.5, 0, 0); the thigh (0, 0, 1) and shin (0, 0, 1.5)
  // turn to +x: knee (1.5, 0, 0), ankle (3, 0, 0), the foot's (0, -0.5, 0)
  // stays: (3, -0.5, 0). Spine up to (0, 3, 0); the clavicle (1, 0, 0) turns
  // to (0, 1, 0), the upper arm (1.5, 0, 0) with it: (0, 4, 0), (0, 5.5, 0).
  // The right leg keeps its rest shape: hip (-0.5, 0, 0), then 2 and 2 down.
  // Then the body turn and the root position.
  const struct {
    int joint;
    Vector3 at;
  } expected[] = {{0, {10, 20, 30}},    {1, {10, 20.5f, 30}}, {2, {10, 21.5f, 30}},
                  {3, {10, 23, 30}},    {4, {10.5f, 23, 30}}, {17, {6, 20, 30}},
                  {18, {4.5f, 20, 30}}, {8, {14, 19.5f, 30}}, {16, {5.5f, 20, 30}}};
  for (const auto& e : expected) EXPECT_LT(Distance(Joint(*s, e.joint), e.at), 1e-4f) << BoneNameTable[e.joint];
  // ltibia turns about x only: the other angles keep what they held.
  s->bones[3].ry = 7.0f;
  p.rotation[3].SetEuler(30, 40, 50);
  s->SetPosture(p);
  EXPECT_EQ(s->bones[3].ry, 7.0f);
  s->ResetPosture();  // the rest pose at the origin
  EXPECT_LT(Distance(Joint(*s, 3), Vector3(0.5f, 0, 2.5f)), 1e-4f);
}

TEST_F(SkeletonTest, JointPositionsInTheBodyFrameAndBlends) {
  // Root section, units and axis order words have no effect.
  std::string other = Hand("length 0.45", "length 2.54");
  other.replace(other.find(":bonedata"), 9, ":root\n   axis ZYX\n   position 5 6 7\n   orientation 10 20 30\n:bonedata");
  other.replace(other.find("axis 30 -20 10 XYZ"), 18, "axis 30 -20 10 ZYX");
  other.replace(other.find("axis 0 0 -20 XYZ"), 16, "axis 0 0 -20");
  EXPECT_EQ(Shape(*Load(other)), Shape(*Load(kHandAsf)));
  // Joint positions are bit for bit what a skeleton of the same file gives
  // joint by joint in the body frame, wherever the root stands and faces;
  // the posture is left as it was.
  WriteFile("MartialArts.asf", kHandAsf);
  ForgetDefaultSkeletons();
  Skeleton direct("MartialArts.asf", 0.06f);
  const std::string shape = Shape(direct);
  Posture p;
  for (int j = 1; j < kJointCount; ++j) p.rotation[j].SetEuler(9.0f * j, 20.0f - 3 * j, -4.0f * j);
  p.root = Vector3(-9, 0, 1);
  p.rotation[0].SetEuler(12, -30, 100);
  const Posture before = p;
  EXPECT_EQ(shape.substr(2), Bytes(MarkerSet(p).positions, 372));
  EXPECT_TRUE(SamePosture(p, before));
  // Blends: the root along the line, the joints by slerp.
  Posture a;
  Posture b;
  b.root = Vector3(2, -4, 8);
  b.rotation[5].SetEuler(90, 0, 0);
  BlendPostures(0.5f, a, b, &a);  // the output may be an input
  EXPECT_LT(Distance(a.root, Vector3(1, -2, 4)), 1e-6f);
  EXPECT_NEAR(a.rotation[5].x, 0.3826834f, 1e-6f);  // 45 degrees about x
}

TEST_F(SkeletonTest, BadFilesAreReported) {
  // A missing file leaves the root alone with 30 empty bones, with one line
  // however many skeletons read it; every joint position is the origin.
  LogLines().clear();
  Skeleton missing("no such file.asf", 0.06f);
  Skeleton again("no such file.asf", 0.06f);
  EXPECT_EQ(missing.totalDof + TreeSize(missing.root), 6 + 1);
  EXPECT_FALSE(missing.loaded);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"ReadASF: cannot open no such file.asf; the skeleton has no bones"});
  fs::remove("MartialArts.asf");
  ForgetDefaultSkeletons();
  for (const Vector3& v : MarkerSet(TinyPosture(1)).positions) EXPECT_EQ(Length(v), 0.0f);
  const std::unique_ptr<Skeleton> sound = Load(kHandAsf);
  const struct {
    std::string text;
    const char* logged;
    int treeSize;
  } cases[] = {
      {kHandAsf.substr(0, kHandAsf.find(":bonedata")), "ReadASF: test.asf line 4: the file ends before \":bonedata\"", 1},
      // The unfinished block 3 is dropped, blocks 1 and 2 are kept.
      {kHandAsf.substr(0, kHandAsf.find("    dof", kHandAsf.find("name ltibia"))),
       "line 26: the file ends inside bone block 3 of 30", 1},
      {kHandAsf.substr(0, kHandAsf.find(":hierarchy")), "the file ends before \":hierarchy\"", 1},
      {kHandAsf.substr(0, kHandAsf.find("    lhipjoint lfemur")), "the file ends before the hierarchy's \"end\"", 4},
      // The slot keeps the block with its own id.
      {Hand("name lfemur", "name LFemur"), "bone block 2 has the unknown name \"LFemur\"", kJointCount},
      {Hand("     length 4\n", ""), "bone block 7 (rfemur) has no \"length\"; length 0", kJointCount},
      {Hand("length 3\n", "length inf\n"), "\"length\" without a number", kJointCount},
      {Hand("direction 0 0 1", "direction 0 nan 1"), "\"direction\" without three numbers", kJointCount},
      // An unknown parent: lfemur's leg stays out of the tree.
      {Hand("    ltibia lfoot", "    ltibia_x lfoot"), "parent bone \"ltibia_x\" is not in the tree", kJointCount - 2},
      {Hand("lhipjoint lfemur", "lhipjoint lfemur2"), "unknown bone \"lfemur2\" in the hierarchy", kJointCount - 4},
      // A bone named twice, the root as a child, a loop back up the leg.
      {Hand("    lfoot ltoes\n", "    lfoot ltoes lfemur root\n    ltoes lhipjoint\n    root lhipjoint\n"),
       "bone root is already in the tree", kJointCount},
  };
  std::vector<std::unique_ptr<Skeleton>> s;
  for (const auto& c : cases) {
    s.push_back(Load(c.text));
    EXPECT_EQ(CountLogged(c.logged, true), 1) << c.logged;
    EXPECT_EQ(TreeSize(s.back()->root), c.treeSize) << c.logged;
  }
  EXPECT_EQ(s[1]->totalDof, 6 + 3);
  EXPECT_EQ(s[1]->bones[2].length, sound->bones[2].length);
  EXPECT_EQ(s[1]->bones[3].length + s[1]->bones[3].dofCount, 0.0f);
  EXPECT_EQ(s[2]->totalDof, 62);
  EXPECT_FALSE(s[3]->loaded);  // nothing is cached with such a skeleton
  EXPECT_EQ(s[4]->bones[2].id, 2);
  EXPECT_EQ(s[5]->bones[7].length, 0.0f);
  EXPECT_EQ(s[5]->bones[8].length, sound->bones[8].length);
  EXPECT_FALSE(s[10]->AddChild(5, s[10]->root));
  // Empty lines, a line of blanks, an over-long line read whole; numbers in
  // exponent form or with a plus sign.
  std::string text = Hand("name ltibia\n", "name ltibia\n\n   \n");
  text.replace(text.find("  begin\n    root"), 16, "  begin\n\n    root");
  text.replace(text.find("dof rx ry rz\n"), 13, "dof rx ry rz" + std::string(3000, ' ') + "\n");
  text.replace(text.find("length 3\n"), 9, "length +3e0\n");
  EXPECT_EQ(Shape(*Load(text)), Shape(*sound));
  for (const char* logged : {"empty line in bone block 3 ignored", "empty line in the hierarchy ignored",
                             "line of 3016 characters, longer than 2047"}) {
    EXPECT_NE(CountLogged(logged, true), 0) << logged;
  }
  // A dof word with a tab is one word: "rx\try", and rz.
  const Bone& lfemur = Load(Hand("dof rx ry rz", "dof rx\try rz"))->bones[2];
  EXPECT_EQ(lfemur.dofCount * 8 + lfemur.dofRx * 4 + lfemur.dofRy * 2 + lfemur.dofRz, 17);
}

}  // namespace
