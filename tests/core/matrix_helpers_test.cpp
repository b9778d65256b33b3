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

void ExpectMatrixEq(const Matrix4d expected, const Matrix4d actual) {
  ExpectMatrixNear(expected, actual, 0.0);
}

void ExpectVecNear(double x, double y, double z, const Vec3f v, double tolerance) {
  EXPECT_NEAR(x, v[0], tolerance);
  EXPECT_NEAR(y, v[1], tolerance);
  EXPECT_NEAR(z, v[2], tolerance);
}

void RandomMatrix(std::mt19937& rng, Matrix4d m) {
  std::uniform_real_distribution<double> dist(-3.0, 3.0);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[r][c] = dist(rng);
  }
}

// A plain product written here, independent of MatrixMultiply.
void Product(const Matrix4d a, const Matrix4d b, Matrix4d out) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c] + a[r][3] * b[3][c];
    }
  }
}

}  // namespace

TEST(MatrixHelpersTest, AxisRotationsMatchHandWrittenMatrices) {
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

  // 90 degrees: pi/2 rounded to float is 1.57079637050628662109375, whose
  // cosine is -4.371139000186241e-08 rather than the double's 6.1e-17, and
  // whose sine falls short of 1 by about 9.5534e-16.
  MatrixRotationZ(m, 90.0);
  EXPECT_NEAR(-4.371139000186241e-08, m[0][0], 1e-20);
  EXPECT_NEAR(1.0 - 9.5534e-16, m[1][0], 1.2e-16);
  EXPECT_EQ(1.0, m[2][2]);
  EXPECT_EQ(0.0, m[0][2]);

  Vec3f out;
  MatrixTransformPoint(m, 1, 0, 0, out);
  ExpectVecNear(0, 1, 0, out, 1e-7);
  MatrixRotationX(m, 90.0);
  MatrixTransformPoint(m, 0, 1, 0, out);
  ExpectVecNear(0, 0, 1, out, 1e-7);
  MatrixRotationY(m, 90.0);
  MatrixTransformPoint(m, 0, 0, 1, out);
  ExpectVecNear(1, 0, 0, out, 1e-7);
  // A negative angle turns back.
  MatrixRotationY(m, -90.0);
  MatrixTransformPoint(m, 1, 0, 0, out);
  ExpectVecNear(0, 0, 1, out, 1e-7);
}

TEST(MatrixHelpersTest, TransformPointAddsTranslationWithoutDivision) {
  const Matrix4d m = {{1, 2, 3, 10}, {0, -1, 0, 20}, {0.5, 0, 2, -30}, {7, 7, 7, 7}};
  Vec3f out;
  MatrixTransformPoint(m, 1, 2, 3, out);
  ExpectVecNear(1 + 4 + 9 + 10, -2 + 20, 0.5 + 6 - 30, out, 0.0);
  // The coordinates may come from the output array itself.
  Vec3f p = {1, 2, 3};
  MatrixTransformPoint(m, p[0], p[1], p[2], p);
  ExpectVecNear(24, 18, -23.5, p, 0.0);
}

TEST(MatrixHelpersTest, MultiplyAndTranspose) {
  std::mt19937 rng(3);
  Matrix4d a, b, c, identity, out, expected;
  RandomMatrix(rng, a);
  RandomMatrix(rng, b);
  RandomMatrix(rng, c);
  MatrixIdentity(identity);

  MatrixMultiply(identity, a, out);
  ExpectMatrixEq(a, out);
  MatrixMultiply(a, identity, out);
  ExpectMatrixEq(a, out);

  MatrixMultiply(a, b, out);
  Product(a, b, expected);
  ExpectMatrixNear(expected, out, 1e-12);
  {
    // (a b) c = a (b c).
    Matrix4d ab, ab_c, bc, a_bc;
    MatrixMultiply(a, b, ab);
    MatrixMultiply(ab, c, ab_c);
    MatrixMultiply(b, c, bc);
    MatrixMultiply(a, bc, a_bc);
    ExpectMatrixNear(ab_c, a_bc, 1e-11);
  }
  {
    // Transpose: entries swapped, (a b)^T = b^T a^T.
    Matrix4d at, bt, ab, abt, btat;
    MatrixTranspose(a, at);
    for (int r = 0; r < 4; ++r) {
      for (int col = 0; col < 4; ++col) EXPECT_EQ(a[col][r], at[r][col]);
    }
    MatrixTranspose(b, bt);
    MatrixMultiply(a, b, ab);
    MatrixTranspose(ab, abt);
    MatrixMultiply(bt, at, btat);
    ExpectMatrixNear(abt, btat, 1e-12);
  }
  {
    // The output may be one of the inputs.
    Matrix4d left, right;
    MatrixCopy(a, left);
    ExpectMatrixEq(a, left);
    MatrixMultiply(left, b, left);
    MatrixMultiply(a, b, out);
    ExpectMatrixEq(out, left);
    MatrixCopy(b, right);
    MatrixMultiply(a, right, right);
    ExpectMatrixEq(out, right);
    Matrix4d t;
    MatrixCopy(a, t);
    MatrixTranspose(t, t);
    MatrixTranspose(a, out);
    ExpectMatrixEq(out, t);
  }
}

