// Tests of the frame renderer. Everything draws into an off-screen context on
// the X display (Xvfb in the test command) and skips without one.

#include "tests/support/skip.h"
#include "render/renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_font.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/character.h"
#include "world/entity.h"
#include "world/scene_reader.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

struct Rgb {
  int r, g, b;
};
// The scene's colours in bytes.
constexpr Rgb kSky = {104, 212, 248};      // (0.4078, 0.8313, 0.9725)
constexpr Rgb kGroundEven = {4, 178, 45};  // (0.0156, 0.698, 0.1765)
constexpr Rgb kGroundOdd = {11, 91, 45};   // (0.0431, 0.3569, 0.1765)
constexpr Rgb kPanel = {204, 51, 77};      // (0.8, 0.2, 0.3)

bool Near(const Rgb& p, const Rgb& expected, int tolerance = 2) {
  return std::abs(p.r - expected.r) <= tolerance && std::abs(p.g - expected.g) <= tolerance &&
         std::abs(p.b - expected.b) <= tolerance;
}
std::string Show(const Rgb& p) {
  return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}
// A lit bone is yellow: its colour reaches the lit surface through the colour material.
bool IsBone(const Rgb& p) { return p.r >= 60 && p.g >= 60 && p.r > 2 * p.b && p.g > 2 * p.b; }
bool IsWhite(const Rgb& p) { return p.r > 200 && p.g > 200 && p.b > 200; }

// A picture read back; rows counted from the top.
struct Picture {
  explicit Picture(const platform::OffscreenGLContext& gl)
      : width(gl.width()), height(gl.height()), rgb(gl.ReadRgb()) {}
  Rgb At(int column, int row) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(row) * width + column) * 3];
    return {p[0], p[1], p[2]};
  }
  // Pixels satisfying `test` in rows [row0, row1) and columns [column0, column1).
  template <typename Test>
  int Count(Test test, int row0 = 0, int row1 = -1, int column0 = 0, int column1 = -1) const {
    int count = 0;
    for (int row = row0; row < (row1 < 0 ? height : row1); ++row) {
      for (int column = column0; column < (column1 < 0 ? width : column1); ++column) {
        count += test(At(column, row)) ? 1 : 0;
      }
    }
    return count;
  }
  int CountNear(const Rgb& colour) const {
    return Count([&colour](const Rgb& p) { return Near(p, colour); });
  }
  int width;
  int height;
  std::vector<uint8_t> rgb;
};

// A working folder and a manual clock standing at 100 s; time moves only when a test moves it.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(100.0); }
  void TearDown() override { platform::ManualClock::Uninstall(); }
  static void Type(const std::string& line) {
    for (char c : line) g_console->KeyPress(c);
    g_console->KeyPress('\r');
  }
  // The current matrix of `which` in GL's column order.
  static std::vector<double> Matrix(GLenum which) {
    std::vector<double> m(16);
    glGetDoublev(which, m.data());
    return m;
  }
  static GLint Int(GLenum which) {
    GLint value = 0;
    glGetIntegerv(which, &value);
    return value;
  }
  testing_support::ScopedWorkDir work_;
  platform::OffscreenGLContext gl_;
};

