#include "app/camera_panel.h"

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/camera_controls.h"
#include "world/camera.h"
#include "world/entity.h"

namespace {

constexpr int kStateBoxY = 10;
constexpr int kLockOnBoxY = 50;
constexpr int kSpeedSliderY = 95;
constexpr int kHDistSliderY = 140;
constexpr int kVDistSliderY = 180;
constexpr int kSliderHeight = 40;
// Where a slider's label stands, from the slider's top left corner. The
// label is the panel's child: on GTK a slider cannot have children.
const wxPoint kSliderLabelOffset(5, 20);

wxSlider* camerapanel_Slider(wxWindow* parent, wxWindowID id, int y) {
  return new wxSlider(parent, id, 0, 0, kCameraSliderMax, wxPoint(PageColumnLeft(), y),
                      wxSize(kPageControlWidth, kSliderHeight), wxSL_HORIZONTAL);
}

void camerapanel_Label(wxWindow* parent, wxSlider* slider, const wxString& text) {
  new wxStaticText(parent, wxID_ANY, text, slider->GetPosition() + kSliderLabelOffset, wxDefaultSize,
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
  stateBox = CreatePageBox(this, kStateBoxY, "Camera State");
  stateChoice = CreateChoiceInBox(this, kCameraStateChoiceId, stateBox);
  stateChoice->Append(kFreeRoamItem);
  stateChoice->Append(kTrackEntityItem);
  stateChoice->SetStringSelection(kTrackEntityItem);

  lockOnBox = CreatePageBox(this, kLockOnBoxY, "Lock-On to Entity");
  entityChoice = CreateChoiceInBox(this, kCameraEntityChoiceId, lockOnBox);
  for (const auto& entry : EntityMap()) entityChoice->Append(wxString::FromUTF8(entry.first));
  entityChoice->SetStringSelection("root");

  speedSlider = camerapanel_Slider(this, kCameraSpeedSliderId, kSpeedSliderY);
  hdistSlider = camerapanel_Slider(this, kCameraHDistSliderId, kHDistSliderY);
  vdistSlider = camerapanel_Slider(this, kCameraVDistSliderId, kVDistSliderY);
  UpdateControls();
  camerapanel_Label(this, speedSlider, "Camera Speed");
  camerapanel_Label(this, hdistSlider, "Horiz. Dist");
  camerapanel_Label(this, vdistSlider, "Vert. Dist");
}

void CameraPanel::UpdateControls() {
  speedSlider->SetValue(CameraSliderPosition(kCameraSpeedSliderId));
  hdistSlider->SetValue(CameraSliderPosition(kCameraHDistSliderId));
  vdistSlider->SetValue(CameraSliderPosition(kCameraVDistSliderId));
}

void CameraPanel::OnSize(wxSizeEvent& /*event*/) { Layout(); }

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
