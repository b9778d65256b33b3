// The ASF reader and forward kinematics, on a hand-made body whose joint
// positions are worked out by hand, and what the reader keeps and reports of
// bad files (the fuzz target keeps every file safe to pose).
#include "motion/skeleton.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/motion/tiny_motion.h"

namespace {

using namespace motion_test;
using testing_support::TinyBone;

// A hand-made body whose joint positions are worked out by hand below:
// world rest direction, file length and axis angles of the bones of the legs,
// the spine, the neck and the left shoulder; the others are
// testing_support::TiltedBone's. Its degrees of freedom are those of
// kTinyDof.
TinyBone HandBone(int i) {
  static const std::map<int, TinyBone> kHand = {
      {1, {{1, 0, 0}, 1, {0, 0, 0}}},       {2, {{0, 0, 1}, 2, {0, 0, 90}}},     {3, {{0, 0, 1}, 3, {0, 0, 0}}},
      {4, {{0, -1, 0}, 1, {-90, 0, 20}}},   {6, {{-1, 0, 0}, 1, {0, 0, 0}}},     {7, {{0, -1, 0}, 4, {0, 0, -20}}},
      {8, {{0, -1, 0}, 4, {0, 0, -20}}},    {11, {{0, 1, 0}, 2, {0, 0, 0}}},     {12, {{0, 1, 0}, 2, {0, 0, 0}}},
      {13, {{0, 1, 0}, 2, {10, 20, 30}}},   {14, {{0, 1, 0}, 1, {0, 0, 0}}},     {15, {{0, 1, 0}, 1, {0, 0, 0}}},
      {16, {{0, 1, 0}, 1, {0, 0, 0}}},      {17, {{1, 0, 0}, 2, {0, 0, -20}}},   {18, {{1, 0, 0}, 3, {0, 0, -90}}}};
  const auto it = kHand.find(i);
  return it != kHand.end() ? it->second : testing_support::TiltedBone(i);
}
const std::string kHandAsf = testing_support::TinySkeletonAsf(HandBone);

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

class SkeletonTest : public TinyMotionTest {};

TEST_F(SkeletonTest, HandMadeBodyAtRestAndPosedByHand) {
  const auto s = Load(kHandAsf);
  EXPECT_TRUE(s->loaded && s->totalDof == 62 && TreeSize(s->root) == kJointCount);
  // At rest every joint lies at the sum of the world rest vectors along its
  // path (the fixed tree), whatever the bones' axis frames.
  const int parent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,  0,  11, 12, 13, 14,
                                   15, 13, 17, 18, 19, 20, 21, 20, 13, 24, 25, 26, 27, 28, 27};
  for (int j = 0; j < kJointCount; ++j) {
    Vector3 rest;
    for (int k = j; k > 0; k = parent[k]) {
      const TinyBone b = HandBone(k);
      rest += (b.length * 0.5f) * Vector3(b.direction[0], b.direction[1], b.direction[2]);
    }
    EXPECT_LT(Distance(Joint(*s, j), rest), 1e-4f) << BoneNameTable[j];
  }
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
  const std::pair<int, Vector3> expected[] = {{0, {10, 20, 30}},    {1, {10, 20.5f, 30}}, {2, {10, 21.5f, 30}},
                                              {3, {10, 23, 30}},    {4, {10.5f, 23, 30}}, {17, {6, 20, 30}},
                                              {18, {4.5f, 20, 30}}, {8, {14, 19.5f, 30}}, {16, {5.5f, 20, 30}}};
  for (const auto& [joint, at] : expected) EXPECT_LT(Distance(Joint(*s, joint), at), 1e-4f) << BoneNameTable[joint];
}

