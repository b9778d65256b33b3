#include "app/main_frame.h"

#include <gtk/gtk.h>
#include <wx/icon.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/panel.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "app/app.h"
#include "app/app_globals.h"
#include "app/camera_panel.h"
#include "app/gl_view.h"
#include "app/menu_shortcuts.h"
#include "app/motions_panel.h"
#include "app/player_panel.h"
#include "core/console_variable.h"

#include "app/orvane.xpm"

namespace {

// 3-D sash, 3-D border, live update while dragging.
constexpr long kMainSplitterStyle = wxSP_3DSASH | wxSP_3DBORDER | wxSP_LIVE_UPDATE;
static_assert(kMainSplitterStyle == 0x380, "splitter style bits");

// The narrowest width at which GTK can draw the notebook (its scroll arrows
// and its widest tab), plus the sash: the notebook pane's share of the
// inner splitter's minimum pane size.
int frame_NotebookPaneMinimum(wxNotebook* notebook, const wxSplitterWindow* splitter) {
  gint minimum = 0;
  gtk_widget_get_preferred_width(notebook->GetHandle(), &minimum, nullptr);
  return std::max(minimum, 1) + splitter->GetSashSize();
}

// The frame is realized before it is shown (the 3-D view needs its native
// window during start-up), so under a window manager the library learns the
// decorations' size only from the manager's _NET_FRAME_EXTENTS once the frame
// is mapped, and then keeps the client size, which makes the outer size
// larger than asked. When that property first arrives, the asked outer size
// is set again, after the library has taken the decorations in.
struct FrameSizeRequest {
  wxFrame* frame;
  std::function<void()> askAgain;
};

gboolean frame_OnFirstFrameExtents(GtkWidget* widget, GdkEventProperty* event, gpointer data) {
  if (event->atom != gdk_atom_intern_static_string("_NET_FRAME_EXTENTS")) return FALSE;
  const FrameSizeRequest request = *static_cast<FrameSizeRequest*>(data);
  g_signal_handlers_disconnect_by_data(widget, data);  // frees data
  request.frame->CallAfter(request.askAgain);
  return FALSE;
}

// `askAgain` runs from the event loop when the decorations' size is known.
void frame_AskSizeAgainWithDecorations(wxFrame* frame, std::function<void()> askAgain) {
  // Through void (*)(): GTK calls the handler with its own signature.
  const auto handler = reinterpret_cast<GCallback>(reinterpret_cast<void (*)()>(frame_OnFirstFrameExtents));
  g_signal_connect_data(frame->GetHandle(), "property-notify-event", handler,
                        new FrameSizeRequest{frame, std::move(askAgain)},
                        [](gpointer data, GClosure*) { delete static_cast<FrameSizeRequest*>(data); },
                        G_CONNECT_AFTER);
}

// The extent of `size` along the split of `splitter`.
int frame_AlongSplit(const wxSplitterWindow* splitter, const wxSize& size) {
  return splitter->GetSplitMode() == wxSPLIT_VERTICAL ? size.x : size.y;
}

}  // namespace

MainSplitter::MainSplitter(wxFrame* parent, wxWindowID id)
    : wxSplitterWindow(parent, id, wxDefaultPosition, wxDefaultSize, kMainSplitterStyle, "splitter") {
  Bind(wxEVT_SPLITTER_SASH_POS_RESIZE, &MainSplitter::OnResize, this);
}

MainSplitter::MainSplitter(wxSplitterWindow* parent, wxWindowID id)
    : wxSplitterWindow(parent, id, wxDefaultPosition, wxDefaultSize, kMainSplitterStyle, "splitter") {
  Bind(wxEVT_SPLITTER_SASH_POS_RESIZE, &MainSplitter::OnResize, this);
}

bool MainSplitter::OnSashPositionChange(int newSashPosition) {
  return wxSplitterWindow::OnSashPositionChange(newSashPosition);
}

int MainSplitter::SecondPaneExtent() const {
  if (!IsSplit()) return 0;
  return SashForSecondPane(0) - GetSashPosition();
}

int MainSplitter::SashForSecondPane(int extent) const {
  return frame_AlongSplit(this, GetClientSize()) - extent - GetSashSize() - GetBorderSize();
}

