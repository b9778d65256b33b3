#include "app/control_panel.h"

#include <wx/choice.h>
#include <wx/statbox.h>

#include <gtk/gtk.h>

#include <algorithm>

wxRect CenterRectIn(const wxRect& outer, int width, int height) {
  // An empty outer rectangle has no centre to speak of: its corner.
  if (outer.width == 0 || outer.height == 0) return wxRect(outer.GetPosition(), wxSize(width, height));
  const double dx = (1.0 - static_cast<double>(width) / outer.width) * outer.width * 0.5;
  const double dy = (1.0 - static_cast<double>(height) / outer.height) * outer.height * 0.5;
  return wxRect(outer.x + static_cast<int>(dx), outer.y + static_cast<int>(dy) + 2, width, height);
}

int PageColumnLeft() {
  return CenterRectIn(wxRect(0, 0, kPageColumnWidth, 1), kPageControlWidth, 1).x;
}

wxStaticBox* CreatePageBox(wxWindow* parent, const wxString& label) {
  return new wxStaticBox(parent, wxID_ANY, label, wxPoint(PageColumnLeft(), 0), wxDefaultSize, 0, "groupBox");
}

wxChoice* CreatePageChoice(wxWindow* parent, wxWindowID id) {
  return new wxChoice(parent, id, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxCB_SORT, wxDefaultValidator,
                      "choice");
}

int PageColumnWantedWidth(std::initializer_list<const wxWindow*> boxes,
                          std::initializer_list<const wxWindow*> choices) {
  int width = kPageControlWidth;
  for (const wxWindow* box : boxes) width = std::max(width, box->GetBestSize().x);
  for (const wxWindow* choice : choices) width = std::max(width, choice->GetBestSize().x + 2 * kChoiceInset);
  return width;
}

wxSize PageBestSize(int columnWidth, int columnBottom) {
  return wxSize(PageColumnLeft() + columnWidth + kPageGap, columnBottom + kPageGap);
}

int PageColumnWidth(const wxWindow* page, std::initializer_list<const wxWindow*> boxes,
                    std::initializer_list<const wxWindow*> choices) {
  const int width = PageColumnWantedWidth(boxes, choices);
  const int room = page->GetClientSize().x - PageColumnLeft() - kPageGap;
  // Never narrower than GTK draws the controls (a page not yet sized by its
  // notebook has no width at all).
  int narrowest = 1;
  for (const wxWindow* child : page->GetChildren()) {
    narrowest = std::max(narrowest, NarrowestWidth(child));
  }
  for (const wxWindow* choice : choices) narrowest = std::max(narrowest, NarrowestWidth(choice) + 2 * kChoiceInset);
  return std::max(std::min(width, room), narrowest);
}

namespace {

// How far below its box's top a choice stands: under the box's label.
int controlpanel_ChoiceTop(const wxStaticBox* box) {
  int labelHeight = 0;
  int otherBorder = 0;
  box->GetBordersForSizer(&labelHeight, &otherBorder);
  return std::max(kChoiceBelowBoxTop, labelHeight);
}

}  // namespace

int BoxedChoiceHeight(const wxStaticBox* box, const wxChoice* choice) {
  return controlpanel_ChoiceTop(box) + choice->GetBestSize().y + kPageGap;
}

int PlaceBoxedChoice(wxStaticBox* box, wxChoice* choice, int x, int y, int width) {
  const int choiceTop = controlpanel_ChoiceTop(box);
  const int choiceHeight = choice->GetBestSize().y;
  box->SetSize(x, y, width, BoxedChoiceHeight(box, choice));
  choice->SetSize(x + kChoiceInset, y + choiceTop, width - 2 * kChoiceInset, choiceHeight);
  return box->GetRect().GetBottom() + 1;
}

int NarrowestWidth(const wxWindow* control) {
  // Without the size that the library asks of the widget for its best size.
  GtkWidget* widget = control->GetHandle();
  gint askedWidth = -1;
  gint askedHeight = -1;
  gtk_widget_get_size_request(widget, &askedWidth, &askedHeight);
  gtk_widget_set_size_request(widget, -1, -1);
  gint minimum = 0;
  gtk_widget_get_preferred_width(widget, &minimum, nullptr);
  gtk_widget_set_size_request(widget, askedWidth, askedHeight);
  return std::max(static_cast<int>(minimum), 1);
}
