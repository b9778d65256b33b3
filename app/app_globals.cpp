#include "app/app_globals.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "console/console_functions.h"
#include "console/gl_console.h"
#include "core/log.h"
#include "core/regular_file.h"
#include "core/singleton.h"
#include "input/dx_devices.h"
#include "input/view_input.h"
#include "motion/motion.h"
#include "render/renderer.h"
#include "world/camera.h"
#include "world/entity.h"
#include "world/scene_reader.h"

bool g_renderEnabled = false;
InstanceHandle g_hInstance = nullptr;
WindowHandle g_hWnd = nullptr;
std::vector<ControlPanelEntry*> g_controlPanels;

ControlPanelEntry::ControlPanelEntry() { g_controlPanels.push_back(this); }

ControlPanelEntry::~ControlPanelEntry() {
  auto found = std::find(g_controlPanels.begin(), g_controlPanels.end(), this);
  if (found != g_controlPanels.end()) g_controlPanels.erase(found);
}

void GlobalInit() {
  // "exit" and "quit" shut down as closing the window does.
  SetConsoleShutdown(GlobalShutdown);
  // A run killed while it wrote a file leaves the temporary file behind
  // (a graph's may be hundreds of megabytes); nothing else removes it.
  RemoveAbandonedTemporaryFiles(".");
  RemoveAbandonedTemporaryFiles(MotionFolder);
  // The console comes first: it restores "cvar.ini", so the saved values are
  // in force for everything after it, and every later log line shows in it.
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  // Registers itself as the Singleton instance, which GlobalShutdown deletes.
  SceneReader* reader = new SceneReader();
  RenderInit();
  g_renderEnabled = true;
  g_camera = new Camera();
  reader->LoadScene(kDefaultSceneFile);
  GlobalInputInit();
}

void GlobalInputInit() {
  if (g_hInstance == nullptr || g_hWnd == nullptr) {
    LogPrintf("GlobalInputInit(): Don't have handles to create input devices");
    return;
  }
  g_keyboard = new DXKeyboard(g_hInstance, g_hWnd);
  g_mouse = new DXMouse(g_hInstance, g_hWnd);
  g_joystick = new DXJoystick(g_hInstance, g_hWnd);
  if (g_mouse->acquired && g_joystick->acquired && g_keyboard->acquired) {
    LogPrintf("GlobalInputInit(): Input Initialization Successful");
  } else {
    LogPrintf("GlobalInputInit(): Input Initialization FAILED");
  }
}

void GlobalUpdate() {
  UpdateInput();
  // Over a copy: a refresh may destroy panels, earlier or later ones, which
  // leave the list at once; a destroyed one is not called.
  const std::vector<ControlPanelEntry*> panels = g_controlPanels;
  for (ControlPanelEntry* panel : panels) {
    if (std::find(g_controlPanels.begin(), g_controlPanels.end(), panel) != g_controlPanels.end()) {
      panel->UpdateControls();
    }
  }
  for (const auto& entry : EntityMap()) {
    entry.second->Update();
  }
  RenderFrame();
}

void GlobalShutdown() {
  DeleteConsole();  // writes "cvar.ini"; g_console is null before the delete
  if (Singleton* instance = Singleton::Instance()) delete instance;
}
