#pragma once

#include "app/control_panel.h"

class wxChoice;
class wxSlider;
class wxStaticBox;
class wxStaticText;

// The "Camera" page of the notebook: the camera's mode, the entity it tracks,
// and sliders for "camera.speed", "camera.hdist" and "camera.vdist" that
// follow the variables every frame (the maps are in app/camera_controls.h).
// The controls stand in one column at the page's left edge (see
// PageColumnWidth), top to bottom: the box "Camera State" around the mode
// choice, the box "Lock-On to Entity" around the entity choice, then the
// sliders "Camera Speed", "Horiz. Dist" and "Vert. Dist", each with its label
// under it. Heights are the toolkit's best; the column is laid out again
// whenever the page's size changes.
//
// The mode choice starts at "TRACKENTITY" and the entity choice at "root",
// as the camera itself starts. The entity list is filled once, at
// construction; the two choices show what was last chosen here, not changes
// made elsewhere. The controls are the panel's children. GUI thread only.
class CameraPanel : public ControlPanel {
 public:
  // The main frame builds the page after GlobalInit (the camera and the
  // scene's entities exist) with the notebook as parent and window id 8.
  CameraPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
              const wxString& name);

  // Sets the three sliders from their variables; a value outside a slider's
  // range puts it at that end.
  void UpdateControls() override;

  wxChoice* stateChoice;   // id 0: "FREEROAM" / "TRACKENTITY"
  wxChoice* entityChoice;  // id 1: the names of EntityMap at construction
  wxStaticBox* stateBox;
  wxStaticBox* lockOnBox;
  wxSlider* speedSlider;  // id 2: "camera.speed"
  wxSlider* hdistSlider;  // id 3: "camera.hdist"
  wxSlider* vdistSlider;  // id 4: "camera.vdist"

 protected:
  // The column at the width it wants.
  wxSize DoGetBestSize() const override;

 private:
  // Places the controls in the column for the page's present width.
  void LayOutControls();
  void OnSize(wxSizeEvent& event);
  // Id 0: the camera's mode; id 1: the camera's target.
  void OnChoice(wxCommandEvent& event);
  // The variable of the moved slider.
  void OnSlider(wxCommandEvent& event);

  // The labels "Camera Speed", "Horiz. Dist", "Vert. Dist" under the sliders.
  wxStaticText* sliderLabels_[3];
  // Where the column ended at the last layout (its height does not depend on
  // the page's width).
  int columnBottom_ = 0;

  wxDECLARE_EVENT_TABLE();
};
