#pragma once

#include <wx/gdicmn.h>
#include <wx/panel.h>

#include "app/app_globals.h"

class wxChoice;
class wxStaticBox;

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

// A rectangle of `width` x `height` centred in `outer`: x = outer.x +
// (1 - width / outer.width) x outer.width x 0.5 and y = outer.y + (1 -
// height / outer.height) x outer.height x 0.5 + 2, in floating point, each
// offset truncated toward zero. An outer rectangle of width or height 0
// gives its top left corner.
wxRect CenterRectIn(const wxRect& outer, int width, int height);

// The notebook pages stack their controls in a column at the page's left
// edge: boxes and sliders 117 pixels wide, centred in 130 pixels (left edge
// 6), and each choice in its box.
constexpr int kPageColumnWidth = 130;
constexpr int kPageControlWidth = 117;
constexpr int kPageBoxHeight = 40;

// The left edge of a control of kPageControlWidth centred in the column: 6.
int PageColumnLeft();

// A new static box of the page column at height `y`: id -1, `label`, style 0,
// name "groupBox", kPageControlWidth x kPageBoxHeight.
wxStaticBox* CreatePageBox(wxWindow* parent, int y, const wxString& label);

// A new sorted choice with no items, centred in `box` as the box stands now:
// 85 % of the box's width (truncated), the default height, 15 pixels below the
// box's top; name "choice". For a box at (6, 10) of width 117: 99 wide at
// (14, 25).
wxChoice* CreateChoiceInBox(wxWindow* parent, wxWindowID id, wxStaticBox* box);
