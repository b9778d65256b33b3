#include "app/player_panel.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <array>

#include "graph/motion_controller.h"

namespace {

// Space between two controls of the button row, and around the strip's edge.
constexpr int kPlayerGap = 5;
// The shares of the strip's width that the frame slider and the box of the
// controller choice take, in percent.
constexpr int kSliderWidthShare = 75;
constexpr int kBoxWidthShare = 20;
// The buttons of the row under the slider.
constexpr int kPlayerButtonCount = 7;
// Space between the first frame's label and the current frame, wide enough
// to read them as two numbers, and between the other parts of the slider's
// row.
constexpr int kFirstFrameGap = 16;
constexpr int kSliderRowSpacing = 4;

// The buttons of the row, left to right.
std::array<wxButton*, kPlayerButtonCount> playerpanel_Row(const PlayerPanel* strip) {
  return {strip->rewindButton, strip->stepBackButton, strip->stopButton, strip->playButton,
          strip->pauseButton, strip->stepForwardButton, strip->endButton};
}

// The strip is short: one row holds the whole slider, the first frame's
// label, the frame number beside the trough and the last frame's label, in
// place of the trough with the number above it and the range labels under
// it. The frame number is bold and stands well apart from the first frame,
// so that "1" and "361" do not read as "1361". The library's slider is a box
// holding the GTK scale and, under it, a box of the two range labels.
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
  GtkCssProvider* bold = gtk_css_provider_new();
  gtk_css_provider_load_from_data(bold, "scale { font-weight: bold; }", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(scale), GTK_STYLE_PROVIDER(bold),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(bold);
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
      gtk_box_set_spacing(GTK_BOX(outer), kSliderRowSpacing);
      gtk_widget_set_margin_end(first, kFirstFrameGap - kSliderRowSpacing);
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

PlayerPanel::Measures PlayerPanel::Measure() const {
  Measures m;
  m.buttonWidth = rewindButton->GetBestSize().x;
  m.buttonNarrowest = 1;
  m.spin = speedSpin->GetBestSize();
  m.rowHeight = m.spin.y;
  for (const wxButton* button : playerpanel_Row(this)) {
    m.rowHeight = std::max(m.rowHeight, button->GetBestSize().y);
    m.buttonNarrowest = std::max(m.buttonNarrowest, NarrowestWidth(button));
  }
  m.sliderHeight = positionSlider->GetBestSize().y;
  m.sliderNarrowest = NarrowestWidth(positionSlider);
  m.boxWidth = std::max(controllerBox->GetBestSize().x, controllerChoice->GetBestSize().x + 2 * kChoiceInset);
  m.boxHeight = BoxedChoiceHeight(controllerBox, controllerChoice);
  return m;
}

wxSize PlayerPanel::DoGetBestSize() const {
  const Measures m = Measure();
  // Across: the row with its buttons at their narrowest (the slider above it
  // no wider), the box at its narrowest, the gaps around them; a strip that
  // wide gives the box a fifth of it, so it widens until the row still fits.
  const int row = std::max(kPlayerButtonCount * (m.buttonNarrowest + kPlayerGap) + m.spin.x, m.sliderNarrowest);
  const int boxLeft = kPlayerGap + row + kPlayerGap;
  int width = boxLeft + m.boxWidth + kPlayerGap;
  while (width - kPlayerGap - std::max(width * kBoxWidthShare / 100, m.boxWidth) < boxLeft) ++width;
  // Down: the slider above the row at their best heights (the gaps around
  // them give way), beside the box below the strip's top gap.
  return wxSize(width, std::max(m.sliderHeight + m.rowHeight, kPlayerGap + m.boxHeight));
}

void PlayerPanel::LayOutControls() {
  const wxSize strip = GetClientSize();
  const Measures m = Measure();

  // The box at the right edge, a fifth of the strip wide, or as wide as its
  // label or its choice at its best width needs; the choice inside it at its
  // best height, under the box's label; the box hugs the choice.
  const int boxWidth = std::max(strip.x * kBoxWidthShare / 100, m.boxWidth);
  const int boxLeft = strip.x - kPlayerGap - boxWidth;
  PlaceBoxedChoice(controllerBox, controllerChoice, boxLeft, kPlayerGap, boxWidth);

  // The row under the slider, from its left edge, at the controls' best
  // height, its bottom at most kPlayerGap above the strip's; the buttons
  // share what the slider's width leaves beside the spin control, up to their
  // best width and no narrower than GTK draws them.
  const int sliderWidth =
      std::max(std::min(strip.x * kSliderWidthShare / 100, boxLeft - 2 * kPlayerGap), m.sliderNarrowest);
  // The slider and the row take their best heights; in a strip too short
  // for both and the gaps above and below them, the gaps give way first.
  const int edge = std::clamp((strip.y - m.rowHeight - m.sliderHeight) / 2, 0, kPlayerGap);
  const int sliderHeight = std::max(std::min(strip.y - 2 * edge - m.rowHeight, m.sliderHeight), 1);
  positionSlider->SetSize(kPlayerGap, edge, sliderWidth, sliderHeight);

  const int shared = (sliderWidth - m.spin.x - kPlayerButtonCount * kPlayerGap) / kPlayerButtonCount;
  const int buttonWidth = std::max(std::min(shared, m.buttonWidth), m.buttonNarrowest);
  const int rowTop = edge + sliderHeight;
  int x = kPlayerGap;
  for (wxButton* button : playerpanel_Row(this)) {
    button->SetSize(x, rowTop, buttonWidth, m.rowHeight);
    x += buttonWidth + kPlayerGap;
  }
  speedSpin->SetSize(x, rowTop + (m.rowHeight - m.spin.y) / 2, m.spin.x, m.spin.y);
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
