// The control panels as real GUI windows: each test builds a panel in a
// frame of its own on the X display (Xvfb in the test command), injects the
// events that the user's clicks would raise into its controls, and checks the
// engine. An assertion of the GUI library fails the running test instead of
// opening a dialog. Skips when there is no display.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <vector>

#include "tests/support/skip.h"
#include "app/camera_controls.h"
#include "app/camera_panel.h"
#include "app/motions_panel.h"
#include "app/player_panel.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "world/camera.h"

namespace {

void guitest_Assert(const wxString& file, int line, const wxString& func, const wxString& cond,
                    const wxString& msg) {
  ADD_FAILURE_AT(file.utf8_str(), line) << "wxWidgets assertion in " << func.utf8_string() << "(): "
                                        << cond.utf8_string() << " " << msg.utf8_string();
}

// The GUI library, started once per test program, with an event loop for
// yielding; not started when there is no display.
class GuiEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    wxSetAssertHandler(guitest_Assert);
    static int argc = 1;
    static char program[] = "panels_gui_tests";
    static char* argv[] = {program, nullptr};
    wxApp::SetInstance(new wxApp);
    started = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
    if (!started) return;
    loop = new wxEventLoop;
    activator = new wxEventLoopActivator(loop);
  }
  void TearDown() override {
    if (!started) return;
    delete activator;
    delete loop;
    wxTheApp->OnExit();
    wxEntryCleanup();
  }

  static bool started;
  static wxEventLoop* loop;

 private:
  wxEventLoopActivator* activator = nullptr;
};
bool GuiEnvironment::started = false;
wxEventLoop* GuiEnvironment::loop = nullptr;
testing::Environment* const g_guiEnvironment = testing::AddGlobalTestEnvironment(new GuiEnvironment);

// Runs what the display has queued (mapping, sizes).
void guitest_Flush() {
  for (int i = 0; i < 5; ++i) GuiEnvironment::loop->YieldFor(wxEVT_CATEGORY_ALL);
}

// Raises the event that the user's action on `control` raises, the control
// already showing the new value: the event goes to the control and on up to
// its panel.
template <class Event = wxCommandEvent>
void guitest_Raise(wxWindow* control, wxEventType type, int value = 0) {
  Event event(type, control->GetId());
  event.SetEventObject(control);
  event.SetInt(value);
  control->GetEventHandler()->ProcessEvent(event);
}

void guitest_Choose(wxChoice* choice, const char* item) {
  ASSERT_TRUE(choice->SetStringSelection(item)) << item;
  guitest_Raise(choice, wxEVT_CHOICE, choice->GetSelection());
}

void guitest_Slide(wxSlider* slider, int value) {
  slider->SetValue(value);
  guitest_Raise(slider, wxEVT_SLIDER, value);
}

// The player strip's size in these tests.
const wxSize kStripSize(700, 100);

// A frame of its own per test, with a host window for the panels (a frame
// would stretch a single child over its whole client area). Destroying the
// frame destroys the panels, which must leave the list of control panels.
class PanelsGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!GuiEnvironment::started) TAVRIN_SKIP_TEST("no X display to build windows on; test skipped");
    frame = new wxFrame(nullptr, wxID_ANY, "panels", wxPoint(0, 0), wxSize(800, 300));
    host = new wxPanel(frame);
    frame->Show();
  }
  void TearDown() override {
    delete frame;
    EXPECT_TRUE(g_controlPanels.empty());
  }

  wxFrame* frame = nullptr;
  wxPanel* host = nullptr;
};

