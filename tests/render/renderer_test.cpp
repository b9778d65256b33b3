// Tests of the frame renderer. Everything draws into an off-screen context on
// the X display (Xvfb in the test command) and skips without one.

#include "render/renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_extensions.h"
#include "render/gl_font.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/character.h"
#include "world/entity.h"
#include "world/scene_reader.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// Time stands still unless a test moves it.
struct RenderTestClock {
  RenderTestClock() { platform::ManualClock::Install(100.0); }
  ~RenderTestClock() { platform::ManualClock::Uninstall(); }
};

struct RenderTestRgb {
  int r, g, b;
};
// The design's colours in bytes.
constexpr RenderTestRgb kSky = {104, 212, 248};          // (0.4078, 0.8313, 0.9725)
constexpr RenderTestRgb kGroundEven = {4, 178, 45};      // (0.0156, 0.698, 0.1765)
constexpr RenderTestRgb kGroundOdd = {11, 91, 45};       // (0.0431, 0.3569, 0.1765)
constexpr RenderTestRgb kPanel = {204, 51, 77};          // (0.8, 0.2, 0.3)

// A picture read back; rows counted from the top.
struct RenderTestPicture {
  explicit RenderTestPicture(const platform::OffscreenGLContext& gl)
      : width(gl.width()), height(gl.height()), rgb(gl.ReadRgb()) {}
  RenderTestRgb At(int column, int row) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(row) * width + column) * 3];
    return {p[0], p[1], p[2]};
  }
  int width;
  int height;
  std::vector<uint8_t> rgb;
};

bool rendertest_Near(const RenderTestRgb& p, const RenderTestRgb& expected, int tolerance = 2) {
  return std::abs(p.r - expected.r) <= tolerance && std::abs(p.g - expected.g) <= tolerance &&
         std::abs(p.b - expected.b) <= tolerance;
}

std::string rendertest_Show(const RenderTestRgb& p) {
  return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}

// A bone lit by the three lights: yellow (red and green well above blue; the
// bones' colour reaches the lit surface through the colour material).
bool rendertest_IsBone(const RenderTestRgb& p) {
  return p.r >= 60 && p.g >= 60 && p.r > 2 * p.b && p.g > 2 * p.b;
}
bool rendertest_IsWhite(const RenderTestRgb& p) { return p.r > 200 && p.g > 200 && p.b > 200; }
bool rendertest_IsConsoleText(const RenderTestRgb& p) { return p.r > 200 && p.g > 200 && p.b < 120; }

int rendertest_Count(const RenderTestPicture& picture, bool (*test)(const RenderTestRgb&)) {
  int count = 0;
  for (int row = 0; row < picture.height; ++row) {
    for (int column = 0; column < picture.width; ++column) count += test(picture.At(column, row)) ? 1 : 0;
  }
  return count;
}

int rendertest_CountNear(const RenderTestPicture& picture, const RenderTestRgb& colour) {
  int count = 0;
  for (int row = 0; row < picture.height; ++row) {
    for (int column = 0; column < picture.width; ++column) {
      count += rendertest_Near(picture.At(column, row), colour) ? 1 : 0;
    }
  }
  return count;
}

void rendertest_Type(GLConsole* console, const std::string& line) {
  for (char c : line) console->KeyPress(c);
  console->KeyPress('\r');
}

// The current matrix of `mode` in GL's column order.
std::vector<double> rendertest_Matrix(GLenum mode) {
  std::vector<double> m(16);
  glGetDoublev(mode, m.data());
  return m;
}

