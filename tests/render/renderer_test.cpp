// Tests of the frame renderer. Everything draws into an off-screen context on
// the X display (Xvfb in the test command) and skips without one.

#include "render/renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_font.h"
#include "tests/support/skip.h"
#include "world/camera.h"

namespace {

using Rgb = std::array<int, 3>;

// The pixel at `column`, `row` (counted from the top) of a picture read back.
Rgb rendertest_At(const std::vector<uint8_t>& rgb, int width, int column, int row) {
  const uint8_t* p = &rgb[(static_cast<size_t>(row) * width + column) * 3];
  return {p[0], p[1], p[2]};
}

// Registered before any test, so that the frame's own handle and the test's
// name the same variable in every test.
ConsoleVariable<int> g_drawGround("world.draw_ground", 1);

// A manual clock standing at 100 s; the console and the lighting flag are
// put back after each test.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(100.0); }
  void TearDown() override {
    DeleteConsole();
    g_lightingEnabled = 1;
  }
  static std::vector<double> Matrix(GLenum which) {
    std::vector<double> m(16);
    glGetDoublev(which, m.data());
    return m;
  }
  platform::OffscreenGLContext gl_;
};

TEST_F(RenderTest, InitSetsTheProjectionAndTheLights) {
  if (!gl_.Create(800, 600)) TAVRIN_SKIP_TEST(gl_.error());
  RenderInit();
  // gluPerspective(45, 800 / 600, ...) written out: f = cot(22.5 deg).
  const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
  const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
  EXPECT_NEAR(projection[0], f * 600.0 / 800.0, 1e-5);
  EXPECT_NEAR(projection[5], f, 1e-5);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX)[14], -5.0);
  // A viewport without height (or width) has no aspect ratio: a square
  // projection.
  for (const int size : {0, 1}) {
    glViewport(0, 0, size * 64, (1 - size) * 48);
    RenderProjection();
    EXPECT_NEAR(Matrix(GL_PROJECTION_MATRIX)[0], f, 1e-5);
  }
}

TEST_F(RenderTest, FPSCountsFramesPerSecondAndDrawsTheRate) {
  if (!gl_.Create(160, 40)) TAVRIN_SKIP_TEST(gl_.error());
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_LIGHTING);
  // What the font draws for a text in white, unlit, at (10, 10); a frame's
  // frame-rate text `seconds` after the last.
  const auto reference = [&](const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    g_console->GetFont()->PrintText(10, 10, text);
    glEnable(GL_LIGHTING);
    return gl_.ReadRgb();
  };
  const auto frame = [&](double seconds) {
    platform::ManualClock::Advance(seconds);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0, 0, 0);
    RenderFPS();
    return gl_.ReadRgb();
  };
  // Frames a second apart close the interval running (from an earlier test,
  // or the first), then one more.
  frame(1.0);
  for (int k = 0; k < 100 && GetFrameCounter() != 0; ++k) frame(1.0);
  frame(1.0);
  // 64 frames a second (a step binary fractions hold exactly): the first at
  // no time since the last reset counts, as do the 63 after it; the 65th, 1 s
  // after the interval began, closes it and is not counted.
  EXPECT_EQ(frame(0.0), reference("0.00 FPS"));
  for (int k = 1; k < 64; ++k) frame(1.0 / 64.0);
  EXPECT_EQ(frame(1.0 / 64.0), reference("64.00 FPS"));
  // stats.fps 0: no counting and no text.
  ConsoleVariable<int> statsFps("stats.fps", 1);
  statsFps = 0;
  EXPECT_EQ(frame(1.0 / 64.0), reference(""));
  EXPECT_EQ(GetFrameCounter(), 0);
}

// Records the drawing of the frame, and the model-view matrix it was drawn in.
struct RenderTestEntity : Entity {
  RenderTestEntity(const std::string& name, uint32_t flags, std::string* calls)
      : Entity(name, flags), calls(calls) {}
  void Draw() override {
    *calls += name + " ";
    glGetDoublev(GL_MODELVIEW_MATRIX, view.data());
  }
  std::string* calls;
  std::vector<double> view = std::vector<double>(16);
};

TEST_F(RenderTest, FrameDrawsTheGroundAndTheFlaggedEntitiesInNameOrder) {
  if (!gl_.Create(220, 230)) TAVRIN_SKIP_TEST(gl_.error());
  // Without a camera the frame keeps the view: here from above, 10 pixels per
  // unit, column (x + 11) x 10 and row from the top 229 - (-z + 12) x 10.
  glMatrixMode(GL_PROJECTION);
  glOrtho(-11, 11, -12, 11, -20, 20);
  glMatrixMode(GL_MODELVIEW);
  glRotatef(90, 1, 0, 0);
  const std::vector<double> before = Matrix(GL_MODELVIEW_MATRIX);
  std::string calls;
  RenderTestEntity b("B", 2, &calls), a("a", 6, &calls), c("c", 3, &calls), hidden("hidden", 4, &calls);
  RenderFrame();
  EXPECT_EQ(calls, "a b c ");
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  // Square (i, j) at (i, 0, j) has the first colour exactly when i + j is
  // even; beyond x -10 .. 10 and z -10 .. 11 is the sky.
  const std::vector<uint8_t> ground = gl_.ReadRgb();
  for (int i = -11; i <= 10; ++i) {
    for (int j = -11; j <= 11; ++j) {
      const bool off = i < -10 || i > 9 || j < -10 || j > 10;
      const Rgb want = off ? Rgb{104, 212, 248} : (i + j) % 2 == 0 ? Rgb{4, 178, 45} : Rgb{11, 91, 45};
      EXPECT_EQ(rendertest_At(ground, 220, i * 10 + 115, 114 + j * 10), want) << i << ", " << j;
    }
  }
  // The camera sets the view: the entities are drawn as seen from where it
  // stands towards "root", which it tracks, at the origin. The clear colour
  // follows gl.backgrnd_r from the next frame; with world.draw_ground 0
  // there is no ground.
  g_camera = new Camera;
  ConsoleVariable<float> red("gl.backgrnd_r", 0.0f);
  red = 0.6f;
  g_drawGround = 0;
  RenderFrame();
  EXPECT_GT(g_camera->pathLength, 0.0f);  // its update planned a path
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  const Vector3 eye = g_camera->position;
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, 0, 0, 0, 0, 1, 0);
  const std::vector<double> seen = Matrix(GL_MODELVIEW_MATRIX);
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(a.view[k], seen[k], 1e-5) << k;
  std::vector<uint8_t> cleared;
  for (int i = 0; i < 220 * 230; ++i) cleared.insert(cleared.end(), {153, 212, 248});
  EXPECT_EQ(gl_.ReadRgb(), cleared);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
