// The frame renderer: one-time OpenGL set-up and the drawing of one frame.
#include "render/renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <optional>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/log.h"
#include "core/timer.h"
#include "render/gl_extensions.h"
#include "render/gl_font.h"
#include "world/camera.h"
#include "world/entity.h"

int g_lightingEnabled = 1;

namespace {

ConsoleVariable<float> g_backgroundRed("gl.backgrnd_r", 0.4078f);
ConsoleVariable<float> g_backgroundGreen("gl.backgrnd_g", 0.8313f);
ConsoleVariable<float> g_backgroundBlue("gl.backgrnd_b", 0.9725f);
ConsoleVariable<int> g_statsFps("stats.fps", 1);

// Frame-rate state of RenderFPS. The timer is built on the first counted
// frame, so its first query reports 0.
std::optional<Timer> g_fpsTimer;
int g_fpsCounter = 0;
float g_fpsRate = 0.0f;
const float g_fpsInterval = 1.0f;

// The display list of DrawUnitCube; 0 until compiled.
GLuint g_unitCubeList = 0;

void render_RestoreLighting() {
  if (g_lightingEnabled != 0) glEnable(GL_LIGHTING);
}

void render_Light(GLenum light, const GLfloat position[4], const GLfloat colour[4]) {
  glLightfv(light, GL_POSITION, position);
  glLightfv(light, GL_DIFFUSE, colour);
  glLightfv(light, GL_SPECULAR, colour);
  glEnable(light);
}

}  // namespace

void RenderInit() {
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);

  RenderProjection();
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.0f, 0.0f, -5.0f);

  GLint red = 0, green = 0, blue = 0;
  glGetIntegerv(GL_RED_BITS, &red);
  glGetIntegerv(GL_GREEN_BITS, &green);
  glGetIntegerv(GL_BLUE_BITS, &blue);
  LogPrintf("RenderInit: GL window has %d bits red, %d green, %d blue\n", red, green, blue);

  if (LoadOpenGLExtensions() == 0) {
    LogPrintf("%s", "RenderInit: Loaded OpenGL Extensions SUCCESSFULLY");
  } else {
    LogPrintf("%s", "RenderInit: Loaded OpenGL Extensions UNSUCCESSFULLY");
  }

  InitLights();
}

void RenderProjection() {
  // Read only at start-up (RenderInit, the view's first frame): a changed
  // value takes effect at the next start.
  ConsoleVariable<float> nearClip("gl.nearclip", 0.1f);
  ConsoleVariable<float> farClip("gl.farclip", 50.0f);

  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  // An empty viewport has no aspect ratio; a square one stands in for it.
  const double aspect = (viewport[2] > 0 && viewport[3] > 0)
                            ? static_cast<double>(viewport[2]) / static_cast<double>(viewport[3])
                            : 1.0;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, static_cast<float>(nearClip), static_cast<float>(farClip));
  glMatrixMode(GL_MODELVIEW);
}