TEST_F(PanelsGuiTest, PlayerStripFollowsTheControllerMapAndDrivesTheChosenController) {
  // Built before start-up has made any controller, as the main frame does.
  auto* strip = new PlayerPanel(host, 7, wxDefaultPosition, kStripSize, wxTAB_TRAVERSAL, "panel");
  guitest_Raise(strip->playButton, wxEVT_BUTTON);  // no controller yet: nothing happens
  Motion walkMotion("walk", 30, 0);
  Motion idleMotion("idle", 50, 0);
  MotionController walk(&walkMotion, 0, 1.0f);
  MotionController idle(&idleMotion, 0, 1.0f);
  auto sliderState = [strip] {
    const wxSlider* slider = strip->positionSlider;
    return std::vector<int>{slider->GetMin(), slider->GetMax(), slider->GetValue()};
  };

  // The first frame lists both and chooses the first name in sorted order.
  strip->UpdateControls();
  EXPECT_EQ(strip->controllerChoice->GetCount(), 2u);
  EXPECT_EQ(strip->controllerChoice->GetStringSelection(), "idle");
  EXPECT_EQ(strip->currentController, &idle);
  EXPECT_EQ(sliderState(), (std::vector<int>{1, 50, 1}));
  EXPECT_EQ(strip->speedSpin->GetValue(), 100);

  idle.currentFrame = 20;  // as playing would
  strip->UpdateControls();
  EXPECT_EQ(sliderState(), (std::vector<int>{1, 50, 21}));
  guitest_Raise(strip->stopButton, wxEVT_BUTTON);
  EXPECT_FALSE(idle.playing);
  EXPECT_EQ(idle.currentFrame, 0);
  guitest_Raise(strip->playButton, wxEVT_BUTTON);
  EXPECT_TRUE(idle.playing);
  guitest_Slide(strip->positionSlider, 50);
  EXPECT_EQ(idle.currentFrame, 49);
  EXPECT_FALSE(idle.playing);
  strip->speedSpin->SetValue(50);
  guitest_Raise<wxSpinEvent>(strip->speedSpin, wxEVT_SPINCTRL, 50);
  EXPECT_FLOAT_EQ(idle.speed, 0.5f);

  guitest_Choose(strip->controllerChoice, "walk");
  EXPECT_EQ(strip->currentController, &walk);
  EXPECT_EQ(sliderState(), (std::vector<int>{1, 30, 1}));
  EXPECT_EQ(strip->speedSpin->GetValue(), 100);
  // A controller registered later is listed; the user's choice stays, by
  // name, though the new name sorts before it.
  Motion earlyMotion("aardvark", 10, 0);
  MotionController early(&earlyMotion, 0, 1.0f);
  walk.currentFrame = 3;
  strip->UpdateControls();
  EXPECT_EQ(strip->controllerChoice->GetCount(), 3u);
  EXPECT_EQ(strip->controllerChoice->GetStringSelection(), "walk");
  EXPECT_EQ(strip->currentController, &walk);
  EXPECT_EQ(sliderState(), (std::vector<int>{1, 30, 4}));
  delete strip;  // before its controllers
}

TEST_F(PanelsGuiTest, PlayerStripLaysOutItsRowUnderTheSliderAndTheChoiceInItsBox) {
  auto* strip = new PlayerPanel(host, 7, wxDefaultPosition, kStripSize, wxTAB_TRAVERSAL, "panel");
  strip->Layout();
  guitest_Flush();
  const wxRect slider = strip->positionSlider->GetRect();
  EXPECT_EQ(slider, wxRect(5, 5, 525, 50));
  wxWindow* const row[] = {strip->rewindButton, strip->stepBackButton, strip->stopButton,
                           strip->playButton,   strip->pauseButton,    strip->stepForwardButton,
                           strip->endButton,    strip->speedSpin};
  int left = slider.x - 5;
  for (wxWindow* control : row) {
    SCOPED_TRACE(control->GetLabel().utf8_string());
    EXPECT_EQ(control->GetPosition(), wxPoint(left + 5, slider.GetBottom() + 1));
    left = control->GetRect().GetRight() + 1;
  }
  EXPECT_GE(strip->speedSpin->GetSize().x, 50);
  const wxRect box = strip->controllerBox->GetRect();
  EXPECT_EQ(box, wxRect(700 - 5 - 140, 5, 140, 75));
  const wxRect choice = strip->controllerChoice->GetRect();
  EXPECT_EQ(choice.y, box.y + 15);
  EXPECT_TRUE(box.Contains(choice));
}