TEST(RenderInit, SetsStateProjectionLightsAndLogsTheFrameBuffer) {
  ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(800, 600)) GTEST_SKIP() << gl.error();
  EXPECT_FALSE(CVarExists("gl.nearclip"));
  RenderInit();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // gluPerspective(45, 800 / 600, 0.1, 50), written out: f = cot(22.5 deg).
  const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
  const std::vector<double> projection = rendertest_Matrix(GL_PROJECTION_MATRIX);
  EXPECT_NEAR(projection[0], f * 600.0 / 800.0, 1e-5);
  EXPECT_NEAR(projection[5], f, 1e-5);
  EXPECT_NEAR(projection[10], (50.0 + 0.1) / (0.1 - 50.0), 1e-5);
  EXPECT_NEAR(projection[11], -1.0, 1e-6);
  EXPECT_NEAR(projection[14], 2.0 * 50.0 * 0.1 / (0.1 - 50.0), 1e-5);
  const std::vector<double> model = rendertest_Matrix(GL_MODELVIEW_MATRIX);
  EXPECT_EQ(model[12], 0.0);
  EXPECT_EQ(model[13], 0.0);
  EXPECT_EQ(model[14], -5.0);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(CVarToString(CVarGet("gl.nearclip")), "0.100000");
  EXPECT_EQ(CVarToString(CVarGet("gl.farclip")), "50.000000");

  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DITHER));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
  GLint value = 0;
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_SMOOTH);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
  EXPECT_EQ(value, GL_FASTEST);
  glGetIntegerv(GL_POLYGON_SMOOTH_HINT, &value);
  EXPECT_EQ(value, GL_FASTEST);
  glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &value);
  EXPECT_EQ(value, GL_TRUE);

  // Directional lights: the start-up view only translates, so their eye-space
  // directions are the given ones.
  const struct {
    GLenum light;
    GLfloat position[4];
    GLfloat colour[4];
  } lights[] = {{GL_LIGHT0, {1, 1, 5, 0}, {1, 1, 1, 1}},
                {GL_LIGHT1, {-3, 1, -1, 0}, {1, 0.3f, 0.3f, 1}},
                {GL_LIGHT2, {1, 8, -2, 0}, {0.3f, 0.4f, 1, 1}}};
  for (const auto& light : lights) {
    SCOPED_TRACE(light.light - GL_LIGHT0);
    EXPECT_TRUE(glIsEnabled(light.light));
    GLfloat got[3][4];
    glGetLightfv(light.light, GL_POSITION, got[0]);
    glGetLightfv(light.light, GL_DIFFUSE, got[1]);
    glGetLightfv(light.light, GL_SPECULAR, got[2]);
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(got[0][i], light.position[i], 1e-5);
      EXPECT_FLOAT_EQ(got[1][i], light.colour[i]);
      EXPECT_FLOAT_EQ(got[2][i], light.colour[i]);
    }
  }
  EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
  for (GLenum face : {GL_FRONT, GL_BACK}) {
    const struct {
      GLenum name;
      GLfloat value[4];
    } materials[] = {{GL_AMBIENT, {0, 0, 0, 1}},
                     {GL_DIFFUSE, {0.43f, 0.5f, 0.356f, 1}},
                     {GL_SPECULAR, {0.22f, 0.2f, 0.2f, 1}}};
    for (const auto& material : materials) {
      GLfloat got[4];
      glGetMaterialfv(face, material.name, got);
      for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(got[i], material.value[i]);
    }
    GLfloat shininess = 0;
    glGetMaterialfv(face, GL_SHININESS, &shininess);
    EXPECT_EQ(shininess, 70.0f);
  }

  // The bit depths as GL reports them, and the loader's verdict.
  GLint bits[3] = {0, 0, 0};
  glGetIntegerv(GL_RED_BITS, &bits[0]);
  glGetIntegerv(GL_GREEN_BITS, &bits[1]);
  glGetIntegerv(GL_BLUE_BITS, &bits[2]);
  const std::string log = ReadFile("log.txt");
  EXPECT_NE(log.find("RenderInit: GL window has " + std::to_string(bits[0]) + " bits red, " +
                     std::to_string(bits[1]) + " green, " + std::to_string(bits[2]) + " blue\n\n"),
            std::string::npos)
      << log;
  const bool loaded = LoadOpenGLExtensions() == 0;
  EXPECT_EQ(log.find("RenderInit: Loaded OpenGL Extensions SUCCESSFULLY\n") != std::string::npos, loaded);
  EXPECT_EQ(log.find("RenderInit: Loaded OpenGL Extensions UNSUCCESSFULLY\n") != std::string::npos, !loaded);

  // Without lighting enabled, the lights are set up but lighting stays off.
  g_lightingEnabled = 0;
  InitLights();
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  g_lightingEnabled = 1;
}

