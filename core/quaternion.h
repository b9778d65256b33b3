#pragma once

#include <type_traits>

#include "core/matrix4.h"
#include "core/vector3.h"

// A rotation as a single-precision quaternion: x, y, z (vector part) then w
// (scalar part), in that order. A plain value type written raw into the
// posture cache; its layout must not change.
//
// Rotations are kept at unit length: every product and every conversion into
// a quaternion (Euler angles, axis and angle, Slerp) ends with Normalize.
// SetFromMatrix and the component-wise operations (+=, -=, *= float) do not
// normalise.
//
// Units: Euler angles are in degrees, converted with pi taken as 3.14159
// (0.017453277777777776 rad per degree, 57.295827908797776 degrees per rad);
// axis angles and AngleTo are in radians.
//
// Matrices are row-major Matrix4 rotations (points as columns); transpose one
// before handing it to OpenGL.
class Quaternion {
 public:
  // The identity rotation (0, 0, 0, 1).
  Quaternion() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
  // The components as given, not normalised.
  Quaternion(float x_value, float y_value, float z_value, float w_value)
      : x(x_value), y(y_value), z(z_value), w(w_value) {}
  // From Euler angles in degrees; see SetEuler.
  Quaternion(float ax, float ay, float az) { SetEuler(ax, ay, az); }
  Quaternion(const Quaternion& q) = default;
  Quaternion& operator=(const Quaternion& q) = default;

  // (0, 0, 0, 1).
  void SetIdentity();

  // From Euler angles in degrees, any range: the rotation about X acts first,
  // then Y, then Z (the product yaw * pitch * roll), normalised.
  void SetEuler(float ax, float ay, float az);

  // (axis * sin(angle / 2), cos(angle / 2)), normalised; angle in radians.
  // The axis is not normalised first: pass a unit axis, since a longer one
  // also turns the rotation further (e.g. axis length 2 at 90 degrees gives
  // about 127 degrees).
  void SetAxisAngle(const Vector3& axis, float angle);

  // Hamilton product: this = this * q, then normalised. Applied to vectors,
  // q acts first.
  Quaternion& operator*=(const Quaternion& q);
  // Same as operator*= (q).
  Quaternion& MulAssign(const Quaternion& q);

  // Divides all four components by their Euclidean norm. A zero quaternion
  // (norm 0) becomes the identity; NaN components stay NaN.
  void Normalize();

  // x qx + y qy + z qz + w qw.
  float Dot(const Quaternion& q) const;

  // Component-wise sum and difference, not normalised.
  Quaternion& operator+=(const Quaternion& q);
  Quaternion& operator-=(const Quaternion& q);
  // Same as operator-= (q).
  Quaternion& Subtract(const Quaternion& q);

  // All four components times s, not normalised.
  Quaternion& operator*=(float s);

  // += q, then Normalize.
  Quaternion& AddNormalized(const Quaternion& q);

  // This becomes 2 (this . q) q - this, not normalised.
  Quaternion& Reflect(const Quaternion& q);

  // Normalises, then negates x, y, z: the inverse rotation.
  void Invert();
  // An inverted copy; this is unchanged.
  Quaternion GetInverse() const;

  // The inverse of this times q (normalised product); this is unchanged.
  Quaternion InverseTimes(const Quaternion& q) const;

  // Writes the row-major rotation matrix into *out (translation 0, last row
  // (0, 0, 0, 1)). Exact only for unit quaternions. out must not be null.
  void GetMatrix(Matrix4* out) const;

  // From the rotation part (upper 3 x 3) of a row-major matrix, without a
  // final normalisation: the matrix of a unit q gives q or -q, within a few
  // float steps. w comes out positive when T = m00 + m11 + m22 + 1 exceeds
  // 0.01; otherwise the component of a largest diagonal entry is positive
  // (z when m22 ties for largest, x when m00 and m11 tie above m22).
  void SetFromMatrix(const Matrix4& matrix);

  // Euler angles in degrees such that SetEuler(out) gives the same rotation:
  // y in [-90, 90], x and z in [-180, 180] (true pi converted with the factor
  // above, so each bound may be passed by up to 0.0002). When sin Y rounds to
  // +-1 (gimbal lock) z is 0 and x absorbs the Z rotation. Always finite for a
  // unit quaternion; but within about 0.02 degrees of Y = +-90 single
  // precision cannot split X from Z well, and the angles may describe a
  // rotation up to about 0.1 radian off. out must not be null.
  void GetEuler(Vector3* out) const;

  // Angle measure in radians between this and q, for the pose metric:
  // acos(|d - 0.00001|) with d = Dot(q), the argument limited to 1 (so d
  // below -0.99999, q against nearly -q, gives 0). Equal rotations give about
  // 0.004472, not 0. Against the half-angle of the turn from this to q,
  // acos(|d|), it is slightly larger for d >= 0 and slightly smaller below.
  float AngleTo(const Quaternion& q) const;

  // Rows 0, 1 and 2 of the GetMatrix matrix (first three entries),
  // normalised: the rotated frame's X, Y and Z axes as the entity uses them.
  Vector3 GetXAxis() const;
  Vector3 GetYAxis() const;
  Vector3 GetZAxis() const;

  float x;
  float y;
  float z;
  float w;
};

static_assert(sizeof(Quaternion) == 16, "Quaternion is written raw: four floats");
static_assert(std::is_trivially_copyable<Quaternion>::value,
              "Quaternion is written raw: it must stay trivially copyable");
static_assert(std::is_standard_layout<Quaternion>::value,
              "Quaternion is written raw: x, y, z, w in declaration order");

// A copy of a, *= b (Hamilton product a * b, normalised).
Quaternion operator*(const Quaternion& a, const Quaternion& b);

// Spherical interpolation from a (t = 0) to b (t = 1) along the shorter arc:
// when a . b < 0, b is negated first, so t = 1 gives -b then. Nearly equal
// rotations (1 - a . b <= 9.9e-8) are interpolated linearly. The result is
// normalised. t outside [0, 1] extrapolates. out must not be null.
void Slerp(float t, Quaternion a, Quaternion b, Quaternion* out);
