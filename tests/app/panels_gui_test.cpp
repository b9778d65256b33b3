// The control panels as real GUI windows on the X display (Xvfb in the test
// command): each test builds a panel, raises the events that the user's
// clicks would raise in its controls and checks the engine. An assertion of
// the GUI library fails the running test. Where the controls stand is what
// the end-to-end test of the panels finds them by.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/camera_controls.h"
#include "app/camera_panel.h"
#include "app/control_keys.h"
#include "app/player_panel.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/support/gui_app.h"
#include "tests/support/skip.h"
#include "world/camera.h"

namespace {

// A frame of its own per test; destroying it destroys the panels, which must
// leave the list of control panels.
class PanelsGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!StartGuiLibrary()) TAVRIN_SKIP_TEST("no X display to build windows on; test skipped");
    frame_ = new wxFrame(nullptr, wxID_ANY, "panels");
  }
  void TearDown() override {
    delete frame_;
    EXPECT_TRUE(g_controlPanels.empty());
  }
  // Raises the event of the user's action on `control`, which already shows
  // the new value: the event goes to the control and on up to its panel.
  template <class Event = wxCommandEvent>
  static void Raise(wxWindow* control, wxEventType type, int value = 0) {
    Event event(type, control->GetId());
    event.SetEventObject(control);
    event.SetInt(value);
    control->GetEventHandler()->ProcessEvent(event);
  }
  static void Choose(wxChoice* choice, const wxString& item) {
    ASSERT_TRUE(choice->SetStringSelection(item)) << item;
    Raise(choice, wxEVT_CHOICE, choice->GetSelection());
  }
  static void Slide(wxSlider* slider, int value) {
    slider->SetValue(value);
    Raise(slider, wxEVT_SLIDER, value);
  }

  wxFrame* frame_ = nullptr;
};

TEST_F(PanelsGuiTest, PlayerStripFollowsTheControllerMapAndDrivesTheChosenController) {
  // Built before start-up has made any controller, as the main frame does.
  auto* strip = new PlayerPanel(frame_, 7, wxDefaultPosition, wxSize(700, 100), wxTAB_TRAVERSAL, "panel");
  Raise(strip->playButton, wxEVT_BUTTON);  // no controller yet: nothing happens
  Motion walkMotion("walk", 30, 0);
  Motion idleMotion("idle", 50, 0);
  MotionController walk(&walkMotion, 0, 1.0f);
  MotionController idle(&idleMotion, 0, 1.0f);
  auto shown = [strip] {
    const wxSlider* slider = strip->positionSlider;
    return std::vector<int>{slider->GetMin(), slider->GetMax(), slider->GetValue(), strip->speedSpin->GetValue()};
  };
  // The first frame lists both and shows the first name in sorted order (the
  // slider's range and value, the speed spin, tell which controller is shown).
  idle.currentFrame = 20;
  strip->UpdateControls();
  EXPECT_EQ(strip->controllerChoice->GetCount(), 2u);
  EXPECT_EQ(shown(), (std::vector<int>{1, 50, 21, 100}));
  Raise(strip->stopButton, wxEVT_BUTTON);
  EXPECT_EQ(idle.currentFrame, 0);
  Raise(strip->playButton, wxEVT_BUTTON);
  EXPECT_TRUE(idle.playing);
  Slide(strip->positionSlider, 50);
  EXPECT_EQ(idle.currentFrame, 49);
  strip->speedSpin->SetValue(150);
  Raise<wxSpinEvent>(strip->speedSpin, wxEVT_SPINCTRL, 150);
  EXPECT_FLOAT_EQ(idle.speed, 1.5f);

  walk.speed = 0.5f;
  Choose(strip->controllerChoice, "walk");
  EXPECT_EQ(shown(), (std::vector<int>{1, 30, 1, 50}));
  // A controller registered later is listed; the user's choice stays, by
  // name, though the new name sorts before it.
  Motion earlyMotion("aardvark_and_a_long_name", 10, 0);
  MotionController early(&earlyMotion, 0, 1.0f);
  walk.currentFrame = 3;
  strip->UpdateControls();
  EXPECT_EQ(strip->controllerChoice->GetCount(), 3u);
  EXPECT_EQ(strip->controllerChoice->GetStringSelection(), "walk");
  EXPECT_EQ(shown(), (std::vector<int>{1, 30, 4, 50}));
  // The choice widens with its longest name.
  EXPECT_GE(strip->controllerChoice->GetSize().x, strip->controllerChoice->GetBestSize().x);
  delete strip;  // before its controllers
}

