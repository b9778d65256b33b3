// Tests of the entity (moves along its own axes, turns about world up, the
// matrix for OpenGL) and of the camera: the x-z angle, the path step rules,
// tracking along the spline, and the view it sets unlocked or where it has
// no heading.

#include "world/camera.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "core/console_variable.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "tests/support/skip.h"

namespace {

constexpr char kSplineLine[] = "plotting new spline... \n";

// Whether OpenGL's model-view matrix is the view from `eye` towards `centre`
// (up (0, 1, 0)) as GLU makes it.
bool camtest_LooksAt(const Vector3& eye, const Vector3& centre) {
  float view[16], expected[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, view);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0.0, 1.0, 0.0);
  glGetFloatv(GL_MODELVIEW_MATRIX, expected);
  glPopMatrix();
  return std::equal(view, view + 16, expected, [](float a, float b) { return std::fabs(a - b) < 2e-4f; });
}

// Manual time for every test; the camera's tracking state is one for the
// process, so that only TrackingPlansGlidesAndReplans tracks with a heading.
class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(50.0); }
  // Runs `updates` updates `seconds` apart (Update draws: a GL context must
  // be current); returns what they printed.
  std::string Run(int updates, double seconds) {
    testing::internal::CaptureStdout();
    for (int i = 0; i < updates; ++i) {
      platform::ManualClock::Advance(seconds);
      camera.Update();
    }
    return testing::internal::GetCapturedStdout();
  }
  Camera camera;
  Entity* root = EntityMap().at("root");
  platform::OffscreenGLContext gl;
};

TEST(EntityTest, MoveLocalFollowsTheOwnAxesAndTurnUsesWorldUp) {
  Entity e("mover", 2);
  // Own axes are the rows of the row-major rotation. Ry(90) has the rows
  // (c 0 s), (0 1 0), (-s 0 c) with c = 0, s = 1: a move of 3 along the own
  // x axis goes along (0, 0, 1), one of 4 along y up, one of 2 along z along
  // (-1, 0, 0). `matrix` is the rotation in OpenGL's column order.
  e.Turn(Vector3(0.0f, 90.0f, 0.0f));
  e.MoveLocal(Vector3(3.0f, 4.0f, 2.0f));
  EXPECT_LT(Distance(e.position, Vector3(-2.0f, 4.0f, 3.0f)), 1e-5f);
  EXPECT_NEAR(e.matrix.m[2], -1.0f, 1e-6f);
  EXPECT_NEAR(e.matrix.m[8], 1.0f, 1e-6f);
  // The y turn is about world up even when the entity is tilted: it keeps
  // the height of the own axes.
  Entity tilted("tilted", 0);
  tilted.Turn(Vector3(30.0f, 0.0f, 0.0f));
  const float zHeight = tilted.orientation.GetZAxis().y;
  tilted.Turn(Vector3(0.0f, 50.0f, 0.0f));
  EXPECT_NEAR(tilted.orientation.GetZAxis().y, zHeight, 1e-5f);
  // No move leaves it at a place that is not finite.
  e.SetPosition(Vector3(1.0f, NAN, 0.0f));
  e.MoveLocal(Vector3(0.0f, 0.0f, INFINITY));
  EXPECT_LT(Distance(e.position, Vector3(-2.0f, 4.0f, 3.0f)), 1e-5f);
  // Reset clears place and orientation; a zero move still renormalises the
  // orientation and rebuilds the matrix.
  e.Reset();
  EXPECT_EQ(Distance(e.position, Vector3()) + std::fabs(e.orientation.w - 1.0f), 0.0f);
  e.orientation = Quaternion(0.0f, 0.0f, 0.0f, 2.0f);
  e.MoveLocal(Vector3());
  EXPECT_EQ(std::make_pair(e.orientation.w, e.matrix.m[2]), std::make_pair(1.0f, 0.0f));
}

