// Vector3 against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>

#include "core/vector3.h"

namespace {

TEST(Vector3, CrossNormalizeAndAngle) {
  EXPECT_EQ(Distance(CrossProduct(Vector3(4, 5, 6), Vector3(1, 2, 3)), Vector3(3, -6, 3)), 0.0f);
  EXPECT_LT(Distance(Normalize(Vector3(3, 4, 12)), Vector3(3.0f / 13, 4.0f / 13, 12.0f / 13)), 1e-7f);
  EXPECT_NEAR(AngleBetween(Vector3(1, 0, 0), Vector3(-1, 1, 0)), 3 * M_PI / 4, 1e-6);
  // Parallel and opposite vectors whose cosine rounds past +-1 stay finite.
  for (float s = 0.1f; s < 10.0f; s += 0.37f) {
    const Vector3 u(0.3f * s, 0.7f * s, 0.1f * s);
    EXPECT_NEAR(AngleBetween(u, 3.0f * u) + AngleBetween(u, -1.7f * u), M_PI, 1e-3) << s;
  }
}

}  // namespace