// The space between the first frame's digits and the current frame's on the
// frame slider's row: the first frame's label comes before the GTK scale,
// which draws the current frame; both in the coordinates of one window.
int panels_FirstFrameGap(const wxSlider* slider) {
  GtkWidget* label = nullptr;
  GtkWidget* scale = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(slider->GetHandle()));
  for (GList* child = children; child != nullptr; child = child->next) {
    if (GTK_IS_LABEL(child->data) && scale == nullptr) label = GTK_WIDGET(child->data);
    if (GTK_IS_SCALE(child->data)) scale = GTK_WIDGET(child->data);
  }
  g_list_free(children);
  if (label == nullptr || scale == nullptr) return -1;
  PangoRectangle first, current;
  gint labelX = 0, scaleX = 0, y = 0;
  pango_layout_get_pixel_extents(gtk_label_get_layout(GTK_LABEL(label)), &first, nullptr);
  gtk_label_get_layout_offsets(GTK_LABEL(label), &labelX, &y);
  pango_layout_get_pixel_extents(gtk_scale_get_layout(GTK_SCALE(scale)), &current, nullptr);
  gtk_scale_get_layout_offsets(GTK_SCALE(scale), &scaleX, &y);
  return scaleX + current.x - (labelX + first.x + first.width);
}

