// Vector3, Matrix4 and the matrix helpers against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/matrix4.h"
#include "core/matrix_helpers.h"
#include "core/vector3.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectVec(double x, double y, double z, const float* v, double tolerance) {
  EXPECT_NEAR(x, v[0], tolerance);
  EXPECT_NEAR(y, v[1], tolerance);
  EXPECT_NEAR(z, v[2], tolerance);
}
void ExpectVec(double x, double y, double z, const Vector3& v, double tolerance) {
  const float f[3] = {v.x, v.y, v.z};
  ExpectVec(x, y, z, f, tolerance);
}

TEST(Vector3, CrossLerpNormalizeAndAngle) {
  ExpectVec(0, 0, 1, CrossProduct(Vector3(1, 0, 0), Vector3(0, 1, 0)), 0.0);
  ExpectVec(3, -6, 3, CrossProduct(Vector3(4, 5, 6), Vector3(1, 2, 3)), 0.0);
  EXPECT_EQ(Distance(Vector3(1, 1, 1), Vector3(4, 5, 13)), 13.0f);
  ExpectVec(5, 14, -30, Lerp(2.0f, Vector3(1, -2, 10), Vector3(3, 6, -10)), 0.0);  // t beyond [0, 1]
  Vector3 v(3, 4, 12);
  v.Normalize();
  ExpectVec(3.0 / 13, 4.0 / 13, 12.0 / 13, v, 1e-7);
  ExpectVec(0, -1, 0, Normalize(Vector3(0, -0.5f, 0)), 0.0);
  EXPECT_NEAR(AngleBetween(Vector3(2, 0, 0), Vector3(0, 0, 5)), kPi / 2, 1e-6);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-1, 1, 0)), 3 * kPi / 4, 1e-6);
  // Parallel and opposite vectors whose cosine rounds past +-1 stay finite.
  for (float s = 0.1f; s < 10.0f; s += 0.37f) {
    const Vector3 u(0.3f * s, 0.7f * s, 0.1f * s);
    EXPECT_NEAR(AngleBetween(u, 3.0f * u), 0.0, 1e-3) << s;
    EXPECT_NEAR(AngleBetween(u, -1.7f * u), kPi, 1e-3) << s;
  }
}

TEST(Matrix4, IdentityTransformPointAndTranspose) {
  const Matrix4 identity;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(identity.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
  const float values[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};  // row r, column c: 4 r + c
  Matrix4 matrix;
  matrix = values;
  // Rows times (x, y, z, 1); row 3 is ignored (no projective division).
  ExpectVec(0 - 1 + 4 + 3, 4 - 5 + 12 + 7, 8 - 9 + 20 + 11, matrix.TransformPoint(Vector3(1, -1, 2)), 0.0);
  matrix.Transpose();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix.m[i], i % 4 * 4 + i / 4) << i;
}

// A plain product, independent of MatrixMultiply.
void Product(const Matrix4d a, const Matrix4d b, Matrix4d out) {
  for (int i = 0; i < 16; ++i) {
    out[i / 4][i % 4] = 0;
    for (int k = 0; k < 4; ++k) out[i / 4][i % 4] += a[i / 4][k] * b[k][i % 4];
  }
}
void ExpectMatrix(const Matrix4d expected, const Matrix4d actual, double tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(expected[i / 4][i % 4], actual[i / 4][i % 4], tolerance) << i;
}

