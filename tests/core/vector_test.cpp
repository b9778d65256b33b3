// Vector3, Matrix4 and the matrix helpers against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>

#include "core/matrix4.h"
#include "core/matrix_helpers.h"
#include "core/vector3.h"

namespace {

void ExpectVec(double x, double y, double z, const Vector3& v, double tolerance) {
  EXPECT_NEAR(x, v.x, tolerance);
  EXPECT_NEAR(y, v.y, tolerance);
  EXPECT_NEAR(z, v.z, tolerance);
}

TEST(Vector3, CrossNormalizeAndAngle) {
  ExpectVec(3, -6, 3, CrossProduct(Vector3(4, 5, 6), Vector3(1, 2, 3)), 0.0);
  Vector3 v(3, 4, 12);
  v.Normalize();
  ExpectVec(3.0 / 13, 4.0 / 13, 12.0 / 13, v, 1e-7);
  ExpectVec(0, -1, 0, Normalize(Vector3(0, -0.5f, 0)), 0.0);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-1, 1, 0)), 3 * M_PI / 4, 1e-6);
  // Parallel and opposite vectors whose cosine rounds past +-1 stay finite.
  for (float s = 0.1f; s < 10.0f; s += 0.37f) {
    const Vector3 u(0.3f * s, 0.7f * s, 0.1f * s);
    EXPECT_NEAR(AngleBetween(u, 3.0f * u) + AngleBetween(u, -1.7f * u), M_PI, 1e-3) << s;
  }
}

TEST(Matrix4, TransformPoint) {
  const float values[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};  // row r, column c: 4 r + c
  Matrix4 matrix;
  matrix = values;
  // Rows times (x, y, z, 1); row 3 is ignored (no projective division).
  ExpectVec(0 - 1 + 4 + 3, 4 - 5 + 12 + 7, 8 - 9 + 20 + 11, matrix.TransformPoint(Vector3(1, -1, 2)), 0.0);
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

TEST(MatrixHelpers, RotationsMatchHandWrittenMatricesAndComposeInTheirOrder) {
  const double c = std::sqrt(3.0) / 2, s = 0.5;  // 30 degrees
  const Matrix4d turns[3] = {{{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}, {0, 0, 0, 1}},
                             {{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}},
                             {{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  void (*const rotations[3])(Matrix4d, double) = {MatrixRotationX, MatrixRotationY, MatrixRotationZ};
  Matrix4d m, r[3], zy, expected;
  for (int axis = 0; axis < 3; ++axis) {
    rotations[axis](m, 30.0);
    ExpectMatrix(turns[axis], m, 1e-7);  // the float-rounded radian angle costs up to about 1e-8
  }
  const double a[3] = {-70, 25, 130};  // about x, y, z
  for (int axis = 0; axis < 3; ++axis) rotations[axis](r[axis], a[axis]);
  Product(r[2], r[1], zy);
  Product(zy, r[0], expected);
  MatrixFromEulerZYX(m, a[2], a[1], a[0]);
  ExpectMatrix(expected, m, 1e-15);
  // By 90 degrees Rz (1, 2, 3) -> (-2, 1, 3), then Ry -> (3, 1, 2), then Rx -> (3, -2, 1).
  Vec3f p = {1, 2, 3};
  RotatePointXYZ(p, 90, 90, 90);
  ExpectVec(3, -2, 1, Vector3(p[0], p[1], p[2]), 1e-6);
}

TEST(MatrixHelpers, MultiplyTransposeAndTransformPointMayWriteOverTheirInputs) {
  Matrix4d a, b, expected, left, right;
  for (int i = 0; i < 16; ++i) {  // small integers and quarters: every product is exact
    a[i / 4][i % 4] = i * 7 % 19 - 9;
    b[i / 4][i % 4] = (i * 5 % 17 - 8) / 4.0;
  }
  Product(a, b, expected);
  MatrixCopy(a, left);
  MatrixMultiply(left, b, left);
  MatrixCopy(b, right);
  MatrixMultiply(a, right, right);
  MatrixTranspose(right, right);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(expected[i / 4][i % 4], left[i / 4][i % 4]);
    EXPECT_EQ(expected[i % 4][i / 4], right[i / 4][i % 4]);
  }
  // Translation in column 3, row 3 ignored.
  const Matrix4d m = {{1, 2, 3, 10}, {0, -1, 0, 20}, {0.5, 0, 2, -30}, {7, 7, 7, 7}};
  Vec3f p = {1, 2, 3};
  MatrixTransformPoint(m, p[0], p[1], p[2], p);
  ExpectVec(1 + 4 + 9 + 10, -2 + 20, 0.5 + 6 - 30, Vector3(p[0], p[1], p[2]), 0.0);
}

TEST(MatrixHelpers, VectorFunctions) {
  const Vec3f a = {1, 2, 3}, b = {-4, 5, 0.5f};
  Vec3f c = {1, 2, 3};
  Vec3Cross(c, b, c);  // the output may be an input
  ExpectVec(2 * 0.5 - 3 * 5, 3 * -4 - 1 * 0.5, 1 * 5 - 2 * -4, Vector3(c[0], c[1], c[2]), 0.0);
  EXPECT_NEAR(VectorAngle(a, b, c), std::atan2(std::sqrt(14 * 14 + 12.5 * 12.5 + 13 * 13), 7.5), 1e-6);
  EXPECT_EQ(VecDot(3, a, b), 7.5f);
}

}  // namespace
