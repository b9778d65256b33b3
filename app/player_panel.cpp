#include "app/player_panel.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>

#include <gtk/gtk.h>

#include <algorithm>

#include "graph/motion_controller.h"

namespace {

// Space between two controls of the button row, and around the strip's edge.
constexpr int kPlayerGap = 5;
// The shares of the strip's width that the frame slider and the box of the
// controller choice take, in percent.
constexpr int kSliderWidthShare = 75;
constexpr int kBoxWidthShare = 20;

// The strip is short: one row holds the whole slider, the first frame's
// label, the frame number beside the trough and the last frame's label, in
// place of the trough with the number above it and the range labels under
// it. The library's slider is a box holding the GTK scale and, under it, a
// box of the two range labels.
void playerpanel_OneRowSlider(wxSlider* slider) {
  GtkWidget* outer = slider->GetHandle();
  if (!GTK_IS_BOX(outer)) return;
  GtkWidget* scale = nullptr;
  GtkWidget* labels = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(outer));
  for (GList* child = children; child != nullptr; child = child->next) {
    if (GTK_IS_SCALE(child->data)) {
      scale = GTK_WIDGET(child->data);
    } else if (GTK_IS_BOX(child->data)) {
      labels = GTK_WIDGET(child->data);
    }
  }
  g_list_free(children);
  if (scale == nullptr) return;
  gtk_scale_set_value_pos(GTK_SCALE(scale), GTK_POS_LEFT);
  if (labels != nullptr) {
    GList* ends = gtk_container_get_children(GTK_CONTAINER(labels));
    // The first label, a space that grows, the last label.
    GtkWidget* first = g_list_length(ends) >= 2 ? GTK_WIDGET(ends->data) : nullptr;
    g_list_free(ends);
    if (first != nullptr) {
      gtk_orientable_set_orientation(GTK_ORIENTABLE(outer), GTK_ORIENTATION_HORIZONTAL);
      // The first frame's label before the trough, the last frame's after it.
      g_object_ref(first);
      gtk_container_remove(GTK_CONTAINER(labels), first);
      gtk_box_pack_start(GTK_BOX(outer), first, FALSE, FALSE, 0);
      gtk_box_reorder_child(GTK_BOX(outer), first, 0);
      g_object_unref(first);
      gtk_box_set_child_packing(GTK_BOX(outer), scale, TRUE, TRUE, 0, GTK_PACK_START);
      gtk_box_set_child_packing(GTK_BOX(outer), labels, FALSE, FALSE, 0, GTK_PACK_START);
      gtk_box_set_spacing(GTK_BOX(outer), 4);
    }
  }
  slider->InvalidateBestSize();
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
  playerpanel_OneRowSlider(positionSlider);

  controllerBox = new wxStaticBox(this, wxID_ANY, "Select Motion Controller", wxDefaultPosition,
                                  wxDefaultSize, 0, "groupBox");
  controllerChoice = CreateSortedChoice(this, kControllerChoiceId);
  SetSortedItems(controllerChoice, RegistryNames(MotionControllerMap()));

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
  for (const auto& entry : row) {
    this->*entry.field = new wxButton(this, entry.id, entry.label, wxDefaultPosition, wxDefaultSize, 0,
                                      wxDefaultValidator, "button");
  }

  // At its best width: GTK draws a spin control no narrower.
  speedSpin = new wxSpinCtrl(this, kSpeedSpinId, "", wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS,
                             kSpeedSpinMin, kSpeedSpinMax, 100, "wxSpinCtrl");
  speedSpin->SetRange(kSpeedSpinMin, kSpeedSpinMax);
  speedSpin->SetValue(100);
  LayOutControls();
}

void PlayerPanel::LayOutControls() {
  const wxSize strip = GetClientSize();
  wxButton* const row[] = {rewindButton, stepBackButton, stopButton, playButton,
                           pauseButton, stepForwardButton, endButton};

  // The box at the right edge, a fifth of the strip wide, or as wide as its
  // label or its choice at its best width needs; the choice inside it at its
  // best height, under the box's label; the box hugs the choice.
  const int boxWidth = std::max({strip.x * kBoxWidthShare / 100, controllerBox->GetBestSize().x,
                                 controllerChoice->GetBestSize().x + 2 * kChoiceInset});
  const int boxLeft = strip.x - kPlayerGap - boxWidth;
  PlaceBoxedChoice(controllerBox, controllerChoice, boxLeft, kPlayerGap, boxWidth);

  // The row under the slider, from its left edge, at the controls' best
  // height, its bottom at most kPlayerGap above the strip's; the buttons
  // share what the slider's width leaves beside the spin control, up to their
  // best width and no narrower than GTK draws them.
  const wxSize spinBest = speedSpin->GetBestSize();
  int rowHeight = spinBest.y;
  int narrowest = 1;
  for (wxButton* button : row) {
    rowHeight = std::max(rowHeight, button->GetBestSize().y);
    narrowest = std::max(narrowest, NarrowestWidth(button));
  }
  const int sliderWidth = std::max(std::min(strip.x * kSliderWidthShare / 100, boxLeft - 2 * kPlayerGap),
                                   NarrowestWidth(positionSlider));
  // The slider and the row take their best heights; in a strip too short
  // for both and the gaps above and below them, the gaps give way first.
  const int sliderBest = positionSlider->GetBestSize().y;
  const int edge = std::clamp((strip.y - rowHeight - sliderBest) / 2, 0, kPlayerGap);
  const int sliderHeight = std::max(std::min(strip.y - 2 * edge - rowHeight, sliderBest), 1);
  positionSlider->SetSize(kPlayerGap, edge, sliderWidth, sliderHeight);

  const int count = static_cast<int>(sizeof row / sizeof row[0]);
  const int shared = (sliderWidth - spinBest.x - count * kPlayerGap) / count;
  const int buttonWidth = std::max(std::min(shared, row[0]->GetBestSize().x), narrowest);
  const int rowTop = edge + sliderHeight;
  int x = kPlayerGap;
  for (wxButton* button : row) {
    button->SetSize(x, rowTop, buttonWidth, rowHeight);
    x += buttonWidth + kPlayerGap;
  }
  speedSpin->SetSize(x, rowTop + (rowHeight - spinBest.y) / 2, spinBest.x, spinBest.y);
}

void PlayerPanel::UpdateControls() {
  if (ControllersAdded()) {
    const int selected = controllerChoice->GetSelection();
    const wxString selectedName = selected != wxNOT_FOUND ? controllerChoice->GetString(selected) : wxString();
    SetSortedItems(controllerChoice, RegistryNames(MotionControllerMap()));
    if (selected != wxNOT_FOUND) {
      // By name: the sorted list may have put another name at that index.
      controllerChoice->SetStringSelection(selectedName);
    } else {
      controllerChoice->SetSelection(0);
      wxCommandEvent chosen;
      OnChoice(chosen);
    }
    NoteControllersListed();
    // A longer name widens the choice's best width, and so the box.
    LayOutControls();
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

void PlayerPanel::OnSize(wxSizeEvent& /*event*/) { LayOutControls(); }

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
