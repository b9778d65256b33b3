#include "core/matrix_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectMatrixNear(const Matrix4d expected, const Matrix4d actual, double tolerance) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(expected[r][c], actual[r][c], tolerance) << "entry " << r << "," << c;
    }
  }
}

void ExpectVecNear(double x, double y, double z, const Vec3f v, double tolerance) {
  EXPECT_NEAR(x, v[0], tolerance);
  EXPECT_NEAR(y, v[1], tolerance);
  EXPECT_NEAR(z, v[2], tolerance);
}

// A plain product written here, independent of MatrixMultiply.
void Product(const Matrix4d a, const Matrix4d b, Matrix4d out) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c] + a[r][3] * b[3][c];
    }
  }
}

TEST(MatrixHelpersTest, RotationsMatchHandWrittenMatricesAndEulerIsTheirProduct) {
  const double c = std::sqrt(3.0) / 2, s = 0.5;  // 30 degrees
  const Matrix4d x30 = {{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}, {0, 0, 0, 1}};
  const Matrix4d y30 = {{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}};
  const Matrix4d z30 = {{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  Matrix4d m;
  // The float-rounded radian angle costs up to about 1e-8.
  MatrixRotationX(m, 30.0);
  ExpectMatrixNear(x30, m, 1e-7);
  MatrixRotationY(m, 30.0);
  ExpectMatrixNear(y30, m, 1e-7);
  MatrixRotationZ(m, 30.0);
  ExpectMatrixNear(z30, m, 1e-7);
  // pi/2 rounded to float has the cosine -4.371139000186241e-08.
  MatrixRotationZ(m, 90.0);
  EXPECT_NEAR(-4.371139000186241e-08, m[0][0], 1e-20);

  std::mt19937 rng(9);
  std::uniform_real_distribution<double> angle(-180.0, 180.0);
  for (int trial = 0; trial < 20; ++trial) {
    const double a = angle(rng), b = angle(rng), c = angle(rng);
    Matrix4d rz, ry, rx, zy, expected;
    MatrixRotationZ(rz, a);
    MatrixRotationY(ry, b);
    MatrixRotationX(rx, c);
    Product(rz, ry, zy);
    Product(zy, rx, expected);
    MatrixFromEulerZYX(m, a, b, c);
    ExpectMatrixNear(expected, m, 1e-15);
  }
}

TEST(MatrixHelpersTest, MultiplyTransposeAndTransformPoint) {
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
  // The output may be one of the inputs.
  MatrixCopy(a, left);
  MatrixMultiply(left, b, left);
  MatrixCopy(b, right);
  MatrixMultiply(a, right, right);
  MatrixTranspose(right, right);
  for (int i = 0; i < 16; ++i) {
    const int r = i / 4, c = i % 4;
    EXPECT_EQ(expected[r][c], fc[r][c]);
    EXPECT_EQ(expected[r][c], left[r][c]);
    EXPECT_EQ(expected[c][r], right[r][c]);
  }

  // Translation in column 3, row 3 ignored (no division); the coordinates
  // may come from the output array itself.
  const Matrix4d m = {{1, 2, 3, 10}, {0, -1, 0, 20}, {0.5, 0, 2, -30}, {7, 7, 7, 7}};
  Vec3f p = {1, 2, 3};
  MatrixTransformPoint(m, p[0], p[1], p[2], p);
  ExpectVecNear(1 + 4 + 9 + 10, -2 + 20, 0.5 + 6 - 30, p, 0.0);
}

TEST(MatrixHelpersTest, RotatePointOrders) {
  // By 90 degrees: Rx (x, y, z) -> (x, -z, y), Ry -> (z, y, -x), Rz -> (-y, x, z).
  // Z first: (1, 2, 3) -> (-2, 1, 3) -> (3, 1, 2) -> (3, -2, 1).
  Vec3f p = {1, 2, 3};
  RotatePointXYZ(p, 90, 90, 90);
  ExpectVecNear(3, -2, 1, p, 1e-6);
  // X first: (1, 2, 3) -> (1, -3, 2) -> (2, -3, -1) -> (3, 2, -1).
  Vec3f q = {1, 2, 3};
  RotatePointZYX(q, 90, 90, 90);
  ExpectVecNear(3, 2, -1, q, 1e-6);
}

TEST(MatrixHelpersTest, PrintWritesRowsToStandardOutput) {
  const Matrix4d m = {{1, -2.5, 0, 1234.5678}, {0, 1, 0, 0}, {0.0004, 0, 1, 0}, {0, 0, 0, 1}};
  testing::internal::CaptureStdout();
  MatrixPrint("bone%s", m);
  EXPECT_EQ(
      "matrix bone%s:\n"
      "    1.000   -2.500    0.000 1234.568\n"
      "    0.000    1.000    0.000    0.000\n"
      "    0.000    0.000    1.000    0.000\n"
      "    0.000    0.000    0.000    1.000\n",
      testing::internal::GetCapturedStdout());
}

TEST(MatrixHelpersTest, VectorFunctions) {
  const Vec3f a = {1, 2, 3}, b = {-4, 5, 0.5f};
  Vec3f c = {1, 2, 3};
  Vec3Cross(c, b, c);  // the output may be an input
  ExpectVecNear(2 * 0.5 - 3 * 5, 3 * -4 - 1 * 0.5, 1 * 5 - 2 * -4, c, 0.0);
  Vec3f v = {3, 4, 12};
  Vec3Normalize(v);
  ExpectVecNear(3.0 / 13, 4.0 / 13, 12.0 / 13, v, 1e-7);

  // Dispatch by dimension; other dimensions give 0 or leave arrays alone.
  EXPECT_EQ(1 * -4 + 2 * 5, VecDot(2, a, b));
  EXPECT_EQ(7.5f, VecDot(3, a, b));
  EXPECT_EQ(0.0f, VecDot(4, a, b));
  float d[3] = {9, 9, 9};
  VecSub(2, a, b, d);
  ExpectVecNear(5, -3, 9, d, 0.0);
  VecSub(3, a, b, d);
  ExpectVecNear(5, -3, 2.5, d, 0.0);
  float n[3] = {-6, 8, 4};
  VecNormalize(5, n);
  ExpectVecNear(-6, 8, 4, n, 0.0);
  VecNormalize(2, n);
  ExpectVecNear(-0.6, 0.8, 4, n, 1e-7);

  // atan2(|a x b|, a . b): parallel, opposite and 150 degrees apart.
  const Vec3f from[] = {{2, 0, 0}, {1, 0, 0}, {0, 0, 1}};
  const Vec3f to[] = {{5, 0, 0}, {-3, 0, 0}, {0.5f, 0, -0.8660254f}};
  const double angles[] = {0.0, kPi, 5 * kPi / 6};
  for (int i = 0; i < 3; ++i) {
    Vec3Cross(from[i], to[i], c);
    EXPECT_NEAR(angles[i], VectorAngle(from[i], to[i], c), 1e-6) << i;
  }
}

}  // namespace
