#pragma once

#include <type_traits>

#include "core/quaternion.h"
#include "core/vector3.h"

// Number of joints of the one body layout the system handles; a joint's index
// is its index in the bone name table.
constexpr int kJointCount = 31;

// One frame of a motion: the root position (world units, the AMC translation
// times the motion's scale) and one rotation per joint; rotation 0 is the
// root's orientation. Exactly 127 floats without padding, so arrays of
// postures are written to and read from the posture cache as raw bytes.
struct Posture {
  // Root at the origin, every rotation the identity.
  Posture() = default;

  Vector3 root;
  Quaternion rotation[kJointCount];
};

static_assert(sizeof(Posture) == 508, "a posture is 127 floats, written raw");
static_assert(std::is_trivially_copyable<Posture>::value, "postures are copied as bytes");
