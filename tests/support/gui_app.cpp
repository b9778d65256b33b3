#include "tests/support/gui_app.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdlib>

bool StartGuiLibrary() {
  static const bool started = [] {
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
      ADD_FAILURE_AT(file.utf8_str(), line)
          << "wxWidgets assertion in " << func.utf8_string() << "(): " << cond.utf8_string() << " " << msg.utf8_string();
    });
    static int argc = 1;
    static char program[] = "gui_tests";
    static char* argv[] = {program, nullptr};
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return false;
    std::atexit([] {
      wxTheApp->OnExit();
      wxEntryCleanup();
    });
    return true;
  }();
  return started;
}

void RunGuiEventLoop(int ms) {
  wxGUIEventLoop loop;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
  timer.StartOnce(ms);
  loop.Run();
}

bool RunGuiEventLoopUntil(const std::function<bool()>& done, int ms) {
  if (done()) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  bool held = false;
  wxGUIEventLoop loop;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    held = done();
    if (held || std::chrono::steady_clock::now() >= deadline) loop.Exit();
  });
  timer.Start(5);
  loop.Run();
  return held;
}
