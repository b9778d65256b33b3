#include "app/view_input.h"

#include <wx/defs.h>
#include <wx/event.h>
#include <wx/notebook.h>

#include "app/app.h"
#include "app/gl_view.h"
#include "app/main_frame.h"
#include "app/player_panel.h"
#include "input/view_input.h"

namespace {

bool g_fullScreen = false;
// The notebook's width and the player strip's height before the view went
// full screen.
int g_savedNotebookWidth = 0;
int g_savedStripHeight = 0;

void view_ToggleFullScreen() {
  MainFrame* frame = g_mainFrame;
  if (frame == nullptr) return;
  g_fullScreen = !g_fullScreen;
  // The splitters keep a smallest pane for the notebook and the player strip
  // (GTK cannot draw them narrower), so full screen takes both panes out
  // rather than pushing their sashes to the screen's edges.
  if (g_fullScreen) {
    g_savedNotebookWidth = frame->innerSplitter->SecondPaneExtent();
    g_savedStripHeight = frame->outerSplitter->SecondPaneExtent();
    frame->ShowFullScreen(true, wxFULLSCREEN_ALL);
    frame->innerSplitter->Unsplit(frame->notebook);
    frame->outerSplitter->Unsplit(frame->playerPanel);
  } else {
    // The panes come back at their sizes in the full-screen window; as the
    // window shrinks back the view alone gives way, so the sashes return to
    // where they were.
    frame->outerSplitter->SplitHorizontally(frame->innerSplitter, frame->playerPanel,
                                            frame->outerSplitter->SashForSecondPane(g_savedStripHeight));
    frame->innerSplitter->SplitVertically(frame->glView, frame->notebook,
                                          frame->innerSplitter->SashForSecondPane(g_savedNotebookWidth));
    frame->ShowFullScreen(false, wxFULLSCREEN_ALL);
  }
}

}  // namespace

void HandleKeyDown(wxKeyEvent& event) {
  const int code = ViewKeyCode(event.GetKeyCode());
  if (event.AltDown() && code == kViewKeyEnter) view_ToggleFullScreen();
  HandleConsoleKey(code);
}

void HandleMouseEvent(wxMouseEvent& event) {
  ViewMouseEvent view;
  view.x = event.GetX();
  view.y = event.GetY();
  view.buttonPress = event.ButtonDown();
  view.buttonRelease = event.ButtonUp();
  view.motion = event.Moving() || event.Dragging();
  view.leftDown = event.LeftIsDown();
  view.middleDown = event.MiddleIsDown();
  view.rightDown = event.RightIsDown();
  HandleViewMouse(view);
}
