#pragma once

#include <type_traits>

// A single-precision 3-vector for positions, offsets and directions. A plain
// value type: three floats x, y, z in that order, copied and passed by value
// and written raw into binary caches, so its layout must not change.
//
// All arithmetic is single precision, one rounding per operation, in the
// order written below. No operation checks its inputs: a zero length divides
// as the floating-point rules say (infinities or NaN), so callers must not
// normalise a zero vector.
class Vector3 {
 public:
  // The zero vector (0, 0, 0).
  Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3(float x_value, float y_value, float z_value) : x(x_value), y(y_value), z(z_value) {}

  // Sets the three components and returns a copy of the result.
  Vector3 Set(float x_value, float y_value, float z_value);

  // Component by index: 0 is x, 1 is y, 2 is z. Any other index is a caller
  // error; it selects z.
  float& operator[](int index);
  const float& operator[](int index) const;

  float GetX() const { return x; }
  float GetY() const { return y; }
  float GetZ() const { return z; }

  // Adds v component-wise.
  Vector3& operator+=(const Vector3& v);

  // Euclidean length: sqrt(x*x + y*y + z*z).
  float Length() const;

  // Divides each component by the length, in place. A zero vector becomes
  // NaN in every component.
  void Normalize();

  float x;
  float y;
  float z;
};

static_assert(sizeof(Vector3) == 12, "Vector3 is written raw: three floats");
static_assert(std::is_trivially_copyable<Vector3>::value,
              "Vector3 is written raw: it must stay trivially copyable");
static_assert(std::is_standard_layout<Vector3>::value,
              "Vector3 is written raw: x, y, z in declaration order");

// Component-wise sum and difference.
Vector3 operator+(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& a, const Vector3& b);

// Each component times s (the scalar comes first).
Vector3 operator*(float s, const Vector3& a);

// Each component divided by s; s = 0 follows the floating-point rules.
Vector3 operator/(const Vector3& a, float s);

// a.x*b.x + a.y*b.y + a.z*b.z.
float DotProduct(const Vector3& a, const Vector3& b);

// (ay bz - az by, az bx - ax bz, ax by - ay bx), right-handed.
Vector3 CrossProduct(const Vector3& a, const Vector3& b);

// (1 - t) a + t b, component-wise; t = 0 gives a, t = 1 gives b. t is not
// limited to [0, 1].
Vector3 Lerp(float t, const Vector3& a, const Vector3& b);

// Same as a.Length().
float Length(const Vector3& a);

// a divided by its length; NaN components for a zero vector.
Vector3 Normalize(const Vector3& a);

// The angle between a and b in radians, in [0, pi]: acos of the dot product
// over the product of the lengths. The cosine is limited to [-1, 1] so that
// parallel vectors give 0 or pi rather than NaN from rounding; a zero vector
// gives NaN.
float AngleBetween(const Vector3& a, const Vector3& b);

// Length of a - b.
float Distance(const Vector3& a, const Vector3& b);

// True when no component is NaN or an infinity.
bool IsFinite(const Vector3& a);
