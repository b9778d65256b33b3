#pragma once

#include <type_traits>

#include "core/vector3.h"

// A single-precision 4 x 4 matrix in row-major order: the entry in row r,
// column c is m[r * 4 + c]. Points are columns, transformed by rows, with the
// translation in column 3 (m[3], m[7], m[11]); the last row of a rotation or
// rigid transform is (0, 0, 0, 1).
//
// OpenGL takes matrices column-major: transpose a Matrix4 before handing it
// to OpenGL, and transpose a matrix read back from OpenGL after copying it in.
// A plain value type written raw into binary data; its layout must not change.
class Matrix4 {
 public:
  // The identity.
  Matrix4() { SetIdentity(); }

  // All sixteen entries 0, then 1 on the diagonal.
  void SetIdentity();

  // Copies sixteen floats in order into m, e.g. an array filled by
  // glGetFloatv (still column-major: transpose afterwards).
  Matrix4& operator=(const float (&values)[16]);

  // Component r of the result is m[r][0] x + m[r][1] y + m[r][2] z + m[r][3]
  // for rows 0, 1, 2. Row 3 is ignored and there is no perspective division.
  Vector3 TransformPoint(const Vector3& point) const;

  // Transposes in place.
  void Transpose();

  // Writes four console lines "[ %f %f %f %f ]", one per row, entries in
  // column order (console only, not the log file).
  void Print() const;

  float m[16];
};

static_assert(sizeof(Matrix4) == 64, "Matrix4 is sixteen floats");
static_assert(std::is_trivially_copyable<Matrix4>::value, "Matrix4 must stay trivially copyable");
static_assert(std::is_standard_layout<Matrix4>::value, "Matrix4 must keep its plain layout");
