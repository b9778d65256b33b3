// make_sample_data <folder>
//
// Writes a working folder in which the program can start: the skeleton
// "MartialArts.asf", four motion clips under "data/motions/" (walk, idle,
// punch, guard) and the scene "data/scenes/default.sce" that loads them and
// places three characters. Everything is computed here from a small body
// model: no capture data is read, and the output depends on nothing but this
// program (no clock, no random numbers), so two runs write the same bytes.
//
// The body faces +z with y up; its left side is +x. Lengths are planned in
// world units and written in file units of 1 / 0.06, the scale at which the
// program reads every skeleton and motion. All bone axes are (0, 0, 0), so a
// joint's angles rotate about the parent's world-aligned axes; with the bones
// of the legs and arms pointing down at rest, a negative rx swings a thigh or
// upper arm forward and a positive rx bends a knee, an elbow flexes with a
// negative rx and a foot points its toes down with a positive rx.
//
// Legs are posed by inverse kinematics from planned foot placements, so
// planted feet do not slide; a last pass measures every frame with the
// project's own Skeleton (forward kinematics on the ASF just written) and
// sets the root height so that the lowest ball or toe tip touches y = 0.
//
// Exit status: 0 on success, 1 when a file cannot be written, the skeleton
// written does not read back as planned or a clip misses its plan (a foot out
// of reach, an angle beyond its joint limits; the files are still written),
// 2 on a wrong command line.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/quaternion.h"
#include "core/vector3.h"
#include "motion/posture.h"
#include "motion/skeleton.h"

