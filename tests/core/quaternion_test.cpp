#include "core/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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
  Quat r;
  r.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
  r.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
  r.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
  r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
  return r;
}

// q v q* for a unit q.
Vec Rotate(const Quat& q, const Vec& v) {
  const Quat r = Hamilton(Hamilton(q, {v.x, v.y, v.z, 0.0}), Conjugate(q));
  return {r.x, r.y, r.z};
}
Vec Rotate(const Quaternion& q, const Vec& v) { return Rotate(ToQuat(q), v); }

// The angle of the rotation taking a to b, in radians, in [0, pi]; stable
// for small angles.
double RotationAngle(const Quaternion& a, const Quaternion& b) {
  const Quat r = Hamilton(Conjugate(ToQuat(a)), ToQuat(b));
  return 2.0 * std::atan2(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), std::fabs(r.w));
}

// Rotation about one coordinate axis (0 X, 1 Y, 2 Z) by degrees, with pi
// taken as 3.14159, applied to v.
Vec AxisRotate(int axis, double degrees, const Vec& v) {
  const double a = degrees * 3.14159 / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  if (axis == 0) return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
  if (axis == 1) return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
  return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
}

Vec EulerByMatrices(double ax, double ay, double az, const Vec& v) {
  return AxisRotate(2, az, AxisRotate(1, ay, AxisRotate(0, ax, v)));
}

// Uniform over rotations; a small w_scale favours rotations near a half-turn.
Quaternion RandomUnit(std::mt19937* rng, double w_scale = 1.0) {
  std::normal_distribution<double> normal;
  const Quat q = {normal(*rng), normal(*rng), normal(*rng), w_scale * normal(*rng)};
  const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return Quaternion(static_cast<float>(q.x / n), static_cast<float>(q.y / n),
                    static_cast<float>(q.z / n), static_cast<float>(q.w / n));
}

const Vec kProbes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.3, -1.7, 2.2}};

void ExpectNearVec(const Vec& a, const Vec& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

void ExpectNearQuat(const Quaternion& q, double x, double y, double z, double w, double tolerance) {
  EXPECT_NEAR(q.x, x, tolerance);
  EXPECT_NEAR(q.y, y, tolerance);
  EXPECT_NEAR(q.z, z, tolerance);
  EXPECT_NEAR(q.w, w, tolerance);
}

TEST(QuaternionTest, KnownValues) {
  const Quaternion identity(0.0f, 0.0f, 0.0f);
  EXPECT_EQ(identity.x, 0.0f);
  EXPECT_EQ(identity.w, 1.0f);
  ExpectNearQuat(Quaternion(90.0f, 0.0f, 0.0f), 0.70710678, 0, 0, 0.70710678, 1e-6);
  ExpectNearQuat(Quaternion(0.0f, 0.0f, -90.0f), 0, 0, -0.70710678, 0.70710678, 1e-6);
  Vector3 euler;
  Quaternion(90.0f, 0.0f, 0.0f).GetEuler(&euler);
  EXPECT_NEAR(euler.x, 90.0, 1e-4);
  EXPECT_NEAR(euler.y, 0.0, 1e-4);
  EXPECT_NEAR(euler.z, 0.0, 1e-4);
  Quaternion(0.0f, 90.0f, 0.0f).GetEuler(&euler);
  EXPECT_NEAR(euler.x, 0.0, 1e-4);
  EXPECT_NEAR(euler.y, 90.0, 1e-3);
  EXPECT_EQ(euler.z, 0.0f);
  const Quaternion q(10.0f, 20.0f, 30.0f);
  EXPECT_NEAR(q.AngleTo(q), 0.0044721397, 1e-6);
}

TEST(QuaternionTest, HamiltonProductComposesAndNormalises) {
  const Quaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
  ExpectNearQuat(i * j, 0, 0, 1, 0, 0.0);
  ExpectNearQuat(j * i, 0, 0, -1, 0, 0.0);
  ExpectNearQuat(k * k, 0, 0, 0, -1, 0.0);
  ExpectNearQuat(Quaternion(0, 0, 0, 2) * Quaternion(0, 0, 0, 3), 0, 0, 0, 1, 0.0);
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng);
    Quaternion product = a;
    product.MulAssign(b);
    for (const Vec& v : kProbes) ExpectNearVec(Rotate(product, v), Rotate(a, Rotate(b, v)), 2e-6);
  }
}

