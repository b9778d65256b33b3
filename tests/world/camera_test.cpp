// Tests of the camera: the x-z angle, the path step rules, tracking along the
// spline, the cases where the step is undefined, and the view it sets.

#include "tests/support/skip.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/console_variable.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr char kSplineLine[] = "plotting new spline... \n";

void camtest_ExpectNear(const Vector3& actual, double x, double y, double z, double tolerance,
                        const char* what) {
  EXPECT_NEAR(actual.x, x, tolerance) << what;
  EXPECT_NEAR(actual.y, y, tolerance) << what;
  EXPECT_NEAR(actual.z, z, tolerance) << what;
}

// The point of a two-point cardinal path (tension 0.5) at u: both end
// tangents are half the chord, so the Hermite form reduces to
// p0 + (p1 - p0) (-u^3 + 1.5 u^2 + 0.5 u).
Vector3 camtest_PathPoint(const Vector3& p0, const Vector3& p1, double u) {
  const double s = -u * u * u + 1.5 * u * u + 0.5 * u;
  return Vector3(static_cast<float>(p0.x + (p1.x - p0.x) * s), static_cast<float>(p0.y + (p1.y - p0.y) * s),
                 static_cast<float>(p0.z + (p1.z - p0.z) * s));
}

// The path step written out from the rules: distance d to the goal, time t,
// goal movement `goalMove`, path length `length`, defaults of the variables.
double camtest_Step(double d, double t, double goalMove, double length) {
  const double vel = std::max(goalMove / t, 8.0);
  const double f = d > 27.0 ? 1.0 : (d >= 0.5 ? d / 27.0 : 0.0);
  return (37.0 * f + (1.0 - f) * vel * 0.15) * t / length * 1.4;
}

// The look-at view from `eye` towards `centre` with up (0, 1, 0), row-major.
void camtest_LookAt(const Vector3& eye, const Vector3& centre, double out[4][4]) {
  double f[3] = {centre.x - eye.x, centre.y - eye.y, centre.z - eye.z};
  const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  for (double& v : f) v /= fl;
  double s[3] = {-f[2], 0.0, f[0]};  // f x (0, 1, 0)
  const double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
  for (double& v : s) v /= sl;
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
  const double e[3] = {eye.x, eye.y, eye.z};
  for (int c = 0; c < 3; ++c) {
    out[0][c] = s[c];
    out[1][c] = u[c];
    out[2][c] = -f[c];
    out[3][c] = 0.0;
  }
  out[0][3] = -(s[0] * e[0] + s[1] * e[1] + s[2] * e[2]);
  out[1][3] = -(u[0] * e[0] + u[1] * e[1] + u[2] * e[2]);
  out[2][3] = f[0] * e[0] + f[1] * e[1] + f[2] * e[2];
  out[3][3] = 1.0;
}

// The free-roaming view: the rotation of q (the usual unit-quaternion
// matrix) followed by the translation by -p, row-major.
void camtest_FreeView(const Quaternion& q, const Vector3& p, double out[4][4]) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                          {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                          {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  for (int row = 0; row < 3; ++row) {
    for (int c = 0; c < 3; ++c) out[row][c] = r[row][c];
    out[row][3] = -(r[row][0] * p.x + r[row][1] * p.y + r[row][2] * p.z);
  }
  out[3][0] = out[3][1] = out[3][2] = 0.0;
  out[3][3] = 1.0;
}

// Compares the model-view matrix OpenGL holds (column-major) with `expected`.
void camtest_ExpectView(const double expected[4][4], const char* what) {
  float values[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, values);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(values[c * 4 + r], expected[r][c], 2e-4) << what << " " << r << c;
  }
}

Entity* camtest_Root() { return EntityMap().at("root"); }

// Manual time for every test.
class CameraClockTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(50.0); }
  void TearDown() override { platform::ManualClock::Uninstall(); }
  testing_support::ScopedWorkDir work_;
};

