#include "core/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>

namespace {

// A second, double-precision formulation of the rotation maths, written from
// the textbook definitions and independent of the code under test.
struct Vec {
  double x, y, z;
};
struct Quat {
  double x, y, z, w;
};

Quat ToQuat(const Quaternion& q) { return {q.x, q.y, q.z, q.w}; }
Quat Conjugate(const Quat& q) { return {-q.x, -q.y, -q.z, q.w}; }

Quat Hamilton(const Quat& a, const Quat& b) {
  return {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// q v q* for a unit q.
Vec Rotate(const Quat& q, const Vec& v) {
  const Quat r = Hamilton(Hamilton(q, {v.x, v.y, v.z, 0.0}), Conjugate(q));
  return {r.x, r.y, r.z};
}
Vec Rotate(const Quaternion& q, const Vec& v) { return Rotate(ToQuat(q), v); }

// The angle of the rotation taking a to b, in radians, in [0, pi].
double RotationAngle(const Quaternion& a, const Quaternion& b) {
  const Quat r = Hamilton(Conjugate(ToQuat(a)), ToQuat(b));
  return 2.0 * std::atan2(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), std::fabs(r.w));
}

// Rotation about one coordinate axis (0 X, 1 Y, 2 Z) by degrees, pi taken as
// 3.14159, applied to v.
Vec AxisRotate(int axis, double degrees, const Vec& v) {
  const double a = degrees * 3.14159 / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  if (axis == 0) return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
  if (axis == 1) return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
  return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
}

// Uniform over rotations; a small w_scale favours rotations near a half-turn.
Quaternion RandomUnit(std::mt19937* rng, double w_scale = 1.0) {
  std::normal_distribution<double> normal;
  const Quat q = {normal(*rng), normal(*rng), normal(*rng), w_scale * normal(*rng)};
  const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return Quaternion(static_cast<float>(q.x / n), static_cast<float>(q.y / n),
                    static_cast<float>(q.z / n), static_cast<float>(q.w / n));
}

// Rotations are linear: the three axes determine them.
const Vec kAxes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

void ExpectNearVec(const Vec& a, const Vec& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

// q equals (x, y, z, w) times `sign` within `tolerance`.
void ExpectNearQuat(const Quaternion& q, double x, double y, double z, double w, double tolerance,
                    double sign = 1.0) {
  EXPECT_NEAR(q.x, sign * x, tolerance);
  EXPECT_NEAR(q.y, sign * y, tolerance);
  EXPECT_NEAR(q.z, sign * z, tolerance);
  EXPECT_NEAR(q.w, sign * w, tolerance);
}

TEST(QuaternionTest, ProductsMatricesAndAxesMatchConjugationAndSetFromMatrixInverts) {
  ExpectNearQuat(Quaternion(0, 0, 0, 2) * Quaternion(0, 0, 0, 3), 0, 0, 0, 1, 0.0);
  std::mt19937 rng(11);
  int branch_count[4] = {0, 0, 0, 0};  // trace, column 0, 1, 2
  for (int n = 0; n < 3000; ++n) {
    Quaternion q = RandomUnit(&rng, n % 2 == 0 ? 1.0 : 0.03);
    if (n < 3) q = Quaternion(n == 0, n == 1, n == 2, 0);  // exact half-turns
    const Quaternion b = RandomUnit(&rng);
    Quaternion product = q;
    product.MulAssign(b);
    const Quaternion inverse_times = q.InverseTimes(b);
    Matrix4 m;
    q.GetMatrix(&m);
    const Vector3 axes[3] = {q.GetXAxis(), q.GetYAxis(), q.GetZAxis()};
    for (int c = 0; c < 3; ++c) {
      const Vec& v = kAxes[c];
      ExpectNearVec(Rotate(product, v), Rotate(q, Rotate(b, v)), 2e-6);
      ExpectNearVec(Rotate(inverse_times, v), Rotate(Conjugate(ToQuat(q)), Rotate(b, v)), 2e-6);
      // Column c is the rotated axis c; row c the inverse rotation of axis c.
      ExpectNearVec({m.m[c], m.m[4 + c], m.m[8 + c]}, Rotate(q, v), 2e-6);
      ExpectNearVec({axes[c].x, axes[c].y, axes[c].z}, Rotate(Conjugate(ToQuat(q)), v), 2e-6);
    }
    for (int e : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[e], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);

    // The trace formula divides by sqrt(T), so its rounding grows as T = 4 w^2
    // shrinks; below T = 0.01 the column formulas must take over.
    const float d0 = m.m[0], d1 = m.m[5], d2 = m.m[10];
    const float trace = d0 + d1 + d2 + 1.0f;
    double tolerance = 2e-7;
    if (trace > 0.01f) {
      ++branch_count[0];
      tolerance = 1e-6 / trace;
    } else {
      ++branch_count[d0 > d1 && d0 > d2 ? 1 : d1 > d0 && d1 > d2 ? 2 : 3];
    }
    Quaternion back;
    back.SetFromMatrix(m);
    ExpectNearQuat(back, q.x, q.y, q.z, q.w, tolerance, back.Dot(q) < 0.0f ? -1.0 : 1.0);
  }
  for (int k = 0; k < 4; ++k) EXPECT_GT(branch_count[k], 300) << k;
}

TEST(QuaternionTest, SetEulerMatchesAxisRotationsZYX) {
  const float angles[] = {-170, -95, -30, 0, 45, 90, 135, 200, 370};
  for (float ax : angles) {
    for (float ay : angles) {
      for (float az : angles) {
        Quaternion q;
        q.SetEuler(ax, ay, az);
        EXPECT_NEAR(q.Dot(q), 1.0, 2e-6);
        for (const Vec& v : kAxes) {
          ExpectNearVec(Rotate(q, v), AxisRotate(2, az, AxisRotate(1, ay, AxisRotate(0, ax, v))),
                        4e-6);
        }
      }
    }
  }
}

TEST(QuaternionTest, GetEulerGivesTheSameRotationAndStaysFiniteNearNinetyDegreesOfY) {
  // Within about 0.02 degrees of Y = +-90 single precision cannot split the
  // rotation between X and Z well, so there the rotation is checked coarsely.
  for (const auto& [ay, tolerance] : {std::pair{-35.0f, 1e-4},
                                      {70.0f, 1e-4},
                                      {-89.5f, 2e-4},
                                      {89.9f, 1e-3},
                                      {90.0f, 0.15},
                                      {-90.0f, 0.15},
                                      {89.9999f, 0.15},
                                      {90.01f, 0.15}}) {
    for (float ax = -180; ax <= 180; ax += 5) {
      for (float az = -180; az <= 180; az += 5) {
        const Quaternion q(ax, ay, az);
        Vector3 out;
        q.GetEuler(&out);
        ASSERT_TRUE(std::isfinite(out.x) && std::isfinite(out.y) && std::isfinite(out.z))
            << ax << " " << ay << " " << az;
        EXPECT_LE(std::fabs(out.x), 180.0002f);
        EXPECT_LE(std::fabs(out.z), 180.0002f);
        // Past 90 the same rotation reads as 180 - Y with X and Z turned.
        EXPECT_NEAR(std::fabs(out.y), std::fabs(ay) > 90 ? 180 - std::fabs(ay) : std::fabs(ay),
                    0.05);
        EXPECT_LT(RotationAngle(q, Quaternion(out.x, out.y, out.z)), tolerance)
            << ax << " " << ay << " " << az;
      }
    }
  }
}

TEST(QuaternionTest, SlerpSubtendsTheFraction) {
  std::mt19937 rng(5);
  for (int n = 0; n < 500; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng);
    const Quaternion minus_a(-a.x, -a.y, -a.z, -a.w), minus_b(-b.x, -b.y, -b.z, -b.w);
    const double full = RotationAngle(a, b);
    Quaternion out;
    for (float t : {0.0f, 0.1f, 0.5f, 0.8f, 1.0f}) {
      Slerp(t, a, b, &out);
      EXPECT_NEAR(out.Dot(out), 1.0, 1e-6);
      EXPECT_NEAR(RotationAngle(a, out), t * full, 1e-5);
      EXPECT_NEAR(RotationAngle(out, b), (1.0 - t) * full, 1e-5);
    }
    // The shorter arc: t = 1 gives -b when a . b < 0.
    ExpectNearQuat(out, b.x, b.y, b.z, b.w, 1e-6, a.Dot(b) < 0.0f ? -1.0 : 1.0);
    // q and -q are one rotation: no turn at all.
    Slerp(0.5f, a, minus_a, &out);
    ExpectNearQuat(out, a.x, a.y, a.z, a.w, 1e-6);

    // Half the rotation angle, plus the small offset's effect.
    EXPECT_NEAR(a.AngleTo(b), full / 2.0, 3e-3);
    EXPECT_NEAR(a.AngleTo(minus_b), full / 2.0, 3e-3);
  }
  // Nearly equal rotations take Slerp's linear branch.
  Quaternion out;
  Slerp(0.5f, Quaternion(0, 0, 0, 1), Quaternion(0, 0, 1e-4f, 1), &out);
  ExpectNearQuat(out, 0, 0, 5e-5, 1, 1e-9);
}

// acos(|d - 0.00001|), worked out by hand for the identity against
// (0, 0, sqrt(1 - w^2), w), whose dot product d is w; past 1 (or below
// -0.99999) the argument is limited to 1.
TEST(QuaternionTest, AngleToFollowsTheOffsetDotProduct) {
  const std::pair<float, double> cases[] = {
      {1.0f, 0.0044721397},    // acos(0.99999)
      {0.5f, 1.0472090985},    // acos(0.49999) = pi/3 + 0.00001 / sin(pi/3)
      {0.0f, 1.5707863268},    // acos(0.00001) = pi/2 - 0.00001
      {-0.5f, 1.0471860040},   // acos(0.50001), not acos(0.49999)
      {-0.75f, 0.7227191292},  // acos(0.75001) = acos(0.75) - 0.00001 / sin(acos(0.75))
      {-1.0f, 0.0},            // q against -q: acos(1)
  };
  for (const auto& [w, angle] : cases) {
    const Quaternion q(0.0f, 0.0f, static_cast<float>(std::sqrt(1.0 - double{w} * w)), w);
    EXPECT_NEAR(Quaternion().AngleTo(q), angle, 2e-6) << w;
  }
  const Quaternion long_q(0, 0, 0, 1.01f);  // not quite unit: no NaN
  EXPECT_EQ(long_q.AngleTo(long_q), 0.0f);
}

TEST(QuaternionTest, ZeroNormalizesToIdentityInvertAndAxisAngle) {
  Quaternion q(0, 0, 0, 0);
  q.Normalize();
  ExpectNearQuat(q, 0, 0, 0, 1, 0.0);
  q = Quaternion(2, 0, 0, 0);
  q.Invert();  // normalises first
  ExpectNearQuat(q, -1, 0, 0, 0, 0.0);
  q.SetAxisAngle(Vector3(0, 0, 1), 3.14159265f / 2);
  ExpectNearVec(Rotate(q, {1, 0, 0}), {0, 1, 0}, 1e-6);
  // The axis is used as given: length 2 weighs the vector part double.
  q.SetAxisAngle(Vector3(0, 0, 2), 3.14159265f / 2);
  ExpectNearQuat(q, 0, 0, 2 / std::sqrt(5.0), 1 / std::sqrt(5.0), 1e-6);
}

// Regression: with m00 == m11 above m22 (a half-turn about the x = y
// diagonal) the column choice fell to z, whose S is 0, and gave NaN.
TEST(QuaternionTest, SetFromMatrixOfTiedDiagonalHalfTurnIsNotNaN) {
  const double h = std::sqrt(0.5);
  const double near_w = 0.03;  // T = 4 w^2 = 0.0036: still the column formulas
  const double s = std::sqrt((1.0 - near_w * near_w) / 2.0);
  const Quat cases[] = {{h, h, 0, 0}, {h, -h, 0, 0}, {-h, h, 0, 0}, {s, s, 0, near_w},
                        {h, 0, h, 0}, {0, h, h, 0}};
  for (const Quat& c : cases) {
    const Quaternion q(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z),
                       static_cast<float>(c.w));
    Matrix4 m;
    q.GetMatrix(&m);
    Quaternion back;
    back.SetFromMatrix(m);
    ExpectNearQuat(back, c.x, c.y, c.z, c.w, 1e-6, back.Dot(q) < 0.0f ? -1.0 : 1.0);
  }
}

}  // namespace