TEST(MatrixHelpersTest, FloatMultiplyAgreesWithDouble) {
  // Small integers multiply exactly in both precisions.
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> dist(-9, 9);
  float fa[4][4], fb[4][4], fc[4][4];
  Matrix4d da, db, dc;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      da[r][c] = fa[r][c] = static_cast<float>(dist(rng));
      db[r][c] = fb[r][c] = static_cast<float>(dist(rng));
    }
  }
  MatrixMultiplyFloat(fa, fb, fc);
  Product(da, db, dc);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(dc[r][c], fc[r][c]);
  }
}

TEST(MatrixHelpersTest, EulerZYXIsProductOfAxisRotations) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> angle(-180.0, 180.0);
  for (int trial = 0; trial < 20; ++trial) {
    const double a = angle(rng), b = angle(rng), c = angle(rng);
    Matrix4d rz, ry, rx, zy, expected, m;
    MatrixRotationZ(rz, a);
    MatrixRotationY(ry, b);
    MatrixRotationX(rx, c);
    Product(rz, ry, zy);
    Product(zy, rx, expected);
    MatrixFromEulerZYX(m, a, b, c);
    ExpectMatrixNear(expected, m, 1e-15);

    // Closed form of Rz(a) Ry(b) Rx(c), loose for the float angles.
    const double ca = std::cos(a * kPi / 180), sa = std::sin(a * kPi / 180);
    const double cb = std::cos(b * kPi / 180), sb = std::sin(b * kPi / 180);
    const double cc = std::cos(c * kPi / 180), sc = std::sin(c * kPi / 180);
    const Matrix4d closed = {{ca * cb, ca * sb * sc - sa * cc, ca * sb * cc + sa * sc, 0},
                             {sa * cb, sa * sb * sc + ca * cc, sa * sb * cc - ca * sc, 0},
                             {-sb, cb * sc, cb * cc, 0},
                             {0, 0, 0, 1}};
    ExpectMatrixNear(closed, m, 1e-6);
  }
}