TEST(QuaternionTest, SetEulerMatchesAxisRotationsZYX) {
  const float angles[] = {-170, -95, -30, 0, 45, 90, 135, 200, 370};
  for (float ax : angles) {
    for (float ay : angles) {
      for (float az : angles) {
        Quaternion q;
        q.SetEuler(ax, ay, az);
        EXPECT_NEAR(std::sqrt(q.Dot(q)), 1.0, 1e-6);
        for (const Vec& v : kProbes) {
          ExpectNearVec(Rotate(q, v), EulerByMatrices(ax, ay, az, v), 4e-6);
        }
      }
    }
  }
}

TEST(QuaternionTest, GetMatrixMatchesConjugationAndSetFromMatrixInverts) {
  std::mt19937 rng(11);
  int branch_count[4] = {0, 0, 0, 0};  // trace, column 0, 1, 2
  for (int n = 0; n < 3000; ++n) {
    Quaternion q = RandomUnit(&rng, n % 2 == 0 ? 1.0 : 0.03);
    // Also the half-turns, each on a diagonal column of its own.
    if (n < 3) q = Quaternion(n == 0, n == 1, n == 2, 0);
    Matrix4 m;
    q.GetMatrix(&m);
    for (int c = 0; c < 3; ++c) {
      const Vec column = Rotate(q, kProbes[c]);
      EXPECT_NEAR(m.m[c], column.x, 2e-6);
      EXPECT_NEAR(m.m[4 + c], column.y, 2e-6);
      EXPECT_NEAR(m.m[8 + c], column.z, 2e-6);
    }
    for (int e : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[e], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);

    // The branch, and the accuracy it can reach: the trace formula divides
    // by sqrt(T), so its rounding grows as T = 4 w^2 shrinks.
    const float d0 = m.m[0], d1 = m.m[5], d2 = m.m[10];
    const float trace = d0 + d1 + d2 + 1.0f;
    double tolerance = 2e-7;
    if (trace > 0.01f) {
      ++branch_count[0];
      tolerance = 1e-6 / trace;
    } else if (d0 > d1 && d0 > d2) {
      ++branch_count[1];
    } else if (d1 > d0 && d1 > d2) {
      ++branch_count[2];
    } else {
      ++branch_count[3];
    }
    Quaternion back;
    back.SetFromMatrix(m);
    const double sign = back.Dot(q) < 0.0f ? -1.0 : 1.0;
    ExpectNearQuat(back, sign * q.x, sign * q.y, sign * q.z, sign * q.w, tolerance);
  }
  for (int b = 0; b < 4; ++b) EXPECT_GT(branch_count[b], 300) << b;
}

TEST(QuaternionTest, SetFromMatrixNearHalfTurns) {
  // w barely above 0: T is a rounding residue, which the trace formula would
  // blow up into a different rotation.
  const float ws[] = {1e-4f, -3e-3f, 2e-2f, 0.0f};
  for (float w : ws) {
    Quaternion q(0.6f, -0.48f, 0.64f, w);
    q.Normalize();
    Matrix4 m;
    q.GetMatrix(&m);
    Quaternion back;
    back.SetFromMatrix(m);
    const double sign = back.Dot(q) < 0.0f ? -1.0 : 1.0;
    ExpectNearQuat(back, sign * q.x, sign * q.y, sign * q.z, sign * q.w, 3e-7);
  }
  Matrix4 m;
  m.m[0] = -1.0f;
  m.m[10] = -1.0f;
  Quaternion q;
  q.SetFromMatrix(m);
  EXPECT_EQ(q.x, 0.0f);
  EXPECT_EQ(std::fabs(q.y), 1.0f);
  EXPECT_EQ(q.z, 0.0f);
  EXPECT_EQ(q.w, 0.0f);
}

