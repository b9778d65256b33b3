// Tests of the frame renderer. Everything draws into an off-screen context on
// the X display (Xvfb in the test command) and skips without one.

#include "render/renderer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_font.h"
#include "tests/support/skip.h"

namespace {

using Rgb = std::array<int, 3>;

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
}

TEST_F(RenderTest, FrameDrawsTheGroundAndKeepsTheViewWithoutACamera) {
  if (!gl_.Create(220, 230)) TAVRIN_SKIP_TEST(gl_.error());
  // Without a camera the frame keeps the view: here from above, 10 pixels per
  // unit, column (x + 11) x 10 and row from the top 229 - (-z + 12) x 10.
  glMatrixMode(GL_PROJECTION);
  glOrtho(-11, 11, -12, 11, -20, 20);
  glMatrixMode(GL_MODELVIEW);
  glRotatef(90, 1, 0, 0);
  const std::vector<double> before = Matrix(GL_MODELVIEW_MATRIX);
  RenderFrame();
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  // Square (i, j) at (i, 0, j) has the first colour exactly when i + j is
  // even; beyond x -10 .. 10 and z -10 .. 11 is the sky.
  const std::vector<uint8_t> ground = gl_.ReadRgb();
  for (int i = -11; i <= 10; ++i) {
    for (int j = -11; j <= 11; ++j) {
      const bool off = i < -10 || i > 9 || j < -10 || j > 10;
      const Rgb want = off ? Rgb{104, 212, 248} : (i + j) % 2 == 0 ? Rgb{4, 178, 45} : Rgb{11, 91, 45};
      const uint8_t* p = &ground[((114 + j * 10) * 220 + i * 10 + 115) * 3];
      EXPECT_EQ((Rgb{p[0], p[1], p[2]}), want) << i << ", " << j;
    }
  }
}

}  // namespace
