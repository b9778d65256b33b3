#pragma once

#include <wx/app.h>

class MainFrame;
class wxKeyEvent;
class wxMouseEvent;

// The program's application object. The GUI library creates the one
// instance, calls OnInit to build the main window (and, inside the main
// frame's constructor, to start the engine), runs its event loop, and calls
// OnExit when the loop has ended (the main frame is gone).
//
// It is also the receiver of key and mouse events that no window handled
// (the 3-D view has no key or mouse handlers, so all of its events arrive):
// every key-down goes to HandleKeyDown and every mouse event of the 3-D view
// to HandleMouseEvent. In both cases the event then goes on to its normal
// processing, so menu accelerators (Alt-X) and typing into controls work.
//
// The library's assertion failures (from construction on) and log messages
// (from OnInit on) are written to the program's log (core/log.h) instead of
// opening dialogs. SIGINT, SIGTERM and SIGHUP close the main window as its
// close box does, so "cvar.ini" is still written; while a modal dialog (the
// About box) is open the close waits until it has returned, and repeated
// signals change nothing. One that arrives during start-up ends the start-up
// at its next step (core/stop_request.h) and closes the frame unseen. SIGQUIT
// saves "cvar.ini" and ends the process with the signal's core dump; a second
// SIGQUIT ends it at once. When the connection to the display is lost,
// "cvar.ini" is saved and the process ends with exit code 1. Both saves
// happen only once the start-up has read "cvar.ini"; before that the file is
// left as it is. GTK is made to use its X11 back end: the 3-D view draws
// through GLX.
class App : public wxApp {
 public:
  App();

  // Routes the library's log messages to the program's log and installs the
  // signal and lost-display handling; then sets g_hInstance,
  // builds the main frame "Tavrin v1" at (50, 50) with an outer size of
  // 800 x 630 (start-up runs inside), sets g_hWnd, shows the frame and stores
  // it in g_mainFrame. Always true.
  bool OnInit() override;
  // GlobalShutdown (writes "cvar.ini"). Returns 1; the program's exit code
  // is that of the event loop (0 after the main window closed).
  int OnExit() override;

 private:
  void OnKeyDown(wxKeyEvent& event);
  void OnKeyUp(wxKeyEvent& event);
  void OnMouse(wxMouseEvent& event);

  wxDECLARE_EVENT_TABLE();
};

// The main frame: null until App::OnInit has shown it, and null again once
// the frame is destroyed.
extern MainFrame* g_mainFrame;
