#pragma once

#include <vector>

class wxMenuBar;

// The keys that the menu bar takes as its items' shortcuts. Like the
// platform's menu accelerators, such a key press is the menu's alone: the
// main frame runs the item's command before any control or key handler sees
// the key (a focused text field does not select its text on Ctrl-A, the
// console does not type the letter).

// One item's shortcut: the GUI library's key code (a letter as its capital)
// with the modifier keys held (wxMOD_ALT, wxMOD_CONTROL and wxMOD_SHIFT bits),
// and the item's command id.
struct MenuShortcut {
  int keyCode;
  int modifiers;
  int commandId;
};

// The shortcuts of every item of `menuBar`, submenus included, read from the
// items themselves (the accelerator after the tab of each label, such as
// "E&xit\tAlt-X"). Items without one give none. Null gives none.
std::vector<MenuShortcut> MenuBarShortcuts(const wxMenuBar* menuBar);

// The command of the shortcut that a key-down of `keyCode` with `modifiers`
// held is: the same key with exactly the same Alt, Ctrl and Shift (other
// modifier bits do not count; a letter in either case is the same key).
// wxID_NONE when the key is no shortcut.
int MenuShortcutCommand(const std::vector<MenuShortcut>& shortcuts, int keyCode, int modifiers);