TEST(QuaternionTest, GetEulerRoundTripsAwayFromGimbalLock) {
  for (float ax = -175; ax <= 175; ax += 25) {
    for (float ay = -88; ay <= 88; ay += 11) {
      for (float az = -175; az <= 175; az += 35) {
        Vector3 out;
        Quaternion(ax, ay, az).GetEuler(&out);
        EXPECT_NEAR(out.x, ax, 2e-3) << ax << " " << ay << " " << az;
        EXPECT_NEAR(out.y, ay, 2e-3) << ax << " " << ay << " " << az;
        EXPECT_NEAR(out.z, az, 2e-3) << ax << " " << ay << " " << az;
      }
    }
  }
}

TEST(QuaternionTest, GetEulerStaysFiniteAtAndNearNinetyDegreesOfY) {
  // Within about 0.02 degrees of Y = +-90 single precision cannot split the
  // rotation between X and Z well (the conversion is ill-conditioned there),
  // so the round trip is only checked coarsely in that band.
  struct Band {
    float ay;
    double rotation_tolerance;
  };
  const Band bands[] = {{90, 0.15},     {-90, 0.15},    {89.9999f, 0.15}, {-90.001f, 0.15},
                        {89.99f, 0.15}, {90.01f, 0.15}, {89.9f, 1e-3},    {-89.5f, 2e-4}};
  for (const Band& band : bands) {
    for (float ax = -180; ax <= 180; ax += 5) {
      for (float az = -180; az <= 180; az += 5) {
        const Quaternion q(ax, band.ay, az);
        Vector3 out;
        q.GetEuler(&out);
        ASSERT_TRUE(std::isfinite(out.x) && std::isfinite(out.y) && std::isfinite(out.z))
            << ax << " " << band.ay << " " << az;
        // Past 90 the same rotation reads as 180 - Y with X and Z turned.
        const float ay = std::fabs(band.ay);
        EXPECT_NEAR(std::fabs(out.y), ay > 90 ? 180 - ay : ay, 0.05);
        EXPECT_LT(RotationAngle(q, Quaternion(out.x, out.y, out.z)), band.rotation_tolerance)
            << ax << " " << band.ay << " " << az;
      }
    }
  }
}

TEST(QuaternionTest, SlerpSubtendsTheFractionOfTheAngle) {
  std::mt19937 rng(5);
  const float ts[] = {0.0f, 0.1f, 0.25f, 0.5f, 0.8f, 1.0f};
  for (int n = 0; n < 300; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng);
    const double full = RotationAngle(a, b);
    for (float t : ts) {
      Quaternion out;
      Slerp(t, a, b, &out);
      EXPECT_NEAR(out.Dot(out), 1.0, 1e-6);
      EXPECT_NEAR(RotationAngle(a, out), t * full, 1e-5);
      EXPECT_NEAR(RotationAngle(out, b), (1.0 - t) * full, 1e-5);
    }
    Quaternion out;
    Slerp(0.0f, a, b, &out);
    ExpectNearQuat(out, a.x, a.y, a.z, a.w, 1e-6);
    Slerp(1.0f, a, b, &out);
    const double sign = a.Dot(b) < 0.0f ? -1.0 : 1.0;
    ExpectNearQuat(out, sign * b.x, sign * b.y, sign * b.z, sign * b.w, 1e-6);
    // q and -q are one rotation: no turn at all.
    Slerp(0.5f, a, Quaternion(-a.x, -a.y, -a.z, -a.w), &out);
    ExpectNearQuat(out, a.x, a.y, a.z, a.w, 1e-6);
  }
  // Nearly equal rotations take the linear branch.
  Quaternion out;
  const Quaternion a(0, 0, 0, 1), b(0, 0, 1e-4f, 1);
  Slerp(0.5f, a, b, &out);
  ExpectNearQuat(out, 0, 0, 5e-5, 1, 1e-9);
}