TEST(MatrixHelpersTest, RotatePointOrders) {
  {
    // Z first: (1,0,0) -> (0,1,0); then X: -> (0,0,1).
    Vec3f p = {1, 0, 0};
    RotatePointXYZ(p, 90, 0, 90);
    ExpectVecNear(0, 0, 1, p, 1e-6);
    // X first leaves (1,0,0) alone; then Z: -> (0,1,0).
    Vec3f q = {1, 0, 0};
    RotatePointZYX(q, 90, 0, 90);
    ExpectVecNear(0, 1, 0, q, 1e-6);
  }
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> angle(-180.0, 180.0);
  std::uniform_real_distribution<float> coord(-5.0f, 5.0f);
  for (int trial = 0; trial < 20; ++trial) {
    const double ax = angle(rng), ay = angle(rng), az = angle(rng);
    const Vec3f start = {coord(rng), coord(rng), coord(rng)};
    Matrix4d rx, ry, rz;
    MatrixRotationX(rx, ax);
    MatrixRotationY(ry, ay);
    MatrixRotationZ(rz, az);
    {
      // Three transform steps, Z first, rounding to float in between.
      Vec3f expected = {start[0], start[1], start[2]};
      for (const auto* m : {&rz, &ry, &rx}) {
        Vec3f next;
        MatrixTransformPoint(*m, expected[0], expected[1], expected[2], next);
        for (int i = 0; i < 3; ++i) expected[i] = next[i];
      }
      Vec3f p = {start[0], start[1], start[2]};
      RotatePointXYZ(p, ax, ay, az);
      ExpectVecNear(expected[0], expected[1], expected[2], p, 0.0);
    }
    {
      // The same one matrix Rz Ry Rx against the X-first order.
      Matrix4d m;
      MatrixFromEulerZYX(m, az, ay, ax);
      Vec3f expected;
      MatrixTransformPoint(m, start[0], start[1], start[2], expected);
      Vec3f p = {start[0], start[1], start[2]};
      RotatePointZYX(p, ax, ay, az);
      ExpectVecNear(expected[0], expected[1], expected[2], p, 1e-5);
      // Negated angles in the other order undo it.
      RotatePointXYZ(p, -ax, -ay, -az);
      ExpectVecNear(start[0], start[1], start[2], p, 1e-5);
    }
  }
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
  {
    const Vec3f x = {1, 0, 0}, y = {0, 1, 0};
    Vec3f c;
    Vec3Cross(x, y, c);
    ExpectVecNear(0, 0, 1, c, 0.0);
    const Vec3f a = {1, 2, 3}, b = {-4, 5, 0.5f};
    Vec3Cross(a, b, c);
    ExpectVecNear(2 * 0.5 - 3 * 5, 3 * -4 - 1 * 0.5, 1 * 5 - 2 * -4, c, 0.0);
    EXPECT_EQ(0.0f, Vec3Dot(a, c));
    EXPECT_EQ(0.0f, Vec3Dot(b, c));
    // The output may be an input.
    Vec3f in_place = {1, 2, 3};
    Vec3Cross(in_place, b, in_place);
    ExpectVecNear(c[0], c[1], c[2], in_place, 0.0);

    EXPECT_EQ(-4 + 10 + 1.5f, Vec3Dot(a, b));
  }
  {
    Vec3f v = {3, 4, 12};
    EXPECT_EQ(13.0f, Vec3Length(v));
    Vec3Normalize(v);
    ExpectVecNear(3.0 / 13, 4.0 / 13, 12.0 / 13, v, 1e-7);
    Vec2f w = {-6, 8};
    EXPECT_EQ(10.0f, Vec2Length(w));
    Vec2Normalize(w);
    EXPECT_NEAR(-0.6, w[0], 1e-7);
    EXPECT_NEAR(0.8, w[1], 1e-7);
  }
  {
    // Dispatch by dimension; other dimensions give 0 or leave arrays alone.
    const float a[3] = {1, 2, 3}, b[3] = {4, 5, 6};
    EXPECT_EQ(14.0f, VecDot(2, a, b));
    EXPECT_EQ(32.0f, VecDot(3, a, b));
    EXPECT_EQ(0.0f, VecDot(4, a, b));
    EXPECT_EQ(0.0f, VecDot(0, a, b));
    float c[3] = {9, 9, 9};
    VecSub(2, a, b, c);
    ExpectVecNear(-3, -3, 9, c, 0.0);
    VecSub(3, a, b, c);
    ExpectVecNear(-3, -3, -3, c, 0.0);
    VecSub(1, b, a, c);
    ExpectVecNear(-3, -3, -3, c, 0.0);
    float n[3] = {0, 3, 4};
    VecNormalize(5, n);
    ExpectVecNear(0, 3, 4, n, 0.0);
    VecNormalize(2, n);
    ExpectVecNear(0, 1, 4, n, 1e-7);
    float m[3] = {0, 3, 4};
    VecNormalize(3, m);
    ExpectVecNear(0, 0.6, 0.8, m, 1e-7);
  }
}

TEST(MatrixHelpersTest, VectorAngleOfKnownPairs) {
  struct Case {
    Vec3f a, b;
    double angle;
  } cases[] = {
      {{1, 0, 0}, {0, 1, 0}, kPi / 2},
      {{2, 0, 0}, {5, 0, 0}, 0.0},
      {{1, 0, 0}, {-3, 0, 0}, kPi},
      {{1, 0, 0}, {1, 1, 0}, kPi / 4},
      {{0, 0, 1}, {0.5f, 0, -0.8660254f}, 5 * kPi / 6},
      {{0, 0, 1}, {0, 1, 1}, kPi / 4},
      {{1, 1, 1}, {1, -1, 0}, kPi / 2},
  };
  for (const Case& test : cases) {
    Vec3f c;
    Vec3Cross(test.a, test.b, c);
    EXPECT_NEAR(test.angle, VectorAngle(test.a, test.b, c), 1e-6) << test.angle;
    // Unsigned: the swapped pair gives the same angle.
    Vec3Cross(test.b, test.a, c);
    EXPECT_NEAR(test.angle, VectorAngle(test.b, test.a, c), 1e-6) << test.angle;
  }
}
