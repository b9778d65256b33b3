#pragma once

#include <wx/frame.h>
#include <wx/splitter.h>

class CameraPanel;
class GLView;
class MotionsPanel;
class PlayerPanel;
class wxNotebook;

// Window ids of the main window's parts.
constexpr int kInnerSplitterId = 3;
constexpr int kOuterSplitterId = 4;
constexpr int kNotebookId = 5;
constexpr int kGLViewId = 6;
constexpr int kPlayerPanelId = 7;
constexpr int kCameraPanelId = 8;
constexpr int kMotionsPanelId = 9;
// Menu command ids.
constexpr int kMenuExitId = 1;
constexpr int kMenuAboutId = 2;
constexpr int kMenuLoadLevelId = 10;
// The outer splitter's smallest pane, in pixels.
constexpr int kOuterMinimumPaneSize = 67;

// The splitter of the main window (used for both splits): 3-D sash and
// border, live update while the sash is dragged, name "splitter", default
// position and size. Every sash position that the user drags to is accepted.
class MainSplitter : public wxSplitterWindow {
 public:
  MainSplitter(wxFrame* parent, wxWindowID id);
  MainSplitter(wxSplitterWindow* parent, wxWindowID id);

  // The base class's answer: every position is accepted.
  bool OnSashPositionChange(int newSashPosition) override;

  // Whether a change of the splitter's size goes to the first pane alone:
  // the sash moves by the change, so the second pane keeps its size (within
  // the panes' minimum sizes). Off after construction: the sash stays where
  // it was put and the second pane takes the change.
  void KeepSecondPane(bool keep) { keepSecondPane_ = keep; }

  // The size of the second pane along the split: the splitter's extent less
  // the sash position and the sash. 0 when the splitter is not split.
  int SecondPaneExtent() const;
  // The sash position that leaves the second pane `extent` pixels in the
  // splitter's present size.
  int SashForSecondPane(int extent) const;

 private:
  void OnResize(wxSplitterEvent& event);

  bool keepSecondPane_ = false;
};

// The program's only top-level window. The outer splitter (split
// horizontally) holds the upper area above the player strip; the inner one
// (split vertically) holds the 3-D view at the left and the notebook of
// control pages at the right. The constructor starts the engine (GlobalInit)
// half-way: after the 3-D view has its GL context and before the notebook
// pages, which show what start-up created.
class MainFrame : public wxFrame {
 public:
  // Builds the whole window, in order: the outer splitter, the inner
  // splitter, the 3-D view (GL context current), the player strip; g_hWnd;
  // GlobalInit; the icon; the menus ("&File": "&Load Level\tAlt-L" (does
  // nothing), "E&xit\tAlt-X"; "&Help": "&About...\tCtrl-A"); the notebook
  // with the pages "Motions", "Camera" (selected), "Skeleton", "Drivers",
  // "Graphs", "Debug"; the sashes at gl.height (outer, minimum pane 67
  // pixels) and gl.width (inner, minimum pane the narrowest width at which
  // the notebook can be drawn, so neither pane can be removed), both console
  // variables (int, defaults 480 and 640) read once here after GlobalInit,
  // so saved values win (a sash position out of reach is moved to the
  // nearest one allowed); a status bar of two fields showing "Ready". Call
  // once; the frame is not shown. Under a window manager `size` is the outer
  // size, decorations included: the frame asks for it once more when the
  // manager has told the decorations' size.
  //
  // Once the frame has taken its first size (once it is shown, and again
  // after the size is asked for once more), a change of the window's size
  // goes to the 3-D view alone: the player strip keeps its height and the
  // notebook its width. The window cannot be made smaller than its controls
  // need: the view at least as high as the notebook's pages need and as wide
  // as the inner splitter's minimum pane, beside the notebook and above the
  // strip at their present sizes (and at least their best sizes), the strip
  // at least its best width (see PlayerPanel). The minimum follows the panes
  // whenever the event loop is idle. The outer sash cannot be dragged above
  // the height that the pages need (a saved gl.height above it moves down
  // there).
  MainFrame(const wxString& title, const wxPoint& pos, const wxSize& size);
  // Shows or hides the frame; from the first showing on, the 3-D view takes
  // the changes of the window's size.
  bool Show(bool show = true) override;
  // Clears g_mainFrame (app/app.h) when it points at this frame, so no
  // handler that runs later (a signal, a late mouse event) reaches the
  // destroyed window through it.
  ~MainFrame() override;

  GLView* glView;
  MainSplitter* innerSplitter;
  MainSplitter* outerSplitter;
  wxNotebook* notebook;
  PlayerPanel* playerPanel;
  CameraPanel* cameraPanel;
  MotionsPanel* motionsPanel;

 private:
  // "E&xit": closes the frame without a veto; the event loop then ends.
  void OnQuit(wxCommandEvent& event);
  // "&About...": a modal message box "About Tavrin".
  void OnAbout(wxCommandEvent& event);
  // A key that is a menu item's shortcut (app/menu_shortcuts.h) runs the
  // item's command and goes no further; every other key goes on.
  void OnCharHook(wxKeyEvent& event);
  // KeepSmallestSize: the smallest size follows the panes.
  void OnIdle(wxIdleEvent& event);

  // From now on the 3-D view takes the changes of the window's size.
  void KeepStripAndNotebook();
  // Sets the window's smallest size, and the lowest that the outer sash lets
  // the view be, for the panes' present sizes (unless full screen).
  void KeepSmallestSize();
  // The lowest that the view and the notebook beside it may be: the
  // notebook's pages whole.
  int LowestUpperArea() const;
  // The smallest client area in which every pane shows its controls whole
  // and the strip and the notebook keep their present sizes.
  wxSize SmallestClientSize() const;

  // The smallest client area and the frame's decorations, menu bar and status
  // bar around it, when the smallest size was last set.
  wxSize smallestClient_;
  wxSize chrome_;

  wxDECLARE_EVENT_TABLE();
};
