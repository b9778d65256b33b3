#pragma once

#include "app/control_panel.h"

class wxChoice;
class wxStaticBox;

// The "Motions" page of the notebook: a box "Motions" at (6, 10) around an
// empty sorted choice at (14, 25). Choosing from it does nothing and its
// per-frame refresh changes nothing; the controls keep the places the
// constructor gives them. GUI thread only.
class MotionsPanel : public ControlPanel {
 public:
  // The main frame passes the notebook and window id 9.
  MotionsPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
               const wxString& name);

  // Nothing to refresh.
  void UpdateControls() override {}

  wxChoice* motionChoice;  // id 0, no items
  wxStaticBox* motionsBox;

 private:
  void OnSize(wxSizeEvent& event);
  void OnChoice(wxCommandEvent& /*event*/) {}

  wxDECLARE_EVENT_TABLE();
};
