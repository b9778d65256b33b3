#pragma once

#include <wx/panel.h>

#include "app/app_globals.h"

// Base of every GUI panel that follows the engine's state: a wxPanel that is
// an entry of g_controlPanels for its whole life (it enters the list when
// constructed and leaves it when destroyed), so GlobalUpdate refreshes it
// once per frame through UpdateControls, which every panel implements.
class ControlPanel : public wxPanel, public ControlPanelEntry {
 public:
  // Creates the panel with these arguments, as wxPanel does, then appends it
  // to g_controlPanels.
  ControlPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
               const wxString& name)
      : wxPanel(parent, id, pos, size, style, name) {}
};
