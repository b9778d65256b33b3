#include "app/main_frame.h"

#include <wx/icon.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/panel.h>

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

  // Registered only now, after the console has restored "cvar.ini".
  static ConsoleVariable<int> glWidth("gl.width", 640);
  static ConsoleVariable<int> glHeight("gl.height", 480);

  outerSplitter->SplitHorizontally(innerSplitter, playerPanel);
  outerSplitter->SetSashPosition(glHeight, true);
  outerSplitter->SetMinimumPaneSize(kOuterMinimumPaneSize);
  innerSplitter->SplitVertically(glView, notebook);
  innerSplitter->SetSashPosition(glWidth, true);

  CreateStatusBar(2, wxSTB_SIZEGRIP, 0);
  SetStatusText("Ready", 0);
}

MainFrame::~MainFrame() {
  if (g_mainFrame == this) g_mainFrame = nullptr;
}

void MainFrame::OnQuit(wxCommandEvent& /*event*/) { Close(true); }

void MainFrame::OnAbout(wxCommandEvent& /*event*/) {
  wxMessageBox("Tavrin v1: character animation from motion capture, drawn with OpenGL.\n",
               "About Tavrin", wxOK | wxICON_INFORMATION, this);
}
