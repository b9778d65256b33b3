#include "app/menu_shortcuts.h"

#include <wx/accel.h>
#include <wx/defs.h>
#include <wx/menu.h>

#include <memory>

namespace {

constexpr int kShortcutModifiers = wxMOD_ALT | wxMOD_CONTROL | wxMOD_SHIFT;

// Letters as their capitals, as the library reports them in key-downs.
int menushortcuts_Key(int keyCode) { return keyCode >= 'a' && keyCode <= 'z' ? keyCode - 'a' + 'A' : keyCode; }

void menushortcuts_Collect(const wxMenu* menu, std::vector<MenuShortcut>* shortcuts) {
  for (const wxMenuItem* item : menu->GetMenuItems()) {
    if (item->IsSubMenu()) {
      menushortcuts_Collect(item->GetSubMenu(), shortcuts);
      continue;
    }
    const std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
    if (accel == nullptr || !accel->IsOk()) continue;
    const int flags = accel->GetFlags();
    int modifiers = 0;
    if ((flags & wxACCEL_ALT) != 0) modifiers |= wxMOD_ALT;
    if ((flags & wxACCEL_CTRL) != 0) modifiers |= wxMOD_CONTROL;
    if ((flags & wxACCEL_SHIFT) != 0) modifiers |= wxMOD_SHIFT;
    shortcuts->push_back({menushortcuts_Key(accel->GetKeyCode()), modifiers, item->GetId()});
  }
}

}  // namespace

std::vector<MenuShortcut> MenuBarShortcuts(const wxMenuBar* menuBar) {
  std::vector<MenuShortcut> shortcuts;
  if (menuBar == nullptr) return shortcuts;
  for (size_t i = 0; i < menuBar->GetMenuCount(); ++i) menushortcuts_Collect(menuBar->GetMenu(i), &shortcuts);
  return shortcuts;
}

int MenuShortcutCommand(const std::vector<MenuShortcut>& shortcuts, int keyCode, int modifiers) {
  const int key = menushortcuts_Key(keyCode);
  for (const MenuShortcut& shortcut : shortcuts) {
    if (shortcut.keyCode == key && shortcut.modifiers == (modifiers & kShortcutModifiers)) return shortcut.commandId;
  }
  return wxID_NONE;
}
