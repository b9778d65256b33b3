// The whole main window built and shown on the X display (Xvfb in the test
// command), with the engine started as the program starts it: where the
// panels' controls stand at the window's sizes, which pane takes a change of
// the window's size, where the keyboard is when the window opens, and the
// menu's shortcuts. An assertion of the GUI library fails the running test.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/choice.h>
#include <wx/modalhook.h>
#include <wx/notebook.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/app_globals.h"
#include "app/camera_panel.h"
#include "app/control_panel.h"
#include "app/gl_view.h"
#include "app/main_frame.h"
#include "app/motions_panel.h"
#include "app/player_panel.h"
#include "tests/support/gui_app.h"
#include "tests/support/skip.h"

// After the other headers: X11's macros (None, Status) would clash.
#include <X11/Xlib.h>

// The program's application object defines it; this test has its own.
MainFrame* g_mainFrame = nullptr;

// Sizes in the test's messages.
void PrintTo(const wxSize& size, std::ostream* os) { *os << size.x << "x" << size.y; }

namespace {

// Whether every window of `window` that shows has the size that GTK gave it:
// the sizes the program set are all carried out, none is waiting for GTK's
// next layout pass.
bool mainframe_LaidOut(const wxWindow* window) {
  for (const wxWindow* child : window->GetChildren()) {
    if (!child->IsShownOnScreen() || child->IsTopLevel()) continue;
    GtkAllocation given;
    gtk_widget_get_allocation(child->GetHandle(), &given);
    if (wxSize(given.width, given.height) != child->GetSize() || !mainframe_LaidOut(child)) return false;
  }
  return true;
}

// Runs the event loop until the frame shows at `size` with its windows laid
// out (and `also` holds), with a deadline far beyond the usual wait.
void mainframe_Settle(const wxWindow* frame, const wxSize& size,
                      const std::function<bool()>& also = [] { return true; }) {
  const auto settled = [&] {
    return frame->IsShownOnScreen() && frame->GetSize() == size && mainframe_LaidOut(frame) && also();
  };
  ASSERT_TRUE(RunGuiEventLoopUntil(settled, 30000))
      << "the frame did not settle at " << size.x << "x" << size.y << " within 30 s";
}

// The main frame as the program builds it ("Tavrin v1" at (50, 50), 800 x
// 630, the engine started inside), shown, with the pointer away from it: the
// pointer over the 3-D view would give it the focus by itself.
class MainFrameGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!StartGuiLibrary()) TAVRIN_SKIP_TEST("no X display to build windows on; test skipped");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, DisplayWidth(display, 0) - 1,
                 DisplayHeight(display, 0) - 1);
    XCloseDisplay(display);
    frame_ = new MainFrame("Tavrin v1", wxPoint(50, 50), wxSize(800, 630));
    frame_->Show(true);
    g_mainFrame = frame_;
    mainframe_Settle(frame_, wxSize(800, 630));
  }
  void TearDown() override {
    if (frame_ == nullptr) return;
    g_mainFrame = nullptr;
    const wxWindow* frame = frame_;
    frame_->Destroy();  // at the next idle time
    EXPECT_TRUE(RunGuiEventLoopUntil([frame] { return wxTopLevelWindows.Find(frame) == nullptr; }, 30000));
    GlobalShutdown();
  }

  // Resizes the frame and lets the splitters, the notebook and the panels
  // follow. Without a window manager the library itself keeps the frame at
  // least at its smallest size.
  void ResizeTo(const wxSize& size) {
    frame_->SetSize(size);
    wxSize taken = size;
    taken.IncTo(frame_->GetMinSize());
    mainframe_Settle(frame_, taken);
  }

  MainFrame* frame_ = nullptr;
};

