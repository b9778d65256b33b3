#include "app/player_panel.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/layout.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>

#include <algorithm>

#include "graph/motion_controller.h"

namespace {

constexpr int kSpeedSpinWidth = 50;
// Space between two controls of the button row, and around the strip's edge.
constexpr int kPlayerGap = 5;

// Constraints of a control of the button row after `left`.
void playerpanel_RowConstraints(wxWindow* control, wxWindow* slider, wxWindow* left) {
  auto* c = new wxLayoutConstraints;
  c->top.SameAs(slider, wxBottom, 0);
  c->left.RightOf(left, kPlayerGap);
  c->height.AsIs();
  c->width.AsIs();
  control->SetConstraints(c);
}

}  // namespace

wxBEGIN_EVENT_TABLE(PlayerPanel, ControlPanel)
  EVT_SLIDER(kPositionSliderId, PlayerPanel::OnSlider)
  EVT_SIZE(PlayerPanel::OnSize)
  EVT_CHOICE(kControllerChoiceId, PlayerPanel::OnChoice)
  EVT_BUTTON(kPlayButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kPauseButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kStopButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kRewindButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kEndButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kStepForwardButtonId, PlayerPanel::OnButton)
  EVT_BUTTON(kStepBackButtonId, PlayerPanel::OnButton)
  EVT_SPINCTRL(kSpeedSpinId, PlayerPanel::OnSpin)
wxEND_EVENT_TABLE()

PlayerPanel::PlayerPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                         long style, const wxString& name)
    : ControlPanel(parent, id, pos, size, style, name) {
  positionSlider = new wxSlider(this, kPositionSliderId, 0, 0, 100, wxDefaultPosition, wxDefaultSize,
                                wxSL_LABELS, wxDefaultValidator, "slider");
  SetBackgroundColour(*wxWHITE);
  positionSlider->SetBackgroundColour(*wxWHITE);
  auto* c = new wxLayoutConstraints;
  c->top.SameAs(this, wxTop, kPlayerGap);
  c->width.PercentOf(this, wxWidth, 75);
  c->left.SameAs(this, wxLeft, kPlayerGap);
  c->height.PercentOf(this, wxHeight, 50);
  positionSlider->SetConstraints(c);

  controllerBox = new wxStaticBox(this, wxID_ANY, "Select Motion Controller", wxDefaultPosition,
                                  wxDefaultSize, 0, "groupBox");
  c = new wxLayoutConstraints;
  c->top.SameAs(this, wxTop, kPlayerGap);
  c->right.SameAs(this, wxRight, kPlayerGap);
  c->height.PercentOf(this, wxHeight, 75);
  c->width.PercentOf(this, wxWidth, 20);
  controllerBox->SetConstraints(c);

  controllerChoice = new wxChoice(this, kControllerChoiceId, wxDefaultPosition, wxDefaultSize, 0, nullptr,
                                  wxCB_SORT, wxDefaultValidator, "choice");
  for (const auto& entry : MotionControllerMap()) controllerChoice->Append(wxString::FromUTF8(entry.first));
  // More than the layout can meet at once; wx places the choice from its
  // left edge, width and top and bottom, inside the box.
  c = new wxLayoutConstraints;
  c->centreX.SameAs(this, wxCentreX, 0);
  c->left.SameAs(controllerBox, wxLeft, kPlayerGap);
  c->right.SameAs(controllerBox, wxRight, kPlayerGap);
  c->width.PercentOf(controllerBox, wxWidth, 90);
  c->top.SameAs(controllerBox, wxTop, 15);
  c->bottom.SameAs(controllerBox, wxBottom, kPlayerGap);
  controllerChoice->SetConstraints(c);

  // The row, left to right; "<<" starts under the slider's left edge and
  // reaches down to the strip's bottom margin, each other control stands
  // 5 pixels right of the one before.
  const struct {
    wxButton* PlayerPanel::*field;
    wxWindowID id;
    const char* label;
  } row[] = {
      {&PlayerPanel::rewindButton, kRewindButtonId, "<<"},
      {&PlayerPanel::stepBackButton, kStepBackButtonId, "<"},
      {&PlayerPanel::stopButton, kStopButtonId, "[]"},
      {&PlayerPanel::playButton, kPlayButtonId, "Play"},
      {&PlayerPanel::pauseButton, kPauseButtonId, "||"},
      {&PlayerPanel::stepForwardButton, kStepForwardButtonId, ">"},
      {&PlayerPanel::endButton, kEndButtonId, ">>"},
  };
  wxWindow* left = nullptr;
  for (const auto& entry : row) {
    wxButton* button = new wxButton(this, entry.id, entry.label, wxDefaultPosition, wxDefaultSize, 0,
                                    wxDefaultValidator, "button");
    this->*entry.field = button;
    if (left == nullptr) {
      c = new wxLayoutConstraints;
      c->top.SameAs(positionSlider, wxBottom, 0);
      c->bottom.SameAs(this, wxBottom, kPlayerGap);
      c->left.SameAs(positionSlider, wxLeft, 0);
      c->width.AsIs();
      c->height.AsIs();
      button->SetConstraints(c);
    } else {
      playerpanel_RowConstraints(button, positionSlider, left);
    }
    left = button;
  }

  speedSpin = new wxSpinCtrl(this, kSpeedSpinId, "", wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS,
                             kSpeedSpinMin, kSpeedSpinMax, 100, "wxSpinCtrl");
  speedSpin->SetRange(kSpeedSpinMin, kSpeedSpinMax);
  speedSpin->SetValue(100);
  // GTK draws a spin control no narrower than its natural width.
  speedSpin->SetSize(std::max(kSpeedSpinWidth, speedSpin->GetBestSize().x), speedSpin->GetSize().y);
  playerpanel_RowConstraints(speedSpin, positionSlider, left);
}

