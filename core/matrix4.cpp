#include "core/matrix4.h"

#include "core/log.h"

void Matrix4::SetIdentity() {
  for (float& entry : m) entry = 0.0f;
  m[0] = 1.0f;
  m[5] = 1.0f;
  m[10] = 1.0f;
  m[15] = 1.0f;
}

Matrix4& Matrix4::operator=(const float (&values)[16]) {
  for (int i = 0; i < 16; ++i) m[i] = values[i];
  return *this;
}

Vector3 Matrix4::TransformPoint(const Vector3& point) const {
  return Vector3(m[0] * point.x + m[1] * point.y + m[2] * point.z + m[3],
                 m[4] * point.x + m[5] * point.y + m[6] * point.z + m[7],
                 m[8] * point.x + m[9] * point.y + m[10] * point.z + m[11]);
}

void Matrix4::Transpose() {
  // Read from a copy so that no entry is read after it was overwritten.
  const Matrix4 source = *this;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[r * 4 + c] = source.m[c * 4 + r];
  }
}

void Matrix4::Print() const {
  for (int r = 0; r < 4; ++r) {
    const float* row = m + r * 4;
    ConsolePrintf("[ %f %f %f %f ]", static_cast<double>(row[0]), static_cast<double>(row[1]),
                  static_cast<double>(row[2]), static_cast<double>(row[3]));
  }
}