std::string mainframe_Describe(const wxWindow* control) {
  const wxRect r = control->GetRect();
  return wxString(control->GetClassInfo()->GetClassName()).utf8_string() + " \"" + control->GetLabel().utf8_string() +
         "\" at " + std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

// The checks that every panel passes at every size: its controls lie inside
// it and do not overlap one another (a static box and the controls inside
// it aside), and every choice, spin control and slider is at least its best
// height (a slider any shorter cuts off its range labels).
void mainframe_CheckPanel(const wxWindow* panel, const std::string& where) {
  SCOPED_TRACE(where);
  const wxRect inside(wxPoint(0, 0), panel->GetClientSize());
  std::vector<const wxWindow*> controls;
  for (const wxWindow* child : panel->GetChildren()) {
    if (child->IsShown()) controls.push_back(child);
  }
  ASSERT_GE(controls.size(), 2u);
  for (const wxWindow* control : controls) {
    EXPECT_TRUE(inside.Contains(control->GetRect())) << mainframe_Describe(control) << " reaches out of the panel, "
                                                     << inside.width << "x" << inside.height;
    if (dynamic_cast<const wxChoice*>(control) != nullptr || dynamic_cast<const wxSpinCtrl*>(control) != nullptr ||
        dynamic_cast<const wxSlider*>(control) != nullptr) {
      EXPECT_GE(control->GetSize().y, control->GetBestSize().y) << mainframe_Describe(control);
    }
  }
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const wxWindow* a = controls[i];
      const wxWindow* b = controls[j];
      const bool boxed = (dynamic_cast<const wxStaticBox*>(a) != nullptr && a->GetRect().Contains(b->GetRect())) ||
                         (dynamic_cast<const wxStaticBox*>(b) != nullptr && b->GetRect().Contains(a->GetRect()));
      if (!boxed) {
        EXPECT_FALSE(a->GetRect().Intersects(b->GetRect()))
            << mainframe_Describe(a) << " overlaps " << mainframe_Describe(b);
      }
    }
  }
}

// A choice of a notebook page shows its longest item whole when the page
// leaves room for it (its best width, its margins in its box and the
// column's margins); on a narrower page it takes all the room there is.
void mainframe_CheckPageChoice(const wxWindow* page, const wxChoice* choice, const std::string& where) {
  const int needed = PageColumnLeft() + 2 * kChoiceInset + choice->GetBestSize().x + kPageGap;
  const int room = page->GetClientSize().x;
  std::cout << where << ": choice \"" << choice->GetStringSelection().utf8_string() << "\" best width "
            << choice->GetBestSize().x << ", whole on a page at least " << needed << " wide; the page is " << room
            << " wide (notebook pane " << page->GetParent()->GetSize().x << "), the choice " << choice->GetSize().x
            << "\n";
  if (room >= needed) {
    EXPECT_GE(choice->GetSize().x, choice->GetBestSize().x) << where;
  } else {
    EXPECT_EQ(choice->GetRect().GetRight() + 1, room - kPageGap - kChoiceInset) << where;
  }
}

void mainframe_CheckAll(MainFrame* frame, const std::string& size) {
  SCOPED_TRACE("frame " + size);
  frame->notebook->SetSelection(0);
  mainframe_Settle(frame, frame->GetSize(), [frame] { return frame->motionsPanel->IsShownOnScreen(); });
  mainframe_CheckPanel(frame->motionsPanel, "Motions page");
  mainframe_CheckPageChoice(frame->motionsPanel, frame->motionsPanel->motionChoice, size + " Motions page");
  frame->notebook->SetSelection(1);
  mainframe_Settle(frame, frame->GetSize(), [frame] { return frame->cameraPanel->IsShownOnScreen(); });
  mainframe_CheckPanel(frame->cameraPanel, "Camera page");
  for (const wxChoice* choice : {frame->cameraPanel->stateChoice, frame->cameraPanel->entityChoice}) {
    mainframe_CheckPageChoice(frame->cameraPanel, choice, size + " Camera page");
  }
  mainframe_CheckPanel(frame->playerPanel, "player strip");
  const wxChoice* controllers = frame->playerPanel->controllerChoice;
  EXPECT_GE(controllers->GetSize().x, controllers->GetBestSize().x) << mainframe_Describe(controllers);
}

TEST_F(MainFrameGuiTest, PanelsKeepTheirControlsApartAtEverySize) {
  mainframe_CheckAll(frame_, "800x630");
  // The client area that a window manager's decorations leave at 800 x 630.
  ResizeTo(wxSize(798, 605));
  mainframe_CheckAll(frame_, "798x605");
  ResizeTo(wxSize(1100, 800));
  mainframe_CheckAll(frame_, "1100x800");
  // The smallest size the window allows, and 700 x 500, too narrow for the
  // strip: the window stays wider.
  ResizeTo(wxSize(1, 1));
  EXPECT_EQ(frame_->GetSize(), frame_->GetMinSize());
  mainframe_CheckAll(frame_, "smallest");
  ResizeTo(wxSize(700, 500));
  mainframe_CheckAll(frame_, "700x500");
  // A notebook pane too narrow for "TRACKENTITY", its sash dragged.
  ResizeTo(wxSize(800, 630));
  frame_->innerSplitter->SetSashPosition(frame_->innerSplitter->SashForSecondPane(136));
  mainframe_Settle(frame_, frame_->GetSize());
  mainframe_CheckAll(frame_, "notebook 136 wide");
  // Controls do not grow with the strip: a taller strip leaves the choice
  // at its best height.
  EXPECT_EQ(frame_->playerPanel->controllerChoice->GetSize().y, frame_->playerPanel->controllerChoice->GetBestSize().y);
}