// Update draws, so these tests also need a current GL context.
class CameraGLTest : public CameraClockTest {
 protected:
  void SetUp() override {
    CameraClockTest::SetUp();
    if (!context_.Create(64, 64)) TAVRIN_SKIP_TEST("no OpenGL context: " << context_.error());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  // Runs `updates` updates `seconds` apart; returns what they printed.
  std::string Run(int updates, double seconds, Camera* camera) {
    testing::internal::CaptureStdout();
    for (int i = 0; i < updates; ++i) {
      platform::ManualClock::Advance(seconds);
      camera->Update();
    }
    return testing::internal::GetCapturedStdout();
  }
  platform::OffscreenGLContext context_;
};

TEST(CameraAngle, AngleXZIsTheAngleOfTheProjectionsAndNeverNaN) {
  EXPECT_FLOAT_EQ(AngleXZ(Vector3(-4.8f, 0, 0), Vector3(4.8f, 0, 0)), 180.0f);
  // Pairs whose cosine rounds just past 1 or -1 in double precision.
  const Vector3 rounding(0.8883713483810425f, 0.0f, -9.564554214477539f);
  EXPECT_EQ(AngleXZ(rounding, rounding), 0.0f);
  EXPECT_EQ(AngleXZ(rounding, -1.0f * rounding), 180.0f);
  srand(7);
  for (int i = 0; i < 2000; ++i) {
    const Vector3 a(static_cast<float>(rand() % 20001 - 10000) / 997.0f, 0.0f,
                    static_cast<float>(rand() % 20001 - 10000) / 991.0f);
    ASSERT_LT(AngleXZ(a, a), 1e-3f) << a.x << " " << a.z;  // false for NaN too
    // A second formulation: the difference of the two headings.
    const Vector3 b(static_cast<float>(rand() % 2001 - 1000), 3.0f, static_cast<float>(rand() % 2001 - 1000));
    double diff = std::fabs(std::atan2(a.z, a.x) - std::atan2(b.z, b.x)) * 57.29577951308232;
    if (diff > 180.0) diff = 360.0 - diff;
    if (diff > 1.0 && diff < 179.0) {
      ASSERT_NEAR(AngleXZ(a, b), diff, 1e-3);
    }
  }
  // Without a direction on the plane there is no angle.
  EXPECT_EQ(AngleXZ(Vector3(0, 7, 0), Vector3(1, 0, 0)), 0.0f);
  EXPECT_EQ(AngleXZ(Vector3(), Vector3()), 0.0f);
  EXPECT_FALSE(std::isnan(AngleXZ(Vector3(NAN, 0, 1), Vector3(1, 0, 0))));
}

TEST_F(CameraClockTest, ConstructionModesAndTargets) {
  Camera camera;
  EXPECT_EQ(EntityMap().at("camera"), &camera);
  camtest_ExpectNear(camera.position, 1, 1, 1, 0, "start");
  Entity* root = camtest_Root();
  EXPECT_EQ(root->GetFlags(), kEntityDrawn);
  EXPECT_EQ(camera.GetTarget(), root);
  camtest_ExpectNear(EntityMap().at("test")->position, 5, 0, 5, 1e-6, "test entity");
  camera.SetTarget(nullptr);  // ignored
  EXPECT_EQ(camera.GetTarget(), root);
  camera.SetMode(Camera::kFreeRoam);
  camtest_ExpectNear(camera.GetTargetPosition(), 1, 1, 1, 0, "free mode looks at itself");

  // Tracking without a target takes "root" only when it exists, and enters
  // nothing into EntityMap.
  camera.target = nullptr;
  delete root;
  camera.SetMode(Camera::kTrackEntity);
  EXPECT_EQ(camera.GetTarget(), nullptr);
  EXPECT_EQ(EntityMap().count("root"), 0u);
  Entity fresh("ROOT", 2);
  camera.SetMode(Camera::kTrackEntity);
  EXPECT_EQ(camera.GetTarget(), &fresh);
}

TEST_F(CameraClockTest, PathStepFollowsTheNearAndFarRules) {
  Camera camera;
  const double t = 0.1;
  auto step = [&](const Vector3& position, const Vector3& pathEnd, float length, float u) {
    camera.position = position;
    camera.pathEnd = pathEnd;
    camera.pathLength = length;
    camera.u = u;
    camera.timer.Reset();
    platform::ManualClock::Advance(t);
    return camera.ComputePathStep(Vector3());  // the goal at the origin
  };
  const Vector3 origin;
  // Closer than 0.5: the catch-up term alone, at least min_velocity x 0.15.
  EXPECT_NEAR(step(Vector3(0.3f, 0, 0), origin, 10.0f, 0.0f), 8.0 * 0.15 * t / 10.0 * 1.4, 1e-6);
  // A goal that moved fast raises the catch-up velocity above the minimum.
  EXPECT_NEAR(step(Vector3(0.3f, 0, 0), Vector3(0, 4, 0), 10.0f, 0.25f), 0.25 + 40.0 * 0.15 * t / 10.0 * 1.4,
              1e-6);
  // Farther than 27: max_velocity alone.
  EXPECT_NEAR(step(Vector3(30, 0, 0), Vector3(0, 4, 0), 40.0f, 0.0f), 37.0 * t / 40.0 * 1.4, 1e-6);
  // Between: both, weighted by d / 27.
  EXPECT_NEAR(step(Vector3(0, 5.4f, 0), Vector3(3, 0, 0), 20.0f, 0.0f),
              (37.0 * 0.2 + 0.8 * 30.0 * 0.15) * t / 20.0 * 1.4, 1e-6);
  // The parameter stops at 1.
  EXPECT_EQ(step(Vector3(30, 0, 0), origin, 1.0f, 0.9f), 1.0f);
  // "camera.speed" is a factor on the step.
  ConsoleVariable<float> speed("camera.speed", 0.0f);
  speed = 2.8f;
  EXPECT_NEAR(step(Vector3(30, 0, 0), origin, 40.0f, 0.0f), 37.0 * t / 40.0 * 2.8, 1e-6);
  speed = 1.4f;

  // Undefined steps leave the parameter where it was: no time, time going
  // backwards, a path without length.
  camera.pathLength = 10.0f;
  camera.u = 0.5f;
  camera.timer.Reset();
  EXPECT_EQ(camera.ComputePathStep(Vector3(3, 0, 0)), 0.5f);
  platform::ManualClock::Advance(-1.0);
  EXPECT_EQ(camera.ComputePathStep(Vector3(3, 0, 0)), 0.5f);
  for (float length : {0.0f, -1.0f}) EXPECT_EQ(step(Vector3(3, 0, 0), origin, length, 0.5f), 0.5f);
}

TEST_F(CameraGLTest, FirstTrackingUpdatePlansOnePathAndGlidesAlongIt) {
  Camera camera;
  const Vector3 start(1, 1, 1);
  const Vector3 goal(-4.8f, 2.2f, 0.0f);
  // No time has passed in the first update: the camera is still at the start.
  EXPECT_EQ(Run(1, 0.0, &camera), kSplineLine);
  camtest_ExpectNear(camera.pathEnd, -4.8, 2.2, 0, 1e-6, "path end");
  const double length = std::sqrt(5.8 * 5.8 + 1.2 * 1.2 + 1.0);
  EXPECT_NEAR(camera.pathLength, length, 1e-5);
  camtest_ExpectNear(camera.position, 1, 1, 1, 0, "after the first update");

  EXPECT_EQ(Run(1, 0.1, &camera), "");
  const double u = camtest_Step(length, 0.1, 0.0, length);
  EXPECT_NEAR(camera.u, u, 1e-6);
  const Vector3 expected = camtest_PathPoint(start, goal, u);
  camtest_ExpectNear(camera.position, expected.x, expected.y, expected.z, 1e-5, "after 0.1 s");

  // It arrives and stays, without planning again.
  EXPECT_EQ(Run(100, 1.0 / 60.0, &camera), "");
  EXPECT_EQ(camera.u, 1.0f);
  camtest_ExpectNear(camera.position, -4.8, 2.2, 0, 1e-5, "arrived");

  // The view looks from the camera at the target; free mode flies on from
  // the view last seen.
  double view[4][4];
  camtest_LookAt(camera.position, Vector3(), view);
  camtest_ExpectView(view, "tracking view");
  camera.SetMode(Camera::kFreeRoam);
  glLoadIdentity();
  camera.Update();
  camtest_ExpectView(view, "free view after tracking");
}

TEST_F(CameraGLTest, SmallTargetMovesAndTurnsKeepThePathLargeOnesReplan) {
  Camera camera;
  Entity* root = camtest_Root();
  testing::internal::CaptureStdout();
  camera.Update();
  platform::ManualClock::Advance(0.05);
  camera.Update();
  const Vector3 before = camera.position;

  // 1.0 along x: the goal moves by less than 1.45, the old path stays.
  root->position = Vector3(1.0f, 0.0f, 0.0f);
  platform::ManualClock::Advance(0.05);
  camera.Update();
  camtest_ExpectNear(camera.pathEnd, -4.8, 2.2, 0, 1e-6, "kept path end");
  EXPECT_LT(camera.position.x, before.x);  // still gliding towards the old goal
  // A turn of 0.5 degrees keeps the kept offset and so the goal.
  root->orientation.SetAxisAngle(Vector3(0, 1, 0), static_cast<float>(0.5 / 57.29577951308232));
  platform::ManualClock::Advance(0.05);
  camera.Update();
  camtest_ExpectNear(camera.pathEnd, -4.8, 2.2, 0, 1e-6, "small turn");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kSplineLine);  // the first plan only

