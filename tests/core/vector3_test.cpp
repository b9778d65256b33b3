#include "core/vector3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectVec(const Vector3& v, float x, float y, float z, float tolerance) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Vector3Test, CrossIsRightHandedAndLerpExtrapolates) {
  ExpectVec(CrossProduct(Vector3(1, 0, 0), Vector3(0, 1, 0)), 0, 0, 1, 0.0f);
  ExpectVec(CrossProduct(Vector3(4, 5, 6), Vector3(1, 2, 3)), 3, -6, 3, 0.0f);
  EXPECT_EQ(Distance(Vector3(1, 1, 1), Vector3(4, 5, 13)), 13.0f);
  // t is not limited to [0, 1].
  ExpectVec(Lerp(2.0f, Vector3(1, -2, 10), Vector3(3, 6, -10)), 5, 14, -30, 0.0f);
}

TEST(Vector3Test, NormalizeBothForms) {
  Vector3 v(3, 4, 12);
  v.Normalize();
  ExpectVec(v, 3.0f / 13, 4.0f / 13, 12.0f / 13, 1e-7f);
  ExpectVec(Normalize(Vector3(0, -0.5f, 0)), 0, -1, 0, 0.0f);
  // Zero vectors are outside the contract: the division gives NaN.
  Vector3 zero;
  zero.Normalize();
  EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(Vector3Test, AngleBetweenInRadians) {
  const double kPi = 3.14159265358979323846;
  EXPECT_NEAR(AngleBetween(Vector3(2, 0, 0), Vector3(0, 0, 5)), kPi / 2, 1e-6);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-1, 1, 0)), 3 * kPi / 4, 1e-6);
  // Parallel and opposite vectors whose cosine rounds past +-1 stay finite.
  for (float s = 0.1f; s < 10.0f; s += 0.37f) {
    const Vector3 v(0.3f * s, 0.7f * s, 0.1f * s);
    EXPECT_NEAR(AngleBetween(v, 3.0f * v), 0.0, 1e-3) << s;
    EXPECT_NEAR(AngleBetween(v, -1.7f * v), kPi, 1e-3) << s;
  }
}

}  // namespace
