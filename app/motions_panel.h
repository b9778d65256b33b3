#pragma once

#include "app/control_panel.h"

class wxChoice;
class wxStaticBox;

// The "Motions" page of the notebook: a box "Motions" 10 pixels below the
// page's top, at the left edge of the page's column (PageColumnWidth),
// around an empty sorted choice at its best height. Choosing from it does
// nothing and its per-frame refresh changes nothing. GUI thread only.
class MotionsPanel : public ControlPanel {
 public:
  // The main frame passes the notebook and window id 9.
  MotionsPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
               const wxString& name);

  // Nothing to refresh.
  void UpdateControls() override {}

  wxChoice* motionChoice;  // id 0, no items
  wxStaticBox* motionsBox;

 protected:
  // The column at the width it wants.
  wxSize DoGetBestSize() const override;

 private:
  // Places the box and the choice for the page's present width.
  void LayOutControls();
  void OnSize(wxSizeEvent& event);
  void OnChoice(wxCommandEvent& /*event*/) {}

  wxDECLARE_EVENT_TABLE();
};