TEST(RenderInit, EmptyViewportsAndSavedClipPlanes) {
  ScopedWorkDir work;
  RenderTestClock clock;
  platform::OffscreenGLContext gl;
  if (!gl.Create(64, 48)) GTEST_SKIP() << gl.error();
  // A viewport without height (or width) has no aspect ratio: a square
  // projection, finite, and no GL error.
  for (const int size : {0, 1}) {
    glViewport(0, 0, size * 64, (1 - size) * 48);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    RenderInit();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const std::vector<double> projection = rendertest_Matrix(GL_PROJECTION_MATRIX);
    for (double v : projection) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(projection[0], projection[5], 1e-9);
    EXPECT_GT(projection[5], 2.0);
  }

  // Values saved in "cvar.ini" are restored by the console before RenderInit
  // reads them; setting them later changes nothing until the next start.
  WriteFile("cvar.ini", "2 gl.nearclip 0.500000\n2 gl.farclip 20.000000\n");
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  glViewport(0, 0, 64, 48);
  RenderInit();
  std::vector<double> projection = rendertest_Matrix(GL_PROJECTION_MATRIX);
  EXPECT_NEAR(projection[0] * 64.0 / 48.0, projection[5], 1e-5);
  EXPECT_NEAR(projection[10], (20.0 + 0.5) / (0.5 - 20.0), 1e-5);
  EXPECT_NEAR(projection[14], 2.0 * 20.0 * 0.5 / (0.5 - 20.0), 1e-5);
  rendertest_Type(g_console, "gl.farclip = 90");
  ASSERT_EQ(CVarToString(CVarGet("gl.farclip")), "90.000000");
  RenderFrame();
  EXPECT_EQ(rendertest_Matrix(GL_PROJECTION_MATRIX), projection);
  DeleteConsole();
}

