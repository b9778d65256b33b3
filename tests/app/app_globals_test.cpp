// Start-up, frame update and shutdown without a window: the control panel
// list, the order of one frame, and a whole start-up on the sample data in an
// off-screen GL context, with "cvar.ini" read first and written at shutdown.

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/skip.h"
#include "app/app_globals.h"
#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/singleton.h"
#include "platform/gl_context.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/entity.h"
#include "world/scene_reader.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// What ran during a frame, in order.
std::vector<std::string> g_trace;

class TracePanel : public ControlPanelEntry {
 public:
  explicit TracePanel(std::string label) : label_(std::move(label)) {}
  void UpdateControls() override {
    g_trace.push_back(label_);
    if (onUpdate) onUpdate();
  }
  void (*onUpdate)() = nullptr;

 private:
  std::string label_;
};

class TraceEntity : public Entity {
 public:
  explicit TraceEntity(const std::string& name) : Entity(name, 0) {}
  bool Update() override {
    g_trace.push_back("entity " + GetName());
    return true;
  }
};

// The panels that the next onUpdate hook destroys.
std::vector<TracePanel*> g_doomedPanels;
void apptest_DestroyDoomed() {
  for (TracePanel* panel : g_doomedPanels) delete panel;
  g_doomedPanels.clear();
}
// A panel that clears the frame to pure red, which RenderFrame must paint over.
void apptest_ClearRed() {
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

std::vector<ControlPanelEntry*> apptest_List(std::initializer_list<ControlPanelEntry*> entries) {
  return std::vector<ControlPanelEntry*>(entries);
}

int apptest_MakeSampleData(const std::string& folder) {
  const std::string command =
      std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + folder + "\" > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool apptest_ConsoleHas(const std::string& text) {
  return std::any_of(g_console->lines.begin(), g_console->lines.end(),
                     [&](const ConsoleLine& line) { return line.text.find(text) != std::string::npos; });
}

// 0-based line of the first line of `text` holding `needle`; -1 when none.
int apptest_LineOf(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  if (at == std::string::npos) return -1;
  return static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

TEST(ControlPanelList, EntriesFollowConstructionAndLeaveWhenDestroyed) {
  EXPECT_TRUE(g_controlPanels.empty());
  auto* a = new TracePanel("a");
  auto* b = new TracePanel("b");
  auto* c = new TracePanel("c");
  EXPECT_EQ(g_controlPanels, apptest_List({a, b, c}));
  delete b;  // from the middle
  EXPECT_EQ(g_controlPanels, apptest_List({a, c}));
  auto* d = new TracePanel("d");  // a newcomer goes last
  EXPECT_EQ(g_controlPanels, apptest_List({a, c, d}));
  delete a;
  delete d;
  EXPECT_EQ(g_controlPanels, apptest_List({c}));
  delete c;
  EXPECT_TRUE(g_controlPanels.empty());
}

TEST(GlobalUpdate, PanelsInOrderThenEntitiesByNameThenTheFrame) {
  platform::OffscreenGLContext gl;
  if (!gl.Create(64, 48)) TAVRIN_SKIP_TEST(gl.error());
  auto* early = new TracePanel("panel early");
  TracePanel first("panel first");
  TracePanel second("panel second");
  g_doomedPanels = {early, new TracePanel("panel doomed")};
  TracePanel last("panel last");
  // The second destroys a panel refreshed before it and one not reached yet,
  // which is never called; no live panel is skipped.
  second.onUpdate = apptest_DestroyDoomed;
  last.onUpdate = apptest_ClearRed;
  TraceEntity zeta("Zeta");
  TraceEntity alpha("alpha");

  GlobalUpdate();
  EXPECT_EQ(g_trace, (std::vector<std::string>{"panel early", "panel first", "panel second", "panel last",
                                               "entity alpha", "entity zeta"}));
  EXPECT_EQ(g_controlPanels, apptest_List({&first, &second, &last}));

  // RenderFrame ran last: it cleared the panels' red to the sky colour
  // (0.4078, 0.8313, 0.9725) x 255, seen in the top row.
  const std::vector<uint8_t> rgb = gl.ReadRgb();
  ASSERT_GE(rgb.size(), 3u);
  EXPECT_NEAR(rgb[0], 104, 1);
  EXPECT_NEAR(rgb[1], 212, 1);
  EXPECT_NEAR(rgb[2], 248, 1);
}

TEST(GlobalStartUp, InitRestoresSettingsLoadsTheSceneAndShutdownSavesOnce) {
  ScopedWorkDir work;
  ASSERT_EQ(apptest_MakeSampleData(work.path()), 0);
  // Saved settings: one the code declares, one known only to the file.
  WriteFile("cvar.ini", "2 camera.hdist 7.250000\n1 app_test.saved 42\n");
  platform::OffscreenGLContext gl;
  if (!gl.Create(320, 240)) TAVRIN_SKIP_TEST(gl.error());

  ASSERT_EQ(g_console, nullptr);
  ASSERT_FALSE(g_renderEnabled);
  ASSERT_EQ(Singleton::Instance(), nullptr);
  GlobalInit();

  ASSERT_NE(g_console, nullptr);
  EXPECT_TRUE(g_renderEnabled);
  EXPECT_NE(dynamic_cast<SceneReader*>(Singleton::Instance()), nullptr);
  ASSERT_NE(g_camera, nullptr);
  for (const char* name : {"camera", "root", "test", "boxer", "walker", "sentry"}) {
    EXPECT_EQ(EntityMap().count(name), 1u) << name;
  }
  // The console existed before the renderer and the scene: their lines are in it.
  EXPECT_TRUE(apptest_ConsoleHas("RenderInit: Loaded OpenGL Extensions SUCCESSFULLY"));
  EXPECT_TRUE(apptest_ConsoleHas("Done Loading Motion walk.amc"));
  const std::string log = ReadFile("log.txt");
  const int extensions = apptest_LineOf(log, "RenderInit: Loaded OpenGL Extensions SUCCESSFULLY");
  const int firstMotion = apptest_LineOf(log, "Loading Motion ");
  ASSERT_GE(extensions, 0);
  ASSERT_GE(firstMotion, 0);
  EXPECT_LT(extensions, firstMotion);
  // The file was read first, so its value beat the code's default.
  const ConsoleVariable<float> hdist("camera.hdist", 1.0f);
  EXPECT_FLOAT_EQ(hdist, 7.25f);

  GlobalUpdate();  // one whole frame of the sample scene
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  GlobalShutdown();
  EXPECT_EQ(g_console, nullptr);
  EXPECT_EQ(Singleton::Instance(), nullptr);
  const std::string saved = ReadFile("cvar.ini");
  EXPECT_NE(saved.find("2 camera.hdist 7.250000\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("1 app_test.saved 42\n"), std::string::npos) << saved;

  // A second shutdown finds nothing left to delete and writes nothing.
  std::filesystem::remove("cvar.ini");
  GlobalShutdown();
  EXPECT_FALSE(std::filesystem::exists("cvar.ini"));
  EXPECT_TRUE(g_renderEnabled);  // never switched back
}

}  // namespace
