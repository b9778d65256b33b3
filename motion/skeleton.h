#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/matrix_helpers.h"
#include "core/vector3.h"
#include "motion/posture.h"

// The one body layout of the system: a root and 30 bones with fixed names,
// order and tree, read from an Acclaim ASF skeleton file. A joint's index in
// BoneNameTable is its index everywhere: posture rotations, skeleton bone
// slots, joint-position sets, kinematic chains and weight tables.

// The 31 joint names in index order (0 is the root).
inline constexpr const char* BoneNameTable[kJointCount] = {
    "root",      "lhipjoint", "lfemur", "ltibia",    "lfoot",     "ltoes",     "rhipjoint",
    "rfemur",    "rtibia",    "rfoot",  "rtoes",     "lowerback", "upperback", "thorax",
    "lowerneck", "upperneck", "head",   "lclavicle", "lhumerus",  "lradius",   "lwrist",
    "lhand",     "lfingers",  "lthumb", "rclavicle", "rhumerus",  "rradius",   "rwrist",
    "rhand",     "rfingers",  "rthumb"};

// Number of rows and columns of KinematicChainTable, and the marker that ends
// a row shorter than the full width.
constexpr int kKinematicChainCount = 7;
constexpr int kMaxChainLength = 11;
constexpr int32_t kKinematicChainEnd = -1000;

// Every path from the root down to a leaf of the fixed tree, as joint
// indices, ended by kKinematicChainEnd. The path to any joint is a prefix of
// one of these rows.
inline constexpr int32_t KinematicChainTable[kKinematicChainCount][kMaxChainLength] = {
    {0, 1, 2, 3, 4, 5, kKinematicChainEnd},
    {0, 6, 7, 8, 9, 10, kKinematicChainEnd},
    {0, 11, 12, 13, 14, 15, 16, kKinematicChainEnd},
    {0, 11, 12, 13, 17, 18, 19, 20, 21, 22, kKinematicChainEnd},
    {0, 11, 12, 13, 17, 18, 19, 20, 23, kKinematicChainEnd},
    {0, 11, 12, 13, 24, 25, 26, 27, 28, 29, kKinematicChainEnd},
    {0, 11, 12, 13, 24, 25, 26, 27, 30, kKinematicChainEnd}};

// One joint of a skeleton: a node of the first-child / next-sibling tree with
// its rest geometry, degrees of freedom and current angles. A plain structure;
// the owning Skeleton gives every field a defined value.
struct Bone {
  // Next child of the same parent; null at the end of the chain.
  Bone* nextSibling;
  // First child; null for a leaf.
  Bone* firstChild;
  // BoneNameTable index of the bone's name, always 0..30.
  int id;
  // Rest direction (unit length in a sound file); after loading expressed in
  // the bone's own axis frame.
  Vector3 direction;
  // File length times the skeleton's scale (world units).
  float length;
  // Axis angles x, y, z in degrees as read from the file.
  float axis[3];
  // Across-scale factors x, y of the ellipsoid a character draws for the bone.
  float drawSize[2];
  // Number of words on the bone's "dof" line; 0 without one.
  int dofCount;
  // 1 when the bone rotates about x, y, z; else 0.
  int dofRx;
  int dofRy;
  int dofRz;
  // The bone's axis frame relative to its parent's, stored transposed:
  // transpose(inverse(R(parent axis)) * R(own axis)).
  Matrix4d axisMatrix;
  // Current joint angles in degrees.
  float rx;
  float ry;
  float rz;
};

// The articulated body on which postures are posed: a root and 30 bones read
// from an ASF file, each in the slot of its BoneNameTable index.
//
// The ASF reader takes only the ":bonedata" blocks (which must list the 30
// bones in BoneNameTable order: the i-th block fills slot i) and the
// ":hierarchy" lines; the units, root and documentation sections are passed
// over, so only the scale argument scales the body and the root always stands
// at its position with axis (0, 0, 0).
//
// Input the reader cannot use soundly (a file that ends early, an unknown bone
// name, a bone block without "length", empty or over-long lines, a hierarchy
// naming a bone twice) is reported with one log line "ReadASF: <file> line
// <n>: ..." each; reading keeps what it could read soundly. Whatever the file
// holds, the skeleton stays safe to pose, measure and draw: every bone id is
// 0..30, the tree has no cycles and never holds a bone twice, and every slot
// that the file does not fill stays an empty bone (see the constructor).
//
// Not copyable: the tree links point into the skeleton's own bone array.
class Skeleton {
 public:
  // Builds the root (id 0, direction (0, 0, 0), length 0.05, axis (0, 0, 0),
  // rotating about x, y and z) and 30 empty bones (slot i: id i, no links,
  // zero direction, length, axis and angles, no degrees of freedom, identity
  // axis frame); rootPosition (0, 0, 0), totalDof 6. Then reads the file at
  // the scale (ReadASF) and runs RotateDirections, ComputeAxisRotations and
  // SetDefaultDrawSizes. A file that cannot be opened leaves the root alone
  // with the 30 empty bones.
  Skeleton(const std::string& file, float scale);
  Skeleton(const Skeleton&) = delete;
  Skeleton& operator=(const Skeleton&) = delete;

  // Reads slots 1 to 30 and the tree from an ASF file; lengths are the file's
  // times `scale`. A file that cannot be opened is logged the first time a
  // skeleton reads that name (every skeleton reads the same file) and leaves
  // the bones as they were; every other problem is logged (see the class
  // comment). Meant to run once, from the constructor.
  void ReadASF(const std::string& file, float scale);

