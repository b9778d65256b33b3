#include "core/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>

namespace {

// A second formulation in double precision from the textbook definitions:
// quaternions (x, y, z, w), vectors as (x, y, z, 0).
struct Q4 {
  double x, y, z, w;
};
const Q4 kAxes[] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};  // a rotation is fixed by what it does to these
Q4 Of(const Quaternion& q) { return {q.x, q.y, q.z, q.w}; }
Q4 Conj(const Q4& q) { return {-q.x, -q.y, -q.z, q.w}; }
Q4 Mul(const Q4& a, const Q4& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
Q4 Rotate(const Q4& q, const Q4& v) { return Mul(Mul(q, v), Conj(q)); }
// The angle of the rotation taking a to b, radians, in [0, pi].
double RotationAngle(const Quaternion& a, const Quaternion& b) {
  const Q4 r = Mul(Conj(Of(a)), Of(b));
  return 2.0 * std::atan2(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), std::fabs(r.w));
}
// Uniform over rotations; a small wScale favours rotations near a half-turn.
Quaternion RandomUnit(std::mt19937* rng, double wScale = 1.0) {
  std::normal_distribution<double> normal;
  const double x = normal(*rng), y = normal(*rng), z = normal(*rng), w = wScale * normal(*rng);
  const double n = std::sqrt(x * x + y * y + z * z + w * w);
  return Quaternion(x / n, y / n, z / n, w / n);
}
// `actual` equals sign * `expected` (w unchecked when expected.w is NAN) within `tolerance`.
void ExpectNear(const Q4& expected, const Q4& actual, double tolerance, double sign = 1.0) {
  const double e[4] = {expected.x, expected.y, expected.z, expected.w}, a[4] = {actual.x, actual.y, actual.z, actual.w};
  for (int i = 0; i < (std::isnan(expected.w) ? 3 : 4); ++i) EXPECT_NEAR(a[i], sign * e[i], tolerance) << "xyzw"[i];
}

TEST(Quaternion, ProductsMatricesAndAxesMatchConjugationAndSetFromMatrixInverts) {
  ExpectNear({0, 0, 0, 1}, Of(Quaternion(0, 0, 0, 2) * Quaternion(0, 0, 0, 3)), 0.0);
  // Exact half-turns first: about each axis and about the x = y diagonal,
  // whose tie of m00 and m11 above m22 once gave NaN.
  const double h = std::sqrt(0.5);
  const Q4 halfTurns[] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {h, h, 0, 0}, {h, -h, 0, 0}, {0, h, h, 0}};
  std::mt19937 rng(11);
  for (int n = 0; n < 3000; ++n) {
    Quaternion q = RandomUnit(&rng, n % 2 == 0 ? 1.0 : 0.03);
    if (n < 6) q = Quaternion(halfTurns[n].x, halfTurns[n].y, halfTurns[n].z, halfTurns[n].w);
    const Quaternion b = RandomUnit(&rng);
    Quaternion product = q;
    product.MulAssign(b);
    Matrix4 m;
    q.GetMatrix(&m);
    const Vector3 axes[3] = {q.GetXAxis(), q.GetYAxis(), q.GetZAxis()};
    for (int c = 0; c < 3; ++c) {
      const Q4& v = kAxes[c];
      ExpectNear(Rotate(Of(q), Rotate(Of(b), v)), Rotate(Of(product), v), 2e-6);
      ExpectNear(Rotate(Conj(Of(q)), Rotate(Of(b), v)), Rotate(Of(q.InverseTimes(b)), v), 2e-6);
      // Column c is the rotated axis c; row c the inverse rotation of axis c.
      ExpectNear({m.m[c], m.m[4 + c], m.m[8 + c], NAN}, Rotate(Of(q), v), 2e-6);
      ExpectNear({axes[c].x, axes[c].y, axes[c].z, NAN}, Rotate(Conj(Of(q)), v), 2e-6);
    }
    for (int e : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[e], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
    // The trace formula divides by sqrt(T), so its rounding grows as T = 4 w^2
    // shrinks; below T = 0.01 the column formulas must take over.
    const float trace = m.m[0] + m.m[5] + m.m[10] + 1.0f;
    Quaternion back;
    back.SetFromMatrix(m);
    ExpectNear(Of(q), Of(back), trace > 0.01f ? 1e-6 / trace : 2e-7, back.Dot(q) < 0.0f ? -1.0 : 1.0);
  }
}

