#include "core/vector3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectVec(const Vector3& v, float x, float y, float z, float tolerance) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Vector3Test, ArithmeticAndIndexing) {
  const Vector3 a(1.0f, 2.0f, 3.0f);
  const Vector3 b(4.0f, -5.0f, 6.5f);
  ExpectVec(Vector3(), 0.0f, 0.0f, 0.0f, 0.0f);
  ExpectVec(a + b, 5.0f, -3.0f, 9.5f, 0.0f);
  ExpectVec(a - b, -3.0f, 7.0f, -3.5f, 0.0f);
  ExpectVec(2.0f * b, 8.0f, -10.0f, 13.0f, 0.0f);
  ExpectVec(b / 2.0f, 2.0f, -2.5f, 3.25f, 0.0f);
  {
    Vector3 c = a;
    c += b;
    c += b;
    ExpectVec(c, 9.0f, -8.0f, 16.0f, 0.0f);
  }
  {
    Vector3 c;
    const Vector3 copy = c.Set(7.0f, 8.0f, 9.0f);
    c.x = 0.0f;  // the returned copy must not alias c
    ExpectVec(copy, 7.0f, 8.0f, 9.0f, 0.0f);
  }
  {
    Vector3 c(1.0f, 2.0f, 3.0f);
    c[0] = 10.0f;
    c[1] += 10.0f;
    c[2] *= 10.0f;
    ExpectVec(c, 10.0f, 12.0f, 30.0f, 0.0f);
    const Vector3& view = c;
    EXPECT_EQ(view[0] + view[1] + view[2], 52.0f);
  }
}

TEST(Vector3Test, DotCrossLengthDistance) {
  const Vector3 ex(1, 0, 0), ey(0, 1, 0), ez(0, 0, 1);
  ExpectVec(CrossProduct(ex, ey), 0, 0, 1, 0.0f);
  ExpectVec(CrossProduct(ey, ez), 1, 0, 0, 0.0f);
  ExpectVec(CrossProduct(ez, ex), 0, 1, 0, 0.0f);
  ExpectVec(CrossProduct(ey, ex), 0, 0, -1, 0.0f);

  const Vector3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(DotProduct(a, b), 32.0f);
  ExpectVec(CrossProduct(a, b), -3, 6, -3, 0.0f);
  const Vector3 c = CrossProduct(a, b);
  EXPECT_EQ(DotProduct(c, a), 0.0f);
  EXPECT_EQ(DotProduct(c, b), 0.0f);

  EXPECT_EQ(Vector3(3, 4, 12).Length(), 13.0f);
  EXPECT_EQ(Length(Vector3(-3, 4, -12)), 13.0f);
  EXPECT_EQ(Distance(Vector3(1, 1, 1), Vector3(4, 5, 13)), 13.0f);
}

TEST(Vector3Test, NormalizeBothForms) {
  const float kEps = 1e-7f;
  Vector3 v(3, 4, 12);
  v.Normalize();
  ExpectVec(v, 3.0f / 13, 4.0f / 13, 12.0f / 13, kEps);
  ExpectVec(Normalize(Vector3(0, -0.5f, 0)), 0, -1, 0, 0.0f);
  // Zero vectors are outside the contract: the division gives NaN.
  Vector3 zero;
  zero.Normalize();
  EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(Vector3Test, LerpEndsAndMidpoint) {
  const Vector3 a(1.0f, -2.0f, 10.0f), b(3.0f, 6.0f, -10.0f);
  ExpectVec(Lerp(0.0f, a, b), 1, -2, 10, 0.0f);
  ExpectVec(Lerp(1.0f, a, b), 3, 6, -10, 0.0f);
  ExpectVec(Lerp(0.5f, a, b), 2, 2, 0, 0.0f);
  ExpectVec(Lerp(0.25f, a, b), 1.5f, 0, 5, 0.0f);
  ExpectVec(Lerp(2.0f, a, b), 5, 14, -30, 0.0f);
}

TEST(Vector3Test, AngleBetweenInRadians) {
  const double kPi = 3.14159265358979323846;
  EXPECT_NEAR(AngleBetween(Vector3(2, 0, 0), Vector3(0, 0, 5)), kPi / 2, 1e-6);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(1, std::sqrt(3.0f), 0)), kPi / 3, 1e-6);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-1, 1, 0)), 3 * kPi / 4, 1e-6);
  // Parallel and opposite vectors whose cosine rounds past +-1 stay finite.
  for (float s = 0.1f; s < 10.0f; s += 0.37f) {
    const Vector3 v(0.3f * s, 0.7f * s, 0.1f * s);
    const float same = AngleBetween(v, 3.0f * v);
    const float opposite = AngleBetween(v, -1.7f * v);
    ASSERT_FALSE(std::isnan(same)) << s;
    ASSERT_FALSE(std::isnan(opposite)) << s;
    EXPECT_NEAR(same, 0.0, 1e-3);
    EXPECT_NEAR(opposite, kPi, 1e-3);
  }
}

}  // namespace
