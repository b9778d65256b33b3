#include "core/vector3.h"

#include <cmath>

Vector3 Vector3::Set(float x_value, float y_value, float z_value) {
  x = x_value;
  y = y_value;
  z = z_value;
  return *this;
}

float& Vector3::operator[](int index) {
  if (index == 0) return x;
  if (index == 1) return y;
  return z;
}

const float& Vector3::operator[](int index) const {
  if (index == 0) return x;
  if (index == 1) return y;
  return z;
}

Vector3& Vector3::operator+=(const Vector3& v) {
  x += v.x;
  y += v.y;
  z += v.z;
  return *this;
}

float Vector3::Length() const { return std::sqrt(x * x + y * y + z * z); }

void Vector3::Normalize() {
  const float length = Length();
  x /= length;
  y /= length;
  z /= length;
}

Vector3 operator+(const Vector3& a, const Vector3& b) {
  return Vector3(a.x + b.x, a.y + b.y, a.z + b.z);
}

Vector3 operator-(const Vector3& a, const Vector3& b) {
  return Vector3(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector3 operator*(float s, const Vector3& a) { return Vector3(s * a.x, s * a.y, s * a.z); }

Vector3 operator/(const Vector3& a, float s) { return Vector3(a.x / s, a.y / s, a.z / s); }

float DotProduct(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector3 CrossProduct(const Vector3& a, const Vector3& b) {
  return Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

Vector3 Lerp(float t, const Vector3& a, const Vector3& b) { return (1.0f - t) * a + t * b; }

float Length(const Vector3& a) { return a.Length(); }

Vector3 Normalize(const Vector3& a) { return a / a.Length(); }

float AngleBetween(const Vector3& a, const Vector3& b) {
  float cosine = DotProduct(a, b) / (a.Length() * b.Length());
  // Rounding can push parallel vectors just past +-1; NaN passes through.
  if (cosine > 1.0f) cosine = 1.0f;
  if (cosine < -1.0f) cosine = -1.0f;
  return static_cast<float>(std::acos(static_cast<double>(cosine)));
}

float Distance(const Vector3& a, const Vector3& b) { return (a - b).Length(); }

bool IsFinite(const Vector3& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }
