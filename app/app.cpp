#include "app/app.h"

#include <wx/debug.h>
#include <wx/event.h>
#include <wx/log.h>
#include <wx/modalhook.h>

#include <signal.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"
#include "app/control_keys.h"
#include "app/gl_view.h"
#include "app/main_frame.h"
#include "app/view_input.h"
#include "core/cvar_file.h"
#include "core/log.h"
#include "core/stop_request.h"
#include "input/view_input.h"

// After the library's headers: X11's macros (None, Status) would clash.
#include <X11/Xlib.h>

MainFrame* g_mainFrame = nullptr;

namespace {

// "log.txt" is emptied as the program starts, before the GUI library does,
// even when the run logs nothing.
const bool g_logOpened = (OpenLogFile(), true);

// The library's assertion failures become log lines; no dialog may block
// the program.
void app_AssertHandler(const wxString& file, int line, const wxString& func, const wxString& cond,
                       const wxString& msg) {
  LogPrintf("wxWidgets assertion failed: %s(%d) in %s(): %s %s",
            static_cast<const char*>(file.utf8_str()), line,
            static_cast<const char*>(func.utf8_str()), static_cast<const char*>(cond.utf8_str()),
            static_cast<const char*>(msg.utf8_str()));
}

// The library's log messages go to the program's log rather than to message
// boxes, one line each: "wxWidgets error: ...", "wxWidgets warning: ..." and
// so on by level.
class app_LogTarget : public wxLog {
 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& /*info*/) override {
    const char* kind = "message";
    if (level <= wxLOG_Error) {
      kind = "error";
    } else if (level == wxLOG_Warning) {
      kind = "warning";
    } else if (level >= wxLOG_Debug) {
      kind = "debug message";
    }
    LogPrintf("wxWidgets %s: %s", kind, static_cast<const char*>(msg.utf8_str()));
  }
};

// Closes the main window like its close box (once: a frame already being
// destroyed is left alone), or ends the event loop when there is none.
void app_CloseMainWindow() {
  if (g_mainFrame != nullptr) {
    if (!g_mainFrame->IsBeingDeleted()) g_mainFrame->Close(true);
  } else if (wxTheApp != nullptr) {
    wxTheApp->ExitMainLoop();
  }
}

// Counts the modal dialogs that are open (the About box). A dialog runs an
// event loop of its own, in which the frame must not be destroyed under it: a
// close asked for meanwhile waits until the last dialog has returned.
class app_ModalDialogs : public wxModalDialogHook {
 public:
  // Closes the main window now, or as soon as no modal dialog is open.
  void CloseMainWindow() {
    if (open_ > 0) {
      closePending_ = true;
    } else {
      app_CloseMainWindow();
    }
  }

 protected:
  int Enter(wxDialog* /*dialog*/) override {
    ++open_;
    return wxID_NONE;
  }
  void Exit(wxDialog* /*dialog*/) override {
    if (--open_ > 0 || !closePending_) return;
    closePending_ = false;
    // After the dialog's caller has returned to the main event loop.
    if (wxTheApp != nullptr) wxTheApp->CallAfter([] { app_CloseMainWindow(); });
  }

 private:
  int open_ = 0;
  bool closePending_ = false;
};
app_ModalDialogs g_modalDialogs;

// Saves "cvar.ini" outside the console's own save, but only once the file has
// been read: before that the registry holds the defaults, which would
// replace the user's settings. Returns how the log tells it.
const char* app_SaveLoadedCVars() {
  if (!CVarFileLoaded()) return "\"cvar.ini\" is not read yet and is left as it is";
  SaveCVars();
  return "\"cvar.ini\" is saved";
}

// The X server has gone (the session ended, an ssh tunnel dropped): nothing
// can be drawn or asked any more and the process must end, as GTK would end
// it, but the settings are saved first.
int app_OnDisplayLost(Display* /*display*/) {
  const char* saved = app_SaveLoadedCVars();
  LogPrintf("App: the connection to the display is lost; %s and the program ends", saved);
  // No exit handlers: they would talk to the lost display again.
  std::_Exit(1);
}

// SIGINT, SIGTERM and SIGHUP (Ctrl-C in a terminal, a plain kill, a closed
// terminal) close the main window like its close box, so the shutdown still
// writes "cvar.ini". Runs from the event loop (also a modal dialog's), not
// inside the signal; repeated signals change nothing.
void app_OnTerminateSignal(int /*signal*/) { g_modalDialogs.CloseMainWindow(); }

// SIGQUIT (Ctrl-\) keeps its meaning, the end of the program at once with a
// core dump, but saves "cvar.ini" first. A second SIGQUIT, while the program
// is stuck where the first cannot be handled, ends it without saving.
void app_OnQuitSignal(int signal) {
  const char* saved = app_SaveLoadedCVars();
  LogPrintf("App: SIGQUIT: %s and the program ends with a core dump", saved);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

constexpr int kTerminateSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signal that arrived while the main frame was being built.
volatile std::sig_atomic_t g_startUpSignal = 0;

// Start-up runs before the event loop, where the library would hold a signal
// back until the whole start-up is over: a signal then only marks the stop,
// which the long steps look at (core/stop_request.h).
void app_OnStartUpSignal(int signal) {
  g_startUpSignal = signal;
  RequestStop();
}

void app_InstallStartUpHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = app_OnStartUpSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kTerminateSignals) sigaction(signal, &action, nullptr);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGQUIT, &action, nullptr);
}