TEST(QuaternionTest, AngleToTreatsQAndMinusQAlike) {
  std::mt19937 rng(3);
  for (int n = 0; n < 500; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng);
    const Quaternion minus_a(-a.x, -a.y, -a.z, -a.w), minus_b(-b.x, -b.y, -b.z, -b.w);
    ASSERT_FALSE(std::isnan(a.AngleTo(minus_a)));
    EXPECT_NEAR(a.AngleTo(minus_a), 0.0044721397, 5e-5);
    EXPECT_EQ(a.AngleTo(b), a.AngleTo(minus_b));
    // Half the rotation angle, plus the small offset's effect.
    EXPECT_NEAR(a.AngleTo(b), RotationAngle(a, b) / 2.0, 3e-3);
  }
  const Quaternion identity;
  EXPECT_NEAR(identity.AngleTo(Quaternion(1, 0, 0, 0)), 1.5707863, 1e-6);
  EXPECT_NEAR(identity.AngleTo(Quaternion(0, 0, 60)), 0.52361878, 2e-6);
  // A dot product past 1 (not quite unit) is limited instead of NaN.
  const Quaternion long_q(0, 0, 0, 1.01f);
  EXPECT_EQ(long_q.AngleTo(long_q), 0.0f);
}

TEST(QuaternionTest, NormalizeInvertReflectAndAxisAngle) {
  Quaternion q(1, 2, 2, 4);
  q.Normalize();
  ExpectNearQuat(q, 0.2, 0.4, 0.4, 0.8, 1e-7);
  q = Quaternion(0, 0, 0, 0);
  q.Normalize();
  ExpectNearQuat(q, 0, 0, 0, 1, 0.0);
  q = Quaternion(2, 0, 0, 0);
  q.Invert();
  ExpectNearQuat(q, -1, 0, 0, 0, 0.0);

  q = Quaternion(1, 0, 0, 0);
  q.AddNormalized(Quaternion(0, 1, 0, 0));
  ExpectNearQuat(q, 0.70710678, 0.70710678, 0, 0, 1e-7);
  q = Quaternion(0, 0, 0, 1);
  q.Reflect(Quaternion(0, 0, 0.6f, 0.8f));
  ExpectNearQuat(q, 0, 0, 0.96, 0.28, 1e-6);

  q.SetAxisAngle(Vector3(0, 0, 1), 3.14159265f / 2);
  ExpectNearVec(Rotate(q, {1, 0, 0}), {0, 1, 0}, 1e-6);
  // The axis is used as given: length 2 weighs the vector part double.
  q.SetAxisAngle(Vector3(0, 0, 2), 3.14159265f / 2);
  ExpectNearQuat(q, 0, 0, 2 / std::sqrt(5.0), 1 / std::sqrt(5.0), 1e-6);

  std::mt19937 rng(9);
  for (int n = 0; n < 100; ++n) {
    const Quaternion a = RandomUnit(&rng), b = RandomUnit(&rng);
    ExpectNearQuat(a * a.GetInverse(), 0, 0, 0, 1, 1e-6);
    const Quat inverse = Conjugate(ToQuat(a));
    for (const Vec& v : kProbes) {
      ExpectNearVec(Rotate(a.InverseTimes(b), v), Rotate(inverse, Rotate(b, v)), 2e-6);
    }
  }
}

TEST(QuaternionTest, AxesAreTheMatrixRows) {
  std::mt19937 rng(13);
  for (int n = 0; n < 200; ++n) {
    const Quaternion q = RandomUnit(&rng);
    // Row r of a rotation matrix is the inverse rotation applied to axis r.
    const Quat inverse = Conjugate(ToQuat(q));
    const Vector3 axes[3] = {q.GetXAxis(), q.GetYAxis(), q.GetZAxis()};
    for (int r = 0; r < 3; ++r) {
      ExpectNearVec({axes[r].x, axes[r].y, axes[r].z}, Rotate(inverse, kProbes[r]), 2e-6);
    }
  }
}

}  // namespace