namespace {

constexpr double kSamplePi = 3.14159265358979323846;
// World units per file unit of lengths and root translations.
constexpr double kSampleScale = 0.06;
// Frame rate of every clip.
constexpr int kSampleFramesPerSecond = 120;

// ---------------------------------------------------------------------------
// Vectors and rotations in double precision (planning only; the final
// measurement uses the project's Skeleton).

struct SampleVec {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

SampleVec operator+(SampleVec a, SampleVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
SampleVec operator-(SampleVec a, SampleVec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
SampleVec operator*(SampleVec a, double s) { return {a.x * s, a.y * s, a.z * s}; }

double sample_Dot(SampleVec a, SampleVec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
SampleVec sample_Cross(SampleVec a, SampleVec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double sample_Length(SampleVec a) { return std::sqrt(sample_Dot(a, a)); }
SampleVec sample_Normalized(SampleVec a) { return a * (1.0 / sample_Length(a)); }

double sample_Radians(double degrees) { return degrees * kSamplePi / 180.0; }
double sample_Degrees(double radians) { return radians * 180.0 / kSamplePi; }

// Row-major 3 x 3 rotation acting on column vectors.
struct SampleMat {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

SampleMat operator*(const SampleMat& a, const SampleMat& b) {
  SampleMat c;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      c.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    }
  }
  return c;
}

SampleVec operator*(const SampleMat& a, SampleVec v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
          a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}

SampleMat sample_Transposed(const SampleMat& a) {
  SampleMat t;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) t.m[i][j] = a.m[j][i];
  }
  return t;
}

// The matrix whose columns are a, b and c.
SampleMat sample_FromColumns(SampleVec a, SampleVec b, SampleVec c) {
  SampleMat r;
  const SampleVec columns[3] = {a, b, c};
  for (int j = 0; j < 3; ++j) {
    r.m[0][j] = columns[j].x;
    r.m[1][j] = columns[j].y;
    r.m[2][j] = columns[j].z;
  }
  return r;
}

SampleMat sample_RotX(double degrees) {
  const double c = std::cos(sample_Radians(degrees)), s = std::sin(sample_Radians(degrees));
  SampleMat r;
  r.m[1][1] = c;
  r.m[1][2] = -s;
  r.m[2][1] = s;
  r.m[2][2] = c;
  return r;
}

SampleMat sample_RotY(double degrees) {
  const double c = std::cos(sample_Radians(degrees)), s = std::sin(sample_Radians(degrees));
  SampleMat r;
  r.m[0][0] = c;
  r.m[0][2] = s;
  r.m[2][0] = -s;
  r.m[2][2] = c;
  return r;
}

SampleMat sample_RotZ(double degrees) {
  const double c = std::cos(sample_Radians(degrees)), s = std::sin(sample_Radians(degrees));
  SampleMat r;
  r.m[0][0] = c;
  r.m[0][1] = -s;
  r.m[1][0] = s;
  r.m[1][1] = c;
  return r;
}

// Rz(a[2]) Ry(a[1]) Rx(a[0]): the joint angle convention of the program (x
// acts first), degrees.
SampleMat sample_FromEuler(const double a[3]) {
  return sample_RotZ(a[2]) * sample_RotY(a[1]) * sample_RotX(a[0]);
}

// The angles (x, y, z) in degrees with sample_FromEuler(out) == r; y in
// [-90, 90].
void sample_ToEuler(const SampleMat& r, double out[3]) {
  const double sy = std::max(-1.0, std::min(1.0, -r.m[2][0]));
  out[0] = sample_Degrees(std::atan2(r.m[2][1], r.m[2][2]));
  out[1] = sample_Degrees(std::asin(sy));
  out[2] = sample_Degrees(std::atan2(r.m[1][0], r.m[0][0]));
}

// 0 at s <= 0, 1 at s >= 1, with zero slope at both ends.
double sample_Ease(double s) {
  if (s <= 0.0) return 0.0;
  if (s >= 1.0) return 1.0;
  return s * s * (3.0 - 2.0 * s);
}

// A smooth bump of height 1 at `center` on a cycle of length 1 (phase wraps).
double sample_PhaseBump(double phase, double center, double width) {
  double d = phase - center;
  d -= std::floor(d + 0.5);
  return std::exp(-0.5 * (d / width) * (d / width));
}

// Below both a and b and smooth where they cross (tau: blending width).
double sample_SoftMin(double a, double b, double tau) {
  return std::min(a, b) - tau * std::log1p(std::exp(-std::fabs(a - b) / tau));
}

// sin(2 pi frame / period + phase): a wave of `period` frames.
double sample_Wave(int frame, int period, double phase) {
  return std::sin(2.0 * kSamplePi * (static_cast<double>(frame) / period) + phase);
}

// ---------------------------------------------------------------------------
// The body: joint indices in the order of the program's bone name table.

enum SampleJoint {
  kRoot,
  kLHipJoint,
  kLFemur,
  kLTibia,
  kLFoot,
  kLToes,
  kRHipJoint,
  kRFemur,
  kRTibia,
  kRFoot,
  kRToes,
  kLowerBack,
  kUpperBack,
  kThorax,
  kLowerNeck,
  kUpperNeck,
  kHead,
  kLClavicle,
  kLHumerus,
  kLRadius,
  kLWrist,
  kLHand,
  kLFingers,
  kLThumb,
  kRClavicle,
  kRHumerus,
  kRRadius,
  kRWrist,
  kRHand,
  kRFingers,
  kRThumb,
};
static_assert(kRThumb + 1 == kJointCount, "one entry per joint of the bone name table");

// One bone of the left side or the middle, as planned: rest direction in
// world axes (normalised when written), length in world units, its "dof"
// words and the joint limits (degrees) of each of them. The right side is the
// mirror image: x of the direction negated, the ranges of ry and rz mirrored.
struct SampleBoneSpec {
  int joint;
  SampleVec direction;
  double length;
  const char* dof;  // "" for a bone without degrees of freedom
  double limits[3][2];
};

// Leg bones (femur, tibia) point straight down: the leg solver relies on it.
const SampleBoneSpec kSampleBones[] = {
    {kLHipJoint, {0.8, -0.6, 0.0}, 0.11, "", {}},
    {kLFemur, {0.0, -1.0, 0.0}, 0.44, "rx ry rz", {{-120, 35}, {-45, 45}, {-25, 40}}},
    {kLTibia, {0.0, -1.0, 0.0}, 0.43, "rx", {{-5, 150}}},
    {kLFoot, {0.0, -0.44, 0.898}, 0.14, "rx ry rz", {{-30, 50}, {-30, 30}, {-25, 25}}},
    {kLToes, {0.0, 0.0, 1.0}, 0.05, "rx", {{-60, 30}}},
    {kLowerBack, {0.0, 1.0, 0.0}, 0.13, "rx ry rz", {{-20, 40}, {-30, 30}, {-20, 20}}},
    {kUpperBack, {0.0, 1.0, 0.0}, 0.14, "rx ry rz", {{-20, 30}, {-30, 30}, {-20, 20}}},
    {kThorax, {0.0, 1.0, 0.0}, 0.15, "rx ry rz", {{-15, 25}, {-30, 30}, {-15, 15}}},
    {kLowerNeck, {0.0, 0.96, 0.28}, 0.07, "rx ry rz", {{-30, 40}, {-40, 40}, {-30, 30}}},
    {kUpperNeck, {0.0, 1.0, 0.0}, 0.07, "rx ry rz", {{-30, 40}, {-40, 40}, {-30, 30}}},
    {kHead, {0.0, 1.0, 0.0}, 0.19, "rx ry rz", {{-30, 40}, {-50, 50}, {-30, 30}}},
    {kLClavicle, {0.98, 0.2, 0.0}, 0.17, "ry rz", {{-25, 15}, {-10, 25}}},
    {kLHumerus, {0.08, -0.997, 0.0}, 0.29, "rx ry rz", {{-170, 60}, {-90, 60}, {-40, 120}}},
    {kLRadius, {0.08, -0.997, 0.0}, 0.25, "rx", {{-150, 5}}},
    {kLWrist, {0.08, -0.997, 0.0}, 0.03, "ry", {{-80, 80}}},
    {kLHand, {0.08, -0.997, 0.0}, 0.08, "rx rz", {{-70, 70}, {-30, 30}}},
    {kLFingers, {0.08, -0.997, 0.0}, 0.07, "rx", {{-100, 20}}},
    {kLThumb, {-0.2, -0.6, 0.77}, 0.05, "rx rz", {{-60, 40}, {-40, 40}}},
};

// The mirror partner of a left joint (or the joint itself in the middle).
int sample_RightOf(int left) {
  if (left >= kLHipJoint && left <= kLToes) return left + (kRHipJoint - kLHipJoint);
  if (left >= kLClavicle && left <= kLThumb) return left + (kRClavicle - kLClavicle);
  return left;
}

// The planned body, indexed by joint; slot 0 (the root) stays empty.
struct SampleBody {
  SampleVec direction[kJointCount];  // unit, world axes at rest
  double length[kJointCount] = {};   // world units
  const char* dof[kJointCount] = {};
  double limits[kJointCount][3][2] = {};
  int dofCount[kJointCount] = {};
  bool hasDof[kJointCount][3] = {};  // rx, ry, rz
};

SampleBody sample_MakeBody() {
  SampleBody body;
  for (int j = 0; j < kJointCount; ++j) body.dof[j] = "";
  for (const SampleBoneSpec& spec : kSampleBones) {
    const int right = sample_RightOf(spec.joint);
    const int sides = right == spec.joint ? 1 : 2;
    for (int side = 0; side < sides; ++side) {
      const int j = side == 0 ? spec.joint : right;
      SampleVec d = sample_Normalized(spec.direction);
      if (side == 1) d.x = -d.x;
      body.direction[j] = d;
      body.length[j] = spec.length;
      body.dof[j] = spec.dof;
      int word = 0;
      for (const char* p = spec.dof; *p != '\0'; ++p) {
        if (p[0] != 'r' || (p[1] != 'x' && p[1] != 'y' && p[1] != 'z')) continue;
        const int axis = p[1] - 'x';
        body.hasDof[j][axis] = true;
        double lo = spec.limits[word][0], hi = spec.limits[word][1];
        if (side == 1 && axis != 0) {
          const double mirroredLo = -hi;
          hi = -lo;
          lo = mirroredLo;
        }
        body.limits[j][axis][0] = lo;
        body.limits[j][axis][1] = hi;
        ++word;
      }
      body.dofCount[j] = word;
    }
  }
  return body;
}

// ---------------------------------------------------------------------------
// Poses and the leg solver.

// One frame: the root position in world units and every joint's angles
// (x, y, z) in degrees; angles[0] is the root's orientation.
struct SamplePose {
  SampleVec root;
  double angles[kJointCount][3] = {};
};

// A foot placement in world space: the ball (far end of the foot bone), the
// foot's pitch about x (positive: toes down) and heading about y, and the
// world pitch of the toes.
struct SampleFoot {
  SampleVec ball;
  double pitch = 0.0;
  double yaw = 0.0;
  double toePitch = 0.0;
};

SampleMat sample_FootRotation(const SampleFoot& foot) {
  return sample_RotY(foot.yaw) * sample_RotX(foot.pitch);
}

SampleVec sample_Bone(const SampleBody& body, int joint) {
  return body.direction[joint] * body.length[joint];
}

SampleVec sample_Ankle(const SampleBody& body, int footJoint, const SampleFoot& foot) {
  return foot.ball - sample_FootRotation(foot) * sample_Bone(body, footJoint);
}

// Joints of one leg: 0 left, 1 right.
struct SampleLeg {
  int hip, femur, tibia, foot, toes;
};
SampleLeg sample_Leg(int side) {
  if (side == 0) return {kLHipJoint, kLFemur, kLTibia, kLFoot, kLToes};
  return {kRHipJoint, kRFemur, kRTibia, kRFoot, kRToes};
}

// The highest root height at which the leg still reaches its foot with the
// knee bent by at least minKnee degrees, for the root's horizontal position
// and rotation in `pose`.
double sample_MaxRootHeight(const SampleBody& body, int side, const SampleFoot& foot,
                            const SamplePose& pose, double minKnee) {
  const SampleLeg leg = sample_Leg(side);
  const double l1 = body.length[leg.femur], l2 = body.length[leg.tibia];
  const double reach =
      std::sqrt(l1 * l1 + l2 * l2 + 2.0 * l1 * l2 * std::cos(sample_Radians(minKnee)));
  const SampleVec hipOffset = sample_FromEuler(pose.angles[kRoot]) * sample_Bone(body, leg.hip);
  const SampleVec ankle = sample_Ankle(body, leg.foot, foot);
  const double dx = ankle.x - (pose.root.x + hipOffset.x);
  const double dz = ankle.z - (pose.root.z + hipOffset.z);
  const double flat = dx * dx + dz * dz;
  const double rise = flat < reach * reach ? std::sqrt(reach * reach - flat) : 0.0;
  return ankle.y + rise - hipOffset.y;
}

// The least bend of a knee kept bent (degrees) and the width, in cosine of the
// knee angle, over which a knee eases into it.
constexpr double kBentKnee = 8.0;
constexpr double kBentKneeEase = 0.01;

// Sets the femur, tibia, foot and toe angles of one leg so that its foot takes
// the placement `foot`, for the root position and rotation already in *pose.
// The knee bends in the plane that holds the foot's heading. A foot out of
// reach leaves the leg stretched towards it; the result says so. With
// `keepKneeBent` the knee eases into a few degrees of bend instead of
// straightening (the foot then falls short of a far placement, smoothly).
bool sample_SolveLeg(const SampleBody& body, int side, const SampleFoot& foot, bool keepKneeBent,
                     SamplePose* pose) {
  const SampleLeg leg = sample_Leg(side);
  const double l1 = body.length[leg.femur], l2 = body.length[leg.tibia];
  const SampleMat rootRotation = sample_FromEuler(pose->angles[kRoot]);
  const SampleVec hip = pose->root + rootRotation * sample_Bone(body, leg.hip);
  const SampleVec toAnkle = sample_Ankle(body, leg.foot, foot) - hip;
  const double distance = sample_Length(toAnkle);

  double cosKnee = (distance * distance - l1 * l1 - l2 * l2) / (2.0 * l1 * l2);
  if (keepKneeBent) {
    // Up to `easeFrom` the cosine is left alone; beyond it, towards a
    // straight knee, it approaches the cosine of kBentKnee without reaching
    // it (same value and slope where the two pieces meet).
    const double limit = std::cos(sample_Radians(kBentKnee));
    const double easeFrom = limit - kBentKneeEase;
    if (cosKnee > easeFrom) {
      cosKnee = limit - kBentKneeEase * std::exp(-(cosKnee - easeFrom) / kBentKneeEase);
    }
  }
  const bool reached = cosKnee <= 1.0;
  cosKnee = std::max(-1.0, std::min(1.0, cosKnee));
  const double knee = sample_Degrees(std::acos(cosKnee));

  // In the femur's own frame the hip-to-ankle vector lies in the y-z plane.
  const SampleVec localLeg = {0.0, -l1 - l2 * cosKnee, -l2 * std::sin(std::acos(cosKnee))};
  const SampleVec localU = sample_Normalized(localLeg);
  const SampleVec localX = {1.0, 0.0, 0.0};
  const SampleMat local = sample_FromColumns(localX, localU, sample_Cross(localX, localU));

  const SampleVec heading = sample_RotY(foot.yaw) * SampleVec{0.0, 0.0, 1.0};
  const SampleVec down = sample_Normalized(toAnkle);
  const SampleVec hinge = sample_Normalized(sample_Cross(heading, down));
  const SampleMat world = sample_FromColumns(hinge, down, sample_Cross(hinge, down));
  const SampleMat femurWorld = world * sample_Transposed(local);

  sample_ToEuler(sample_Transposed(rootRotation) * femurWorld, pose->angles[leg.femur]);
  pose->angles[leg.tibia][0] = knee;
  pose->angles[leg.tibia][1] = 0.0;
  pose->angles[leg.tibia][2] = 0.0;
  const SampleMat shankWorld = femurWorld * sample_RotX(knee);
  sample_ToEuler(sample_Transposed(shankWorld) * sample_FootRotation(foot), pose->angles[leg.foot]);
  pose->angles[leg.toes][0] = foot.toePitch - foot.pitch;
  pose->angles[leg.toes][1] = 0.0;
  pose->angles[leg.toes][2] = 0.0;
  return reached;
}

// The highest root height at which both legs reach their feet (a soft
// minimum of the two, so that it changes smoothly where they swap).
// slack[side] lets a leg in the air fall short of its foot by that much.
double sample_ReachHeight(const SampleBody& body, const SampleFoot feet[2], const double minKnee[2],
                          const SamplePose& pose, const double slack[2]) {
  const double left = sample_MaxRootHeight(body, 0, feet[0], pose, minKnee[0]) + slack[0];
  const double right = sample_MaxRootHeight(body, 1, feet[1], pose, minKnee[1]) + slack[1];
  return sample_SoftMin(left, right, 0.006);
}

// Solves both legs for the root already in *pose; counts feet out of reach
// into *misses.
void sample_SolveLegs(const SampleBody& body, const SampleFoot feet[2], SamplePose* pose,
                      int* misses) {
  for (int side = 0; side < 2; ++side) {
    if (!sample_SolveLeg(body, side, feet[side], false, pose)) ++*misses;
  }
}

// Root height from the legs' reach, lowered by `drop`, then both legs solved.
void sample_StandOnFeet(const SampleBody& body, const SampleFoot feet[2], const double minKnee[2],
                        double drop, SamplePose* pose, int* misses) {
  const double noSlack[2] = {0.0, 0.0};
  pose->root.y = sample_ReachHeight(body, feet, minKnee, *pose, noSlack) - drop;
  sample_SolveLegs(body, feet, pose, misses);
}

// A foot standing flat, its ankle above (x, z) on the ground, heading `yaw`.
SampleFoot sample_FlatFoot(const SampleBody& body, int footJoint, double x, double z, double yaw) {
  SampleFoot foot;
  foot.yaw = yaw;
  const SampleVec toBall = sample_RotY(yaw) * sample_Bone(body, footJoint);
  foot.ball = {x + toBall.x, 0.0, z + toBall.z};
  return foot;
}

// Sets angles of a left joint and its mirror image on the right (the y and z
// angles change sign).
void sample_SetPair(SamplePose* pose, int leftJoint, double rx, double ry, double rz) {
  const int right = sample_RightOf(leftJoint);
  pose->angles[leftJoint][0] = rx;
  pose->angles[leftJoint][1] = ry;
  pose->angles[leftJoint][2] = rz;
  pose->angles[right][0] = rx;
  pose->angles[right][1] = -ry;
  pose->angles[right][2] = -rz;
}

void sample_Set(SamplePose* pose, int joint, double rx, double ry, double rz) {
  pose->angles[joint][0] = rx;
  pose->angles[joint][1] = ry;
  pose->angles[joint][2] = rz;
}

// Relaxed hands: wrist straight, fingers and thumbs slightly curled.
void sample_RelaxHands(SamplePose* pose) {
  sample_SetPair(pose, kLHand, -6, 0, 2);
  sample_SetPair(pose, kLFingers, -18, 0, 0);
  sample_SetPair(pose, kLThumb, -10, 0, 12);
}

// Closed fists for the fighting clips.
void sample_Fists(SamplePose* pose) {
  sample_SetPair(pose, kLHand, -10, 0, 4);
  sample_SetPair(pose, kLFingers, -85, 0, 0);
  sample_SetPair(pose, kLThumb, -35, 0, 25);
}

SamplePose sample_Blend(const SamplePose& a, const SamplePose& b, double t) {
  SamplePose out = a;
  out.root = a.root + (b.root - a.root) * t;
  for (int j = 0; j < kJointCount; ++j) {
    for (int k = 0; k < 3; ++k)
      out.angles[j][k] = a.angles[j][k] + (b.angles[j][k] - a.angles[j][k]) * t;
  }
  return out;
}

// A pose held at a frame; between two keys the pose eases from one to the
// next. root.y of a key is how far the body crouches below its standing
// height (world units).
struct SampleKey {
  int frame;
  SamplePose pose;
};

SamplePose sample_AtKeys(const std::vector<SampleKey>& keys, int frame) {
  if (frame <= keys.front().frame) return keys.front().pose;
  for (size_t i = 1; i < keys.size(); ++i) {
    if (frame <= keys[i].frame) {
      const SampleKey& a = keys[i - 1];
      const SampleKey& b = keys[i];
      const double s = static_cast<double>(frame - a.frame) / (b.frame - a.frame);
      return sample_Blend(a.pose, b.pose, sample_Ease(s));
    }
  }
  return keys.back().pose;
}

// ---------------------------------------------------------------------------
// The clips. Each returns one pose per frame; every clip loops: its last
// frame leads into its first as smoothly as any two neighbouring frames.

struct SampleClip {
  const char* name;  // motion name in the scene
  int bodyWeights;   // the mixer's weight table for it
  std::vector<SamplePose> frames;
  int unreachedFeet = 0;  // frames x legs that could not reach their foot
};

// Walk: kWalkCycles gait cycles of kWalkCycleFrames frames, heading +z.
constexpr int kWalkCycleFrames = 132;
constexpr int kWalkCycles = 5;
constexpr double kWalkStride = 1.20;        // one cycle = two steps, world units
constexpr double kWalkFootX = 0.085;        // ball of the left foot from the line of travel
constexpr double kWalkToeOut = 5.0;         // heading of the left foot, degrees
constexpr double kWalkHeelBack = 0.05;      // heel behind the ankle
constexpr double kWalkStrikePitch = -14.0;  // toes up at heel strike
constexpr double kWalkPushPitch = 32.0;     // toes down at toe-off
constexpr double kWalkFootFlat = 0.07;      // phase: the sole lands
constexpr double kWalkHeelOff = 0.32;       // phase: the heel rises
constexpr double kWalkToeOff = 0.60;        // phase: the foot leaves the ground
constexpr double kWalkClearance = 0.06;     // extra lift of the ankle mid-swing
constexpr double kWalkSwingSlack = 0.06;    // how far a swinging leg may fall short
constexpr double kWalkBob = 0.026;          // half the rise and fall of the pelvis
constexpr double kWalkBobPeak = 0.30;       // phase of the highest pelvis

// Foot of one leg at `legTime` cycles after its first heel strike. Steps are
// placed kWalkStride apart; `ballAhead` is how far the ball of the flat foot
// lies ahead of the root's place at that foot's heel strike.
SampleFoot sample_WalkFoot(const SampleBody& body, int side, double legTime, double ballAhead) {
  const SampleLeg leg = sample_Leg(side);
  const double sign = side == 0 ? 1.0 : -1.0;
  const double yaw = sign * kWalkToeOut;
  const SampleVec footBone = sample_Bone(body, leg.foot);
  const double heelToBall = footBone.z + kWalkHeelBack;
  const SampleMat heading = sample_RotY(yaw);
  const double cycle = std::floor(legTime);
  const double phase = legTime - cycle;
  const double sideOffset = side == 0 ? 0.0 : 0.5;

  auto flatBall = [&](double step) {
    return SampleVec{sign * kWalkFootX, 0.0, kWalkStride * (step + sideOffset) + ballAhead};
  };
  auto heel = [&](double step) {
    return flatBall(step) - heading * SampleVec{0.0, 0.0, heelToBall};
  };
  // Rolling on the heel: the ball swings about the heel point.
  auto onHeel = [&](double step, double pitch) {
    SampleFoot f;
    f.yaw = yaw;
    f.pitch = pitch;
    f.toePitch = pitch;
    f.ball = heel(step) + heading * (sample_RotX(pitch) * SampleVec{0.0, 0.0, heelToBall});
    return f;
  };

  SampleFoot foot;
  foot.yaw = yaw;
  if (phase < kWalkFootFlat) {
    return onHeel(cycle, kWalkStrikePitch * (1.0 - sample_Ease(phase / kWalkFootFlat)));
  }
  if (phase < kWalkToeOff) {
    // Flat, then the heel rises while the ball and the toes stay down.
    foot.ball = flatBall(cycle);
    foot.pitch =
        kWalkPushPitch * sample_Ease((phase - kWalkHeelOff) / (kWalkToeOff - kWalkHeelOff));
    foot.toePitch = 0.0;
    return foot;
  }
  // Swing: the ankle travels from toe-off to the next heel strike, lifted on
  // the way; the foot turns from toes down to toes up.
  const double s = (phase - kWalkToeOff) / (1.0 - kWalkToeOff);
  SampleFoot start;
  start.ball = flatBall(cycle);
  start.pitch = kWalkPushPitch;
  start.yaw = yaw;
  const SampleFoot end = onHeel(cycle + 1.0, kWalkStrikePitch);
  const SampleVec ankleStart = sample_Ankle(body, leg.foot, start);
  const SampleVec ankleEnd = sample_Ankle(body, leg.foot, end);
  // The foot comes off the ground before it moves forward, and the toes
  // leave it last.
  SampleVec ankle = ankleStart + (ankleEnd - ankleStart) * sample_Ease((s - 0.15) / 0.85);
  const double lift = std::sin(kSamplePi * s);
  ankle.y += kWalkClearance * lift * lift;
  foot.pitch = kWalkPushPitch + (kWalkStrikePitch - kWalkPushPitch) * sample_Ease((s - 0.2) / 0.8);
  foot.toePitch = foot.pitch - kWalkPushPitch * (1.0 - sample_Ease((s - 0.1) / 0.5));
  foot.ball = ankle + sample_FootRotation(foot) * footBone;
  return foot;
}

// Rise and fall of the pelvis about its mean height at walk frame f.
double sample_WalkBob(int frame) {
  const double g = static_cast<double>(frame) / kWalkCycleFrames;
  return kWalkBob * std::cos(4.0 * kSamplePi * (g - kWalkBobPeak));
}

SampleClip sample_MakeWalk(const SampleBody& body) {
  SampleClip clip{"walk", 0, {}, 0};
  const int frameCount = kWalkCycleFrames * kWalkCycles;

  // Place the steps so that the leg reaches equally far forward at heel
  // strike and backward at toe-off.
  const SampleVec footBone = sample_Bone(body, kLFoot);
  const double heelToBall = footBone.z + kWalkHeelBack;
  const double strikeAnkle =
      (sample_RotX(kWalkStrikePitch) * SampleVec{0.0, -footBone.y, kWalkHeelBack}).z;
  const double pushAnkle = -(sample_RotX(kWalkPushPitch) * footBone).z;
  const double heelAhead = (kWalkStride * kWalkToeOff - heelToBall - pushAnkle - strikeAnkle) / 2.0;
  const double ballAhead = heelAhead + heelToBall;

  std::vector<double> heights;
  std::vector<std::array<SampleFoot, 2>> allFeet;
  std::vector<std::array<bool, 2>> allPlanted;
  for (int f = 0; f < frameCount; ++f) {
    const double g =
        static_cast<double>(f) / kWalkCycleFrames;  // cycles since the left heel strike
    const double turn = 2.0 * kSamplePi * g;
    SamplePose pose;
    // Pelvis: forward at an even pace, swaying over the supporting foot,
    // turning with the swinging leg and dropping on the swinging side.
    pose.root = {0.018 * std::sin(turn), 0.0, kWalkStride * g};
    sample_Set(&pose, kRoot, 2.5 + 1.0 * std::cos(2.0 * turn), -4.0 * std::cos(turn),
               3.0 * std::sin(turn));

    // The chest turns against the pelvis and the head looks ahead.
    sample_Set(&pose, kLowerBack, -1.5, 2.5 * std::cos(turn), -2.0 * std::sin(turn));
    sample_Set(&pose, kUpperBack, 0.5, 1.0 * std::cos(turn), -0.6 * std::sin(turn));
    sample_Set(&pose, kThorax, 0.5, 1.0 * std::cos(turn), -0.3 * std::sin(turn));
    sample_Set(&pose, kLowerNeck, -3.0, -0.3 * std::cos(turn), 0.5 * std::sin(turn));
    sample_Set(&pose, kUpperNeck, 1.0, -0.2 * std::cos(turn), 0.3 * std::sin(turn));
    sample_Set(&pose, kHead, 4.0 + 0.6 * std::cos(2.0 * turn), 0.0, 0.4 * std::sin(turn));

    // Arms swing against the legs: the left arm is back when the left foot
    // strikes; an elbow bends more as its arm comes forward.
    const double swing = std::cos(turn - 0.35);
    sample_Set(&pose, kLClavicle, 0, 1.5 * swing, 2.0);
    sample_Set(&pose, kRClavicle, 0, 1.5 * swing, -2.0);
    sample_Set(&pose, kLHumerus, 2.0 + 11.0 * swing, -3.0, 4.0);
    sample_Set(&pose, kRHumerus, 2.0 - 11.0 * swing, 3.0, -4.0);
    sample_Set(&pose, kLRadius, -21.0 + 7.0 * swing, 0, 0);
    sample_Set(&pose, kRRadius, -21.0 - 7.0 * swing, 0, 0);
    sample_SetPair(&pose, kLWrist, 0, 10.0, 0);
    sample_RelaxHands(&pose);

    SampleFoot feet[2];
    double minKnee[2], slack[2];
    bool planted[2];
    for (int side = 0; side < 2; ++side) {
      const double legTime = g - (side == 0 ? 0.0 : 0.5);
      feet[side] = sample_WalkFoot(body, side, legTime, ballAhead);
      // The knee gives a little as the foot takes the weight; a swinging leg
      // need not reach its path, only the ground at heel strike.
      const double phase = legTime - std::floor(legTime);
      minKnee[side] = 8.0 + 8.0 * sample_PhaseBump(phase, 0.15, 0.08);
      const double inAir = (phase - kWalkToeOff) / (1.0 - kWalkToeOff);
      slack[side] = inAir > 0.0 ? kWalkSwingSlack * std::pow(1.0 - inAir, 0.7) : 0.0;
      planted[side] = inAir <= 0.0;
    }
    heights.push_back(sample_ReachHeight(body, feet, minKnee, pose, slack));
    allFeet.push_back({feet[0], feet[1]});
    allPlanted.push_back({planted[0], planted[1]});
    clip.frames.push_back(pose);
  }
  // The pelvis rises and falls twice a cycle, highest over the supporting
  // foot, as high as the legs allow.
  double level = 1e9;
  for (int f = 0; f < frameCount; ++f) level = std::min(level, heights[f] - sample_WalkBob(f));
  for (int f = 0; f < frameCount; ++f) {
    clip.frames[f].root.y = level + sample_WalkBob(f);
    for (int side = 0; side < 2; ++side) {
      // A swinging foot may fall a little short of its path; a planted one
      // may not.
      const bool planted = allPlanted[f][side];
      if (!sample_SolveLeg(body, side, allFeet[f][side], !planted, &clip.frames[f]))
        ++clip.unreachedFeet;
    }
  }
  return clip;
}

// Idle: a relaxed stance, the weight drifting from foot to foot, breathing,
// the head looking around. All periods divide the clip length.
constexpr int kIdleFrames = 720;

// The stance of idle and punch: feet a little apart, toes out.
void sample_IdleFeet(const SampleBody& body, SampleFoot feet[2]) {
  feet[0] = sample_FlatFoot(body, kLFoot, 0.095, 0.01, 7.0);
  feet[1] = sample_FlatFoot(body, kRFoot, -0.095, 0.01, -7.0);
}

// Upper body of the relaxed stance.
void sample_RelaxedUpperBody(SamplePose* pose) {
  sample_Set(pose, kLowerBack, -1.0, 0, 0);
  sample_Set(pose, kUpperBack, 1.0, 0, 0);
  sample_Set(pose, kThorax, 0.5, 0, 0);
  sample_Set(pose, kLowerNeck, -4.0, 0, 0);
  sample_Set(pose, kUpperNeck, 1.0, 0, 0);
  sample_Set(pose, kHead, 3.0, 0, 0);
  sample_SetPair(pose, kLClavicle, 0, 0, 1.0);
  sample_SetPair(pose, kLHumerus, 3.0, -4.0, 1.0);
  sample_SetPair(pose, kLRadius, -14.0, 0, 0);
  sample_SetPair(pose, kLWrist, 0, 12.0, 0);
  sample_RelaxHands(pose);
}

SampleClip sample_MakeIdle(const SampleBody& body) {
  SampleClip clip{"idle", 2, {}, 0};
  SampleFoot feet[2];
  sample_IdleFeet(body, feet);
  const double minKnee[2] = {7.0, 7.0};
  for (int f = 0; f < kIdleFrames; ++f) {
    const double sway = sample_Wave(f, 360, 0.0);
    const double breath = sample_Wave(f, 240, 0.0);
    const double look = sample_Wave(f, 720, 0.5);
    SamplePose pose;
    sample_RelaxedUpperBody(&pose);
    pose.root = {0.025 * sway, 0.0, 0.008 * sample_Wave(f, 720, 1.0)};
    sample_Set(&pose, kRoot, 1.5 + 0.5 * sample_Wave(f, 360, 1.3), 3.0 * sample_Wave(f, 720, 2.0),
               1.2 * sway);
    pose.angles[kLowerBack][2] = -1.5 * sway;
    pose.angles[kUpperBack][2] = -0.5 * sway;
    pose.angles[kThorax][0] += 1.2 * breath;
    pose.angles[kLowerNeck][0] -= 0.6 * breath;
    pose.angles[kHead][0] += 1.5 * sample_Wave(f, 360, 2.1);
    pose.angles[kHead][1] = 9.0 * look - 3.0 * sample_Wave(f, 720, 2.0);
    pose.angles[kUpperNeck][1] = 3.0 * look;
    pose.angles[kLHumerus][0] += 1.5 * sample_Wave(f, 360, 0.4);
    pose.angles[kRHumerus][0] += 1.5 * sample_Wave(f, 360, 0.4);
    pose.angles[kLHumerus][2] += 1.0 * sway;
    pose.angles[kRHumerus][2] += 1.0 * sway;
    pose.angles[kLRadius][0] += 2.0 * sample_Wave(f, 240, 1.0);
    pose.angles[kRRadius][0] += 2.0 * sample_Wave(f, 240, 2.5);
    sample_StandOnFeet(body, feet, minKnee, 0.004 * (1.0 - breath) / 2.0, &pose,
                       &clip.unreachedFeet);
    clip.frames.push_back(pose);
  }
  return clip;
}

// Fighting guard of the upper body: fists up before the chin, elbows in.
void sample_GuardUpperBody(SamplePose* pose) {
  sample_Set(pose, kLowerBack, 3.0, 0, 0);
  sample_Set(pose, kUpperBack, 3.0, 0, 0);
  sample_Set(pose, kThorax, 1.0, 0, 0);
  sample_Set(pose, kLowerNeck, -2.0, 0, 0);
  sample_Set(pose, kUpperNeck, 2.0, 0, 0);
  sample_Set(pose, kHead, 6.0, 0, 0);
  sample_SetPair(pose, kLClavicle, 0, -4.0, 5.0);
  sample_Set(pose, kLHumerus, -32.0, -22.0, -6.0);
  sample_Set(pose, kRHumerus, -28.0, 22.0, 6.0);
  sample_Set(pose, kLRadius, -122.0, 0, 0);
  sample_Set(pose, kRRadius, -128.0, 0, 0);
  sample_SetPair(pose, kLWrist, 0, 30.0, 0);
  sample_Fists(pose);
}

// Punch: from the guard a left jab, back to guard, a right cross, back to
// guard. The legs keep the idle stance (the clip is blended over idle).
constexpr int kPunchFrames = 240;

SampleClip sample_MakePunch(const SampleBody& body) {
  SampleClip clip{"punch", 0, {}, 0};
  SamplePose guard;
  sample_GuardUpperBody(&guard);
  sample_Set(&guard, kRoot, 1.5, 0, 0);

  SamplePose jab = guard;
  sample_Set(&jab, kLowerBack, 3.0, -3.0, 0);
  sample_Set(&jab, kUpperBack, 3.0, -4.0, 0);
  sample_Set(&jab, kThorax, 1.0, -5.0, 0);
  sample_Set(&jab, kHead, 6.0, 10.0, 0);
  sample_Set(&jab, kLClavicle, 0, -14.0, 4.0);
  sample_Set(&jab, kLHumerus, -84.0, -8.0, 0.0);
  sample_Set(&jab, kLRadius, -8.0, 0, 0);
  sample_Set(&jab, kLWrist, 0, 60.0, 0);
  sample_Set(&jab, kRHumerus, -30.0, 24.0, 6.0);

  SamplePose cross = guard;
  sample_Set(&cross, kLowerBack, 3.0, 6.0, 0);
  sample_Set(&cross, kUpperBack, 4.0, 8.0, 0);
  sample_Set(&cross, kThorax, 2.0, 9.0, 0);
  sample_Set(&cross, kHead, 6.0, -20.0, 0);
  sample_Set(&cross, kRClavicle, 0, 15.0, -4.0);
  sample_Set(&cross, kRHumerus, -86.0, 10.0, 0.0);
  sample_Set(&cross, kRRadius, -6.0, 0, 0);
  sample_Set(&cross, kRWrist, 0, -60.0, 0);
  sample_Set(&cross, kLHumerus, -26.0, -24.0, -6.0);

  const std::vector<SampleKey> keys = {
      {0, guard},   {36, guard},  {56, jab},    {64, jab},    {90, guard},
      {116, guard}, {138, cross}, {146, cross}, {176, guard}, {kPunchFrames, guard}};
  SampleFoot feet[2];
  sample_IdleFeet(body, feet);
  const double minKnee[2] = {7.0, 7.0};
  for (int f = 0; f < kPunchFrames; ++f) {
    SamplePose pose = sample_AtKeys(keys, f);
    pose.root = {};
    pose.angles[kThorax][0] += 0.8 * sample_Wave(f, kPunchFrames, 0.0);
    pose.angles[kHead][1] += 2.0 * sample_Wave(f, kPunchFrames / 2, 0.7);
    sample_StandOnFeet(body, feet, minKnee, 0.0, &pose, &clip.unreachedFeet);
    clip.frames.push_back(pose);
  }
  return clip;
}

// Guard: a fighting stance, left foot forward; the body crouches and covers
// the head with both forearms, holds, and comes back up.
constexpr int kGuardFrames = 300;

SampleClip sample_MakeGuard(const SampleBody& body) {
  SampleClip clip{"guard", 0, {}, 0};
  SamplePose ready;
  sample_GuardUpperBody(&ready);
  sample_Set(&ready, kRoot, 2.0, -10.0, 0);
  sample_Set(&ready, kLowerBack, 3.0, 4.0, 0);
  sample_Set(&ready, kUpperBack, 3.0, 3.0, 0);
  sample_Set(&ready, kHead, 6.0, 4.0, 0);
  ready.root.y = 0.03;  // crouch below standing height

  SamplePose cover = ready;
  cover.root.y = 0.065;
  sample_Set(&cover, kRoot, 5.0, -10.0, 0);
  sample_Set(&cover, kLowerBack, 8.0, 4.0, 0);
  sample_Set(&cover, kUpperBack, 5.0, 3.0, 0);
  sample_Set(&cover, kLowerNeck, 0.0, 0, 0);
  sample_Set(&cover, kHead, 12.0, 4.0, 0);
  sample_SetPair(&cover, kLClavicle, 0, -10.0, 9.0);
  sample_Set(&cover, kLHumerus, -72.0, -28.0, -4.0);
  sample_Set(&cover, kRHumerus, -72.0, 28.0, 4.0);
  sample_Set(&cover, kLRadius, -106.0, 0, 0);
  sample_Set(&cover, kRRadius, -106.0, 0, 0);

  const std::vector<SampleKey> keys = {{0, ready},   {50, ready},  {80, cover},
                                       {160, cover}, {195, ready}, {kGuardFrames, ready}};
  SampleFoot feet[2];
  feet[0] = sample_FlatFoot(body, kLFoot, 0.12, 0.09, -4.0);
  feet[1] = sample_FlatFoot(body, kRFoot, -0.13, -0.07, -20.0);
  const double minKnee[2] = {12.0, 12.0};
  for (int f = 0; f < kGuardFrames; ++f) {
    SamplePose pose = sample_AtKeys(keys, f);
    const double crouch = pose.root.y + 0.006 * (1.0 - sample_Wave(f, 150, 0.0)) / 2.0;
    pose.root = {0.01 * sample_Wave(f, 300, 0.0), 0.0, 0.0};
    pose.angles[kHead][1] += 6.0 * sample_Wave(f, kGuardFrames, 1.2);
    pose.angles[kThorax][0] += 0.8 * sample_Wave(f, 150, 0.5);
    sample_StandOnFeet(body, feet, minKnee, crouch, &pose, &clip.unreachedFeet);
    clip.frames.push_back(pose);
  }
  return clip;
}

// ---------------------------------------------------------------------------
// Measuring with the project's skeleton.

// A value as the AMC text will hold it ("%.4f"), without a negative zero.
double sample_AsWritten(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", value);
  return std::strtod(text, nullptr) + 0.0;
}

// Rounds every number of the clip as the AMC text will hold it (the root in
// file units), so that what is measured here is what the program reads.
void sample_RoundAsWritten(std::vector<SamplePose>* frames) {
  for (SamplePose& pose : *frames) {
    pose.root.x = sample_AsWritten(pose.root.x / kSampleScale) * kSampleScale;
    pose.root.y = sample_AsWritten(pose.root.y / kSampleScale) * kSampleScale;
    pose.root.z = sample_AsWritten(pose.root.z / kSampleScale) * kSampleScale;
    for (auto& angles : pose.angles) {
      for (double& a : angles) a = sample_AsWritten(a);
    }
  }
}

// Poses the skeleton as the program would after reading the frame, with the
// root at the origin.
void sample_PoseSkeleton(const SamplePose& pose, Skeleton* skeleton) {
  Posture posture;
  for (int j = 0; j < kJointCount; ++j) {
    posture.rotation[j].SetEuler(static_cast<float>(pose.angles[j][0]),
                                 static_cast<float>(pose.angles[j][1]),
                                 static_cast<float>(pose.angles[j][2]));
  }
  skeleton->SetPosture(posture);
}

constexpr int kSampleFootJoints[4] = {kLFoot, kLToes, kRFoot, kRToes};

// Sets each frame's root height so that its lowest ball or toe tip, found by
// forward kinematics on `skeleton`, touches y = 0. Returns the largest change
// (world units): small when the plan was sound.
double sample_PlaceOnGround(Skeleton* skeleton, std::vector<SamplePose>* frames) {
  double largest = 0.0;
  for (SamplePose& pose : *frames) {
    sample_PoseSkeleton(pose, skeleton);
    double lowest = 1e9;
    for (int joint : kSampleFootJoints) {
      Vector3 p;
      skeleton->GetJointPosition(joint, &p);
      lowest = std::min(lowest, static_cast<double>(p.y));
    }
    largest = std::max(largest, std::fabs(pose.root.y + lowest));
    pose.root.y = -lowest;
  }
  return largest;
}

// Angles outside the joint limits of the body: one line each to stderr.
int sample_CountOutOfLimits(const SampleBody& body, const SampleClip& clip) {
  int count = 0;
  for (size_t f = 0; f < clip.frames.size(); ++f) {
    for (int j = 1; j < kJointCount; ++j) {
      for (int k = 0; k < 3; ++k) {
        const double a = clip.frames[f].angles[j][k];
        const bool ok = body.hasDof[j][k]
                            ? (a >= body.limits[j][k][0] - 1e-6 && a <= body.limits[j][k][1] + 1e-6)
                            : a == 0.0;
        if (!ok || !std::isfinite(a)) {
          if (count < 10) {
            std::fprintf(stderr,
                         "make_sample_data: %s frame %zu: %s angle %c = %.2f out of range\n",
                         clip.name, f + 1, BoneNameTable[j], 'x' + k, a);
          }
          ++count;
        }
      }
    }
  }
  return count;
}

// ---------------------------------------------------------------------------
// Writers.

class SampleFile {
 public:
  explicit SampleFile(const std::string& path)
      : path_(path), file_(std::fopen(path.c_str(), "w")) {}
  ~SampleFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  SampleFile(const SampleFile&) = delete;
  SampleFile& operator=(const SampleFile&) = delete;

  std::FILE* get() const { return file_; }
  // Closes the file; false (with a message) when it could not be opened or
  // written.
  bool Finish() {
    bool ok = file_ != nullptr && std::ferror(file_) == 0;
    if (file_ != nullptr && std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) std::fprintf(stderr, "make_sample_data: cannot write %s\n", path_.c_str());
    return ok;
  }

 private:
  std::string path_;
  std::FILE* file_;
};

bool sample_WriteSkeleton(const SampleBody& body, const std::string& path) {
  SampleFile out(path);
  std::FILE* f = out.get();
  if (f == nullptr) return out.Finish();
  std::fprintf(f,
               "# Sample skeleton for Tavrin, written by make_sample_data\n"
               ":version 1.10\n"
               ":name TavrinSample\n"
               ":units\n"
               "  mass 1.0\n"
               "  length 1.0\n"
               "  angle deg\n"
               ":documentation\n"
               "   A made-up body about 1.74 world units tall when read at scale 0.06\n"
               "   (lengths below are world lengths divided by 0.06). It faces +z, y is up\n"
               "   and its left side is +x. Every axis is 0 0 0.\n"
               ":root\n"
               "   order TX TY TZ RX RY RZ\n"
               "   axis XYZ\n"
               "   position 0 0 0\n"
               "   orientation 0 0 0\n"
               ":bonedata\n");
  for (int j = 1; j < kJointCount; ++j) {
    const SampleVec& d = body.direction[j];
    std::fprintf(f, "  begin\n     id %d\n     name %s\n     direction %.6f %.6f %.6f\n", j,
                 BoneNameTable[j], d.x + 0.0, d.y + 0.0, d.z + 0.0);
    std::fprintf(f, "     length %.6f\n     axis 0 0 0  XYZ\n", body.length[j] / kSampleScale);
    if (body.dofCount[j] > 0) {
      std::fprintf(f, "    dof %s\n", body.dof[j]);
      bool first = true;
      for (int k = 0; k < 3; ++k) {
        if (!body.hasDof[j][k]) continue;
        std::fprintf(f, "%s(%.1f %.1f)\n", first ? "    limits " : "           ",
                     body.limits[j][k][0] + 0.0, body.limits[j][k][1] + 0.0);
        first = false;
      }
    }
    std::fprintf(f, "  end\n");
  }
  std::fprintf(f,
               ":hierarchy\n"
               "  begin\n"
               "    root lhipjoint rhipjoint lowerback\n"
               "    lhipjoint lfemur\n"
               "    lfemur ltibia\n"
               "    ltibia lfoot\n"
               "    lfoot ltoes\n"
               "    rhipjoint rfemur\n"
               "    rfemur rtibia\n"
               "    rtibia rfoot\n"
               "    rfoot rtoes\n"
               "    lowerback upperback\n"
               "    upperback thorax\n"
               "    thorax lowerneck lclavicle rclavicle\n"
               "    lowerneck upperneck\n"
               "    upperneck head\n"
               "    lclavicle lhumerus\n"
               "    lhumerus lradius\n"
               "    lradius lwrist\n"
               "    lwrist lhand lthumb\n"
               "    lhand lfingers\n"
               "    rclavicle rhumerus\n"
               "    rhumerus rradius\n"
               "    rradius rwrist\n"
               "    rwrist rhand rthumb\n"
               "    rhand rfingers\n"
               "  end\n");
  return out.Finish();
}

// Exactly three header lines, then per frame its number (from 1), the root
// line and one line per joint with degrees of freedom, in table order.
bool sample_WriteClip(const SampleBody& body, const SampleClip& clip, const std::string& path) {
  SampleFile out(path);
  std::FILE* f = out.get();
  if (f == nullptr) return out.Finish();
  std::fprintf(f, "# %s: sample motion for Tavrin, written by make_sample_data, %d frames/s\n",
               clip.name, kSampleFramesPerSecond);
  std::fprintf(f, ":FULLY-SPECIFIED\n:DEGREES\n");
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    const SamplePose& pose = clip.frames[i];
    std::fprintf(f, "%zu\nroot %.4f %.4f %.4f %.4f %.4f %.4f\n", i + 1,
                 sample_AsWritten(pose.root.x / kSampleScale),
                 sample_AsWritten(pose.root.y / kSampleScale),
                 sample_AsWritten(pose.root.z / kSampleScale), pose.angles[kRoot][0],
                 pose.angles[kRoot][1], pose.angles[kRoot][2]);
    for (int j = 1; j < kJointCount; ++j) {
      if (body.dofCount[j] == 0) continue;
      std::fprintf(f, "%s", BoneNameTable[j]);
      for (int k = 0; k < 3; ++k) {
        if (body.hasDof[j][k]) std::fprintf(f, " %.4f", pose.angles[j][k]);
      }
      std::fprintf(f, "\n");
    }
  }
  return out.Finish();
}

// The scene: one MotionData section per clip, the data set, three characters.
// The reader ends a section at any line holding "END" or "End" and skips
// every line holding "//", so no name or value here contains either.
bool sample_WriteScene(const std::vector<SampleClip>& clips, const std::string& path) {
  SampleFile out(path);
  std::FILE* f = out.get();
  if (f == nullptr) return out.Finish();
  std::fprintf(f,
               "// Sample scene for Tavrin, written by make_sample_data.\n"
               "// Motion files are read from data/motions/ at scale 0.06.\n\n");
  for (const SampleClip& clip : clips) {
    std::fprintf(f, "* MotionData\nMotionName: %s\nAMCFiles: %s.amc\nBodyWeights: %d\nEND\n\n",
                 clip.name, clip.name, clip.bodyWeights);
  }
  std::fprintf(f,
               "// Data set 1: what the button-driven fighter plays.\n"
               "* MotionDataSet\n"
               "ID: 1\n"
               "AttackMotion: punch\n"
               "DefensiveMotion: guard\n"
               "IdleMotion: idle\n"
               "END\n\n"
               "// Idles, and punches while joystick button 0 is held.\n"
               "* Character\n"
               "CharacterName: Boxer\n"
               "Position: -2.5 0 0\n"
               "GameplayController: 0\n"
               "DatasetID: 1\n"
               "END\n\n"
               "// Walks along +z on a fixed-frame graph, the idle blended over it.\n"
               "* Character\n"
               "CharacterName: Walker\n"
               "Position: 0 0 -3\n"
               "DefaultRootMotion: walk 1\n"
               "DefaultBlendMotion: idle 2\n"
               "Enabled: 1\n"
               "END\n\n"
               "// Keeps guard, wandering through its clip on a random graph.\n"
               "* Character\n"
               "CharacterName: Sentry\n"
               "Position: 2.5 0 0\n"
               "DefaultRootMotion: guard 2\n"
               "END\n");
  return out.Finish();
}

// Caches and graphs that an earlier run of the program derived from older
// clips of these names: the ".bin" and ".mpos" files beside each clip and
// the "<name>[<n>]_graph.gra" files in the folder.
void sample_RemoveStaleFiles(const std::string& folder, const std::vector<SampleClip>& clips) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const SampleClip& clip : clips) {
    const std::string base = folder + "/data/motions/" + clip.name;
    fs::remove(base + ".bin", error);
    fs::remove(base + ".mpos", error);
  }
  const std::string suffix = "_graph.gra";
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= suffix.size() ||
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string stem = file.substr(0, file.size() - suffix.size());
    for (const SampleClip& clip : clips) {
      const std::string name = clip.name;
      if (stem.compare(0, name.size(), name) != 0) continue;
      const std::string counter = stem.substr(name.size());
      if (std::all_of(counter.begin(), counter.end(),
                      [](char c) { return c >= '0' && c <= '9'; })) {
        std::error_code ignored;
        fs::remove(it->path(), ignored);
        break;
      }
    }
  }
}

// The skeleton as read back must be the planned one: every bone in its slot,
// the planned degrees of freedom and lengths.
bool sample_SkeletonMatches(const SampleBody& body, const Skeleton& skeleton) {
  int totalDof = 6;
  for (int j = 1; j < kJointCount; ++j) {
    const Bone& bone = skeleton.bones[j];
    totalDof += body.dofCount[j];
    if (bone.id != j || bone.dofCount != body.dofCount[j] ||
        (bone.dofRx != 0) != body.hasDof[j][0] || (bone.dofRy != 0) != body.hasDof[j][1] ||
        (bone.dofRz != 0) != body.hasDof[j][2] || std::fabs(bone.length - body.length[j]) > 1e-4) {
      std::fprintf(stderr, "make_sample_data: bone %s reads back differently\n", BoneNameTable[j]);
      return false;
    }
  }
  if (skeleton.totalDof != totalDof) {
    std::fprintf(stderr, "make_sample_data: %d degrees of freedom read back, %d written\n",
                 skeleton.totalDof, totalDof);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr,
                 "usage: make_sample_data <folder>\n"
                 "Writes MartialArts.asf, data/motions/*.amc and data/scenes/default.sce into "
                 "<folder>, creating it when needed.\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder + "/data/motions", error);
  if (!error) std::filesystem::create_directories(folder + "/data/scenes", error);
  if (error) {
    std::fprintf(stderr, "make_sample_data: cannot create folders in %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }

  const SampleBody body = sample_MakeBody();
  const std::string asfPath = folder + "/MartialArts.asf";
  if (!sample_WriteSkeleton(body, asfPath)) return 1;
  Skeleton skeleton(asfPath, static_cast<float>(kSampleScale));
  if (!sample_SkeletonMatches(body, skeleton)) return 1;

  std::vector<SampleClip> clips;
  clips.push_back(sample_MakeWalk(body));
  clips.push_back(sample_MakeIdle(body));
  clips.push_back(sample_MakePunch(body));
  clips.push_back(sample_MakeGuard(body));

  bool ok = true;
  for (SampleClip& clip : clips) {
    sample_RoundAsWritten(&clip.frames);
    const double correction = sample_PlaceOnGround(&skeleton, &clip.frames);
    const int outOfRange = sample_CountOutOfLimits(body, clip);
    if (clip.unreachedFeet > 0 || outOfRange > 0) {
      std::fprintf(stderr, "make_sample_data: %s: %d unreached feet, %d angles out of range\n",
                   clip.name, clip.unreachedFeet, outOfRange);
      ok = false;
    }
    const std::string path = folder + "/data/motions/" + clip.name + ".amc";
    if (!sample_WriteClip(body, clip, path)) return 1;
    std::printf("%s: %zu frames, ground correction %.2f mm\n", path.c_str(), clip.frames.size(),
                correction * 1000.0);
  }
  sample_RemoveStaleFiles(folder, clips);
  if (!sample_WriteScene(clips, folder + "/data/scenes/default.sce")) return 1;
  return ok ? 0 : 1;
}
