// Which key-downs the menu bar takes as its items' shortcuts
// (app/menu_shortcuts.h), without a window.
#include "app/menu_shortcuts.h"

#include <gtest/gtest.h>
#include <wx/defs.h>

#include <utility>
#include <vector>

namespace {

TEST(MenuShortcuts, OnlyTheKeyWithItsOwnModifiersRunsTheCommand) {
  // As read from "E&xit\tAlt-X" and "&About...\tCtrl-A".
  const std::vector<MenuShortcut> menu = {{'X', wxMOD_ALT, 1}, {'A', wxMOD_CONTROL, 2}};
  // A letter in either case; Meta beside Alt (some keyboard maps report both).
  EXPECT_EQ(MenuShortcutCommand(menu, 'A', wxMOD_CONTROL), 2);
  EXPECT_EQ(MenuShortcutCommand(menu, 'a', wxMOD_CONTROL), 2);
  EXPECT_EQ(MenuShortcutCommand(menu, 'X', wxMOD_ALT | wxMOD_META), 1);
  // Another key, or the key with other modifiers, is no shortcut.
  for (const auto& [key, modifiers] : std::vector<std::pair<int, int>>{
           {'A', wxMOD_NONE}, {'A', wxMOD_ALT}, {'A', wxMOD_CONTROL | wxMOD_SHIFT}, {'X', wxMOD_ALT | wxMOD_CONTROL},
           {'B', wxMOD_CONTROL}, {WXK_RETURN, wxMOD_ALT}}) {
    EXPECT_EQ(MenuShortcutCommand(menu, key, modifiers), wxID_NONE) << "key " << key << " modifiers " << modifiers;
  }
}

}  // namespace