TEST_F(MainFrameGuiTest, TheViewTakesEveryChangeOfTheWindowSize) {
  // The view starts at gl.width x gl.height.
  const wxSize view = frame_->glView->GetSize();
  EXPECT_EQ(view, wxSize(640, 480));
  const wxSize strip = frame_->playerPanel->GetSize();
  const wxSize notebook = frame_->notebook->GetSize();
  const wxSize start = frame_->GetSize();
  for (const wxSize& size : {wxSize(1100, 800), wxSize(1, 1), wxSize(700, 500), start}) {
    ResizeTo(size);
    const wxSize grown = frame_->GetSize() - start;
    SCOPED_TRACE("asked " + std::to_string(size.x) + "x" + std::to_string(size.y) + ", grown by " +
                 std::to_string(grown.x) + "x" + std::to_string(grown.y));
    EXPECT_EQ(frame_->glView->GetSize(), view + grown);
    EXPECT_EQ(frame_->playerPanel->GetSize(), wxSize(strip.x + grown.x, strip.y));
    EXPECT_EQ(frame_->notebook->GetSize(), wxSize(notebook.x, notebook.y + grown.y));
  }
  // The strip made taller stops where the notebook beside the view would get
  // lower than its pages; the window keeps its size.
  frame_->outerSplitter->SetSashPosition(100);
  mainframe_Settle(frame_, start);
  EXPECT_EQ(frame_->notebook->GetSize().y, frame_->notebook->GetBestSize().y);
}

// Answers every modal dialog with OK before it shows, counting them.
class mainframe_DialogAnswer : public wxModalDialogHook {
 public:
  int shown = 0;

 protected:
  int Enter(wxDialog* /*dialog*/) override {
    ++shown;
    return wxID_OK;
  }
  void Exit(wxDialog* /*dialog*/) override {}
};

// The key-downs that reach the application object (where the program hands
// them to the console): key code and modifiers.
struct mainframe_KeyDowns {
  std::vector<std::pair<int, int>> keys;
  void OnKeyDown(wxKeyEvent& event) {
    keys.emplace_back(event.GetKeyCode(), event.GetModifiers());
    event.Skip();
  }
};

// A press and release of the key `keyval` with the modifiers `state` held,
// as the X server delivers them to the frame, handed straight to GTK: the
// key reaches the frame's focused window whatever the other tests on the
// display do with the X pointer and focus. GTK handles it at once.
void mainframe_Press(const wxFrame* frame, guint keyval, guint state) {
  GdkWindow* window = gtk_widget_get_window(frame->GetHandle());
  GdkDisplay* display = gdk_window_get_display(window);
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = state;
    event->key.keyval = keyval;
    event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  g_free(keys);
}