TEST_F(RenderTest, InitSetsTheProjectionLightingAndLogsTheFrameBuffer) {
  if (!gl_.Create(800, 600)) TAVRIN_SKIP_TEST(gl_.error());
  RenderInit();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // gluPerspective(45, 800 / 600, 0.1, 50) written out: f = cot(22.5 deg).
  const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
  const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
  EXPECT_NEAR(projection[0], f * 600.0 / 800.0, 1e-5);
  EXPECT_NEAR(projection[5], f, 1e-5);
  EXPECT_NEAR(projection[10], (50.0 + 0.1) / (0.1 - 50.0), 1e-5);
  EXPECT_NEAR(projection[11], -1.0, 1e-6);
  EXPECT_NEAR(projection[14], 2.0 * 50.0 * 0.1 / (0.1 - 50.0), 1e-5);
  const std::vector<double> model = Matrix(GL_MODELVIEW_MATRIX);
  EXPECT_EQ(std::vector<double>(model.begin() + 12, model.end()), (std::vector<double>{0, 0, -5, 1}));
  EXPECT_EQ(Int(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_LIGHT2));

  const std::string log = ReadFile("log.txt");
  EXPECT_NE(log.find("RenderInit: GL window has " + std::to_string(Int(GL_RED_BITS)) + " bits red, " +
                     std::to_string(Int(GL_GREEN_BITS)) + " green, " + std::to_string(Int(GL_BLUE_BITS)) +
                     " blue\n\n"),
            std::string::npos)
      << log;

  // Without lighting enabled the lights are set up but lighting stays off.
  g_lightingEnabled = 0;
  InitLights();
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  g_lightingEnabled = 1;
}

TEST_F(RenderTest, InitCopesWithEmptyViewportsAndReadsSavedClipPlanesOnce) {
  if (!gl_.Create(64, 48)) TAVRIN_SKIP_TEST(gl_.error());
  // A viewport without height (or width) has no aspect ratio: a square, finite
  // projection and no GL error.
  for (const int size : {0, 1}) {
    glViewport(0, 0, size * 64, (1 - size) * 48);
    RenderInit();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
    for (double v : projection) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(projection[0], projection[5], 1e-9);
    EXPECT_GT(projection[5], 2.0);
  }

  // Values in "cvar.ini" are restored by the console before RenderInit reads
  // them; setting them later changes nothing until the next start.
  WriteFile("cvar.ini", "2 gl.nearclip 0.500000\n2 gl.farclip 20.000000\n");
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  glViewport(0, 0, 64, 48);
  RenderInit();
  const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
  EXPECT_NEAR(projection[0] * 64.0 / 48.0, projection[5], 1e-5);
  EXPECT_NEAR(projection[10], (20.0 + 0.5) / (0.5 - 20.0), 1e-5);
  EXPECT_NEAR(projection[14], 2.0 * 20.0 * 0.5 / (0.5 - 20.0), 1e-5);
  Type("gl.farclip = 90");
  RenderFrame();
  EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), projection);
  DeleteConsole();
}

