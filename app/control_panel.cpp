#include "app/control_panel.h"

#include <wx/choice.h>
#include <wx/statbox.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <memory>

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

namespace {

// The menu that GTK pops up for `combo`, which holds one menu item per item
// of the list it is given; null when it cannot be told apart.
GObject* controlpanel_PopupMenu(GtkWidget* combo) {
  for (GList* menu = gtk_menu_get_for_attach_widget(combo); menu != nullptr; menu = menu->next) {
    if (!GTK_IS_MENU(menu->data)) continue;
    GParamSpec* model = g_object_class_find_property(G_OBJECT_GET_CLASS(menu->data), "model");
    if (model != nullptr && model->value_type == GTK_TYPE_TREE_MODEL) return G_OBJECT(menu->data);
  }
  return nullptr;
}

// Hands the choice's list to its popup menu when the menu has none, as the
// menu is about to open.
void controlpanel_GiveMenuTheList(GtkComboBox* combo) {
  GObject* menu = controlpanel_PopupMenu(GTK_WIDGET(combo));
  if (menu == nullptr) return;
  GtkTreeModel* held = nullptr;
  g_object_get(menu, "model", &held, nullptr);
  if (held != nullptr) {
    g_object_unref(held);
    return;
  }
  g_object_set(menu, "model", gtk_combo_box_get_model(combo), nullptr);
}

// The button inside a GTK combo box that opens its popup menu when pressed;
// null when it cannot be found.
GtkWidget* controlpanel_PopupButton(GtkWidget* widget) {
  if (GTK_IS_TOGGLE_BUTTON(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkWidget* found = nullptr;
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) {
        auto* found = static_cast<GtkWidget**>(data);
        if (*found == nullptr) *found = controlpanel_PopupButton(child);
      },
      &found);
  return found;
}

// GTK opens the menu from a key (or a program) through the combo box's
// "popup" signal, and from a button press on its button directly: the
// list is handed over before either.
void controlpanel_OnPopup(GtkComboBox* combo, gpointer /*data*/) { controlpanel_GiveMenuTheList(combo); }

gboolean controlpanel_OnButtonEvent(GtkWidget* /*button*/, GdkEvent* event, gpointer combo) {
  if (event->type == GDK_BUTTON_PRESS) controlpanel_GiveMenuTheList(GTK_COMBO_BOX(combo));
  return FALSE;
}

// The choice of CreateSortedChoice. When destroyed it lets go of its items
// through SetSortedItems: the library's own clearing would take them out of
// the popup menu one by one.
class controlpanel_SortedChoice : public wxChoice {
 public:
  controlpanel_SortedChoice(wxWindow* parent, wxWindowID id)
      : wxChoice(parent, id, wxDefaultPosition, wxDefaultSize, 0, nullptr, 0, wxDefaultValidator, "choice") {
    // The part that shows the selected item asks only that item's width, not
    // every item's (the library measures the items itself for the best
    // size).
    GtkWidget* shown = gtk_bin_get_child(GTK_BIN(GetHandle()));
    if (GTK_IS_CELL_VIEW(shown)) gtk_cell_view_set_fit_model(GTK_CELL_VIEW(shown), FALSE);
    // Both run before GTK's own handlers, which open the menu ("event"
    // comes before "button-press-event").
    g_signal_connect(GetHandle(), "popup", G_CALLBACK(controlpanel_OnPopup), nullptr);
    if (GtkWidget* button = controlpanel_PopupButton(GetHandle())) {
      g_signal_connect(button, "event", G_CALLBACK(controlpanel_OnButtonEvent), GetHandle());
    }
  }
  ~controlpanel_SortedChoice() override { SetSortedItems(this, {}); }
};

}  // namespace

wxChoice* CreateSortedChoice(wxWindow* parent, wxWindowID id) { return new controlpanel_SortedChoice(parent, id); }

void SetSortedItems(wxChoice* choice, const std::vector<wxString>& items) {
  // The menu follows the list item by item, and builds a menu item for each
  // whenever it takes a list, at costs that grow faster than the list: it
  // lets go of the list here and takes it again only when it opens.
  GObject* menu = controlpanel_PopupMenu(choice->GetHandle());
  if (menu != nullptr) g_object_set(menu, "model", nullptr, nullptr);
  choice->Clear();
  if (!items.empty()) choice->Append(ToolkitSortOrder(items));
}

std::vector<wxString> ToolkitSortOrder(const std::vector<wxString>& items) {
  struct Keyed {
    std::unique_ptr<gchar, decltype(&g_free)> key;
    size_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    std::unique_ptr<gchar, decltype(&g_free)> folded(g_utf8_casefold(items[i].utf8_str(), -1), g_free);
    keyed.push_back({{g_utf8_collate_key(folded.get(), -1), g_free}, i});
  }
  // The toolkit puts an item before the first one whose key is not smaller.
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    const int order = std::strcmp(a.key.get(), b.key.get());
    return order != 0 ? order < 0 : a.index > b.index;
  });
  std::vector<wxString> sorted;
  sorted.reserve(items.size());
  for (const Keyed& entry : keyed) sorted.push_back(items[entry.index]);
  return sorted;
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
