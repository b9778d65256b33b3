#include "motion/skeleton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

// A hand-made body: world rest direction, file length, axis angles, "dof" words.
struct HandBone {
  const char* name;
  float direction[3];
  float length;
  float axis[3];
  const char* dof;  // empty: no "dof" line
};

// clang-format off
const HandBone kHand[kJointCount] = {
    {"root", {0, 0, 0}, 0, {0, 0, 0}, ""},
    {"lhipjoint", {1, 0, 0}, 1, {0, 0, 0}, ""},
    {"lfemur", {0, 0, 1}, 2, {0, 0, 90}, "rx ry rz"},
    {"ltibia", {0, 0, 1}, 3, {0, 0, 0}, "rx"},
    {"lfoot", {0, -1, 0}, 1, {-90, 0, 20}, "rx rz"},
    {"ltoes", {0, 0, 1}, 0.5f, {-90, 0, 20}, "rx"},
    {"rhipjoint", {-1, 0, 0}, 1, {0, 0, 0}, ""},
    {"rfemur", {0, -1, 0}, 4, {0, 0, -20}, "rx ry rz"},
    {"rtibia", {0, -1, 0}, 4, {0, 0, -20}, "rx"},
    {"rfoot", {0, 0, 1}, 1, {30, -20, 10}, "rx rz"},
    {"rtoes", {0, 0, 1}, 0.5f, {30, -20, 10}, "rx"},
    {"lowerback", {0, 1, 0}, 2, {0, 0, 0}, "rx ry rz"},
    {"upperback", {0, 1, 0}, 2, {0, 0, 0}, "rx ry rz"},
    {"thorax", {0, 1, 0}, 2, {10, 20, 30}, "rx ry rz"},
    {"lowerneck", {0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},
    {"upperneck", {0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},
    {"head", {0, 1, 0}, 1, {0, 0, 0}, "rx ry rz"},
    {"lclavicle", {1, 0, 0}, 2, {0, 0, -20}, "ry rz"},
    {"lhumerus", {1, 0, 0}, 3, {0, 0, -90}, "rx ry rz"},
    {"lradius", {1, 0, 0}, 2, {0, 0, -90}, "rx"},
    {"lwrist", {1, 0, 0}, 0.5f, {0, 45, -90}, "ry"},
    {"lhand", {1, 0, 0}, 0.5f, {0, 0, -90}, "rx rz"},
    {"lfingers", {1, 0, 0}, 0.25f, {0, 0, -90}, "rx"},
    {"lthumb", {0.6f, 0, 0.8f}, 0.5f, {-45, 0, -90}, "rx rz"},
    {"rclavicle", {-1, 0, 0}, 2, {0, 0, 20}, "ry rz"},
    {"rhumerus", {-1, 0, 0}, 3, {0, 0, 90}, "rx ry rz"},
    {"rradius", {-1, 0, 0}, 2, {0, 0, 90}, "rx"},
    {"rwrist", {-1, 0, 0}, 0.5f, {0, -45, 90}, "ry"},
    {"rhand", {-1, 0, 0}, 0.5f, {0, 0, 90}, "rx rz"},
    {"rfingers", {-1, 0, 0}, 0.25f, {0, 0, 90}, "rx"},
    {"rthumb", {-0.6f, 0, 0.8f}, 0.5f, {-45, 0, 90}, "rx rz"}};
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
                  i, b.name, b.direction[0], b.direction[1], b.direction[2], b.length, b.axis[0],
                  b.axis[1], b.axis[2]);
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
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

int Slot(const Skeleton& s, const Bone* b) { return b == nullptr ? -1 : int(b - s.bones); }

bool SameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// Every field of every bone, bit for bit; links as slot numbers.
void ExpectSameSkeleton(const Skeleton& a, const Skeleton& b) {
  EXPECT_EQ(a.totalDof, b.totalDof);
  EXPECT_TRUE(SameBits(&a.rootPosition, &b.rootPosition, sizeof(Vector3)));
  for (int i = 0; i < kJointCount; ++i) {
    SCOPED_TRACE(i);
    const Bone& x = a.bones[i];
    const Bone& y = b.bones[i];
    EXPECT_EQ(Slot(a, x.nextSibling), Slot(b, y.nextSibling));
    EXPECT_EQ(Slot(a, x.firstChild), Slot(b, y.firstChild));
    EXPECT_EQ(x.id, y.id);
    EXPECT_TRUE(SameBits(&x.direction, &y.direction, sizeof(Vector3)));
    EXPECT_TRUE(SameBits(&x.length, &y.length, sizeof(float)));
    EXPECT_TRUE(SameBits(x.axis, y.axis, sizeof x.axis));
    EXPECT_TRUE(SameBits(x.drawSize, y.drawSize, sizeof x.drawSize));
    EXPECT_EQ(x.dofCount, y.dofCount);
    EXPECT_EQ(x.dofRx, y.dofRx);
    EXPECT_EQ(x.dofRy, y.dofRy);
    EXPECT_EQ(x.dofRz, y.dofRz);
    EXPECT_TRUE(SameBits(x.axisMatrix, y.axisMatrix, sizeof(Matrix4d)));
    EXPECT_TRUE(SameBits(&x.rx, &y.rx, sizeof(float)));
    EXPECT_TRUE(SameBits(&x.ry, &y.ry, sizeof(float)));
    EXPECT_TRUE(SameBits(&x.rz, &y.rz, sizeof(float)));
  }
}

// Walks the tree with a step bound; each bone must appear once, ids 0..30,
// and each bone's children must be, in order, the fixed tree's children of
// it that the tree holds. Returns the number of bones in the tree.
int CheckTree(Skeleton& s) {
  std::vector<const Bone*> seen;
  std::vector<const Bone*> stack = {s.GetRoot()};
  while (!stack.empty() && seen.size() <= 64) {
    const Bone* b = stack.back();
    stack.pop_back();
    for (const Bone* other : seen) EXPECT_NE(other, b) << "bone twice in the tree";
    seen.push_back(b);
    EXPECT_GE(b->id, 0);
    EXPECT_LT(b->id, kJointCount);
    int previous = -1;
    for (const Bone* c = b->firstChild; c != nullptr && seen.size() <= 64; c = c->nextSibling) {
      const int slot = Slot(s, c);
      EXPECT_EQ(kParent[slot], Slot(s, b)) << "child " << slot;
      EXPECT_GT(slot, previous) << "sibling order";
      previous = slot;
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
    Vector3 v;
    s.GetJointPosition(j, &v);
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << j;
  }
  CheckTree(s);
}

void ExpectNear(const Vector3& v, float x, float y, float z, const char* what) {
  EXPECT_NEAR(v.x, x, 1e-4f) << what;
  EXPECT_NEAR(v.y, y, 1e-4f) << what;
  EXPECT_NEAR(v.z, z, 1e-4f) << what;
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
    Vector3 v;
    direct.GetJointPosition(j, &v);
    EXPECT_TRUE(SameBits(&v, &markers.positions[j], sizeof v)) << j;
  }
}

// Joint j of the skeleton's current pose lies at (x, y, z).
void ExpectJointNear(Skeleton& s, int j, float x, float y, float z, const char* what) {
  Vector3 v;
  s.GetJointPosition(j, &v);
  ExpectNear(v, x, y, z, what);
}

TEST(SkeletonTest, HandMadeFileLoadsAsWritten) {
  ScopedWorkDir work;
  WriteFile("hand.asf", HandAsf());
  Skeleton s("hand.asf", kHandScale);

  EXPECT_EQ(s.totalDof, kHandTotalDof);
  EXPECT_EQ(CheckTree(s), kJointCount);
  EXPECT_EQ(s.root, &s.bones[0]);
  EXPECT_EQ(s.bones[0].length, 0.05f);
  EXPECT_EQ(s.bones[0].dofCount, 3);
  for (int i = 1; i < kJointCount; ++i) {
    SCOPED_TRACE(kHand[i].name);
    EXPECT_EQ(s.bones[i].id, i);
    EXPECT_EQ(s.bones[i].length, kHand[i].length * kHandScale);
    const std::string dof = kHand[i].dof;
    EXPECT_EQ(s.bones[i].dofRx, dof.find("rx") != std::string::npos ? 1 : 0);
    EXPECT_EQ(s.bones[i].dofRy, dof.find("ry") != std::string::npos ? 1 : 0);
    EXPECT_EQ(s.bones[i].dofRz, dof.find("rz") != std::string::npos ? 1 : 0);
    EXPECT_EQ(s.bones[i].dofCount, dof.empty() ? 0 : int(dof.size() + 1) / 3);
    // Directions stay unit length in the bone's frame.
    EXPECT_NEAR(Length(s.bones[i].direction), 1.0f, 1e-6f);
  }
  // lfoot's "dof rx rz": two, without ry.
  EXPECT_EQ(s.bones[4].dofCount, 2);
  EXPECT_EQ(s.bones[4].dofRy, 0);
  EXPECT_EQ(s.bones[21].drawSize[0], 0.2f);
  EXPECT_EQ(s.bones[21].drawSize[1], 0.2f);
  EXPECT_EQ(s.bones[28].drawSize[1], 0.8f);
  EXPECT_EQ(s.bones[11].drawSize[0], 2.0f);

  // At rest every joint lies at the sum of the world rest vectors along its
  // path, whatever the bones' axis frames.
  s.rootPosition = Vector3(1, 2, 3);
  for (int j = 0; j < kJointCount; ++j) {
    float e[3] = {1, 2, 3};
    for (int k = j; k > 0; k = kParent[k]) {
      for (int c = 0; c < 3; ++c) e[c] += kHand[k].direction[c] * kHand[k].length * kHandScale;
    }
    ExpectJointNear(s, j, e[0], e[1], e[2], kHand[j].name);
  }
}

TEST(SkeletonTest, HandMadePoseByHand) {
  ScopedWorkDir work;
  WriteFile("hand.asf", HandAsf());
  Skeleton s("hand.asf", kHandScale);
  Posture p;
  p.root = Vector3(10, 20, 30);
  p.rotation[0].SetEuler(0, 0, 90);   // body turned about z: (x, y, z) -> (-y, x, z)
  p.rotation[2].SetEuler(90, 0, 0);   // lfemur about its x, which is world y (axis z 90)
  p.rotation[17].SetEuler(0, 0, 90);  // lclavicle about its z, world z (axis z -20)
  s.SetPosture(p);

  ExpectJointNear(s, 0, 10, 20, 30, "root");
  // Body frame: hip (0.5, 0, 0); the thigh (0, 0, 1) and shin (0, 0, 1.5)
  // turn to +x: knee (1.5, 0, 0), ankle (3, 0, 0), the foot's (0, -0.5, 0)
  // stays: (3, -0.5, 0). Then the body turn and the root position.
  ExpectJointNear(s, 1, 10, 20.5f, 30, "lhipjoint");
  ExpectJointNear(s, 2, 10, 21.5f, 30, "lfemur");
  ExpectJointNear(s, 3, 10, 23, 30, "ltibia");
  ExpectJointNear(s, 4, 10.5f, 23, 30, "lfoot");
  // Spine up to (0, 3, 0); the clavicle (1, 0, 0) turns to (0, 1, 0), the
  // upper arm (1.5, 0, 0) with it: (0, 4, 0), (0, 5.5, 0).
  ExpectJointNear(s, 17, 6, 20, 30, "lclavicle");
  ExpectJointNear(s, 18, 4.5f, 20, 30, "lhumerus");
  // The right leg keeps its rest shape: hip (-0.5, 0, 0), then 2 and 2 down.
  ExpectJointNear(s, 8, 14, 19.5f, 30, "rtibia");
  ExpectJointNear(s, 16, 5.5f, 20, 30, "head");

  // ResetPosture brings the rest pose back at the origin.
  s.ResetPosture();
  ExpectJointNear(s, 3, 0.5f, 0, 2.5f, "ltibia at rest");
}

TEST(SkeletonTest, AnglesAndChains) {
  ScopedWorkDir work;
  WriteFile("hand.asf", HandAsf());
  Skeleton s("hand.asf", kHandScale);

  // ltibia rotates about x only: y and z keep what they held.
  s.bones[3].ry = 7.0f;
  s.bones[3].rz = -8.0f;
  Posture p;
  p.rotation[3].SetEuler(30, 40, 50);
  p.rotation[1].SetEuler(30, 40, 50);  // lhipjoint has no degree of freedom
  s.SetPosture(p);
  EXPECT_NE(s.bones[3].rx, 0.0f);
  EXPECT_EQ(s.bones[3].ry, 7.0f);
  EXPECT_EQ(s.bones[3].rz, -8.0f);
  EXPECT_EQ(s.bones[1].rx, 0.0f);

  // Y at +-90 (the Euler conversion's singular case) gives finite angles.
  for (float y : {90.0f, -90.0f, 89.99f}) {
    p.rotation[2].SetEuler(25, y, -60);
    s.SetPosture(p);
    EXPECT_TRUE(std::isfinite(s.bones[2].rx) && std::isfinite(s.bones[2].ry) &&
                std::isfinite(s.bones[2].rz));
  }

  int chain[kMaxChainLength];
  int length = -1;
  Skeleton::FindChainToBone(22, chain, &length);
  EXPECT_EQ(std::vector<int>(chain, chain + length),
            (std::vector<int>{0, 11, 12, 13, 17, 18, 19, 20, 21, 22}));
  Skeleton::FindChainToBone(23, chain, &length);
  EXPECT_EQ(std::vector<int>(chain, chain + length),
            (std::vector<int>{0, 11, 12, 13, 17, 18, 19, 20, 23}));
  Skeleton::FindChainToBone(0, chain, &length);
  EXPECT_EQ(std::vector<int>(chain, chain + length), std::vector<int>{0});
  // Every chain follows the fixed tree upwards from the joint.
  for (int j = 0; j < kJointCount; ++j) {
    Skeleton::FindChainToBone(j, chain, &length);
    ASSERT_GT(length, 0);
    EXPECT_EQ(chain[length - 1], j);
    for (int k = length - 1; k > 0; --k) EXPECT_EQ(chain[k - 1], kParent[chain[k]]);
  }
  for (int bad : {31, -1, kKinematicChainEnd, 1 << 30}) {
    Skeleton::FindChainToBone(bad, chain, &length);
    EXPECT_EQ(length, 0) << bad;
  }

  EXPECT_EQ(Skeleton::FindBoneIndex("root"), 0);
  EXPECT_EQ(Skeleton::FindBoneIndex("rthumb"), 30);
  EXPECT_EQ(Skeleton::FindBoneIndex("Root"), 31);
  EXPECT_EQ(Skeleton::FindBoneIndex("lfemur "), 31);
  EXPECT_EQ(Skeleton::FindBoneIndex(""), 31);

  // The root's children in hierarchy order, found by id through the tree.
  EXPECT_EQ(s.root->firstChild, &s.bones[1]);
  EXPECT_EQ(s.bones[1].nextSibling, &s.bones[6]);
  EXPECT_EQ(s.bones[6].nextSibling, &s.bones[11]);
  EXPECT_EQ(s.bones[11].nextSibling, nullptr);
  EXPECT_EQ(Skeleton::FindBone(s.root, 23), &s.bones[23]);
  EXPECT_EQ(Skeleton::FindBone(s.root, 31), nullptr);
}

TEST(SkeletonTest, RootSectionUnitsAndAxisOrderHaveNoEffect) {
  ScopedWorkDir work;
  WriteFile("a.asf", HandAsf());
  std::string other = Replace(HandAsf(), "length 0.45", "length 2.54");
  other = Replace(other, "position 0 0 0", "position 5 6 7");
  other = Replace(other, "orientation 0 0 0", "orientation 10 20 30");
  other = Replace(other, "   axis XYZ", "   axis ZYX");
  other = Replace(other, "axis 30 -20 10  XYZ", "axis 30 -20 10  ZYX");
  other = Replace(other, "axis 0 0 -20  XYZ", "axis 0 0 -20");
  WriteFile("b.asf", other);
  Skeleton a("a.asf", kHandScale);
  Skeleton b("b.asf", kHandScale);
  ExpectSameSkeleton(a, b);
  EXPECT_EQ(a.bones[0].direction.x, 0.0f);
  EXPECT_EQ(a.bones[0].axis[2], 0.0f);
}

TEST(SkeletonTest, MarkerSetAndBlend) {
  ScopedWorkDir work;
  WriteFile("MartialArts.asf", HandAsf());
  Posture p;
  p.root = Vector3(3, 4, 5);
  p.rotation[0].SetEuler(0, 70, 0);
  p.rotation[2].SetEuler(90, 0, 0);
  const Posture before = p;
  MarkerSet m(p);
  EXPECT_TRUE(SameBits(&p, &before, sizeof p)) << "the posture must not change";
  EXPECT_EQ(m.positions[0].x, 0.0f);
  EXPECT_EQ(m.positions[0].y, 0.0f);
  EXPECT_EQ(m.positions[0].z, 0.0f);
  // Body frame at scale 0.06: the knee of the turned thigh at (0.06 + 0.12, 0, 0).
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
  // The default skeleton reads the same file at the same scale.
  EXPECT_EQ(DefaultSkeleton().totalDof, kHandTotalDof);
  EXPECT_EQ(DefaultSkeleton().bones[3].length, 3.0f * 0.06f);

  Posture a;
  Posture b;
  a.root = Vector3(0, 0, 0);
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

TEST(SkeletonTest, MissingFileLeavesRootAlone) {
  ScopedWorkDir work;
  Skeleton s("no such file.asf", 0.06f);
  EXPECT_EQ(s.totalDof, 6);
  EXPECT_EQ(CheckTree(s), 1);
  for (int i = 1; i < kJointCount; ++i) {
    EXPECT_EQ(s.bones[i].id, i);
    EXPECT_EQ(s.bones[i].length, 0.0f);
    EXPECT_EQ(s.bones[i].dofCount, 0);
    EXPECT_EQ(s.bones[i].axisMatrix[0][0], 1.0);
  }
  ExpectSafeToPose(s);
  // Nothing is reported for a missing file.
  EXPECT_FALSE(std::filesystem::exists("log.txt") && !ReadFile("log.txt").empty());
  // Joint positions of a body without a skeleton file are all at the origin.
  Posture p;
  p.rotation[2].SetEuler(40, 0, 0);
  MarkerSet m(p);
  for (const Vector3& v : m.positions) ExpectNear(v, 0, 0, 0, "no skeleton");
}

// Each bad file gives a "ReadASF:" line naming the file and line, no crash,
// and a skeleton that is safe to pose and measure.
TEST(SkeletonTest, BadFilesAreReportedAndStaySafe) {
  ScopedWorkDir work;
  WriteFile("sound.asf", HandAsf());
  Skeleton sound("sound.asf", kHandScale);
  size_t logSeen = 0;
  // The log lines written since the last call.
  auto newLog = [&]() {
    const std::string log = ReadFile(work.File("log.txt"));
    const std::string fresh = log.substr(std::min(logSeen, log.size()));
    logSeen = log.size();
    return fresh;
  };
  auto load = [&](const std::string& text) {
    WriteFile("bad.asf", text);
    return std::make_unique<Skeleton>("bad.asf", kHandScale);
  };
  const std::string hand = HandAsf();

  {  // Ends before ":bonedata".
    auto s = load(hand.substr(0, hand.find(":bonedata")));
    EXPECT_NE(newLog().find("ReadASF: bad.asf line 14: the file ends before \":bonedata\""),
              std::string::npos);
    EXPECT_EQ(CheckTree(*s), 1);
    ExpectSafeToPose(*s);
  }
  {  // Ends inside block 3: the unfinished block is dropped, blocks 1-2 kept.
    auto s = load(hand.substr(0, hand.find("    limits", hand.find("name ltibia"))));
    EXPECT_NE(newLog().find("line 38: the file ends inside bone block 3 of 30"), std::string::npos);
    EXPECT_EQ(s->totalDof, 6 + 3);
    EXPECT_EQ(s->bones[2].length, sound.bones[2].length);
    EXPECT_EQ(s->bones[3].length, 0.0f);
    EXPECT_EQ(s->bones[3].dofCount, 0);
    EXPECT_EQ(CheckTree(*s), 1);
    ExpectSafeToPose(*s);
  }
  {  // Ends before ":hierarchy", and inside it.
    auto s = load(hand.substr(0, hand.find(":hierarchy")));
    EXPECT_NE(newLog().find("the file ends before \":hierarchy\""), std::string::npos);
    EXPECT_EQ(s->totalDof, kHandTotalDof);
    EXPECT_EQ(CheckTree(*s), 1);
    ExpectSafeToPose(*s);
    s = load(hand.substr(0, hand.find("    lhipjoint lfemur")));
    EXPECT_NE(newLog().find("the file ends before the hierarchy's \"end\""), std::string::npos);
    EXPECT_EQ(CheckTree(*s), 4);
    ExpectSafeToPose(*s);
  }
  {  // Unknown bone name in a block: the slot keeps the block with its own id.
    auto s = load(Replace(hand, "name lfemur", "name LFemur"));
    EXPECT_NE(newLog().find("bone block 2 has the unknown name \"LFemur\""), std::string::npos);
    EXPECT_EQ(s->bones[2].id, 2);
    EXPECT_EQ(CheckTree(*s), kJointCount);
  }
  {  // Unknown child and unknown parent in the hierarchy.
    testing::internal::CaptureStdout();
    auto s = load(Replace(Replace(hand, "lhipjoint lfemur", "lhipjoint lfemur2"),
                          "    ltibia lfoot", "    ltibia_x lfoot"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "inbord bone is undefined\ninbord bone is undefined\ninbord bone is undefined\n");
    const std::string log = newLog();
    EXPECT_NE(log.find("unknown bone \"lfemur2\" in the hierarchy"), std::string::npos);
    EXPECT_NE(log.find("parent bone \"ltibia_x\" is not in the tree"), std::string::npos);
    EXPECT_NE(log.find("AddChild: inbord bone is undefined"), std::string::npos);
    EXPECT_EQ(s->bones[1].firstChild, nullptr);
    EXPECT_EQ(CheckTree(*s), kJointCount - 4);  // lfemur, ltibia, lfoot, ltoes
    ExpectSafeToPose(*s);
  }
  {  // A bone named twice, the root as a child, a loop back up the leg.
    auto s = load(Replace(hand, "    lfoot ltoes\n",
                          "    lfoot ltoes lfemur root\n    ltoes lhipjoint\n"
                          "    root lhipjoint\n"));
    const std::string log = newLog();
    EXPECT_NE(log.find("bone lfemur is already in the tree"), std::string::npos);
    EXPECT_NE(log.find("bone root is already in the tree"), std::string::npos);
    EXPECT_NE(log.find("bone lhipjoint is already in the tree"), std::string::npos);
    EXPECT_EQ(CheckTree(*s), kJointCount);
    ExpectSafeToPose(*s);
    // Outside the reader too, a bone already in the tree is refused.
    EXPECT_FALSE(s->AddChild(5, s->root));
    EXPECT_FALSE(s->AddChild(5, nullptr));
    EXPECT_EQ(CheckTree(*s), kJointCount);
  }
  {  // A block without "length": length 0.
    auto s = load(Replace(hand, "     length 4\n", ""));
    EXPECT_NE(newLog().find("bone block 7 (rfemur) has no \"length\"; length 0"),
              std::string::npos);
    EXPECT_EQ(s->bones[7].length, 0.0f);
    EXPECT_EQ(s->bones[8].length, sound.bones[8].length);
    ExpectSafeToPose(*s);
  }
  {  // Empty lines, a line of blanks, and an over-long line read whole.
    std::string text = Replace(hand, "name ltibia\n", "name ltibia\n\n   \n");
    text = Replace(text, "  begin\n    root", "  begin\n\n    root");
    text = Replace(text, "dof rx ry rz\n", "dof rx ry rz" + std::string(3000, ' ') + "\n");
    auto s = load(text);
    const std::string log = newLog();
    EXPECT_NE(log.find("empty line in bone block 3 ignored"), std::string::npos);
    EXPECT_NE(log.find("empty line in the hierarchy ignored"), std::string::npos);
    EXPECT_NE(log.find("line of 3016 characters, longer than 2047"), std::string::npos);
    ExpectSameSkeleton(*s, sound);
  }
  {  // Numbers that are not numbers, or not finite.
    auto s = load(Replace(Replace(hand, "length 3\n", "length inf\n"), "direction 0 0 1",
                          "direction 0 nan 1"));
    const std::string log = newLog();
    EXPECT_NE(log.find("\"length\" without a number"), std::string::npos);
    EXPECT_NE(log.find("\"direction\" without three numbers"), std::string::npos);
    ExpectSafeToPose(*s);
  }
  {  // Numbers in exponent form or with a plus sign, a dof word with a tab.
    auto s = load(
        Replace(Replace(hand, "length 3\n", "length +3e0\n"), "dof rx ry rz", "dof rx\try rz"));
    EXPECT_EQ(s->bones[3].length, sound.bones[3].length);
    EXPECT_EQ(s->bones[2].dofCount, 2);  // "rx\try" is one word
    EXPECT_EQ(s->bones[2].dofRx + s->bones[2].dofRy, 0);
    EXPECT_EQ(s->bones[2].dofRz, 1);
  }
}

// Real data ---------------------------------------------------------------

TEST(SkeletonRealDataTest, SubjectTwoKeepsBoneLengths) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir work;
  std::filesystem::copy_file(testing_support::MocapDir() + "/cmu02/02.asf", "MartialArts.asf");
  Skeleton& s = DefaultSkeleton();
  EXPECT_EQ(s.totalDof, 62);
  EXPECT_EQ(CheckTree(s), kJointCount);
  EXPECT_FLOAT_EQ(s.bones[2].length, 7.59371f * 0.06f);  // lfemur's "length 7.59371"
  EXPECT_TRUE(std::filesystem::exists("log.txt") == false || ReadFile("log.txt").empty());

  std::vector<Posture> postures(4);
  postures[1].root = Vector3(4, 1, -2);
  for (int j = 0; j < kJointCount; ++j) {
    postures[1].rotation[j].SetEuler(17.0f * j, 90.0f, -11.0f * j);
    postures[2].rotation[j].SetEuler(-30.0f + 7 * j, 45.0f - 5 * j, 3.0f * j);
    postures[3].rotation[j].SetEuler(170.0f, -89.9f, 179.0f - j);
  }
  Skeleton direct("MartialArts.asf", 0.06f);
  for (const Posture& p : postures) {
    // Joint positions of the posture in the body frame, bit for bit those
    // of the plain forward kinematics.
    ExpectMarkersOfSkeleton(direct, p, MarkerSet(p));
    s.SetPosture(p);
    for (int j = 1; j < kJointCount; ++j) {
      Vector3 end;
      Vector3 start;
      s.GetJointPosition(j, &end);
      s.GetJointPosition(kParent[j], &start);
      EXPECT_NEAR(Distance(end, start), s.bones[j].length, 1e-4f) << BoneNameTable[j];
    }
  }
}

TEST(SkeletonRealDataTest, CrlfReadsLikeLf) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir work;
  const std::string crlf = ReadFile(testing_support::MocapDir() + "/crlf-originals/12.asf");
  ASSERT_NE(crlf.find("\r\n"), std::string::npos);
  std::string lf;
  for (char c : crlf) {
    if (c != '\r') lf.push_back(c);
  }
  WriteFile("crlf.asf", crlf);
  WriteFile("lf.asf", lf);
  Skeleton a("crlf.asf", 0.06f);
  Skeleton b("lf.asf", 0.06f);
  EXPECT_EQ(a.totalDof, 62);
  EXPECT_EQ(CheckTree(a), kJointCount);
  ExpectSameSkeleton(a, b);
}

}  // namespace