TEST_F(PanelsGuiTest, TheFrameSliderShowsItsFirstAndCurrentFrameApart) {
  auto* strip = new PlayerPanel(frame_, 7, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel");
  frame_->SetClientSize(700, 100);
  frame_->Show();
  strip->positionSlider->SetRange(1, 660);
  strip->positionSlider->SetValue(361);
  const wxSlider* slider = strip->positionSlider;
  ASSERT_TRUE(RunGuiEventLoopUntil(
      [slider] {
        GtkAllocation given;
        gtk_widget_get_allocation(slider->GetHandle(), &given);
        return slider->IsShownOnScreen() && given.width == slider->GetSize().x;
      },
      30000));
  // "1 361": the first frame, then the current one, not "1361".
  EXPECT_GE(panels_FirstFrameGap(strip->positionSlider), 12);
}

// The items of `choice`, first to last.
std::vector<wxString> panels_Items(const wxChoice* choice) {
  std::vector<wxString> items;
  for (unsigned i = 0; i < choice->GetCount(); ++i) items.push_back(choice->GetString(i));
  return items;
}

// The strip lists the controllers as the toolkit's sorted choice did when
// given them one by one in the map's order: that choice is the reference.
// Non-ASCII capitals keep their case in a name and sort by their small
// letters; names equal but for case keep the toolkit's order too.
TEST_F(PanelsGuiTest, PlayerStripListsTheControllersAsTheToolkitsSortedChoice) {
  auto* strip = new PlayerPanel(frame_, 7, wxDefaultPosition, wxSize(700, 100), wxTAB_TRAVERSAL, "panel");
  std::vector<std::unique_ptr<Motion>> motions;
  std::vector<std::unique_ptr<MotionController>> controllers;
  const auto add = [&](const char* motion, int count) {
    motions.push_back(std::make_unique<Motion>(motion, 10 + count, 0));
    for (int i = 0; i < count; ++i) {
      controllers.push_back(std::make_unique<MotionController>(motions.back().get(), 0, 1.0f));
    }
  };
  const auto reference = [this] {
    auto* choice = new wxChoice(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxCB_SORT);
    for (const auto& entry : MotionControllerMap()) choice->Append(wxString::FromUTF8(entry.first));
    return choice;
  };
  add("walk", 12);  // walk, walk1, walk10, walk11, walk2 ...
  add("Ölfass", 1);
  add("äpfel", 2);
  add("Ärger", 1);
  add("ärger", 1);
  add("idle", 1);
  strip->UpdateControls();
  wxChoice* expected = reference();
  ASSERT_EQ(panels_Items(strip->controllerChoice), panels_Items(expected));
  // Sorting did change the map's order.
  std::vector<wxString> mapOrder;
  for (const auto& entry : MotionControllerMap()) mapOrder.push_back(wxString::FromUTF8(entry.first));
  EXPECT_NE(panels_Items(strip->controllerChoice), mapOrder);
  // The first item is selected and current.
  EXPECT_EQ(strip->controllerChoice->GetSelection(), 0);
  EXPECT_EQ(strip->currentController, MotionControllerMap().at(expected->GetString(0).utf8_string()));

  // The user's choice stays by its text when later controllers sort before
  // it; the current controller does not change.
  for (const wxString& chosen : {wxString("walk10"), wxString::FromUTF8("ärger")}) {
    Choose(strip->controllerChoice, chosen);
    MotionController* current = strip->currentController;
    add("aal", 1);
    strip->UpdateControls();
    wxChoice* refilled = reference();
    refilled->SetStringSelection(chosen);
    EXPECT_EQ(panels_Items(strip->controllerChoice), panels_Items(refilled));
    EXPECT_EQ(strip->controllerChoice->GetSelection(), refilled->GetSelection()) << chosen;
    EXPECT_EQ(strip->currentController, current);
  }
  delete strip;  // before its controllers
}

// The menu items of the menu that `choice` pops up, or -1 without one.
int panels_MenuItems(const wxChoice* choice) {
  GList* menus = gtk_menu_get_for_attach_widget(choice->GetHandle());
  if (menus == nullptr || !GTK_IS_MENU(menus->data)) return -1;
  GList* items = gtk_container_get_children(GTK_CONTAINER(menus->data));
  const int count = static_cast<int>(g_list_length(items));
  g_list_free(items);
  return count;
}

// The choice's popup menu lists every controller of the latest refill
// however it opens: a click on its button, or a key (GTK's "popup").
TEST_F(PanelsGuiTest, PlayerStripMenuListsEveryControllerWhenItOpens) {
  auto* strip = new PlayerPanel(frame_, 7, wxDefaultPosition, wxSize(700, 100), wxTAB_TRAVERSAL, "panel");
  frame_->Show();
  wxChoice* choice = strip->controllerChoice;
  ASSERT_TRUE(RunGuiEventLoopUntil([choice] { return gtk_widget_get_mapped(choice->GetHandle()); }, 30000));
  Motion motion("walk", 10, 0);
  std::vector<std::unique_ptr<MotionController>> controllers;
  GtkWidget* button = nullptr;
  gtk_container_forall(
      GTK_CONTAINER(choice->GetHandle()),
      [](GtkWidget* box, gpointer found) {
        if (!GTK_IS_CONTAINER(box)) return;
        gtk_container_foreach(
            GTK_CONTAINER(box),
            [](GtkWidget* child, gpointer found) {
              if (GTK_IS_TOGGLE_BUTTON(child)) *static_cast<GtkWidget**>(found) = child;
            },
            found);
      },
      &button);
  ASSERT_NE(button, nullptr);
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(button));
  const std::vector<std::function<void()>> opens = {
      [choice] { gtk_combo_box_popup(GTK_COMBO_BOX(choice->GetHandle())); },
      [button, seat] {
        GdkEvent* press = gdk_event_new(GDK_BUTTON_PRESS);
        press->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(button)));
        press->button.button = 1;
        press->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(press, gdk_seat_get_pointer(seat));
        gtk_widget_event(button, press);
        gdk_event_free(press);
      }};
  for (size_t way = 0; way < opens.size(); ++way) {
    for (int i = 0; i < 3; ++i) controllers.push_back(std::make_unique<MotionController>(&motion, 0, 1.0f));
    strip->UpdateControls();
    opens[way]();
    EXPECT_EQ(panels_MenuItems(choice), static_cast<int>(controllers.size())) << "way " << way;
    gtk_combo_box_popdown(GTK_COMBO_BOX(choice->GetHandle()));
  }
  delete strip;  // before its controllers
}

