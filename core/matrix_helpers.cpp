#include "core/matrix_helpers.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kMatrixRadiansPerDegree = 3.141592653589793 / 180.0;

// Cosine and sine of an angle in degrees, the radian angle rounded to float.
void matrix_cos_sin(double degrees, double* c, double* s) {
  const float radians = static_cast<float>(degrees * kMatrixRadiansPerDegree);
  *c = std::cos(static_cast<double>(radians));
  *s = std::sin(static_cast<double>(radians));
}

}  // namespace

void MatrixZero(Matrix4d m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[r][c] = 0.0;
  }
}

void MatrixIdentity(Matrix4d m) {
  MatrixZero(m);
  for (int i = 0; i < 4; ++i) m[i][i] = 1.0;
}

void MatrixCopy(const Matrix4d src, Matrix4d dst) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) dst[r][c] = src[r][c];
  }
}

void MatrixTranspose(const Matrix4d in, Matrix4d out) {
  // Through a copy, so that transposing in place works.
  Matrix4d t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) t[r][c] = in[c][r];
  }
  MatrixCopy(t, out);
}

void MatrixMultiply(const Matrix4d a, const Matrix4d b, Matrix4d c) {
  // Through a copy, so that c may be a or b.
  Matrix4d t;
  MatrixZero(t);
  for (int r = 0; r < 4; ++r) {
    for (int col = 0; col < 4; ++col) {
      for (int k = 0; k < 4; ++k) t[r][col] += a[r][k] * b[k][col];
    }
  }
  MatrixCopy(t, c);
}

void MatrixMultiplyFloat(const float a[4][4], const float b[4][4], float c[4][4]) {
  float t[4][4] = {};
  for (int r = 0; r < 4; ++r) {
    for (int col = 0; col < 4; ++col) {
      for (int k = 0; k < 4; ++k) t[r][col] += a[r][k] * b[k][col];
    }
  }
  for (int r = 0; r < 4; ++r) {
    for (int col = 0; col < 4; ++col) c[r][col] = t[r][col];
  }
}

void MatrixRotationX(Matrix4d m, double degrees) {
  double c, s;
  matrix_cos_sin(degrees, &c, &s);
  MatrixIdentity(m);
  m[1][1] = c;
  m[1][2] = -s;
  m[2][1] = s;
  m[2][2] = c;
}

void MatrixRotationY(Matrix4d m, double degrees) {
  double c, s;
  matrix_cos_sin(degrees, &c, &s);
  MatrixIdentity(m);
  m[0][0] = c;
  m[0][2] = s;
  m[2][0] = -s;
  m[2][2] = c;
}

void MatrixRotationZ(Matrix4d m, double degrees) {
  double c, s;
  matrix_cos_sin(degrees, &c, &s);
  MatrixIdentity(m);
  m[0][0] = c;
  m[0][1] = -s;
  m[1][0] = s;
  m[1][1] = c;
}

void MatrixFromEulerZYX(Matrix4d m, double a, double b, double c) {
  Matrix4d rotation;
  MatrixIdentity(m);
  MatrixRotationZ(rotation, a);
  MatrixMultiply(m, rotation, m);
  MatrixRotationY(rotation, b);
  MatrixMultiply(m, rotation, m);
  MatrixRotationX(rotation, c);
  MatrixMultiply(m, rotation, m);
}

void MatrixTransformPoint(const Matrix4d m, double x, double y, double z, Vec3f out) {
  for (int r = 0; r < 3; ++r) {
    out[r] = static_cast<float>(m[r][0] * x + m[r][1] * y + m[r][2] * z + m[r][3]);
  }
}

void MatrixPrint(const char* name, const Matrix4d m) {
  std::printf("matrix %s:\n", name);
  for (int r = 0; r < 4; ++r) {
    std::printf(" %8.3f %8.3f %8.3f %8.3f\n", m[r][0], m[r][1], m[r][2], m[r][3]);
  }
  std::fflush(stdout);
}

void RotatePointXYZ(Vec3f p, double ax, double ay, double az) {
  Matrix4d rotation;
  MatrixRotationZ(rotation, az);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
  MatrixRotationY(rotation, ay);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
  MatrixRotationX(rotation, ax);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
}

void RotatePointZYX(Vec3f p, double ax, double ay, double az) {
  Matrix4d rotation;
  MatrixRotationX(rotation, ax);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
  MatrixRotationY(rotation, ay);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
  MatrixRotationZ(rotation, az);
  MatrixTransformPoint(rotation, p[0], p[1], p[2], p);
}

void Vec3Add(const Vec3f a, const Vec3f b, Vec3f c) {
  for (int i = 0; i < 3; ++i) c[i] = a[i] + b[i];
}

void Vec3Sub(const Vec3f a, const Vec3f b, Vec3f c) {
  for (int i = 0; i < 3; ++i) c[i] = a[i] - b[i];
}

void Vec3Cross(const Vec3f a, const Vec3f b, Vec3f c) {
  const float x = a[1] * b[2] - a[2] * b[1];
  const float y = a[2] * b[0] - a[0] * b[2];
  const float z = a[0] * b[1] - a[1] * b[0];
  c[0] = x;
  c[1] = y;
  c[2] = z;
}

float Vec3Dot(const Vec3f a, const Vec3f b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float Vec3Length(const Vec3f a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

void Vec3Normalize(Vec3f a) {
  const float length = Vec3Length(a);
  for (int i = 0; i < 3; ++i) a[i] /= length;
}

void Vec2Sub(const Vec2f a, const Vec2f b, Vec2f c) {
  for (int i = 0; i < 2; ++i) c[i] = a[i] - b[i];
}

float Vec2Dot(const Vec2f a, const Vec2f b) { return a[0] * b[0] + a[1] * b[1]; }

float Vec2Length(const Vec2f a) { return std::sqrt(a[0] * a[0] + a[1] * a[1]); }

void Vec2Normalize(Vec2f a) {
  const float length = Vec2Length(a);
  for (int i = 0; i < 2; ++i) a[i] /= length;
}

float VecDot(int dimension, const float* a, const float* b) {
  if (dimension == 2) return Vec2Dot(a, b);
  if (dimension == 3) return Vec3Dot(a, b);
  return 0.0f;
}

void VecSub(int dimension, const float* a, const float* b, float* c) {
  if (dimension == 2) {
    Vec2Sub(a, b, c);
  } else if (dimension == 3) {
    Vec3Sub(a, b, c);
  }
}

void VecNormalize(int dimension, float* a) {
  if (dimension == 2) {
    Vec2Normalize(a);
  } else if (dimension == 3) {
    Vec3Normalize(a);
  }
}

float VectorAngle(const Vec3f a, const Vec3f b, const Vec3f c) {
  return static_cast<float>(
      std::atan2(static_cast<double>(Vec3Length(c)), static_cast<double>(Vec3Dot(a, b))));
}
