#include "core/matrix4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"

namespace {

std::vector<std::string>* g_printed = nullptr;
void CaptureConsole(const char* text, int) { g_printed->push_back(text); }

TEST(Matrix4Test, TransposeTransformPointAndPrint) {
  const Matrix4 identity;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(identity.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

  // Memory order 0, 1, ..., 15: row r, column c holds 4 r + c.
  const float values[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  Matrix4 matrix;
  matrix = values;
  // Rows times (x, y, z, 1); row 3 is ignored (no projective division).
  const Vector3 p = matrix.TransformPoint(Vector3(1, -1, 2));
  EXPECT_EQ(p.x, 0 - 1 + 4 + 3.0f);
  EXPECT_EQ(p.y, 4 - 5 + 12 + 7.0f);
  EXPECT_EQ(p.z, 8 - 9 + 20 + 11.0f);

  matrix.m[5] = -0.5f;
  std::vector<std::string> lines;
  g_printed = &lines;
  SetLogConsoleSink(&CaptureConsole);
  matrix.Print();
  SetLogConsoleSink(nullptr);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "[ 0.000000 1.000000 2.000000 3.000000 ]");
  EXPECT_EQ(lines[1], "[ 4.000000 -0.500000 6.000000 7.000000 ]");
  EXPECT_EQ(lines[3], "[ 12.000000 13.000000 14.000000 15.000000 ]");

  matrix.Transpose();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(matrix.m[r * 4 + c], r == 1 && c == 1 ? -0.5f : c * 4 + r) << r << c;
    }
  }
}

}  // namespace