TEST_F(PanelsGuiTest, CameraPageSetsTheCameraAndFollowsItsVariables) {
  g_camera = new Camera();
  auto* page = new CameraPanel(host, 8, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel");
  guitest_Flush();
  // The camera's own start-up state.
  EXPECT_EQ(page->stateChoice->GetStringSelection(), kTrackEntityItem);
  EXPECT_EQ(page->entityChoice->GetStringSelection(), "root");
  EXPECT_EQ(page->entityChoice->GetCount(), 3u);  // camera, root, test
  std::vector<wxRect> places;
  for (const wxWindow* control : std::initializer_list<const wxWindow*>{
           page->stateBox, page->lockOnBox, page->speedSlider, page->hdistSlider, page->vdistSlider}) {
    places.push_back(control->GetRect());
  }
  EXPECT_EQ(places, (std::vector<wxRect>{{6, 10, 117, 40}, {6, 50, 117, 40}, {6, 95, 117, 40},
                                          {6, 140, 117, 40}, {6, 180, 117, 40}}));
  EXPECT_EQ(page->stateChoice->GetPosition(), wxPoint(14, 25));
  EXPECT_EQ(page->entityChoice->GetPosition(), wxPoint(14, 65));
  std::vector<wxPoint> labels;  // the panel's children, inside their sliders
  for (wxWindow* child : page->GetChildren()) {
    if (dynamic_cast<wxStaticText*>(child) != nullptr) labels.push_back(child->GetPosition());
  }
  EXPECT_EQ(labels, (std::vector<wxPoint>{{11, 115}, {11, 160}, {11, 200}}));

  guitest_Choose(page->stateChoice, kFreeRoamItem);
  EXPECT_EQ(g_camera->GetMode(), Camera::kFreeRoam);
  guitest_Choose(page->entityChoice, "test");
  EXPECT_EQ(g_camera->GetTarget()->GetName(), "test");
  EXPECT_EQ(g_camera->GetMode(), Camera::kTrackEntity);

  ConsoleVariable<float> speed("camera.speed", 0.0f);
  ConsoleVariable<float> hdist("camera.hdist", 0.0f);
  ConsoleVariable<float> vdist("camera.vdist", 0.0f);
  guitest_Slide(page->speedSlider, 100);
  guitest_Slide(page->hdistSlider, 0);
  guitest_Slide(page->vdistSlider, 50);
  EXPECT_EQ(std::vector<float>({speed, hdist, vdist}), std::vector<float>({4.0f, 0.5f, 5.25f}));
  // Values set elsewhere (the console) move the sliders at the next frame,
  // never past their ends.
  speed = 1.75f;
  hdist = 20.0f;
  vdist = -1.0f;
  page->UpdateControls();
  EXPECT_EQ(std::vector<int>({page->speedSlider->GetValue(), page->hdistSlider->GetValue(),
                              page->vdistSlider->GetValue()}),
            std::vector<int>({40, 100, 0}));
}

TEST_F(PanelsGuiTest, MotionsPageKeepsAnEmptyChoiceInItsBox) {
  Motion walkMotion("walk", 30, 0);
  MotionController walk(&walkMotion, 0, 1.0f);
  auto* page = new MotionsPanel(host, 9, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel");
  page->SetSize(300, 400);
  page->UpdateControls();
  guitest_Flush();
  EXPECT_EQ(page->motionChoice->GetCount(), 0u);
  EXPECT_EQ(page->motionsBox->GetRect(), wxRect(6, 10, 117, 40));
  EXPECT_EQ(page->motionChoice->GetPosition(), wxPoint(14, 25));
}

}  // namespace