TEST_F(SkeletonTest, JointPositionsInTheBodyFrameAndBlends) {
  // Joint positions are bit for bit what a skeleton of the same file gives
  // joint by joint in the body frame, wherever the root stands and faces;
  // the posture is left as it was.
  WriteFile("MartialArts.asf", kHandAsf);
  ForgetDefaultSkeletons();
  Skeleton direct("MartialArts.asf", 0.06f);
  Posture p;
  for (int j = 1; j < kJointCount; ++j) p.rotation[j].SetEuler(9.0f * j, 20.0f - 3 * j, -4.0f * j);
  direct.SetPosture(p);
  p.root = Vector3(-9, 0, 1);
  p.rotation[0].SetEuler(12, -30, 100);
  const Posture before = p;
  const MarkerSet markers(p);
  EXPECT_TRUE(SamePosture(p, before));
  for (int j = 0; j < kJointCount; ++j) {
    const Vector3 v = Joint(direct, j);
    EXPECT_EQ(Bytes(&v, sizeof v), Bytes(&markers.positions[j], sizeof v)) << j;
  }
  // Blends: the root along the line, the joints by slerp.
  Posture a;
  Posture b;
  b.root = Vector3(2, -4, 8);
  b.rotation[5].SetEuler(90, 0, 0);
  BlendPostures(0.25f, a, b, &a);  // the output may be an input
  EXPECT_LT(Distance(a.root, Vector3(0.5f, -1, 2)), 1e-6f);
  EXPECT_NEAR(a.rotation[5].x, 0.1950903f, 1e-6f);  // 22.5 degrees about x
}

TEST_F(SkeletonTest, BadFilesAreReported) {
  const struct {
    std::string text;
    const char* logged;
    int treeSize;
  } cases[] = {
      // The unfinished block 3 is dropped, blocks 1 and 2 are kept.
      {kHandAsf.substr(0, kHandAsf.find("  end", kHandAsf.find("name ltibia"))),
       "ReadASF: test.asf line 27: the file ends inside bone block 3 of 30", 1},
      {kHandAsf.substr(0, kHandAsf.find(":hierarchy")), "the file ends before \":hierarchy\"", 1},
      {kHandAsf.substr(0, kHandAsf.find("    lhipjoint lfemur")), "the file ends before the hierarchy's \"end\"", 4},
      {Hand("length 3\n", "length inf\n"), "\"length\" without a number", kJointCount},
      // An unknown parent (lfoot and ltoes stay out of the tree) or child
      // (lfemur's leg stays out).
      {Hand("    ltibia lfoot", "    ltibia_x lfoot"), "parent bone \"ltibia_x\" is not in the tree", kJointCount - 2},
      {Hand("lhipjoint lfemur", "lhipjoint lfemur2"), "unknown bone \"lfemur2\" in the hierarchy", kJointCount - 4},
      // A bone already in the tree is refused: named twice, the root as a
      // child, an ancestor (a cycle).
      {Hand("    lfoot ltoes\n", "    lfoot ltoes lfemur root\n    ltoes lhipjoint\n    root lhipjoint\n"),
       "bone root is already in the tree", kJointCount},
      {Hand("lfoot ltoes", "lfoot ltoes lhipjoint"), "bone lhipjoint is already in the tree; not attached again",
       kJointCount},
  };
  std::vector<std::unique_ptr<Skeleton>> s;
  for (const auto& c : cases) {
    LogLines().clear();
    s.push_back(Load(c.text));
    EXPECT_EQ(CountLogged(c.logged, true), 1) << c.logged;
    EXPECT_EQ(TreeSize(s.back()->root), c.treeSize) << c.logged;
  }
  EXPECT_EQ(s[0]->totalDof, 6 + 3);
  EXPECT_EQ(s[0]->bones[3].length + s[0]->bones[3].dofCount, 0.0f);
  EXPECT_FALSE(s[2]->loaded);  // nothing is cached with such a skeleton
  EXPECT_FALSE(s.back()->AddChild(4, &s.back()->bones[1]));  // lhipjoint under lfoot
  EXPECT_EQ(TreeSize(s.back()->root), kJointCount);
}

}  // namespace