// The library's own handlers, which run the handlers above from its event
// loop. SIGQUIT's falls back to the default action once it has fired.
void app_InstallEventLoopHandlers(wxApp* app) {
  for (int signal : kTerminateSignals) app->SetSignalHandler(signal, app_OnTerminateSignal);
  app->SetSignalHandler(SIGQUIT, app_OnQuitSignal);
  struct sigaction action;
  if (sigaction(SIGQUIT, nullptr, &action) == 0) {
    action.sa_flags |= SA_RESETHAND;
    sigaction(SIGQUIT, &action, nullptr);
  }
}

}  // namespace

wxBEGIN_EVENT_TABLE(App, wxApp)
  EVT_KEY_DOWN(App::OnKeyDown)
  EVT_KEY_UP(App::OnKeyUp)
  EVT_LEFT_DOWN(App::OnMouse)
  EVT_LEFT_UP(App::OnMouse)
  EVT_LEFT_DCLICK(App::OnMouse)
  EVT_MIDDLE_DOWN(App::OnMouse)
  EVT_MIDDLE_UP(App::OnMouse)
  EVT_MIDDLE_DCLICK(App::OnMouse)
  EVT_RIGHT_DOWN(App::OnMouse)
  EVT_RIGHT_UP(App::OnMouse)
  EVT_RIGHT_DCLICK(App::OnMouse)
  EVT_MOTION(App::OnMouse)
  EVT_ENTER_WINDOW(App::OnMouse)
  EVT_LEAVE_WINDOW(App::OnMouse)
wxEND_EVENT_TABLE()

wxIMPLEMENT_APP(App);

App::App() {
  wxSetAssertHandler(app_AssertHandler);
  // The 3-D view draws through GLX, so GTK must use its X11 back end (under
  // Wayland through XWayland). Set before the library starts GTK.
  setenv("GDK_BACKEND", "x11", 1);
}

bool App::OnInit() {
  // Set here, not in the constructor: the library installs a log target of
  // its own while it starts.
  delete wxLog::SetActiveTarget(new app_LogTarget);
  g_modalDialogs.Register();
  // Replaces GTK's handler, which ends the process without a word.
  XSetIOErrorHandler(app_OnDisplayLost);
  app_InstallStartUpHandlers();
  // An opaque token of the running program: the application object.
  g_hInstance = static_cast<InstanceHandle>(this);
  auto* frame = new MainFrame("Tavrin v1", wxPoint(50, 50), wxSize(800, 630));
  g_hWnd = static_cast<WindowHandle>(frame);
  // First the loop's handlers, then the look at the flag: a signal comes
  // either before (the flag) or after (the loop's handler).
  app_InstallEventLoopHandlers(this);
  if (StopRequested()) {
    LogPrintf("App: signal %d arrived during start-up; the program closes",
              static_cast<int>(g_startUpSignal));
    if (g_startUpSignal == SIGQUIT) app_OnQuitSignal(SIGQUIT);
    // Closed unseen from the event loop, which ends once the frame is gone;
    // the shutdown saves "cvar.ini" as after any close.
    g_mainFrame = frame;
    CallAfter([] { app_CloseMainWindow(); });
    return true;
  }
  frame->Show(true);
  g_mainFrame = frame;
  return true;
}

int App::OnExit() {
  g_modalDialogs.Unregister();
  GlobalShutdown();
  wxApp::OnExit();
  return 1;
}

void App::OnKeyDown(wxKeyEvent& event) {
  const bool overView = g_mainFrame != nullptr && event.GetEventObject() == g_mainFrame->glView;
  const bool altOrControl = event.AltDown() || event.ControlDown();
  // A key that the focused control uses (digits in the speed spin control,
  // arrows on a slider) is the control's alone.
  if (!overView &&
      ControlKeepsKey(dynamic_cast<const wxWindow*>(event.GetEventObject()), event.GetKeyCode(), altOrControl)) {
    event.Skip();
    return;
  }
  HandleKeyDown(event);
  // The menu's shortcuts (Alt-X, Ctrl-A) never come here: the main frame
  // takes them first. On GTK the controls' own key handling and the menus'
  // mnemonics come after this handler, so those keys go on. Over the 3-D view
  // the console keeps the keys it uses (Tab completes there instead of moving
  // the focus away), and the view keeps the arrow keys, which steer the
  // camera, instead of GTK moving the focus to a control with them.
  if (!overView || altOrControl ||
      !(IsConsoleKey(ViewKeyCode(event.GetKeyCode())) || IsArrowKey(event.GetKeyCode()))) {
    event.Skip();
  }
}

void App::OnKeyUp(wxKeyEvent& event) { event.Skip(); }

void App::OnMouse(wxMouseEvent& event) {
  if (g_mainFrame != nullptr && event.GetEventObject() == g_mainFrame->glView) {
    HandleMouseEvent(event);
  }
  event.Skip();
}