// Ground and axes come out in their own colours, unlit, and leave lighting as
// g_lightingEnabled says.
TEST_F(RenderTest, GroundIsACheckerboardAxesAreColouredAndTheCubeIsBlue) {
  if (!gl_.Create(220, 230)) TAVRIN_SKIP_TEST(gl_.error());
  InitLights();
  glDisable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 1);
  // Seen from above, 10 pixels per unit: column = (x + 11) x 10, row from the
  // bottom = (-z + 12) x 10.
  glMatrixMode(GL_PROJECTION);
  glOrtho(-11, 11, -12, 11, -20, 20);
  glMatrixMode(GL_MODELVIEW);
  glRotatef(90, 1, 0, 0);
  for (const int lighting : {1, 0}) {
    g_lightingEnabled = lighting;
    glEnable(GL_LIGHTING);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawGround();
    EXPECT_EQ(glIsEnabled(GL_LIGHTING), lighting == 1);
  }
  g_lightingEnabled = 1;
  const Picture ground(gl_);
  auto at = [&](double x, double z) {
    return ground.At(static_cast<int>((x + 11) * 10), 229 - static_cast<int>((-z + 12) * 10));
  };
  // Square (i, j) at (i, 0, j) has the first colour exactly when i + j is even.
  for (int i = -10; i < 10; ++i) {
    for (int j = -10; j <= 10; ++j) {
      const Rgb got = at(i + 0.5, j + 0.5);
      ASSERT_TRUE(Near(got, (i + j) % 2 == 0 ? kGroundEven : kGroundOdd, 1)) << i << ", " << j << Show(got);
    }
  }
  // Nothing beyond x -10 .. 10 and z -10 .. 11.
  const std::pair<double, double> outside[] = {{0.5, -10.5}, {0.5, 11.5}, {-10.5, 0.5}, {10.5, 0.5}};
  for (const auto& [x, z] : outside) EXPECT_TRUE(Near(at(x, z), {0, 0, 0}, 0)) << x << ", " << z;

  // The axes from an oblique view: each line in its colour halfway along.
  glLoadIdentity();
  glRotatef(30, 1, 0, 0);
  glRotatef(-40, 0, 1, 0);
  glScalef(8, 8, 8);
  glLineWidth(3);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawAxes();
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  const Picture axes(gl_);
  const std::vector<double> model = Matrix(GL_MODELVIEW_MATRIX);
  const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const struct {
    double x, y, z;
    Rgb colour;
  } halfway[] = {{0.5, 0, 0, {255, 51, 51}}, {0, 0.5, 0, {51, 255, 51}}, {0, 0, 0.5, {51, 51, 255}}};
  for (const auto& p : halfway) {
    GLdouble wx = 0, wy = 0, wz = 0;
    ASSERT_TRUE(gluProject(p.x, p.y, p.z, model.data(), projection.data(), viewport, &wx, &wy, &wz));
    const Rgb got = axes.At(static_cast<int>(wx), axes.height - 1 - static_cast<int>(wy));
    EXPECT_TRUE(Near(got, p.colour, 1)) << Show(got);
  }

  // The cube face on, unlit, 10 pixels per unit around column 110 and row
  // 109: blue over its 50 pixels each way, compiled on the first call and
  // replayed by the second.
  glDisable(GL_LIGHTING);
  glLoadIdentity();
  glScalef(10, 10, 1);
  for (int call = 0; call < 2; ++call) {
    glClear(GL_COLOR_BUFFER_BIT);
    DrawUnitCube();
    const Picture cube(gl_);
    EXPECT_TRUE(Near(cube.At(110, 109), {0, 0, 255}, 0));
    EXPECT_TRUE(Near(cube.At(158, 61), {0, 0, 255}, 0));
    EXPECT_TRUE(Near(cube.At(162, 109), {0, 0, 0}, 0));
    EXPECT_TRUE(Near(cube.At(110, 161), {0, 0, 0}, 0));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTest, FPSCountsFramesPerSecondAndDrawsTheRate) {
  if (!gl_.Create(160, 40)) TAVRIN_SKIP_TEST(gl_.error());
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  ASSERT_NE(g_console->GetFont(), nullptr);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_LIGHTING);
  auto white = [&] { return Picture(gl_).Count(IsWhite); };
  // What the font draws for a text, in white at (10, 10).
  auto reference = [&](const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    g_console->GetFont()->PrintText(10, 10, text);
    glEnable(GL_LIGHTING);
    return gl_.ReadRgb();
  };
  auto frame = [&](double seconds) {
    platform::ManualClock::Advance(seconds);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0, 0, 0);
    RenderFPS();
    return gl_.ReadRgb();
  };

  // 64 frames a second (a step binary fractions hold exactly): the first 64
  // frames are counted, the 65th, 1 s after the first, closes the interval.
  const std::vector<uint8_t> zero = reference("0.00 FPS");
  ASSERT_GT(white(), 20);
  EXPECT_EQ(frame(0.0), zero);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  for (int k = 2; k <= 64; ++k) EXPECT_EQ(frame(1.0 / 64.0), zero) << k;
  EXPECT_EQ(GetFrameCounter(), 64);
  EXPECT_EQ(frame(1.0 / 64.0), reference("64.00 FPS"));
  EXPECT_EQ(GetFrameCounter(), 0);

  // stats.fps 0: no counting and no text; switched on again, counting
  // resumes from the old counter.
  for (int k = 1; k <= 5; ++k) frame(1.0 / 64.0);
  Type("stats.fps = 0");
  frame(1.0 / 64.0);
  EXPECT_EQ(white(), 0);
  EXPECT_EQ(GetFrameCounter(), 5);
  Type("stats.fps = 1");
  frame(1.0 / 64.0);
  EXPECT_EQ(GetFrameCounter(), 6);

  // Without lighting enabled the text leaves it off; without a console the
  // frames are counted but nothing is drawn.
  g_lightingEnabled = 0;
  frame(1.0 / 64.0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  g_lightingEnabled = 1;
  DeleteConsole();
  frame(1.0 / 64.0);
  EXPECT_EQ(white(), 0);
  EXPECT_EQ(GetFrameCounter(), 8);
}

