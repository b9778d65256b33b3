#pragma once

#include <wx/gdicmn.h>
#include <wx/panel.h>

#include <initializer_list>
#include <vector>

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

// The notebook pages stack their controls in one column at the page's left
// edge, in the order they are created: boxes, each around a choice, then
// sliders, each with its label under it. The controls take the toolkit's best
// heights; the column is at least 117 pixels wide, widens so that every choice
// shows its longest item whole, and stops kPageGap short of the page's right
// edge.
constexpr int kPageColumnWidth = 130;
constexpr int kPageControlWidth = 117;
// Space between two controls of the column, below a box's choice, and right
// of the column.
constexpr int kPageGap = 5;
// A choice stands this far inside the sides of its box's frame.
constexpr int kChoiceInset = 4;
// A choice stands at least this far below its box's top, under its label.
constexpr int kChoiceBelowBoxTop = 15;

// The left edge of a control of kPageControlWidth centred in 130 pixels: 6.
int PageColumnLeft();

// A new static box of the page column: id -1, `label`, style 0, name
// "groupBox"; its place comes from PlaceBoxedChoice.
wxStaticBox* CreatePageBox(wxWindow* parent, const wxString& label);

// A new choice with no items, name "choice", whose items are kept sorted
// by SetSortedItems (it has no wxCB_SORT style of its own). Such a choice
// lists thousands of names (every motion controller or entity of a big
// scene) at a cost that grows with their number alone: the toolkit's sorted
// choice inserts item by item, each insertion costing more as the list
// grows, GTK measures every item whenever the choice is laid out, and its
// popup menu builds one menu item per name whenever it is given the list (it
// is given the list only as it opens). Its place comes from
// PlaceBoxedChoice.
wxChoice* CreateSortedChoice(wxWindow* parent, wxWindowID id);

// Replaces every item of a choice made by CreateSortedChoice with `items`,
// in ToolkitSortOrder, in one go; afterwards no item is selected.
void SetSortedItems(wxChoice* choice, const std::vector<wxString>& items);

// The names of a registry (EntityMap, MotionControllerMap ...) in its own
// order, as texts of the GUI library.
template <class Registry>
std::vector<wxString> RegistryNames(const Registry& registry) {
  std::vector<wxString> names;
  names.reserve(registry.size());
  for (const auto& entry : registry) names.push_back(wxString::FromUTF8(entry.first));
  return names;
}

// `items` in the order in which a sorted choice of the toolkit (wxCB_SORT on
// GTK) holds them after they were appended one by one in this order: by the
// collation keys of the current locale of their case-folded texts, items of
// equal keys the later appended first.
std::vector<wxString> ToolkitSortOrder(const std::vector<wxString>& items);

// The width of the column on `page`: at least kPageControlWidth, at least the
// best width of each box (its label) and each choice's best width with
// kChoiceInset on either side, but never wider than the page leaves right of
// PageColumnLeft() with kPageGap free at its right edge. A page narrower than
// that shows its choices narrower than their best widths (the toolkit
// shortens their text); a choice of best width w shows whole on a page at
// least PageColumnLeft() + w + 2 x kChoiceInset + kPageGap wide.
int PageColumnWidth(const wxWindow* page, std::initializer_list<const wxWindow*> boxes,
                    std::initializer_list<const wxWindow*> choices);

// The width that the column wants, whatever the page's width: at least
// kPageControlWidth, each box's best width and each choice's best width with
// kChoiceInset on either side.
int PageColumnWantedWidth(std::initializer_list<const wxWindow*> boxes,
                          std::initializer_list<const wxWindow*> choices);

// The best size of a page whose column is `columnWidth` wide and ends at
// `columnBottom`: the column with its margins, kPageGap at the right and
// under it.
wxSize PageBestSize(int columnWidth, int columnBottom);

// The height of `box` around `choice` as PlaceBoxedChoice makes it.
int BoxedChoiceHeight(const wxStaticBox* box, const wxChoice* choice);

// Places `box` at (x, y), `width` wide, and `choice` inside it at its best
// height: below the box's label (at least kChoiceBelowBoxTop below its top),
// kChoiceInset from the box's sides and kPageGap from its bottom. Returns the
// y under the box.
int PlaceBoxedChoice(wxStaticBox* box, wxChoice* choice, int x, int y, int width);

// The narrowest width at which the toolkit draws `control` whole, which may
// be less than its best width (a button's best width has a floor of its own).
int NarrowestWidth(const wxWindow* control);