void MainSplitter::OnResize(wxSplitterEvent& event) {
  // The inner splitter's events pass the outer one on their way up.
  if (event.GetEventObject() != this || !keepSecondPane_) {
    event.Skip();
    return;
  }
  event.SetSashPosition(GetSashPosition() + event.GetNewSize() - event.GetOldSize());
}

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
  EVT_MENU(kMenuExitId, MainFrame::OnQuit)
  EVT_MENU(kMenuAboutId, MainFrame::OnAbout)
  EVT_CHAR_HOOK(MainFrame::OnCharHook)
  EVT_IDLE(MainFrame::OnIdle)
wxEND_EVENT_TABLE()

MainFrame::MainFrame(const wxString& title, const wxPoint& pos, const wxSize& size)
    : wxFrame(nullptr, wxID_ANY, title, pos, size, wxDEFAULT_FRAME_STYLE, "frame"),
      glView(nullptr),
      innerSplitter(nullptr),
      outerSplitter(nullptr),
      notebook(nullptr),
      playerPanel(nullptr),
      cameraPanel(nullptr),
      motionsPanel(nullptr) {
  // First the windows that start-up needs: the view with its GL context.
  outerSplitter = new MainSplitter(this, kOuterSplitterId);
  innerSplitter = new MainSplitter(outerSplitter, kInnerSplitterId);
  glView = new GLView(innerSplitter, kGLViewId, wxDefaultPosition, wxDefaultSize, 0, "wxGLCanvas");
  playerPanel = new PlayerPanel(outerSplitter, kPlayerPanelId, wxDefaultPosition, wxDefaultSize,
                                wxTAB_TRAVERSAL, "panel");

  g_hWnd = static_cast<WindowHandle>(this);
  GlobalInit();

  SetIcon(wxIcon(orvane_xpm));

  auto* fileMenu = new wxMenu(wxMENU_TEAROFF);
  fileMenu->Append(kMenuLoadLevelId, "&Load Level\tAlt-L", "Load Level Geometry");
  fileMenu->Append(kMenuExitId, "E&xit\tAlt-X", "Quit this program");
  auto* helpMenu = new wxMenu;
  helpMenu->Append(kMenuAboutId, "&About...\tCtrl-A", "Show about dialog");
  auto* menuBar = new wxMenuBar;
  menuBar->Append(fileMenu, "&File");
  menuBar->Append(helpMenu, "&Help");
  SetMenuBar(menuBar);

  // Then the pages that show what start-up created.
  notebook = new wxNotebook(innerSplitter, kNotebookId, wxDefaultPosition, wxDefaultSize, 0, "notebook");
  motionsPanel = new MotionsPanel(notebook, kMotionsPanelId, wxDefaultPosition, wxDefaultSize,
                                  wxTAB_TRAVERSAL, "panel");
  notebook->AddPage(motionsPanel, "Motions", true);
  cameraPanel = new CameraPanel(notebook, kCameraPanelId, wxDefaultPosition, wxDefaultSize,
                                wxTAB_TRAVERSAL, "panel");
  notebook->AddPage(cameraPanel, "Camera", true);
  for (const char* label : {"Skeleton", "Drivers", "Graphs", "Debug"}) {
    auto* page = new wxPanel(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
    notebook->AddPage(page, label, true);
  }
  notebook->SetSelection(1);
  // Selecting a page hands it the keyboard focus (the notebook does so on
  // GTK), and the window would open with its first control taking the keys
  // that steer the camera. The keyboard belongs to the 3-D view until the
  // user picks a control.
  glView->SetFocus();

  // Registered only now, after the console has restored "cvar.ini".
  static ConsoleVariable<int> glWidth("gl.width", 640);
  static ConsoleVariable<int> glHeight("gl.height", 480);

  outerSplitter->SplitHorizontally(innerSplitter, playerPanel);
  outerSplitter->SetSashPosition(glHeight, true);
  outerSplitter->SetMinimumPaneSize(kOuterMinimumPaneSize);
  // A pane narrower than the notebook can be drawn would make GTK complain,
  // and a minimum of 0 would let a drag to the edge or a double-click on the
  // sash remove a pane for good: both panes keep the notebook's minimum,
  // whatever gl.width holds.
  innerSplitter->SetMinimumPaneSize(frame_NotebookPaneMinimum(notebook, innerSplitter));
  innerSplitter->SplitVertically(glView, notebook);
  innerSplitter->SetSashPosition(glWidth, true);

  CreateStatusBar(2, wxSTB_SIZEGRIP, 0);
  SetStatusText("Ready", 0);
  // Until the frame has its size the sashes stay at gl.width and gl.height:
  // showing the menu bar and the status bar (see Show), and the decorations
  // of a window manager, change the client area at start.
  frame_AskSizeAgainWithDecorations(this, [this, size] {
    outerSplitter->KeepSecondPane(false);
    innerSplitter->KeepSecondPane(false);
    SetSize(size);
    KeepStripAndNotebook();
  });
}

MainFrame::~MainFrame() {
  if (g_mainFrame == this) g_mainFrame = nullptr;
}

bool MainFrame::Show(bool show) {
  const bool changed = wxFrame::Show(show);
  // GTK lays the window out at its first size as it shows it.
  if (show) {
    KeepStripAndNotebook();
    KeepSmallestSize();
  }
  return changed;
}

void MainFrame::OnQuit(wxCommandEvent& /*event*/) { Close(true); }

void MainFrame::OnAbout(wxCommandEvent& /*event*/) {
  wxMessageBox("Tavrin v1: character animation from motion capture, drawn with OpenGL.\n",
               "About Tavrin", wxOK | wxICON_INFORMATION, this);
}

void MainFrame::OnCharHook(wxKeyEvent& event) {
  // Sent to the frame before the focused window's key-down: a shortcut never
  // reaches the control, the console or the toolkit's own accelerators.
  const int command = MenuShortcutCommand(MenuBarShortcuts(GetMenuBar()), event.GetKeyCode(), event.GetModifiers());
  if (command == wxID_NONE) {
    event.Skip();
    return;
  }
  ProcessCommand(command);
}

void MainFrame::KeepStripAndNotebook() {
  outerSplitter->KeepSecondPane(true);
  innerSplitter->KeepSecondPane(true);
}

int MainFrame::LowestUpperArea() const {
  return std::max(notebook->GetBestSize().y, outerSplitter->GetMinimumPaneSize()) + 2 * innerSplitter->GetBorderSize();
}

wxSize MainFrame::SmallestClientSize() const {
  const wxSize strip = playerPanel->GetBestSize();
  const int notebookWidth = std::max(
      {innerSplitter->SecondPaneExtent(), notebook->GetBestSize().x, innerSplitter->GetMinimumPaneSize()});
  const int stripHeight = std::max({outerSplitter->SecondPaneExtent(), strip.y, outerSplitter->GetMinimumPaneSize()});
  // The view: as wide as the inner splitter lets a pane be, as high as the
  // notebook beside it needs.
  const int upperWidth = innerSplitter->GetMinimumPaneSize() + innerSplitter->GetSashSize() + notebookWidth +
                         2 * innerSplitter->GetBorderSize();
  const int border = 2 * outerSplitter->GetBorderSize();
  return wxSize(std::max(strip.x, upperWidth) + border,
                LowestUpperArea() + outerSplitter->GetSashSize() + stripHeight + border);
}

void MainFrame::OnIdle(wxIdleEvent& event) {
  event.Skip();
  KeepSmallestSize();
}

void MainFrame::KeepSmallestSize() {
  // Full screen shows the view alone.
  if (IsFullScreen() || !outerSplitter->IsSplit() || !innerSplitter->IsSplit()) return;
  // The outer sash stops where the view and the notebook beside it would get
  // lower than the pages need (a taller strip would make the window's
  // smallest size, and so the window, grow); one above it moves down there.
  const int upperHeight = LowestUpperArea();
  if (innerSplitter->GetMinHeight() != upperHeight) {
    innerSplitter->SetMinSize(wxSize(-1, upperHeight));
    // A position the splitter can take at once: one it cannot would stay
    // pending and keep the splitter from following the window's size.
    const int lowest = upperHeight + outerSplitter->GetBorderSize();
    if (outerSplitter->GetSashPosition() < lowest) outerSplitter->SetSashPosition(lowest);
  }
  const wxSize client = SmallestClientSize();
  // The menu bar, the status bar and, once the window manager has told them,
  // the decorations.
  const wxSize chrome = GetSize() - GetClientSize();
  if (client == smallestClient_ && chrome == chrome_) return;
  smallestClient_ = client;
  chrome_ = chrome;
  SetMinSize(client + chrome);
}
