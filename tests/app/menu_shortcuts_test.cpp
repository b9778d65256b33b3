// Which key-downs the menu bar takes as its items' shortcuts
// (app/menu_shortcuts.h), without a window: the same key with exactly the
// same Alt, Ctrl and Shift.
#include "app/menu_shortcuts.h"

#include <gtest/gtest.h>
#include <wx/defs.h>

#include <vector>

namespace {

TEST(MenuShortcuts, OnlyTheKeyWithItsOwnModifiersRunsTheCommand) {
  // As read from "&Load Level\tAlt-L", "E&xit\tAlt-X" and "&About...\tCtrl-A".
  const std::vector<MenuShortcut> menu = {{'L', wxMOD_ALT, 10}, {'X', wxMOD_ALT, 1}, {'A', wxMOD_CONTROL, 2}};
  const struct {
    int key;
    int modifiers;
    int command;
  } cases[] = {
      {'A', wxMOD_CONTROL, 2},
      {'a', wxMOD_CONTROL, 2},  // a letter in either case
      {'X', wxMOD_ALT, 1},
      {'L', wxMOD_ALT, 10},
      // Held with Meta as well (some keyboard maps report it with Alt).
      {'X', wxMOD_ALT | wxMOD_META, 1},
      {'A', wxMOD_NONE, wxID_NONE},
      {'A', wxMOD_ALT, wxID_NONE},
      {'A', wxMOD_CONTROL | wxMOD_SHIFT, wxID_NONE},
      {'X', wxMOD_CONTROL, wxID_NONE},
      {'X', wxMOD_ALT | wxMOD_CONTROL, wxID_NONE},
      {'B', wxMOD_CONTROL, wxID_NONE},
      {WXK_RETURN, wxMOD_ALT, wxID_NONE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MenuShortcutCommand(menu, c.key, c.modifiers), c.command) << "key " << c.key << " modifiers " << c.modifiers;
  }
  EXPECT_EQ(MenuShortcutCommand({}, 'A', wxMOD_CONTROL), wxID_NONE);
}

}  // namespace