  // The BoneNameTable index of `name`, compared exactly (case-sensitive);
  // 31 (kJointCount) when it is none of the 31 names.
  static int FindBoneIndex(std::string_view name);

  // Depth-first search from `start`: the bone itself, then its first child's
  // subtree, then its next sibling's. The first bone whose id equals `id`, or
  // null (also for a null start).
  static Bone* FindBone(Bone* start, int id);

  // Attaches `child` as the last child of the tree bone whose id is
  // `parentId`. When no bone of the tree has that id, writes "inbord bone is
  // undefined\n" to the standard output, logs it, and returns false. Also
  // refuses, with a log line and false, a null child, a child already in the
  // tree (the root included) and a child whose own subtree holds the parent,
  // so the tree never gains a cycle or a bone twice.
  bool AddChild(int parentId, Bone* child);

  // The root bone, slot 0.
  Bone* GetRoot() { return root; }

  // child.axisMatrix := transpose(inverse(R(parent axis)) * R(child axis)),
  // with R(a) = Rz(az) Ry(ay) Rx(ax) in degrees. Nothing when either is null.
  static void ComputeRelativeRotation(const Bone* parent, Bone* child);

  // Sets the axis frames of a bone array of 31 slots: the root's to
  // transpose(R(root axis)); each bone's first child relative to the bone;
  // then the root's children (slots 1, 6, 11), thorax's (17, 24), lwrist's
  // (23) and rwrist's (30) that are not first children in the fixed tree.
  static void ComputeAxisRotations(Bone* bones);

  // Brings the rest direction of slots 1 to 30 into each bone's axis frame:
  // direction := Rx(-ax) Ry(-ay) Rz(-az) direction.
  void RotateDirections();

  // Sets drawSize of the 31 slots of a bone array from the fixed table of
  // drawing sizes (not from the file).
  static void SetDefaultDrawSizes(Bone* bones);

  // rootPosition := (0, 0, 0) and every bone's rx, ry, rz := 0.
  void ResetPosture();

  // rootPosition := the posture's root; each slot's angles from its rotation
  // by Quaternion::GetEuler (degrees), taking only the angles of the bone's
  // degrees of freedom (the others keep their values).
  void SetPosture(const Posture& posture);

  // World position of the far end of `joint`'s bone by forward kinematics
  // along the joint's kinematic chain from the root. The root (and any joint
  // outside 0..30) gives rootPosition. out must not be null.
  void GetJointPosition(int joint, Vector3* out) const;
  // All 31 joint positions into out[0..30], bit for bit as GetJointPosition
  // of each, in one pass down the tree.
  void GetJointPositions(Vector3 out[kJointCount]) const;

  // The path from the root to `joint` as joint indices (root first, the joint
  // last) into chain[], which must hold kMaxChainLength ints; *length is
  // their number, 0 for a joint in no chain (e.g. outside 0..30).
  static void FindChainToBone(int joint, int* chain, int* length);

  // out = Rz(rz) Ry(ry) Rx(rx), angles in degrees.
  static void EulerToMatrix(float rx, float ry, float rz, Matrix4d out);

  // Current position of the root (world units).
  Vector3 rootPosition;
  // 6 for the root plus the degrees of freedom named on the bones' "dof" lines.
  int totalDof;
  // Points at bones[0].
  Bone* root;
  // True when the file was read whole: all 30 bone blocks and the hierarchy
  // up to its "end". Whatever is made from a skeleton that is not (caches)
  // is never kept.
  bool loaded = false;
  // Slot i holds the joint of BoneNameTable index i.
  Bone bones[kJointCount];
};

// The skeleton file of the system, in the working directory.
inline constexpr char kDefaultSkeletonFile[] = "MartialArts.asf";

// The skeleton of "MartialArts.asf" in the working directory at scale 0.06,
// read on first use. The motion reader takes the degrees of freedom of each
// bone and the channel count from it.
Skeleton& DefaultSkeleton();

// Drops the default skeleton and the one joint positions are computed with:
// the next use reads kDefaultSkeletonFile again, in the working directory of
// that moment, and tells its absence again. For tests, which change the
// working folder and the file between cases.
void ForgetDefaultSkeletons();

// The 31 joint positions of one posture in the body's own frame: root at the
// origin without rotation, so postures compare independently of where the
// body stands and which way it faces. Written raw into the joint-position
// cache: exactly 93 floats.
struct MarkerSet {
  // All 31 positions (0, 0, 0).
  MarkerSet() = default;
  // Same as ComputeFromPosture(posture).
  explicit MarkerSet(const Posture& posture) { ComputeFromPosture(posture); }

  // positions[j] := the far end of bone j for the posture with its root
  // position set to (0, 0, 0) and its root rotation to the identity, on a
  // skeleton of "MartialArts.asf" at scale 0.06 that is read from the working
  // directory on the first call (and kept to the end of the program).
  // positions[0] is always (0, 0, 0). The posture is not changed. Not safe to
  // call from two threads at once (the shared skeleton is posed).
  void ComputeFromPosture(const Posture& posture);

  Vector3 positions[kJointCount];
};

static_assert(sizeof(MarkerSet) == 372, "a marker set is 93 floats, written raw");
static_assert(std::is_trivially_copyable<MarkerSet>::value, "marker sets are copied as bytes");

// out := the root position by Lerp and each of the 31 rotations by Slerp at
// t (0 gives a, 1 gives b). out may be a or b.
void BlendPostures(float t, const Posture& a, const Posture& b, Posture* out);
