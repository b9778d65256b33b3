#include "app/camera_panel.h"

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/camera_controls.h"
#include "world/camera.h"
#include "world/entity.h"

namespace {

// The column starts this far below the page's top.
constexpr int kCameraPageTop = 10;

wxSlider* camerapanel_Slider(wxWindow* parent, wxWindowID id) {
  return new wxSlider(parent, id, 0, 0, kCameraSliderMax, wxPoint(PageColumnLeft(), 0), wxDefaultSize,
                      wxSL_HORIZONTAL);
}

// The label is the panel's child: on GTK a slider cannot have children.
wxStaticText* camerapanel_Label(wxWindow* parent, const wxString& text) {
  return new wxStaticText(parent, wxID_ANY, text, wxPoint(PageColumnLeft(), 0), wxDefaultSize,
                          wxALIGN_CENTRE_HORIZONTAL);
}

}  // namespace

wxBEGIN_EVENT_TABLE(CameraPanel, ControlPanel)
  EVT_SIZE(CameraPanel::OnSize)
  EVT_CHOICE(kCameraStateChoiceId, CameraPanel::OnChoice)
  EVT_CHOICE(kCameraEntityChoiceId, CameraPanel::OnChoice)
  EVT_SLIDER(kCameraSpeedSliderId, CameraPanel::OnSlider)
  EVT_SLIDER(kCameraHDistSliderId, CameraPanel::OnSlider)
  EVT_SLIDER(kCameraVDistSliderId, CameraPanel::OnSlider)
wxEND_EVENT_TABLE()

CameraPanel::CameraPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                         long style, const wxString& name)
    : ControlPanel(parent, id, pos, size, style, name) {
  stateBox = CreatePageBox(this, "Camera State");
  stateChoice = CreateSortedChoice(this, kCameraStateChoiceId);
  SetSortedItems(stateChoice, {kFreeRoamItem, kTrackEntityItem});
  stateChoice->SetStringSelection(kTrackEntityItem);

  lockOnBox = CreatePageBox(this, "Lock-On to Entity");
  entityChoice = CreateSortedChoice(this, kCameraEntityChoiceId);
  SetSortedItems(entityChoice, RegistryNames(EntityMap()));
  entityChoice->SetStringSelection("root");

  speedSlider = camerapanel_Slider(this, kCameraSpeedSliderId);
  hdistSlider = camerapanel_Slider(this, kCameraHDistSliderId);
  vdistSlider = camerapanel_Slider(this, kCameraVDistSliderId);
  UpdateControls();
  sliderLabels_[0] = camerapanel_Label(this, "Camera Speed");
  sliderLabels_[1] = camerapanel_Label(this, "Horiz. Dist");
  sliderLabels_[2] = camerapanel_Label(this, "Vert. Dist");
  LayOutControls();
}

void CameraPanel::LayOutControls() {
  const int width = PageColumnWidth(this, {stateBox, lockOnBox}, {stateChoice, entityChoice});
  int y = PlaceBoxedChoice(stateBox, stateChoice, PageColumnLeft(), kCameraPageTop, width);
  y = PlaceBoxedChoice(lockOnBox, entityChoice, PageColumnLeft(), y + kPageGap, width);
  wxSlider* const sliders[] = {speedSlider, hdistSlider, vdistSlider};
  for (int i = 0; i < 3; ++i) {
    // The label under its slider, indented as in a box.
    const int height = sliders[i]->GetBestSize().y;
    sliders[i]->SetSize(PageColumnLeft(), y + kPageGap, width, height);
    y += kPageGap + height;
    sliderLabels_[i]->SetSize(PageColumnLeft() + kPageGap, y, sliderLabels_[i]->GetBestSize().x,
                              sliderLabels_[i]->GetBestSize().y);
    y += sliderLabels_[i]->GetBestSize().y;
  }
  if (y != columnBottom_) {
    columnBottom_ = y;
    InvalidateBestSize();
  }
}

wxSize CameraPanel::DoGetBestSize() const {
  return PageBestSize(PageColumnWantedWidth({stateBox, lockOnBox}, {stateChoice, entityChoice}), columnBottom_);
}

void CameraPanel::UpdateControls() {
  speedSlider->SetValue(CameraSliderPosition(kCameraSpeedSliderId));
  hdistSlider->SetValue(CameraSliderPosition(kCameraHDistSliderId));
  vdistSlider->SetValue(CameraSliderPosition(kCameraVDistSliderId));
}

void CameraPanel::OnSize(wxSizeEvent& /*event*/) { LayOutControls(); }

void CameraPanel::OnChoice(wxCommandEvent& event) {
  if (event.GetId() == kCameraStateChoiceId) {
    ChooseCameraMode(g_camera, stateChoice->GetStringSelection().utf8_string());
  } else if (event.GetId() == kCameraEntityChoiceId) {
    ChooseCameraTarget(g_camera, entityChoice->GetStringSelection().utf8_string());
  }
}

void CameraPanel::OnSlider(wxCommandEvent& event) {
  // The page's sliders have the ids 2 to 4, which no other control shares.
  const auto* slider = dynamic_cast<wxSlider*>(FindWindow(event.GetId()));
  if (slider != nullptr) SetCameraVariableFromSlider(event.GetId(), slider->GetValue());
}