void RenderFrame() {
  static ConsoleVariable<int> drawGround("world.draw_ground", 1);

  glClearColor(g_backgroundRed, g_backgroundGreen, g_backgroundBlue, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  if (g_camera != nullptr) g_camera->Update();
  glLineWidth(2.0f);
  if (drawGround != 0) {
    DrawAxes();
    DrawGround();
  }
  for (const auto& entry : EntityMap()) {
    Entity* entity = entry.second;
    if (entity != nullptr && (entity->GetFlags() & kEntityDrawn) != 0) entity->Draw();
  }
  if (g_console != nullptr) g_console->Render();
  RenderFPS();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void RenderFPS() {
  if (g_statsFps == 0) return;
  if (!g_fpsTimer.has_value()) g_fpsTimer.emplace();
  const double t = g_fpsTimer->GetTimeSinceReset();
  if (t == 0.0) {
    g_fpsTimer->Reset();
    g_fpsCounter += 1;
  } else if (t >= g_fpsInterval) {
    // The frame that closes the interval is not counted.
    g_fpsRate = static_cast<float>(g_fpsCounter) / g_fpsInterval;
    g_fpsTimer->Reset();
    g_fpsCounter = 0;
  } else {
    g_fpsCounter += 1;
  }

  if (g_console == nullptr) return;
  GLFont* font = g_console->GetFont();
  if (font == nullptr) return;
  glDisable(GL_LIGHTING);
  glColor3f(1.0f, 1.0f, 1.0f);
  font->Print(10, 10, "%3.2f FPS", static_cast<double>(g_fpsRate));
  render_RestoreLighting();
}

float GetFrameRate() { return g_fpsRate; }

int GetFrameCounter() { return g_fpsCounter; }

void DrawAxes() {
  glDisable(GL_LIGHTING);
  glBegin(GL_LINES);
  glColor3f(1.0f, 0.2f, 0.2f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(1.0f, 0.0f, 0.0f);
  glColor3f(0.2f, 1.0f, 0.2f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 1.0f, 0.0f);
  glColor3f(0.2f, 0.2f, 1.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 1.0f);
  glEnd();
  render_RestoreLighting();
}

void DrawGround() {
  glDisable(GL_LIGHTING);
  int counter = 0;
  glBegin(GL_QUADS);
  for (int x = -10; x < 10; ++x) {
    // 21 squares per column: the odd count makes the running counter
    // alternate the colours along x as well as along z.
    for (int z = -10; z <= 10; ++z) {
      if (counter % 2 == 0) {
        glColor3f(0.0156f, 0.698f, 0.1765f);
      } else {
        glColor3f(0.0431f, 0.3569f, 0.1765f);
      }
      const float x0 = static_cast<float>(x);
      const float z0 = static_cast<float>(z);
      glVertex3f(x0, 0.0f, z0);
      glVertex3f(x0 + 1.0f, 0.0f, z0);
      glVertex3f(x0 + 1.0f, 0.0f, z0 + 1.0f);
      glVertex3f(x0, 0.0f, z0 + 1.0f);
      counter += 1;
    }
  }
  glEnd();
  render_RestoreLighting();
}

void InitLights() {
  const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const GLfloat diffuse[4] = {0.43f, 0.5f, 0.356f, 1.0f};
  const GLfloat specular[4] = {0.22f, 0.2f, 0.2f, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 70.0f);

  // Directional lights (w = 0), placed once through the start-up view, so
  // they keep their directions relative to the viewer.
  const GLfloat position0[4] = {1.0f, 1.0f, 5.0f, 0.0f};
  const GLfloat colour0[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  render_Light(GL_LIGHT0, position0, colour0);
  const GLfloat position1[4] = {-3.0f, 1.0f, -1.0f, 0.0f};
  const GLfloat colour1[4] = {1.0f, 0.3f, 0.3f, 1.0f};
  render_Light(GL_LIGHT1, position1, colour1);
  const GLfloat position2[4] = {1.0f, 8.0f, -2.0f, 0.0f};
  const GLfloat colour2[4] = {0.3f, 0.4f, 1.0f, 1.0f};
  render_Light(GL_LIGHT2, position2, colour2);

  glEnable(GL_NORMALIZE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  if (g_lightingEnabled != 0) {
    glEnable(GL_LIGHTING);
  } else {
    glDisable(GL_LIGHTING);
  }
}

void DrawUnitCube() {
  // A list of another (or a destroyed) context is compiled anew.
  if (g_unitCubeList != 0 && glIsList(g_unitCubeList) == GL_TRUE) {
    glCallList(g_unitCubeList);
    return;
  }
  g_unitCubeList = glGenLists(1);
  if (g_unitCubeList == 0) return;
  // Each face: its outward normal, then its corners counter-clockwise seen
  // from outside.
  static const GLfloat kFaces[6][3 + 12] = {
      {1, 0, 0, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, -0.5f, 0.5f},
      {-1, 0, 0, -0.5f, -0.5f, -0.5f, -0.5f, -0.5f, 0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, -0.5f},
      {0, 1, 0, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, -0.5f},
      {0, -1, 0, -0.5f, -0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f},
      {0, 0, 1, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, -0.5f, 0.5f, 0.5f},
      {0, 0, -1, -0.5f, -0.5f, -0.5f, -0.5f, 0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, -0.5f, -0.5f},
  };
  glNewList(g_unitCubeList, GL_COMPILE);
  glColor3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  for (const auto& face : kFaces) {
    glNormal3fv(face);
    for (int corner = 0; corner < 4; ++corner) glVertex3fv(face + 3 + corner * 3);
  }
  glEnd();
  glEndList();
  glCallList(g_unitCubeList);
}
