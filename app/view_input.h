#pragma once

// The 3-D view's key and mouse events, as the GUI library delivers them to
// the application object, routed into the console and camera handling of
// input/view_input.h. GUI thread only.

#include <wx/defs.h>

#include "input/view_input.h"

class wxKeyEvent;
class wxMouseEvent;

// The console's code (input/view_input.h) of a GUI library key code: the
// back-quote/tilde key, the up and down arrows, the keypad plus and decimal
// point and the keypad Enter get the console's numbers; backspace 8, tab 9,
// enter 13 and the character codes 32 to 90 (among them the main keyboard's
// '=' and '.') stay as they are; every other key gives kViewKeyNone, whatever
// its number. Inline, so that the table is tested without a window.
inline int ViewKeyCode(int keyCode) {
  switch (keyCode) {
    case '`':
    case '~':
      return kViewKeyConsole;
    case WXK_UP:
      return kViewKeyUp;
    case WXK_DOWN:
      return kViewKeyDown;
    case WXK_ADD:
    case WXK_NUMPAD_ADD:
      return kViewKeyPadPlus;
    case WXK_DECIMAL:
    case WXK_NUMPAD_DECIMAL:
      return kViewKeyPadDecimal;
    case WXK_NUMPAD_ENTER:
      return kViewKeyEnter;
    case WXK_BACK:
    case WXK_TAB:
    case WXK_RETURN:
      return keyCode;
    default:
      // The library's codes of other keys (F1 is 340, Print 319) may equal
      // console codes: only the characters keep theirs.
      return keyCode >= kViewKeyFirstCharacter && keyCode <= kViewKeyLastCharacter ? keyCode : kViewKeyNone;
  }
}

// Every key-down that reaches the application object. Alt+Enter toggles the
// full-screen view (the 3-D view fills the screen, without the notebook and
// the player strip; the second press puts them back with their sashes where
// they were); then the key goes to the console (HandleConsoleKey), so
// Alt+Enter also runs the console's line.
void HandleKeyDown(wxKeyEvent& event);

// Every mouse event whose source is the 3-D view: HandleViewMouse.
void HandleMouseEvent(wxMouseEvent& event);
