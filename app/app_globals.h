#pragma once

#include <vector>

#include "platform/direct_input.h"

// The spine of the running program: the engine objects that live for the
// whole run and the four moments at which the window classes drive them.
//
//   GlobalInit      once, from the main frame's constructor, with the 3-D
//                   view's GL context current
//   GlobalUpdate    once per frame, from the 3-D view's render step
//   GlobalShutdown  once, when the event loop has ended
//
// The console (g_console, console/gl_console.h), the camera (g_camera,
// world/camera.h) and the polled input records (input/input_state.h) are
// globals of their own modules; the ones below belong here. Everything runs
// on the GUI thread only. Nothing here needs the GUI library, so the order of
// start-up, frame and shutdown can be exercised without a window.

// The handle of the running program (the application object) and of the
// main window (the main frame object): opaque, stable for their lives.
using platform::InstanceHandle;
using platform::WindowHandle;

// False until GlobalInit has run RenderInit; never false again. The 3-D view
// draws nothing while it is false.
extern bool g_renderEnabled;
// Set by the application object before the main frame is built.
extern InstanceHandle g_hInstance;
// Set by the main frame's constructor just before GlobalInit, and again by
// the application object once the frame is built.
extern WindowHandle g_hWnd;

// The engine-facing half of a control panel: while the object exists it is
// an entry of g_controlPanels, and GlobalUpdate calls its UpdateControls once
// per frame. The GUI half (a wxPanel) is app/control_panel.h.
class ControlPanelEntry {
 public:
  // Appends this object to g_controlPanels.
  ControlPanelEntry();
  // Removes this object's entry from g_controlPanels, so a destroyed panel
  // is never reached through the list.
  virtual ~ControlPanelEntry();
  ControlPanelEntry(const ControlPanelEntry&) = delete;
  ControlPanelEntry& operator=(const ControlPanelEntry&) = delete;

  // Refreshes the panel's controls from the engine. Called by GlobalUpdate
  // once per frame, on the GUI thread.
  virtual void UpdateControls() = 0;
};

// Every live control panel in construction order (player strip, "Motions"
// page, "Camera" page); empty at start.
extern std::vector<ControlPanelEntry*> g_controlPanels;

// The scene that GlobalInit loads, relative to the working directory.
constexpr const char kDefaultSceneFile[] = "data/scenes/default.sce";

// Starts the engine, in this order: the shutdown of the console's "exit"
// and "quit" (GlobalShutdown), the console (12-pixel font, overlay
// 0.75; it restores "cvar.ini" first, so saved values are in force for every
// later step), the scene reader, RenderInit (needs a current GL context),
// g_renderEnabled = true, the camera (with the entities "root" and "test"),
// the scene kDefaultSceneFile (a missing or broken scene keeps what was
// made; the scene reader logs a missing file), GlobalInputInit. Call once.
void GlobalInit();

// Creates the keyboard, mouse and joystick devices (g_keyboard, g_mouse,
// g_joystick of input/dx_devices.h) from g_hInstance and g_hWnd, in that
// order, and logs whether all three were acquired. Without both handles it
// logs so and creates none; a device that is not acquired is never polled.
void GlobalInputInit();

// One frame, with the view's GL context current, the buffers cleared and the
// model-view matrix selected: UpdateInput, UpdateControls on every entry of
// g_controlPanels first to last, Update on every entity in EntityMap's name
// order, RenderFrame. Does not swap buffers. A panel destroyed by another
// panel's UpdateControls during the walk is not called; every other panel
// that was in the list when the walk began is called once.
void GlobalUpdate();

// Stops the engine: deletes the console (its destructor writes "cvar.ini")
// leaving g_console null, then deletes the scene reader (the Singleton
// instance). The camera, entities, motions and controllers live on until the
// process ends. A second call does nothing.
void GlobalShutdown();