  // Another 2.5 along x: the goal is 3.5 away, a new path starts at the camera.
  root->position = Vector3(3.5f, 0.0f, 0.0f);
  const Vector3 here = camera.position;
  EXPECT_EQ(Run(1, 0.05, &camera), kSplineLine);
  camtest_ExpectNear(camera.pathEnd, 3.5 - 4.8, 2.2, 0, 1e-6, "moved goal");
  EXPECT_EQ(camera.path.GetControlPoints()[0].x(), here.x);

  // A quarter turn about y: the row-0 axis becomes (0, 0, 1), the camera
  // goes to stand at -4.8 along z from the target.
  root->orientation.SetAxisAngle(Vector3(0, 1, 0), static_cast<float>(3.14159265358979 / 2));
  EXPECT_EQ(Run(1, 0.05, &camera), kSplineLine);
  camtest_ExpectNear(camera.pathEnd, 3.5, 2.2, -4.8, 1e-5, "turned goal");

  // The camera moved by something else beyond 1.45 also replans.
  camera.position = Vector3(20, 5, 20);
  EXPECT_EQ(Run(1, 0.05, &camera), kSplineLine);
  EXPECT_EQ(camera.path.GetControlPoints()[0].x(), 20.0f);
}

TEST_F(CameraGLTest, FreeModeSetsTheViewFromItsRotationAndPosition) {
  Camera camera;
  camera.SetMode(Camera::kFreeRoam);
  camera.Turn(Vector3(10.0f, 35.0f, 0.0f));
  camera.MoveLocal(Vector3(0.5f, 0.0f, -2.0f));
  const Vector3 placed = camera.position;
  EXPECT_EQ(Run(1, 0.5, &camera), "");
  camtest_ExpectNear(camera.position, placed.x, placed.y, placed.z, 0, "free mode moves nothing");
  double view[4][4];
  camtest_FreeView(camera.orientation, camera.position, view);
  camtest_ExpectView(view, "free view");

  // Any other mode sets no view.
  camera.SetMode(1);
  glLoadIdentity();
  glTranslatef(7, 8, 9);
  camera.Update();
  double moved[4][4] = {{1, 0, 0, 7}, {0, 1, 0, 8}, {0, 0, 1, 9}, {0, 0, 0, 1}};
  camtest_ExpectView(moved, "mode 1");
}