TEST(Quaternion, EulerAnglesAreZYXAxisRotationsAndReadBackNearNinetyDegreesOfY) {
  // Rotation about axis 0 (X), 1 (Y) or 2 (Z) by degrees, pi taken as 3.14159.
  auto turn = [](int axis, double degrees, const Q4& v) -> Q4 {
    const double c = std::cos(degrees * 3.14159 / 180.0), s = std::sin(degrees * 3.14159 / 180.0);
    if (axis == 0) return {v.x, c * v.y - s * v.z, s * v.y + c * v.z, 0};
    if (axis == 1) return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z, 0};
    return {c * v.x - s * v.y, s * v.x + c * v.y, v.z, 0};
  };
  // Within about 0.02 degrees of Y = +-90 single precision cannot split the
  // rotation between X and Z well: there the angles read back coarsely.
  for (const auto& [ay, tolerance] : {std::pair{-35.0f, 1e-4}, {70.0f, 1e-4}, {-89.5f, 2e-4}, {89.9f, 1e-3},
                                      {90.0f, 0.15}, {-90.0f, 0.15}, {89.9999f, 0.15}, {90.01f, 0.15}, {200.0f, 1e-3}}) {
    for (float ax = -180; ax <= 370; ax += 10) {
      for (float az = -185; az <= 370; az += 10) {
        Quaternion q;
        q.SetEuler(ax, ay, az);
        for (const Q4& v : kAxes) ExpectNear(turn(2, az, turn(1, ay, turn(0, ax, v))), Rotate(Of(q), v), 4e-6);
        Vector3 out;
        q.GetEuler(&out);
        // Past 90 the same rotation reads as 180 - Y with X and Z turned.
        EXPECT_NEAR(std::fabs(out.y), 90 - std::fabs(90 - std::fabs(std::remainder(ay, 360.0f))), 0.05);
        EXPECT_LT(RotationAngle(q, Quaternion(out.x, out.y, out.z)), tolerance) << ax << " " << ay << " " << az;
      }
    }
  }
}

TEST(Quaternion, SlerpSubtendsTheFractionAndAngleToIsHalfTheRotationWithoutNaN) {
  std::mt19937 rng(5);
  for (int n = 0; n < 500; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng), minusA(-a.x, -a.y, -a.z, -a.w);
    const double full = RotationAngle(a, b);
    Quaternion out;
    for (float t : {0.0f, 0.1f, 0.5f, 0.8f, 1.0f}) {
      Slerp(t, a, b, &out);
      EXPECT_NEAR(out.Dot(out), 1.0, 1e-6);
      EXPECT_NEAR(RotationAngle(a, out), t * full, 1e-5);
      EXPECT_NEAR(RotationAngle(out, b), (1.0 - t) * full, 1e-5);
    }
    ExpectNear(Of(b), Of(out), 1e-6, a.Dot(b) < 0.0f ? -1.0 : 1.0);  // the shorter arc: t = 1 gives -b
    Slerp(0.5f, a, minusA, &out);  // q and -q are one rotation: no turn at all
    ExpectNear(Of(a), Of(out), 1e-6);
    EXPECT_NEAR(a.AngleTo(b), full / 2.0, 3e-3);  // plus the small offset's effect
    EXPECT_NEAR(minusA.AngleTo(b), full / 2.0, 3e-3);
  }
  // acos(|d - 0.00001|): at d = -0.5 that is 1.0471860, where acos(|d| - 0.00001) would give 1.0472091.
  EXPECT_NEAR(Quaternion(0, 0, 0, 1).AngleTo(Quaternion(0, 0, std::sqrt(0.75f), -0.5f)), 1.0471860, 3e-7);
  const Quaternion longQ(0, 0, 0, 1.01f);  // not quite unit: no NaN
  EXPECT_EQ(longQ.AngleTo(longQ), 0.0f);
  Quaternion out(0, 0, 0, 0);
  out.Normalize();  // nor for a zero quaternion
  ExpectNear({0, 0, 0, 1}, Of(out), 0.0);
  // Rotations whose dot product rounds to 1 (no angle to divide by) blend
  // along the line between them.
  for (float t : {0.3f, 1.0f}) {
    Slerp(t, Quaternion(0, 0, 0, 1), Quaternion(0, 0, 1e-4f, 1), &out);
    ExpectNear({0, 0, t * 1e-4, 1}, Of(out), 1e-9);
  }
}

}  // namespace
