#include "core/matrix4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/quaternion.h"

namespace {

// Matrix 0, 1, ..., 15 in memory order.
Matrix4 CountingMatrix() {
  const float values[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  Matrix4 matrix;
  matrix = values;
  return matrix;
}

TEST(Matrix4Test, IdentityAssignmentAndTranspose) {
  const Matrix4 identity;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(identity.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

  Matrix4 matrix = CountingMatrix();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix.m[i], static_cast<float>(i));
  matrix.Transpose();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(matrix.m[r * 4 + c], c * 4 + r) << r << c;
  }
  matrix.Transpose();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix.m[i], static_cast<float>(i));

  matrix.SetIdentity();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix.m[i], identity.m[i]);
}

TEST(Matrix4Test, TransformPointUsesRowsAndTranslationColumn) {
  // Rotation by 90 degrees about Z (x -> y), translation (10, 20, 30), and a
  // last row that must be ignored (no projective division).
  const float values[16] = {0, -1, 0, 10,  //
                            1, 0,  0, 20,  //
                            0, 0,  1, 30,  //
                            5, 6,  7, 8};
  Matrix4 matrix;
  matrix = values;
  Vector3 origin = matrix.TransformPoint(Vector3());
  EXPECT_EQ(origin.x, 10.0f);
  EXPECT_EQ(origin.y, 20.0f);
  EXPECT_EQ(origin.z, 30.0f);
  Vector3 p = matrix.TransformPoint(Vector3(1, 2, 3));
  EXPECT_EQ(p.x, 8.0f);
  EXPECT_EQ(p.y, 21.0f);
  EXPECT_EQ(p.z, 33.0f);
  p = CountingMatrix().TransformPoint(Vector3(1, -1, 2));
  EXPECT_EQ(p.x, 0 - 1 + 4 + 3.0f);
  EXPECT_EQ(p.y, 4 - 5 + 12 + 7.0f);
  EXPECT_EQ(p.z, 8 - 9 + 20 + 11.0f);
}

std::vector<std::string>* g_printed = nullptr;
void CaptureConsole(const char* text, int) { g_printed->push_back(text); }

TEST(Matrix4Test, PrintWritesOneConsoleLinePerRow) {
  std::vector<std::string> lines;
  g_printed = &lines;
  SetLogConsoleSink(&CaptureConsole);
  Matrix4 matrix = CountingMatrix();
  matrix.m[5] = -0.5f;
  matrix.Print();
  SetLogConsoleSink(nullptr);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "[ 0.000000 1.000000 2.000000 3.000000 ]");
  EXPECT_EQ(lines[1], "[ 4.000000 -0.500000 6.000000 7.000000 ]");
  EXPECT_EQ(lines[3], "[ 12.000000 13.000000 14.000000 15.000000 ]");
}

// glRotate's matrix for a unit axis, written out in OpenGL's column-major
// memory order: gl[column * 4 + row].
void GlRotateColumnMajor(double angle, double ax, double ay, double az, double gl[16]) {
  const double c = std::cos(angle), s = std::sin(angle), k = 1.0 - c;
  const double columns[4][4] = {{ax * ax * k + c, ay * ax * k + az * s, ax * az * k - ay * s, 0},
                                {ax * ay * k - az * s, ay * ay * k + c, ay * az * k + ax * s, 0},
                                {ax * az * k + ay * s, ay * az * k - ax * s, az * az * k + c, 0},
                                {0, 0, 0, 1}};
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) gl[col * 4 + row] = columns[col][row];
  }
}

TEST(Matrix4Test, TransposedQuaternionMatrixIsOpenGlRotation) {
  struct Case {
    double angle, ax, ay, az;
  };
  const double r = 1.0 / std::sqrt(3.0);
  const Case cases[] = {{0.7, 1, 0, 0},  {-1.2, 0, 1, 0},    {2.5, 0, 0, 1},
                        {3.0, r, r, -r}, {0.3, 0.6, 0, 0.8}, {-2.9, 0, -0.8, 0.6}};
  for (const Case& c : cases) {
    Quaternion q;
    q.SetAxisAngle(Vector3(c.ax, c.ay, c.az), static_cast<float>(c.angle));
    Matrix4 matrix;
    q.GetMatrix(&matrix);
    matrix.Transpose();
    double gl[16];
    GlRotateColumnMajor(c.angle, c.ax, c.ay, c.az, gl);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(matrix.m[i], gl[i], 2e-6) << c.angle << " " << i;
  }
}

}  // namespace