TEST_F(CameraGLTest, NoTimeOrNoPathLengthLeavesThePositionAlone) {
  Camera camera;
  camera.Update();
  platform::ManualClock::Advance(0.2);
  camera.Update();
  const Vector3 p = camera.position;
  testing::internal::CaptureStdout();
  for (int i = 0; i < 3; ++i) {
    // The goal moves a little in no time: an infinite goal speed.
    camtest_Root()->position.z += 0.25f;
    camera.Update();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  camtest_ExpectNear(camera.position, p.x, p.y, p.z, 0, "no time");  // fails for NaN too
  const float u = camera.u;
  ASSERT_TRUE(std::isfinite(u));
  Run(1, 0.1, &camera);  // time goes on, and so does the camera
  EXPECT_GT(camera.u, u);

  // Put at the goal: one plan of length 0, and no complaint about u.
  camera.position = Vector3(-4.8f, 2.2f, 0.75f);
  EXPECT_EQ(Run(4, 0.1, &camera), kSplineLine);
  EXPECT_EQ(camera.pathLength, 0.0f);
  EXPECT_TRUE(std::isfinite(camera.u));
  camtest_ExpectNear(camera.position, -4.8, 2.2, 0.75, 1e-6, "at the goal");
}

TEST_F(CameraGLTest, UnlockedOrWithoutAHorizontalHeadingTheCameraStaysAndKeepsLooking) {
  Camera camera;
  {  // Unlocked.
    camera.ToggleLockOn();
    camtest_Root()->position = Vector3(3, 0, -2);
    EXPECT_EQ(Run(5, 0.1, &camera), "");
    camtest_ExpectNear(camera.position, 1, 1, 1, 0, "unlocked");
    double view[4][4];
    camtest_LookAt(camera.position, Vector3(3, 0, -2), view);
    camtest_ExpectView(view, "unlocked view");
    camera.ToggleLockOn();
    camtest_Root()->position = Vector3();
  }
  {  // "camera.hdist" 0, as typed at the console.
    ConsoleVariable<float> hdist("camera.hdist", 1.0f);
    hdist = 0.0f;
    EXPECT_EQ(Run(4, 0.1, &camera), "");
    camtest_ExpectNear(camera.position, 1, 1, 1, 0, "hdist 0");
    double view[4][4];
    camtest_LookAt(camera.position, Vector3(), view);
    camtest_ExpectView(view, "still looking");
    hdist = 4.8f;
  }
  {  // A target whose row 0 of the rotation is exactly (0, -1, 0).
    camtest_Root()->orientation = Quaternion(0.5f, -0.5f, 0.5f, 0.5f);
    EXPECT_EQ(Run(4, 0.1, &camera), "");
    camtest_ExpectNear(camera.position, 1, 1, 1, 0, "vertical axis");
  }
  {  // Straight above the target the view keeps its last orientation.
    const Quaternion before = camera.orientation;
    camera.position = Vector3(0, 5, 0);
    camera.Update();
    EXPECT_EQ(camera.orientation.x, before.x);
    EXPECT_EQ(camera.orientation.w, before.w);
    camtest_ExpectNear(camera.position, 0, 5, 0, 0, "above");
  }
}

}  // namespace