void PlayerPanel::UpdateControls() {
  if (ControllersAdded()) {
    const int selected = controllerChoice->GetSelection();
    const wxString selectedName = selected != wxNOT_FOUND ? controllerChoice->GetString(selected) : wxString();
    controllerChoice->Clear();
    for (const auto& entry : MotionControllerMap()) controllerChoice->Append(wxString::FromUTF8(entry.first));
    if (selected != wxNOT_FOUND) {
      // By name: the sorted list may have put another name at that index.
      controllerChoice->SetStringSelection(selectedName);
    } else {
      controllerChoice->SetSelection(0);
      wxCommandEvent chosen;
      OnChoice(chosen);
    }
    NoteControllersListed();
  }
  if (controllerChoice->GetSelection() != wxNOT_FOUND) ShowCurrentFrame();
}

void PlayerPanel::ShowCurrentFrame() {
  int value = 0;
  if (SliderValue(&value)) positionSlider->SetValue(value);
}

void PlayerPanel::OnSlider(wxCommandEvent& /*event*/) {
  if (controllerChoice->GetSelection() == wxNOT_FOUND) return;
  MoveToSliderValue(positionSlider->GetValue());
}

void PlayerPanel::OnSize(wxSizeEvent& /*event*/) { Layout(); }

void PlayerPanel::OnChoice(wxCommandEvent& /*event*/) {
  const int selected = controllerChoice->GetSelection();
  if (selected == wxNOT_FOUND) return;
  ChooseController(controllerChoice->GetString(selected).utf8_string());
  int first = 0;
  int last = 0;
  if (SliderRange(&first, &last)) positionSlider->SetRange(first, last);
  ShowCurrentFrame();
  int percent = 0;
  if (SpinValue(&percent)) speedSpin->SetValue(percent);
}

void PlayerPanel::OnButton(wxCommandEvent& event) { PressButton(event.GetId()); }

void PlayerPanel::OnSpin(wxSpinEvent& /*event*/) { SetSpeedFromSpin(speedSpin->GetValue()); }