TEST_F(MainFrameGuiTest, AMenuShortcutIsTheMenusAlone) {
  mainframe_DialogAnswer dialogs;
  dialogs.Register();
  int closes = 0;
  frame_->Bind(wxEVT_CLOSE_WINDOW, [&closes](wxCloseEvent&) { ++closes; });  // the frame stays
  mainframe_KeyDowns seen;
  wxTheApp->Bind(wxEVT_KEY_DOWN, &mainframe_KeyDowns::OnKeyDown, &seen);
  // The key-downs of one key press that went on past the frame.
  using Keys = std::vector<std::pair<int, int>>;
  const auto press = [&](guint keyval, guint state) {
    seen.keys.clear();
    mainframe_Press(frame_, keyval, state);
    return seen.keys;
  };

  frame_->glView->SetFocus();
  EXPECT_EQ(press(GDK_KEY_a, GDK_CONTROL_MASK), Keys{});
  EXPECT_EQ(press(GDK_KEY_x, GDK_MOD1_MASK), Keys{});
  // Other keys with Ctrl or Alt go on, as without a menu.
  EXPECT_EQ(press(GDK_KEY_b, GDK_CONTROL_MASK), (Keys{{'B', wxMOD_CONTROL}}));
  EXPECT_EQ(press(GDK_KEY_Return, GDK_MOD1_MASK), (Keys{{WXK_RETURN, wxMOD_ALT}}));
  EXPECT_EQ(std::make_pair(dialogs.shown, closes), std::make_pair(1, 1));

  // The speed number focused, its cursor at the start: Ctrl-A does not
  // select its text either.
  wxSpinCtrl* spin = frame_->playerPanel->speedSpin;
  spin->SetFocus();
  ASSERT_EQ(gtk_window_get_focus(GTK_WINDOW(frame_->GetHandle())), spin->GetHandle());
  GtkEditable* text = GTK_EDITABLE(spin->GetHandle());
  gtk_editable_select_region(text, 0, 0);
  EXPECT_EQ(press(GDK_KEY_a, GDK_CONTROL_MASK), Keys{});
  EXPECT_EQ(dialogs.shown, 2);
  EXPECT_FALSE(gtk_editable_get_selection_bounds(text, nullptr, nullptr));

  wxTheApp->Unbind(wxEVT_KEY_DOWN, &mainframe_KeyDowns::OnKeyDown, &seen);
  dialogs.Unregister();
}

// Counts the frames that GTK's paint cycles draw: a panel of its own, which
// GlobalUpdate refreshes once per frame.
class PaintCycleFrames : public ControlPanelEntry {
 public:
  explicit PaintCycleFrames(GtkWidget* window) : clock_(gtk_widget_get_frame_clock(window)) {
    const auto begin = +[](GdkFrameClock*, gpointer self) { static_cast<PaintCycleFrames*>(self)->inCycle_ = 0; };
    const auto end = +[](GdkFrameClock*, gpointer self) {
      auto* counter = static_cast<PaintCycleFrames*>(self);
      counter->cycles.push_back(counter->inCycle_);
      counter->inCycle_ = -1;
    };
    handlers_[0] = g_signal_connect(clock_, "before-paint", G_CALLBACK(begin), this);
    handlers_[1] = g_signal_connect(clock_, "after-paint", G_CALLBACK(end), this);
  }
  ~PaintCycleFrames() override {
    for (gulong handler : handlers_) g_signal_handler_disconnect(clock_, handler);
  }
  void UpdateControls() override {
    if (inCycle_ >= 0) ++inCycle_;
  }
  // The frames drawn in each paint cycle so far.
  std::vector<int> cycles;

 private:
  GdkFrameClock* clock_;
  gulong handlers_[2] = {0, 0};
  int inCycle_ = -1;
};

// When the whole window is painted again (as when it first shows), GTK paints
// the view twice in one cycle, once with the frame and once for the view's
// own window; the view draws one frame per cycle, so whatever came meanwhile
// (a close request) is handled before the next frame.
TEST_F(MainFrameGuiTest, TheViewDrawsOneFrameInEachPaintCycle) {
  PaintCycleFrames counter(frame_->GetHandle());
  for (int i = 0; i < 3; ++i) {
    counter.cycles.clear();
    gtk_widget_queue_draw(frame_->GetHandle());
    // Until a cycle has painted the view (others paint only a part of the
    // window, such as the strip's slider).
    const auto mostFrames = [&counter] {
      return counter.cycles.empty() ? 0 : *std::max_element(counter.cycles.begin(), counter.cycles.end());
    };
    for (int waited = 0; mostFrames() == 0 && waited < 10000; waited += 20) RunGuiEventLoop(20);
    EXPECT_EQ(mostFrames(), 1) << "repaint " << i;
  }
}

TEST_F(MainFrameGuiTest, TheViewHasTheKeyboardWhenTheWindowOpens) {
  GtkWindow* window = GTK_WINDOW(frame_->GetHandle());
  const GtkWidget* view = frame_->glView->GetHandle();
  RunGuiEventLoopUntil([window, view] { return gtk_window_get_focus(window) == view; }, 30000);
  GtkWidget* focus = gtk_window_get_focus(window);
  EXPECT_EQ(focus, frame_->glView->GetHandle()) << "the focus is on a " << (focus ? G_OBJECT_TYPE_NAME(focus) : "null");
  EXPECT_EQ(frame_->notebook->GetSelection(), 1);
}

}  // namespace