TEST(CameraAngle, AngleXZIsTheAngleOfTheProjectionsAndNeverNaN) {
  // A pair whose cosine rounds just past 1 (and -1) in double precision.
  const Vector3 r(0.8883713483810425f, 0.0f, -9.564554214477539f);
  const std::tuple<Vector3, Vector3, float> cases[] = {
      {r, r, 0}, {r, -1.0f * r, 180}, {{1, 0, 1}, {1, 5, 0}, 45}, {{}, {}, 0}, {{NAN, 0, 1}, {1, 0, 0}, 0}};
  for (const auto& [a, b, degrees] : cases) EXPECT_NEAR(AngleXZ(a, b), degrees, 1e-4) << a.x << " " << a.z;
}

TEST_F(CameraTest, PathStepFollowsTheNearAndFarRules) {
  // The goal at the origin, 0.1 s since the timer's reset: the step is
  // (37 f + (1 - f) vel 0.15) t / length x "camera.speed" 1.4, with f 0 closer
  // than 0.5 and 1 farther than 27, and vel the goal's speed from the path's
  // end (here 40).
  // (position, path length, u, the step)
  const double k = 0.1 * 1.4;
  const std::tuple<Vector3, float, float, double> cases[] = {{{0.3f, 0, 0}, 10, 0.25f, 0.25 + 40 * 0.15 * k / 10},
                                                             {{30, 0, 0}, 40, 0, 37 * k / 40}};
  for (const auto& [position, length, u, step] : cases) {
    std::tie(camera.position, camera.pathLength, camera.u) = std::tie(position, length, u);
    camera.pathEnd = Vector3(0, 4, 0);
    camera.timer.Reset();
    platform::ManualClock::Advance(0.1);
    EXPECT_NEAR(camera.ComputePathStep(Vector3()), step, 1e-6) << position.x;
  }
}

TEST_F(CameraTest, TrackingPlansGlidesAndReplans) {
  if (!gl.Create(64, 64)) TAVRIN_SKIP_TEST(gl.error());
  // No time has passed in the first update: a path from the start to 4.8
  // behind and 2.2 above the target, the camera still at the start.
  const Vector3 start(1, 1, 1), goal(-4.8f, 2.2f, 0.0f);
  EXPECT_EQ(Run(1, 0.0), kSplineLine);
  const float length = Distance(start, goal);
  // Each step adds (37 d / 27 + (1 - d / 27) 8 x 0.15) t / length x 1.4 to u,
  // d the distance left to the goal, t the time since the last update; the
  // camera stands on the two-point cardinal path (tension 0.5) at u: both end
  // tangents are half the chord, p0 + (p1 - p0) (-u^3 + 1.5 u^2 + 0.5 u).
  const auto step = [&](float d) { return (37 * d / 27 + (1 - d / 27) * 8 * 0.15f) * 0.1f / length * 1.4f; };
  EXPECT_EQ(Run(1, 0.1), "");
  const float u = step(length);
  EXPECT_NEAR(camera.u, u, 1e-6);
  EXPECT_LT(Distance(camera.position, start + (-u * u * u + 1.5f * u * u + 0.5f * u) * (goal - start)), 1e-5f);
  // The next step goes by the distance left.
  const float d = Distance(camera.position, goal);
  EXPECT_EQ(Run(1, 0.1), "");
  EXPECT_NEAR(camera.u, u + step(d), 1e-6);
  // It arrives at the goal and stays, without planning again.
  EXPECT_EQ(Run(100, 1.0 / 60.0), "");
  EXPECT_EQ(camera.u, 1.0f);
  EXPECT_LT(Distance(camera.position, goal), 1e-5f);

  // The goal moved by less than 1.45 keeps the path; moved 3.5 along x, the
  // goal is 3.5 away: a new path to it.
  root->position = Vector3(1.0f, 0.0f, 0.0f);
  EXPECT_EQ(Run(1, 0.05), "");
  EXPECT_LT(Distance(camera.pathEnd, goal), 1e-6f);
  root->position = Vector3(3.5f, 0.0f, 0.0f);
  EXPECT_EQ(Run(1, 0.05), kSplineLine);
  EXPECT_LT(Distance(camera.pathEnd, Vector3(3.5f - 4.8f, 2.2f, 0.0f)), 1e-5f);
  root->position = Vector3();
  EXPECT_EQ(Run(100, 1.0 / 60.0), kSplineLine);

  // The target turns a little: the kept heading and the goal stay. A quarter
  // turn about y (the row-0 axis becomes (0, 0, 1)) is past the tolerance:
  // a new path to 4.8 behind along -z.
  root->orientation.SetAxisAngle(Vector3(0, 1, 0), 0.5f * 3.14159265f / 180);
  EXPECT_EQ(Run(1, 0.05), "");
  root->orientation.SetAxisAngle(Vector3(0, 1, 0), 3.14159265f / 2);
  EXPECT_EQ(Run(1, 0.05), kSplineLine);
  const Vector3 behind(0.0f, 2.2f, -4.8f);
  EXPECT_LT(Distance(camera.pathEnd, behind), 1e-5f);
  EXPECT_EQ(Run(100, 1.0 / 60.0), "");
  // Moved by something else: 1 from where the path left it is tolerated, 2
  // is not: a new path from there, 2 long.
  for (const auto& [shift, printed] : {std::pair{1.0f, ""}, {2.0f, kSplineLine}}) {
    camera.position = behind + Vector3(shift, 0, 0);
    EXPECT_EQ(Run(1, 0.05), printed) << shift;
  }
  EXPECT_NEAR(camera.pathLength, 2.0f, 1e-5f);
  EXPECT_EQ(camera.path.GetControlPoints()[0].x(), 2.0f);
}