// Records what the frame calls on it.
class RenderTestEntity : public Entity {
 public:
  RenderTestEntity(const std::string& name, uint32_t flags, std::vector<std::string>* calls)
      : Entity(name, flags), calls_(calls) {}
  bool Update() override {
    calls_->push_back("update " + name);
    return true;
  }
  void Draw() override { calls_->push_back("draw " + name); }

 private:
  std::vector<std::string>* calls_;
};

class RenderTestCamera : public Camera {
 public:
  explicit RenderTestCamera(std::vector<std::string>* calls) : calls_(calls) {}
  void Draw() override {
    calls_->push_back("camera view");
    Camera::Draw();
  }

 private:
  std::vector<std::string>* calls_;
};

TEST_F(RenderTest, FrameDrawsFlaggedEntitiesInNameOrderAndCopesWithoutCameraOrConsole) {
  if (!gl_.Create(64, 48)) TAVRIN_SKIP_TEST(gl_.error());
  RenderInit();
  std::vector<std::string> calls;
  RenderTestEntity b("B", 2, &calls), a("a", 6, &calls), c("c", 3, &calls);
  RenderTestEntity hidden("hidden", 4, &calls), none("none", 0, &calls);

  // No camera and no console: the rest of the frame is drawn and the
  // model-view matrix is restored.
  const std::vector<double> before = Matrix(GL_MODELVIEW_MATRIX);
  RenderFrame();
  EXPECT_EQ(calls, (std::vector<std::string>{"draw a", "draw b", "draw c"}));
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_TRUE(Near(Picture(gl_).At(0, 0), kSky, 1));

  // The camera sets the view once per frame through its Update and is not
  // drawn as an entity (its flag word is 0).
  calls.clear();
  g_camera = new RenderTestCamera(&calls);
  RenderFrame();
  EXPECT_EQ(calls, (std::vector<std::string>{"camera view", "draw a", "draw b", "draw c"}));
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The whole start-up and frames of the generated sample scene as a person
// would see them; the pictures stay in the build folder.
TEST_F(RenderTest, FrameSampleScenePicturesWithTheConsoleOpenAndClosed) {
  const std::string command =
      std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + work_.path() + "\" > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  if (!gl_.Create(800, 600)) TAVRIN_SKIP_TEST(gl_.error());
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  std::unique_ptr<SceneReader> reader(new SceneReader);
  RenderInit();
  g_camera = new Camera;
  ASSERT_TRUE(reader->LoadScene("data/scenes/default.sce"));
  ASSERT_EQ(reader->GetLevel()->characters.size(), 3u);
  auto frame = [] {
    platform::ManualClock::Advance(1.0 / 60.0);
    RenderFrame();
  };
  // Two seconds: the console has slid open and the camera has arrived.
  for (int k = 0; k < 120; ++k) frame();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(gl_.SavePpm(std::string(TAVRIN_TEST_OUTPUT_DIR) + "/renderer_console_open.ppm"));

  // Open: 0.75 x 600 = 450 rows at the top in the panel's colour, with the
  // log's lines in yellow text and the white prompt; below it the scene.
  const Picture open(gl_);
  for (int row = 1; row < 450; ++row) ASSERT_TRUE(Near(open.At(790, row), kPanel)) << row;
  EXPECT_EQ(open.Count([](const Rgb& p) { return Near(p, kPanel); }, 450), 0);
  EXPECT_GT(open.Count([](const Rgb& p) { return p.r > 200 && p.g > 200 && p.b < 120; }, 0, 450), 2000);
  EXPECT_GT(open.Count(IsWhite, 425, 450, 0, 30), 10);

  // The panel is blended over the view: at console.blend 0.5, half panel and half sky.
  Type("console.blend = 0.5");
  frame();
  const Rgb mixed = {(kPanel.r + kSky.r) / 2, (kPanel.g + kSky.g) / 2, (kPanel.b + kSky.b) / 2};
  EXPECT_TRUE(Near(Picture(gl_).At(790, 5), mixed, 3)) << Show(Picture(gl_).At(790, 5));
  Type("console.blend = 1");

  // Closed: no panel and no prompt; sky above the ground, the characters in yellow.
  g_console->Close();
  frame();
  EXPECT_TRUE(gl_.SavePpm(std::string(TAVRIN_TEST_OUTPUT_DIR) + "/renderer_console_closed.ppm"));
  const Picture closed(gl_);
  EXPECT_EQ(closed.CountNear(kPanel), 0);
  EXPECT_EQ(closed.Count(IsWhite, 425, 450, 0, 30), 0);
  EXPECT_TRUE(Near(closed.At(10, 10), kSky, 1));
  EXPECT_GT(closed.Count(IsBone), 5000);

  // From the camera's view: every clearly seen ground square shows the
  // checkerboard colour of its place, and each character's root is covered by a bone.
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  g_camera->Draw();
  const std::vector<double> model = Matrix(GL_MODELVIEW_MATRIX);
  glPopMatrix();
  const std::vector<double> projection = Matrix(GL_PROJECTION_MATRIX);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  auto project = [&](double x, double y, double z, int* column, int* row) {
    GLdouble wx = 0, wy = 0, wz = 0;
    if (!gluProject(x, y, z, model.data(), projection.data(), viewport, &wx, &wy, &wz)) return false;
    *column = static_cast<int>(std::floor(wx));
    *row = 599 - static_cast<int>(std::floor(wy));
    return wz > 0 && wz < 1 && *column >= 3 && *column < 797 && *row >= 3 && *row < 597;
  };
  int squares = 0;
  for (int i = -10; i < 10; ++i) {
    for (int j = -10; j <= 10; ++j) {
      int column = 0, row = 0;
      if (!project(i + 0.5, 0.0, j + 0.5, &column, &row)) continue;
      // Only squares seen whole around their middle (not behind a character
      // or a line, not tiny near the horizon).
      const Rgb middle = closed.At(column, row);
      auto same = [&middle](const Rgb& p) { return Near(p, middle, 0); };
      if (closed.Count(same, row - 2, row + 3, column - 2, column + 3) != 25) continue;
      ++squares;
      EXPECT_TRUE(Near(middle, (i + j) % 2 == 0 ? kGroundEven : kGroundOdd, 1)) << i << ", " << j;
    }
  }
  EXPECT_GT(squares, 40);
  for (const Character* character : reader->GetLevel()->characters) {
    int column = 0, row = 0;
    const Vector3& p = character->position;
    ASSERT_TRUE(project(p.x, p.y, p.z, &column, &row)) << character->name;
    EXPECT_GT(closed.Count(IsBone, row - 3, row + 4, column - 3, column + 4), 10) << character->name;
  }

  // The clear colour follows gl.backgrnd_r from the next frame; with
  // world.draw_ground 0 there is no ground (nor axes) but the characters stay.
  Type("gl.backgrnd_r = 0.9");
  frame();
  EXPECT_TRUE(Near(Picture(gl_).At(10, 10), {230, kSky.g, kSky.b}, 1));
  Type("world.draw_ground = 0");
  frame();
  const Picture bare(gl_);
  EXPECT_EQ(bare.CountNear(kGroundEven) + bare.CountNear(kGroundOdd), 0);
  EXPECT_TRUE(Near(bare.At(3, 596), {230, kSky.g, kSky.b}, 1));
  EXPECT_GT(bare.Count(IsBone), 5000);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  DeleteConsole();
}

}  // namespace