TEST_F(PanelsGuiTest, CameraPageSetsTheCameraAndFollowsItsVariables) {
  Camera camera;
  g_camera = &camera;
  auto* page = new CameraPanel(frame_, 8, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel");
  // The camera's own start-up state; the entities by name.
  EXPECT_EQ(page->stateChoice->GetStringSelection(), kTrackEntityItem);
  EXPECT_EQ(page->entityChoice->GetStringSelection(), "root");
  Choose(page->stateChoice, kFreeRoamItem);
  EXPECT_EQ(camera.GetMode(), Camera::kFreeRoam);
  Choose(page->entityChoice, "test");
  EXPECT_EQ(camera.GetTarget(), EntityMap().at("test"));
  EXPECT_EQ(camera.GetMode(), Camera::kTrackEntity);

  // Each slider sets its variable; values set elsewhere (the console) move
  // the sliders at the next frame, rounded, never past their ends.
  ConsoleVariable<float> speed("camera.speed", 0.0f);
  ConsoleVariable<float> hdist("camera.hdist", 0.0f);
  ConsoleVariable<float> vdist("camera.vdist", 0.0f);
  Slide(page->speedSlider, 100);
  Slide(page->hdistSlider, 0);
  Slide(page->vdistSlider, 50);
  EXPECT_EQ(std::vector<float>({speed, hdist, vdist}), std::vector<float>({4.0f, 0.5f, 5.25f}));
  speed = 1.85f;
  hdist = 20.0f;
  vdist = -1.0f;
  page->UpdateControls();
  EXPECT_EQ(std::vector<int>({page->speedSlider->GetValue(), page->hdistSlider->GetValue(),
                              page->vdistSlider->GetValue()}),
            std::vector<int>({43, 100, 0}));
  delete page;
  g_camera = nullptr;
}

TEST_F(PanelsGuiTest, AFocusedControlKeepsTheKeysItUses) {
  auto* panel = new wxPanel(frame_);
  auto* spin = new wxSpinCtrl(panel, 9, "", wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, 0, 400, 100);
  auto* slider = new wxSlider(panel, 2, 0, 0, 100);
  const wxString items[] = {"FREEROAM", "TRACKENTITY"};
  auto* choice = new wxChoice(panel, 0, wxDefaultPosition, wxDefaultSize, 2, items);
  auto* button = new wxButton(panel, 8, "Play");
  // Per key: kept by the spin control, the slider, the choice, the button,
  // the panel (not a control).
  const struct {
    int key;
    bool alt;
    std::vector<bool> kept;
  } cases[] = {
      {'1', false, {true, false, false, false, false}},
      {WXK_NUMPAD4, false, {true, false, false, false, false}},
      {'-', false, {true, false, false, false, false}},
      {WXK_BACK, false, {true, false, false, false, false}},
      {WXK_RETURN, false, {true, false, true, true, false}},
      {WXK_NUMPAD_ENTER, false, {true, false, true, true, false}},
      {WXK_LEFT, false, {true, true, true, true, false}},
      {WXK_NUMPAD_UP, false, {true, true, true, true, false}},
      {WXK_TAB, false, {true, true, true, true, false}},
      {WXK_PAGEUP, false, {true, true, true, false, false}},
      {WXK_SPACE, false, {false, false, true, true, false}},
      {'A', false, {false, false, false, false, false}},
      {'`', false, {false, false, false, false, false}},
      {'X', true, {false, false, false, false, false}},
      {WXK_RETURN, true, {false, false, false, false, false}},
  };
  const wxWindow* windows[] = {spin, slider, choice, button, panel};
  for (const auto& c : cases) {
    std::vector<bool> kept;
    for (const wxWindow* window : windows) kept.push_back(ControlKeepsKey(window, c.key, c.alt));
    EXPECT_EQ(kept, c.kept) << "key " << c.key << (c.alt ? " with Alt" : "");
  }
  EXPECT_FALSE(ControlKeepsKey(nullptr, '1', false));
  EXPECT_TRUE(IsArrowKey(WXK_RIGHT));
  EXPECT_TRUE(IsArrowKey(WXK_NUMPAD_DOWN));
  EXPECT_FALSE(IsArrowKey(WXK_HOME));
}

}  // namespace
