#include "core/quaternion.h"

#include <cmath>

// Precision: arithmetic is single precision, one rounding per operation, in
// the order written. Library functions (sin, cos, sqrt, acos, atan2) run in
// double on float arguments and their results are rounded to float at once;
// expressions with a double constant are evaluated in double and rounded to
// float when stored. This keeps results reproducible bit for bit.

namespace {

// pi taken as 3.14159.
constexpr double kQuatRadiansPerDegree = 0.017453277777777776;
constexpr double kQuatDegreesPerRadian = 57.295827908797776;

// Below this |cos(y)| the Euler conversion is in gimbal lock.
constexpr float kQuatGimbalCosine = 1.11e-7f;

// Slerp interpolates linearly when 1 - cos(angle) is at most this.
constexpr double kQuatSlerpLinear = 9.9e-8;

// SetFromMatrix uses the trace formula only above this T = 4 w^2 (|w| > 0.05).
// Its division by sqrt(T) magnifies rounding without bound as w nears 0 (a
// half-turn can come back as a quite different rotation); the column formulas
// are well conditioned there.
constexpr float kQuatTraceMin = 0.01f;

// AngleTo's offset, which keeps equal rotations off acos(1).
constexpr double kQuatAngleOffset = 0.00001;

float quat_sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float quat_cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float quat_acos(float a) { return static_cast<float>(std::acos(static_cast<double>(a))); }
float quat_atan2(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// Degrees to radians, rounded to float.
float quat_radians(float degrees) { return static_cast<float>(degrees * kQuatRadiansPerDegree); }

// Radians (already a float) to degrees, rounded to float.
float quat_degrees(float radians) { return static_cast<float>(radians * kQuatDegreesPerRadian); }

}  // namespace

void Quaternion::SetIdentity() {
  x = 0.0f;
  y = 0.0f;
  z = 0.0f;
  w = 1.0f;
}

void Quaternion::SetEuler(float ax, float ay, float az) {
  const float half_x = quat_radians(ax) / 2.0f;
  const float half_y = quat_radians(ay) / 2.0f;
  const float half_z = quat_radians(az) / 2.0f;
  Quaternion roll(quat_sin(half_x), 0.0f, 0.0f, quat_cos(half_x));
  Quaternion pitch(0.0f, quat_sin(half_y), 0.0f, quat_cos(half_y));
  Quaternion yaw(0.0f, 0.0f, quat_sin(half_z), quat_cos(half_z));
  roll.Normalize();
  pitch.Normalize();
  yaw.Normalize();
  *this = yaw;
  *this *= pitch;
  *this *= roll;
  Normalize();
}

void Quaternion::SetAxisAngle(const Vector3& axis, float angle) {
  const float half = angle / 2.0f;
  const float s = quat_sin(half);
  x = axis.x * s;
  y = axis.y * s;
  z = axis.z * s;
  w = quat_cos(half);
  Normalize();
}

Quaternion& Quaternion::operator*=(const Quaternion& q) {
  const float x1 = x, y1 = y, z1 = z, w1 = w;
  w = w1 * q.w - x1 * q.x - y1 * q.y - z1 * q.z;
  x = w1 * q.x + x1 * q.w + y1 * q.z - z1 * q.y;
  y = w1 * q.y + y1 * q.w + z1 * q.x - x1 * q.z;
  z = w1 * q.z + z1 * q.w + x1 * q.y - y1 * q.x;
  Normalize();
  return *this;
}

Quaternion& Quaternion::MulAssign(const Quaternion& q) { return *this *= q; }

void Quaternion::Normalize() {
  const float norm = std::sqrt(x * x + y * y + z * z + w * w);
  if (norm == 0.0f) {
    // No direction to keep: fall back to "no rotation".
    SetIdentity();
    return;
  }
  x /= norm;
  y /= norm;
  z /= norm;
  w /= norm;
}

float Quaternion::Dot(const Quaternion& q) const { return x * q.x + y * q.y + z * q.z + w * q.w; }

Quaternion& Quaternion::operator+=(const Quaternion& q) {
  x += q.x;
  y += q.y;
  z += q.z;
  w += q.w;
  return *this;
}

Quaternion& Quaternion::operator-=(const Quaternion& q) {
  x -= q.x;
  y -= q.y;
  z -= q.z;
  w -= q.w;
  return *this;
}

Quaternion& Quaternion::Subtract(const Quaternion& q) { return *this -= q; }

Quaternion& Quaternion::operator*=(float s) {
  x *= s;
  y *= s;
  z *= s;
  w *= s;
  return *this;
}

Quaternion& Quaternion::AddNormalized(const Quaternion& q) {
  *this += q;
  Normalize();
  return *this;
}

Quaternion& Quaternion::Reflect(const Quaternion& q) {
  const float twice_dot = 2.0f * Dot(q);
  x = twice_dot * q.x - x;
  y = twice_dot * q.y - y;
  z = twice_dot * q.z - z;
  w = twice_dot * q.w - w;
  return *this;
}

void Quaternion::Invert() {
  Normalize();
  x = -x;
  y = -y;
  z = -z;
}

Quaternion Quaternion::GetInverse() const {
  Quaternion inverse = *this;
  inverse.Invert();
  return inverse;
}

Quaternion Quaternion::InverseTimes(const Quaternion& q) const { return GetInverse() * q; }

void Quaternion::GetMatrix(Matrix4* out) const {
  const float x2 = 2.0f * x, y2 = 2.0f * y, z2 = 2.0f * z;
  float* m = out->m;
  m[0] = 1.0f - (y * y2 + z * z2);
  m[1] = x * y2 - w * z2;
  m[2] = x * z2 + w * y2;
  m[3] = 0.0f;
  m[4] = x * y2 + w * z2;
  m[5] = 1.0f - (x * x2 + z * z2);
  m[6] = y * z2 - w * x2;
  m[7] = 0.0f;
  m[8] = x * z2 - w * y2;
  m[9] = y * z2 + w * x2;
  m[10] = 1.0f - (x * x2 + y * y2);
  m[11] = 0.0f;
  m[12] = 0.0f;
  m[13] = 0.0f;
  m[14] = 0.0f;
  m[15] = 1.0f;
}

void Quaternion::SetFromMatrix(const Matrix4& matrix) {
  const float* m = matrix.m;
  const float m00 = m[0], m01 = m[1], m02 = m[2];
  const float m10 = m[4], m11 = m[5], m12 = m[6];
  const float m20 = m[8], m21 = m[9], m22 = m[10];

  const float trace = static_cast<float>(m00 + m11 + m22 + 1.0);
  if (trace > kQuatTraceMin) {
    const float s = static_cast<float>(0.5 / std::sqrt(static_cast<double>(trace)));
    x = (m21 - m12) * s;
    y = (m02 - m20) * s;
    z = (m10 - m01) * s;
    w = static_cast<float>(0.25 / s);
    return;
  }

  // The column of a largest diagonal entry, z on a tie with m22. A tie of
  // m00 and m11 above m22 must not fall to column 2: its S is about 0 (a
  // half-turn about the x = y diagonal would give NaN).
  int column = 2;
  if (!(m22 >= m00 && m22 >= m11)) column = m11 > m00 ? 1 : 0;
  if (column == 0) {
    const float s = static_cast<float>(2.0 * std::sqrt(1.0 + m00 - m11 - m22));
    x = s / 4.0f;
    y = (m01 + m10) / s;
    z = (m02 + m20) / s;
    w = (m21 - m12) / s;
  } else if (column == 1) {
    const float s = static_cast<float>(2.0 * std::sqrt(1.0 + m11 - m00 - m22));
    x = (m01 + m10) / s;
    y = s / 4.0f;
    z = (m12 + m21) / s;
    w = (m02 - m20) / s;
  } else {
    const float s = static_cast<float>(2.0 * std::sqrt(1.0 + m22 - m00 - m11));
    x = (m02 + m20) / s;
    y = (m12 + m21) / s;
    z = s / 4.0f;
    w = (m10 - m01) / s;
  }
}

void Quaternion::GetEuler(Vector3* out) const {
  float sy = static_cast<float>(-(2.0 * x * z - 2.0 * w * y));
  // Rounding can put |sy| a step past 1 near Y = +-90; limited, it takes the
  // gimbal branch instead of giving NaN.
  if (sy > 1.0f) sy = 1.0f;
  if (sy < -1.0f) sy = -1.0f;
  const float cy = static_cast<float>(std::sqrt(1.0 - static_cast<double>(sy) * sy));

  float angle_x;
  float angle_z;
  const float angle_y = quat_atan2(sy, cy);
  if (std::fabs(cy) <= kQuatGimbalCosine) {
    angle_x = quat_atan2(-(2.0f * y * z - 2.0f * w * x), 1.0f - 2.0f * x * x - 2.0f * z * z);
    angle_z = 0.0f;
  } else {
    angle_x =
        quat_atan2((2.0f * y * z + 2.0f * w * x) / cy, (1.0f - 2.0f * x * x - 2.0f * y * y) / cy);
    angle_z =
        quat_atan2((2.0f * x * y + 2.0f * w * z) / cy, (1.0f - 2.0f * y * y - 2.0f * z * z) / cy);
  }
  out->x = quat_degrees(angle_x);
  out->y = quat_degrees(angle_y);
  out->z = quat_degrees(angle_z);
}

float Quaternion::AngleTo(const Quaternion& q) const {
  // Below d = -0.99999 (q against nearly -q, the same rotation) and where
  // rounding pushed d past 1 the argument would leave acos's domain: it is
  // limited to 1, the value it has at d = -0.99999.
  double cosine = std::fabs(static_cast<double>(Dot(q)) - kQuatAngleOffset);
  if (cosine > 1.0) cosine = 1.0;
  return static_cast<float>(std::acos(cosine));
}

Vector3 Quaternion::GetXAxis() const {
  Matrix4 m;
  GetMatrix(&m);
  return ::Normalize(Vector3(m.m[0], m.m[1], m.m[2]));
}

Vector3 Quaternion::GetYAxis() const {
  Matrix4 m;
  GetMatrix(&m);
  return ::Normalize(Vector3(m.m[4], m.m[5], m.m[6]));
}

Vector3 Quaternion::GetZAxis() const {
  Matrix4 m;
  GetMatrix(&m);
  return ::Normalize(Vector3(m.m[8], m.m[9], m.m[10]));
}

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
  Quaternion product = a;
  product *= b;
  return product;
}

void Slerp(float t, Quaternion a, Quaternion b, Quaternion* out) {
  float c = a.Dot(b);
  if (c < 0.0f) {
    // Take the shorter way round: -b is the same rotation as b.
    c = -c;
    b *= -1.0f;
  }
  float weight_a;
  float weight_b;
  if (1.0 - c > kQuatSlerpLinear) {
    const float omega = quat_acos(c);
    const float sin_omega = quat_sin(omega);
    weight_a = quat_sin((1.0f - t) * omega) / sin_omega;
    weight_b = quat_sin(t * omega) / sin_omega;
  } else {
    weight_a = 1.0f - t;
    weight_b = t;
  }
  out->x = weight_a * a.x + weight_b * b.x;
  out->y = weight_a * a.y + weight_b * b.y;
  out->z = weight_a * a.z + weight_b * b.z;
  out->w = weight_a * a.w + weight_b * b.w;
  out->Normalize();
}
