#pragma once

// The small hand-made capture data of the tests, fuzz targets and benchmarks:
// a 31-joint ASF skeleton with the common 62-channel layout and AMC clips for
// it. No GoogleTest here, so programs without it (fuzz targets, benchmarks)
// use it too.

#include <functional>
#include <string>

#include "motion/posture.h"

namespace testing_support {

// Degrees of freedom ("dof" words, always in x, y, z order) of each joint of
// the small skeletons: the layout of the common 62-channel capture skeleton.
// Empty for the root and the two hip joints, which have no "dof" line.
extern const char* const kTinyDof[kJointCount];

// True when joint `joint` (0 to 30) turns about `axis` ('x', 'y' or 'z')
// in kTinyDof; false for the root, whose line is not in the table.
bool TinyHasDof(int joint, char axis);

// The rest layout of one bone, as its block in the ASF file gives it.
struct TinyBone {
  float direction[3];  // need not be of unit length
  float length;        // file units, before the skeleton's scale
  float axis[3];       // degrees, order XYZ
};

// Bone i pointing up (0 1 0), of length 1, with the axis 0 0 0.
TinyBone UprightBone(int i);
// Bone i pointing along x, y or (0 0.6 -0.8) as i % 3 is 0, 1 or 2, of
// length 1 + i % 4, with the axis (i * 7 % 40) 0 -20: joints that do not line
// up and bones with turned axis frames.
TinyBone TiltedBone(int i);

// ASF text of the 31-joint skeleton whose bone i (1 to 30) has the layout
// bone(i), the degrees of freedom of kTinyDof and the tree of kTinyHierarchy.
// Numbers are written with "%g".
std::string TinySkeletonAsf(TinyBone (*bone)(int i));

// Writes TinySkeletonAsf(bone) as "MartialArts.asf" into the working folder
// and creates the motion folder. False (with a line on stderr) when either
// cannot be done.
bool WriteTinySkeleton(TinyBone (*bone)(int i) = UprightBone);

// The number an AMC clip holds for frame f (0-based) and joint j: for the
// root (j = 0) the six words of its line, a = 0 to 5 in the order TX TY TZ
// RX RY RZ; for any other joint its angle in degrees about axis a (0, 1, 2
// for x, y, z).
using TinyValue = std::function<double(int f, int j, int a)>;

// AMC text of `frames` frames for the small skeletons: `header` (the lines
// before the first frame, each ending in '\n'), then for each frame f its
// number f + 1 on a line, the root line and one line for each joint with
// degrees of freedom (in joint order) holding value(f, j, a) for the axes of
// kTinyDof[j]. Numbers are written with "%g".
std::string TinyAmcText(const std::string& header, int frames, const TinyValue& value);

}  // namespace testing_support