TEST(MatrixHelpers, RotationsMatchHandWrittenMatricesAndEulerIsTheirProduct) {
  const double c = std::sqrt(3.0) / 2, s = 0.5;  // 30 degrees
  const Matrix4d turns[3] = {{{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}, {0, 0, 0, 1}},
                             {{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}},
                             {{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  Matrix4d m, rz, ry, rx, zy, expected;
  for (int axis = 0; axis < 3; ++axis) {
    (axis == 0 ? MatrixRotationX : axis == 1 ? MatrixRotationY : MatrixRotationZ)(m, 30.0);
    ExpectMatrix(turns[axis], m, 1e-7);  // the float-rounded radian angle costs up to about 1e-8
  }
  MatrixRotationZ(m, 90.0);
  EXPECT_NEAR(-4.371139000186241e-08, m[0][0], 1e-20);  // the cosine of pi/2 rounded to float
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> angle(-180.0, 180.0);
  for (int trial = 0; trial < 20; ++trial) {
    const double a = angle(rng), b = angle(rng), cc = angle(rng);
    MatrixRotationZ(rz, a);
    MatrixRotationY(ry, b);
    MatrixRotationX(rx, cc);
    Product(rz, ry, zy);
    Product(zy, rx, expected);
    MatrixFromEulerZYX(m, a, b, cc);
    ExpectMatrix(expected, m, 1e-15);
  }
  // By 90 degrees Rx (x, y, z) -> (x, -z, y), Ry -> (z, y, -x), Rz -> (-y, x, z).
  Vec3f p = {1, 2, 3}, q = {1, 2, 3};
  RotatePointXYZ(p, 90, 90, 90);  // Z first: (-2, 1, 3), (3, 1, 2), (3, -2, 1)
  ExpectVec(3, -2, 1, p, 1e-6);
  RotatePointZYX(q, 90, 90, 90);  // X first: (1, -3, 2), (2, -3, -1), (3, 2, -1)
  ExpectVec(3, 2, -1, q, 1e-6);
}

TEST(MatrixHelpers, MultiplyTransposeTransformAndVectors) {
  // Small integers and quarters: every product is exact in both precisions.
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> small(-9, 9);
  Matrix4d a, b, expected, left, right;
  float fa[4][4], fb[4][4], fc[4][4];
  for (int i = 0; i < 16; ++i) {
    a[i / 4][i % 4] = fa[i / 4][i % 4] = static_cast<float>(small(rng));
    b[i / 4][i % 4] = fb[i / 4][i % 4] = static_cast<float>(small(rng)) / 4;
  }
  Product(a, b, expected);
  MatrixMultiplyFloat(fa, fb, fc);
  MatrixCopy(a, left);  // the output may be one of the inputs
  MatrixMultiply(left, b, left);
  MatrixCopy(b, right);
  MatrixMultiply(a, right, right);
  MatrixTranspose(right, right);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(expected[i / 4][i % 4], fc[i / 4][i % 4]);
    EXPECT_EQ(expected[i / 4][i % 4], left[i / 4][i % 4]);
    EXPECT_EQ(expected[i % 4][i / 4], right[i / 4][i % 4]);
  }
  // Translation in column 3, row 3 ignored; the coordinates may come from the output itself.
  const Matrix4d m = {{1, 2, 3, 10}, {0, -1, 0, 20}, {0.5, 0, 2, -30}, {7, 7, 7, 7}};
  Vec3f p = {1, 2, 3};
  MatrixTransformPoint(m, p[0], p[1], p[2], p);
  ExpectVec(1 + 4 + 9 + 10, -2 + 20, 0.5 + 6 - 30, p, 0.0);

  const Vec3f u = {1, 2, 3}, v = {-4, 5, 0.5f};
  Vec3f c = {1, 2, 3};
  Vec3Cross(c, v, c);  // the output may be an input
  ExpectVec(2 * 0.5 - 3 * 5, 3 * -4 - 1 * 0.5, 1 * 5 - 2 * -4, c, 0.0);
  // Dispatch by dimension; other dimensions give 0 or leave arrays alone.
  EXPECT_EQ(1 * -4 + 2 * 5, VecDot(2, u, v));
  EXPECT_EQ(7.5f, VecDot(3, u, v));
  EXPECT_EQ(0.0f, VecDot(4, u, v));
  float d[3] = {9, 9, 9}, n[3] = {-6, 8, 4};
  VecSub(2, u, v, d);
  ExpectVec(5, -3, 9, d, 0.0);
  VecSub(3, u, v, d);
  ExpectVec(5, -3, 2.5, d, 0.0);
  VecNormalize(5, n);
  ExpectVec(-6, 8, 4, n, 0.0);
  VecNormalize(2, n);
  ExpectVec(-0.6, 0.8, 4, n, 1e-7);
  VecNormalize(3, d);
  ExpectVec(5 / std::sqrt(40.25), -3 / std::sqrt(40.25), 2.5 / std::sqrt(40.25), d, 1e-7);
  // atan2(|a x b|, a . b): parallel, opposite and 150 degrees apart.
  const Vec3f from[] = {{2, 0, 0}, {1, 0, 0}, {0, 0, 1}}, to[] = {{5, 0, 0}, {-3, 0, 0}, {0.5f, 0, -0.8660254f}};
  const double angles[] = {0.0, kPi, 5 * kPi / 6};
  for (int i = 0; i < 3; ++i) {
    Vec3Cross(from[i], to[i], c);
    EXPECT_NEAR(angles[i], VectorAngle(from[i], to[i], c), 1e-6) << i;
  }
}

}  // namespace