// Draws with lighting on; the ground and axes must come out in their own
// colours, unlit, and leave lighting as g_lightingEnabled says.
TEST(RenderDrawing, GroundIsACheckerboardAxesAreColouredAndTheCubeIsBlue) {
  ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(220, 230)) GTEST_SKIP() << gl.error();
  InitLights();
  glDisable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 1);

  // Seen from above, 10 pixels per unit: screen x = world x over [-11, 11],
  // screen y = -z over [-12, 11].
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-11, 11, -12, 11, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(90, 1, 0, 0);
  for (const int lighting : {1, 0}) {
    g_lightingEnabled = lighting;
    glEnable(GL_LIGHTING);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawGround();
    EXPECT_EQ(glIsEnabled(GL_LIGHTING) == GL_TRUE, lighting == 1);
  }
  g_lightingEnabled = 1;
  const RenderTestPicture ground(gl);
  auto at = [&](double x, double z) {
    return ground.At(static_cast<int>((x + 11) * 10), 229 - static_cast<int>((-z + 12) * 10));
  };
  // A checkerboard: the square (i, j) at (i, 0, j) is even exactly when i + j
  // is, the first one at (-10, 0, -10) among them.
  for (int i = -10; i < 10; ++i) {
    for (int j = -10; j <= 10; ++j) {
      const RenderTestRgb expected = (i + j) % 2 == 0 ? kGroundEven : kGroundOdd;
      const RenderTestRgb got = at(i + 0.5, j + 0.5);
      ASSERT_TRUE(rendertest_Near(got, expected, 1)) << i << ", " << j << ": " << rendertest_Show(got);
    }
  }
  // Nothing beyond x -10 .. 10 and z -10 .. 11.
  for (const double z : {-10.5, 11.5}) EXPECT_TRUE(rendertest_Near(at(0.5, z), {0, 0, 0}, 0)) << z;
  for (const double x : {-10.5, 10.5}) EXPECT_TRUE(rendertest_Near(at(x, 0.5), {0, 0, 0}, 0)) << x;

  // The axes from an oblique view: each line in its colour halfway along.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-11, 11, -12, 11, -20, 20);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(30, 1, 0, 0);
  glRotatef(-40, 0, 1, 0);
  glScalef(8, 8, 8);
  glLineWidth(3);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawAxes();
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  const RenderTestPicture axes(gl);
  const std::vector<double> model = rendertest_Matrix(GL_MODELVIEW_MATRIX);
  const std::vector<double> projection = rendertest_Matrix(GL_PROJECTION_MATRIX);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const struct {
    double x, y, z;
    RenderTestRgb colour;
  } halfway[] = {{0.5, 0, 0, {255, 51, 51}}, {0, 0.5, 0, {51, 255, 51}}, {0, 0, 0.5, {51, 51, 255}}};
  for (const auto& point : halfway) {
    GLdouble wx = 0, wy = 0, wz = 0;
    ASSERT_EQ(gluProject(point.x, point.y, point.z, model.data(), projection.data(), viewport, &wx, &wy, &wz),
              GL_TRUE);
    const RenderTestRgb got = axes.At(static_cast<int>(wx), axes.height - 1 - static_cast<int>(wy));
    EXPECT_TRUE(rendertest_Near(got, point.colour, 1)) << rendertest_Show(got);
  }

  // The cube, unlit and seen face on: blue over its extent, compiled on the
  // first call and replayed by the second.
  glDisable(GL_LIGHTING);
  glLoadIdentity();
  glScalef(10, 10, 1);
  for (int call = 0; call < 2; ++call) {
    glClear(GL_COLOR_BUFFER_BIT);
    DrawUnitCube();
    const RenderTestPicture cube(gl);
    // Column 110 and row 109 are world (0, 0); the cube spans 10 x 0.5 = 5
    // units, 50 pixels, each way.
    EXPECT_TRUE(rendertest_Near(cube.At(110, 109), {0, 0, 255}, 0));
    EXPECT_TRUE(rendertest_Near(cube.At(110 + 48, 109 - 48), {0, 0, 255}, 0));
    EXPECT_TRUE(rendertest_Near(cube.At(110 + 52, 109), {0, 0, 0}, 0));
    EXPECT_TRUE(rendertest_Near(cube.At(110, 109 + 52), {0, 0, 0}, 0));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The pixels that a text in white at window pixel (10, 10) covers, in a
// cleared, black 160 x 40 view.
std::vector<uint8_t> rendertest_TextPixels(const platform::OffscreenGLContext& gl) {
  std::vector<uint8_t> white;
  const RenderTestPicture picture(gl);
  for (int row = 0; row < picture.height; ++row) {
    for (int column = 0; column < picture.width; ++column) {
      white.push_back(rendertest_IsWhite(picture.At(column, row)) ? 1 : 0);
    }
  }
  return white;
}

TEST(RenderFPS, CountsFramesPerSecondAndDrawsTheRate) {
  ScopedWorkDir work;
  RenderTestClock clock;
  platform::OffscreenGLContext gl;
  if (!gl.Create(160, 40)) GTEST_SKIP() << gl.error();
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  ASSERT_NE(g_console->GetFont(), nullptr);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_LIGHTING);
  // What the font draws for a text, in white at (10, 10).
  auto reference = [&](const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    g_console->GetFont()->PrintText(10, 10, text);
    glEnable(GL_LIGHTING);
    return rendertest_TextPixels(gl);
  };
  auto frame = [&](double seconds) {
    platform::ManualClock::Advance(seconds);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0, 0, 0);
    RenderFPS();
    return rendertest_TextPixels(gl);
  };

  // 64 frames a second (a step that binary fractions hold exactly): the
  // first 64 frames are counted, the 65th, 1 s after the first, closes the
  // interval.
  const std::vector<uint8_t> zero = reference("0.00 FPS");
  ASSERT_GT(std::count(zero.begin(), zero.end(), 1), 20);
  EXPECT_EQ(frame(0.0), zero);
  EXPECT_EQ(GetFrameCounter(), 1);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  for (int k = 2; k <= 64; ++k) {
    EXPECT_EQ(frame(1.0 / 64.0), zero) << k;
    EXPECT_EQ(GetFrameCounter(), k);
  }
  EXPECT_EQ(GetFrameRate(), 0.0f);
  EXPECT_EQ(frame(1.0 / 64.0), reference("64.00 FPS"));
  EXPECT_EQ(GetFrameRate(), 64.0f);
  EXPECT_EQ(GetFrameCounter(), 0);

  // stats.fps 0: no counting and no text; switched on again, counting
  // resumes from the old counter.
  for (int k = 1; k <= 5; ++k) frame(1.0 / 64.0);
  rendertest_Type(g_console, "stats.fps = 0");
  for (int k = 1; k <= 3; ++k) {
    const std::vector<uint8_t> pixels = frame(1.0 / 64.0);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 1), 0);
    EXPECT_EQ(GetFrameCounter(), 5);
  }
  rendertest_Type(g_console, "stats.fps = 1");
  frame(1.0 / 64.0);
  EXPECT_EQ(GetFrameCounter(), 6);

  // Without lighting enabled the text leaves it off; without a console the
  // frames are counted but nothing is drawn.
  g_lightingEnabled = 0;
  frame(1.0 / 64.0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  g_lightingEnabled = 1;
  DeleteConsole();
  const std::vector<uint8_t> pixels = frame(1.0 / 64.0);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 1), 0);
  EXPECT_EQ(GetFrameCounter(), 8);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
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

