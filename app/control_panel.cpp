#include "app/control_panel.h"

#include <wx/choice.h>
#include <wx/statbox.h>

namespace {

// Share of its box's width that a choice takes.
constexpr double kChoiceWidthShare = 0.85;
// A choice stands this far below its box's top, under the box's label.
constexpr int kChoiceBelowBoxTop = 15;

}  // namespace

wxRect CenterRectIn(const wxRect& outer, int width, int height) {
  // An empty outer rectangle has no centre to speak of: its corner.
  if (outer.width == 0 || outer.height == 0) return wxRect(outer.GetPosition(), wxSize(width, height));
  const double dx = (1.0 - static_cast<double>(width) / outer.width) * outer.width * 0.5;
  const double dy = (1.0 - static_cast<double>(height) / outer.height) * outer.height * 0.5;
  return wxRect(outer.x + static_cast<int>(dx), outer.y + static_cast<int>(dy) + 2, width, height);
}

int PageColumnLeft() {
  return CenterRectIn(wxRect(0, 0, kPageColumnWidth, kPageBoxHeight), kPageControlWidth, kPageBoxHeight).x;
}

wxStaticBox* CreatePageBox(wxWindow* parent, int y, const wxString& label) {
  return new wxStaticBox(parent, wxID_ANY, label, wxPoint(PageColumnLeft(), y),
                         wxSize(kPageControlWidth, kPageBoxHeight), 0, "groupBox");
}

wxChoice* CreateChoiceInBox(wxWindow* parent, wxWindowID id, wxStaticBox* box) {
  // From the box as it stands, not from the numbers it was created with.
  const wxPoint at = box->GetPosition();
  const int boxWidth = box->GetSize().x;
  const int width = static_cast<int>(boxWidth * kChoiceWidthShare);
  const int x = at.x + static_cast<int>((1.0 - kChoiceWidthShare) * boxWidth * 0.5);
  return new wxChoice(parent, id, wxPoint(x, at.y + kChoiceBelowBoxTop), wxSize(width, -1), 0, nullptr,
                      wxCB_SORT, wxDefaultValidator, "choice");
}
