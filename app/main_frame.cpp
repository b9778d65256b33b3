#include "app/main_frame.h"

#include <gtk/gtk.h>
#include <wx/icon.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/panel.h>

#include <algorithm>

#include "app/app.h"
#include "app/app_globals.h"
#include "app/camera_panel.h"
#include "app/gl_view.h"
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
  wxSize size;
};

gboolean frame_OnFirstFrameExtents(GtkWidget* widget, GdkEventProperty* event, gpointer data) {
  if (event->atom != gdk_atom_intern_static_string("_NET_FRAME_EXTENTS")) return FALSE;
  const FrameSizeRequest request = *static_cast<FrameSizeRequest*>(data);
  g_signal_handlers_disconnect_by_data(widget, data);  // frees data
  request.frame->CallAfter([request] { request.frame->SetSize(request.size); });
  return FALSE;
}

void frame_AskSizeAgainWithDecorations(wxFrame* frame, const wxSize& size) {
  // Through void (*)(): GTK calls the handler with its own signature.
  const auto handler = reinterpret_cast<GCallback>(reinterpret_cast<void (*)()>(frame_OnFirstFrameExtents));
  g_signal_connect_data(frame->GetHandle(), "property-notify-event", handler, new FrameSizeRequest{frame, size},
                        [](gpointer data, GClosure*) { delete static_cast<FrameSizeRequest*>(data); },
                        G_CONNECT_AFTER);
}

}  // namespace

MainSplitter::MainSplitter(wxFrame* parent, wxWindowID id)
    : wxSplitterWindow(parent, id, wxDefaultPosition, wxDefaultSize, kMainSplitterStyle, "splitter") {}

MainSplitter::MainSplitter(wxSplitterWindow* parent, wxWindowID id)
    : wxSplitterWindow(parent, id, wxDefaultPosition, wxDefaultSize, kMainSplitterStyle, "splitter") {}

bool MainSplitter::OnSashPositionChange(int newSashPosition) {
  return wxSplitterWindow::OnSashPositionChange(newSashPosition);
}

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
  EVT_MENU(kMenuExitId, MainFrame::OnQuit)
  EVT_MENU(kMenuAboutId, MainFrame::OnAbout)
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
  frame_AskSizeAgainWithDecorations(this, size);
}

MainFrame::~MainFrame() {
  if (g_mainFrame == this) g_mainFrame = nullptr;
}

void MainFrame::OnQuit(wxCommandEvent& /*event*/) { Close(true); }

void MainFrame::OnAbout(wxCommandEvent& /*event*/) {
  wxMessageBox("Tavrin v1: character animation from motion capture, drawn with OpenGL.\n",
               "About Tavrin", wxOK | wxICON_INFORMATION, this);
}
