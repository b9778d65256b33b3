#include "app/app.h"

#include <wx/debug.h>
#include <wx/event.h>
#include <wx/log.h>

#include <csignal>
#include <cstdlib>

#include "app/app_globals.h"
#include "app/gl_view.h"
#include "app/main_frame.h"
#include "app/view_input.h"
#include "core/log.h"

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

// SIGINT and SIGTERM (Ctrl-C in a terminal, a plain kill) close the main
// window like its close box, so the shutdown still writes "cvar.ini". Runs
// from the event loop, not inside the signal.
void app_OnTerminateSignal(int /*signal*/) {
  if (g_mainFrame != nullptr) {
    g_mainFrame->Close(true);
  } else if (wxTheApp != nullptr) {
    wxTheApp->ExitMainLoop();
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
  SetSignalHandler(SIGINT, app_OnTerminateSignal);
  SetSignalHandler(SIGTERM, app_OnTerminateSignal);
  // An opaque token of the running program: the application object.
  g_hInstance = static_cast<InstanceHandle>(this);
  auto* frame = new MainFrame("Tavrin v1", wxPoint(50, 50), wxSize(800, 630));
  g_hWnd = static_cast<WindowHandle>(frame);
  frame->Show(true);
  g_mainFrame = frame;
  return true;
}

int App::OnExit() {
  GlobalShutdown();
  wxApp::OnExit();
  return 1;
}

void App::OnKeyDown(wxKeyEvent& event) {
  HandleKeyDown(event);
  // Menus and controls keep their own handling of the key.
  event.Skip();
}

void App::OnKeyUp(wxKeyEvent& event) { event.Skip(); }

void App::OnMouse(wxMouseEvent& event) {
  if (g_mainFrame != nullptr && event.GetEventObject() == g_mainFrame->glView) {
    HandleMouseEvent(event);
  }
  event.Skip();
}
