// The GUI library's key codes as the console receives them from a key-down
// (app/view_input.h): only the keys the console names act, whatever number
// the library gives another key.
#include "app/view_input.h"

#include <gtest/gtest.h>
#include <wx/defs.h>

#include <vector>

#include "console/gl_console.h"

namespace {

// What HandleKeyDown does with a key-down without Alt.
void PressKey(int keyCode) { HandleConsoleKey(ViewKeyCode(keyCode)); }

// The library gives letters their capitals' codes.
void TypeLine(const char* capitals) {
  for (const char* c = capitals; *c != '\0'; ++c) PressKey(*c);
  PressKey(WXK_RETURN);
}

TEST(ViewKeys, OnlyTheKeysTheConsoleNamesAct) {
  // The codes 317, 319, 337 and 340 of the console's table are the library's
  // Down, Print, keypad minus and F1; 192 is the key code of a Latin-1 letter.
  struct Case {
    std::vector<int> keys;
    const char* line;  // the console line after the keys, from "ab"
    bool open;
  };
  const Case cases[] = {
      {{'C', WXK_F1, WXK_F1, 'D'}, "abcd", true},
      {{WXK_UP, WXK_UP, WXK_PRINT}, "one", true},
      {{WXK_UP, WXK_UP, WXK_DOWN}, "two", true},
      {{WXK_SUBTRACT, WXK_ADD, WXK_NUMPAD_ADD, WXK_DECIMAL, WXK_NUMPAD_DECIMAL, WXK_DOWN}, "ab==..", true},
      {{192, 'X', WXK_HOME, WXK_NUMPAD_DOWN, WXK_DELETE, '[', WXK_BACK, '1'}, "ab1", true},
      {{'`', WXK_TAB, ' '}, "ab ", false},
      {{'~', '`', '~', WXK_NUMPAD_ENTER}, "", false},
  };
  for (const Case& c : cases) {
    g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
    TypeLine("ONE");
    TypeLine("TWO");
    g_console->currentLine = "ab";
    for (int key : c.keys) PressKey(key);
    EXPECT_EQ(g_console->currentLine, c.line) << "first key " << c.keys[0];
    EXPECT_EQ(g_console->IsOpen(), c.open) << "first key " << c.keys[0];
    DeleteConsole();
  }
}

}  // namespace