TEST_F(CameraTest, AnUndefinedPathStepLeavesTheCameraWhereThePathHasIt) {
  // A step without time (or with the clock gone back), or on a path planned
  // with the camera already at its goal, keeps u.
  const std::pair<double, float> cases[] = {{0.0, 6.0f}, {-0.1, 6.0f}, {0.1, 0.0f}, {0.0, 0.0f}};
  for (const auto& [seconds, length] : cases) {
    camera.u = 0.25f;
    camera.pathLength = length;
    camera.pathEnd = Vector3(0, 0, 0);
    camera.timer.Reset();
    platform::ManualClock::Advance(seconds);
    EXPECT_EQ(camera.ComputePathStep(Vector3(1, 0, 0)), 0.25f) << seconds << " s, length " << length;
  }
}

TEST_F(CameraTest, UnlockedOrWithoutAHorizontalHeadingTheCameraStaysAndKeepsLooking) {
  if (!gl.Create(64, 64)) TAVRIN_SKIP_TEST(gl.error());
  const Vector3 start = camera.position;
  camera.ToggleLockOn();
  root->position = Vector3(3, 0, -2);
  EXPECT_EQ(Run(5, 0.1), "");
  EXPECT_TRUE(camtest_LooksAt(start, root->position));
  camera.ToggleLockOn();
  // "camera.hdist" 0, as typed at the console: the camera stays where it
  // is and looks at the target.
  ConsoleVariable<float> hdist("camera.hdist", 1.0f);
  hdist = 0.0f;
  EXPECT_EQ(Run(4, 0.1), "");
  EXPECT_TRUE(camtest_LooksAt(start, root->position));
  // Straight above the target the view keeps its last orientation.
  const Quaternion before = camera.orientation;
  camera.position = root->position + Vector3(0, 5, 0);
  camera.Update();
  EXPECT_EQ(std::make_pair(camera.orientation.x, camera.orientation.w), std::make_pair(before.x, before.w));
}

// Up held with "keyboard.trans_speed" 1e38: the camera stops at the last
// finite place on its way; tracking, too far off for a path, puts it at its
// place behind the target at once.
TEST_F(CameraTest, FlownOutOfRangeTheCameraStaysFiniteAndTrackingBringsItBack) {
  if (!gl.Create(64, 64)) TAVRIN_SKIP_TEST(gl.error());
  camera.SetMode(Camera::kFreeRoam);
  for (int i = 0; i < 36; ++i) camera.MoveLocal(Vector3(0.0f, 0.0f, -1e38f));
  EXPECT_TRUE(IsFinite(camera.position));
  root->position = Vector3(0, 0, 0);
  root->orientation.SetIdentity();
  camera.SetTarget(root);
  Run(2, 0.1);
  EXPECT_LT(Distance(camera.position, Vector3(-4.8f, 2.2f, 0.0f)), 1e-5f);
}

}  // namespace