TEST(RenderFrame, DrawsFlaggedEntitiesInNameOrderAndCopesWithoutCameraOrConsole) {
  ScopedWorkDir work;
  RenderTestClock clock;
  platform::OffscreenGLContext gl;
  if (!gl.Create(64, 48)) GTEST_SKIP() << gl.error();
  ASSERT_EQ(g_camera, nullptr);
  ASSERT_EQ(g_console, nullptr);
  RenderInit();
  std::vector<std::string> calls;
  RenderTestEntity b("B", 2, &calls), a("a", 6, &calls), c("c", 3, &calls);
  RenderTestEntity hidden("hidden", 4, &calls), none("none", 0, &calls);

  // No camera and no console: the rest of the frame is drawn, and the
  // model-view matrix is what it was before.
  const std::vector<double> before = rendertest_Matrix(GL_MODELVIEW_MATRIX);
  RenderFrame();
  EXPECT_EQ(calls, (std::vector<std::string>{"draw a", "draw b", "draw c"}));
  EXPECT_EQ(rendertest_Matrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_TRUE(rendertest_Near(RenderTestPicture(gl).At(0, 0), kSky, 1));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[3], 0.0f);
  GLfloat width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 2.0f);

  // The camera sets the view once per frame, through its Update, and is not
  // drawn as an entity (its flag word is 0).
  calls.clear();
  g_camera = new RenderTestCamera(&calls);
  RenderFrame();
  EXPECT_EQ(calls, (std::vector<std::string>{"camera view", "draw a", "draw b", "draw c"}));
  EXPECT_EQ(rendertest_Matrix(GL_MODELVIEW_MATRIX), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The whole start-up of the application and frames of the sample scene, as a
// person would see them; the pictures stay in the build folder.
TEST(RenderFrame, SampleScenePicturesWithTheConsoleOpenAndClosed) {
  ScopedWorkDir work;
  const std::string command = std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + work.path() +
                              "\" > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  RenderTestClock clock;
  platform::OffscreenGLContext gl;
  if (!gl.Create(800, 600)) GTEST_SKIP() << gl.error();

  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  std::unique_ptr<SceneReader> reader(new SceneReader);
  RenderInit();
  g_camera = new Camera;
  ASSERT_TRUE(reader->LoadScene("data/scenes/default.sce"));
  ASSERT_EQ(reader->GetLevel()->characters.size(), 3u);
  // Two seconds: the console has slid open and the camera has arrived.
  for (int frame = 0; frame < 120; ++frame) {
    platform::ManualClock::Advance(1.0 / 60.0);
    RenderFrame();
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(gl.SavePpm(std::string(TAVRIN_TEST_OUTPUT_DIR) + "/renderer_console_open.ppm"));

  // Open: 0.75 x 600 = 450 rows at the top in the panel's colour (opaque at
  // console.blend 1), with the log's lines in the console's text colour and
  // the prompt in white; below it the scene.
  {
    const RenderTestPicture open(gl);
    for (int row = 1; row < 450; ++row) {
      ASSERT_TRUE(rendertest_Near(open.At(790, row), kPanel)) << row << rendertest_Show(open.At(790, row));
    }
    EXPECT_FALSE(rendertest_Near(open.At(790, 450), kPanel));
    int text = 0, prompt = 0, panelBelow = 0;
    for (int row = 0; row < 600; ++row) {
      for (int column = 0; column < 800; ++column) {
        const RenderTestRgb p = open.At(column, row);
        if (row < 450) text += rendertest_IsConsoleText(p) ? 1 : 0;
        if (row >= 425 && row < 450 && column < 30) prompt += rendertest_IsWhite(p) ? 1 : 0;
        if (row >= 450) panelBelow += rendertest_Near(p, kPanel) ? 1 : 0;
      }
    }
    EXPECT_GT(text, 2000);
    EXPECT_GT(prompt, 10);
    EXPECT_EQ(panelBelow, 0);
  }

  // The panel is blended over the view: at console.blend 0.5, half panel
  // and half sky.
  rendertest_Type(g_console, "console.blend = 0.5");
  platform::ManualClock::Advance(1.0 / 60.0);
  RenderFrame();
  const RenderTestRgb mixed = {(kPanel.r + kSky.r) / 2, (kPanel.g + kSky.g) / 2, (kPanel.b + kSky.b) / 2};
  EXPECT_TRUE(rendertest_Near(RenderTestPicture(gl).At(790, 5), mixed, 3))
      << rendertest_Show(RenderTestPicture(gl).At(790, 5));
  rendertest_Type(g_console, "console.blend = 1");

  // Closed: no panel; sky above the ground, both greens below, the three
  // characters in yellow.
  g_console->Close();
  platform::ManualClock::Advance(1.0 / 60.0);
  RenderFrame();
  EXPECT_TRUE(gl.SavePpm(std::string(TAVRIN_TEST_OUTPUT_DIR) + "/renderer_console_closed.ppm"));
  const RenderTestPicture closed(gl);
  EXPECT_EQ(rendertest_CountNear(closed, kPanel), 0);
  // The yellow bones share the text's colour; the white prompt at the left
  // edge tells whether any console text is drawn.
  int closedPrompt = 0;
  for (int row = 425; row < 450; ++row) {
    for (int column = 0; column < 30; ++column) closedPrompt += rendertest_IsWhite(closed.At(column, row)) ? 1 : 0;
  }
  EXPECT_EQ(closedPrompt, 0);
  EXPECT_TRUE(rendertest_Near(closed.At(10, 10), kSky, 1));
  EXPECT_TRUE(rendertest_Near(closed.At(790, 10), kSky, 1));
  EXPECT_GT(rendertest_CountNear(closed, kGroundEven), 50000);
  EXPECT_GT(rendertest_CountNear(closed, kGroundOdd), 50000);
  EXPECT_GT(rendertest_Count(closed, rendertest_IsBone), 5000);

  // Where the camera looks from: each visible ground square shows the
  // checkerboard colour of its place, and each character's root (its
  // pelvis) is covered by a bone.
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  g_camera->Draw();
  const std::vector<double> model = rendertest_Matrix(GL_MODELVIEW_MATRIX);
  glPopMatrix();
  const std::vector<double> projection = rendertest_Matrix(GL_PROJECTION_MATRIX);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  auto project = [&](double x, double y, double z, int* column, int* row) {
    GLdouble wx = 0, wy = 0, wz = 0;
    if (gluProject(x, y, z, model.data(), projection.data(), viewport, &wx, &wy, &wz) != GL_TRUE) {
      return false;
    }
    *column = static_cast<int>(std::floor(wx));
    *row = 599 - static_cast<int>(std::floor(wy));
    return wz > 0 && wz < 1 && *column >= 2 && *column < 798 && *row >= 2 && *row < 598;
  };
  int squares = 0;
  for (int i = -10; i < 10; ++i) {
    for (int j = -10; j <= 10; ++j) {
      int column = 0, row = 0;
      if (!project(i + 0.5, 0.0, j + 0.5, &column, &row)) continue;
      // Only squares seen whole around their middle (not behind a character
      // or a line, not tiny near the horizon).
      bool uniform = true;
      for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc) {
          uniform = uniform && rendertest_Near(closed.At(column + dc, row + dr), closed.At(column, row), 0);
        }
      }
      if (!uniform) continue;
      ++squares;
      const RenderTestRgb expected = (i + j) % 2 == 0 ? kGroundEven : kGroundOdd;
      EXPECT_TRUE(rendertest_Near(closed.At(column, row), expected, 1)) << i << ", " << j;
    }
  }
  EXPECT_GT(squares, 40);
  for (const Character* character : reader->GetLevel()->characters) {
    int column = 0, row = 0;
    const Vector3& p = character->position;
    ASSERT_TRUE(project(p.x, p.y, p.z, &column, &row)) << character->name;
    int bone = 0;
    for (int dr = -3; dr <= 3; ++dr) {
      for (int dc = -3; dc <= 3; ++dc) bone += rendertest_IsBone(closed.At(column + dc, row + dr)) ? 1 : 0;
    }
    EXPECT_GT(bone, 10) << character->name;
  }

  // The clear colour follows gl.backgrnd_r from the next frame.
  rendertest_Type(g_console, "gl.backgrnd_r = 0.9");
  platform::ManualClock::Advance(1.0 / 60.0);
  RenderFrame();
  EXPECT_TRUE(rendertest_Near(RenderTestPicture(gl).At(10, 10), {230, kSky.g, kSky.b}, 1));

  // world.draw_ground 0: no ground (nor axes); the characters stay.
  rendertest_Type(g_console, "world.draw_ground = 0");
  platform::ManualClock::Advance(1.0 / 60.0);
  RenderFrame();
  const RenderTestPicture bare(gl);
  EXPECT_EQ(rendertest_CountNear(bare, kGroundEven), 0);
  EXPECT_EQ(rendertest_CountNear(bare, kGroundOdd), 0);
  EXPECT_TRUE(rendertest_Near(bare.At(3, 596), {230, kSky.g, kSky.b}, 1));
  EXPECT_GT(rendertest_Count(bare, rendertest_IsBone), 5000);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  DeleteConsole();
}

}  // namespace
