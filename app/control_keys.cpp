#include "app/control_keys.h"

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/defs.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>

namespace {

// The keypad's twin of a key, as the main keyboard's key.
int controlkeys_MainKey(int keyCode) {
  if (keyCode >= WXK_NUMPAD0 && keyCode <= WXK_NUMPAD9) return '0' + (keyCode - WXK_NUMPAD0);
  switch (keyCode) {
    case WXK_NUMPAD_LEFT:
      return WXK_LEFT;
    case WXK_NUMPAD_RIGHT:
      return WXK_RIGHT;
    case WXK_NUMPAD_UP:
      return WXK_UP;
    case WXK_NUMPAD_DOWN:
      return WXK_DOWN;
    case WXK_NUMPAD_HOME:
      return WXK_HOME;
    case WXK_NUMPAD_END:
      return WXK_END;
    case WXK_NUMPAD_PAGEUP:
      return WXK_PAGEUP;
    case WXK_NUMPAD_PAGEDOWN:
      return WXK_PAGEDOWN;
    case WXK_NUMPAD_DELETE:
      return WXK_DELETE;
    case WXK_NUMPAD_ENTER:
      return WXK_RETURN;
    case WXK_NUMPAD_ADD:
    case WXK_ADD:
      return '+';
    case WXK_NUMPAD_SUBTRACT:
    case WXK_SUBTRACT:
      return '-';
    case WXK_NUMPAD_SPACE:
      return WXK_SPACE;
    case WXK_NUMPAD_TAB:
      return WXK_TAB;
    default:
      return keyCode;
  }
}

bool controlkeys_Scrolls(int key) {
  return key == WXK_HOME || key == WXK_END || key == WXK_PAGEUP || key == WXK_PAGEDOWN;
}

}  // namespace

bool IsArrowKey(int keyCode) {
  const int key = controlkeys_MainKey(keyCode);
  return key == WXK_LEFT || key == WXK_RIGHT || key == WXK_UP || key == WXK_DOWN;
}

bool ControlKeepsKey(const wxWindow* control, int keyCode, bool altOrControlDown) {
  if (control == nullptr || altOrControlDown) return false;
  const bool text = dynamic_cast<const wxSpinCtrl*>(control) != nullptr ||
                    dynamic_cast<const wxTextCtrl*>(control) != nullptr;
  const bool slider = dynamic_cast<const wxSlider*>(control) != nullptr;
  const bool choice = dynamic_cast<const wxChoice*>(control) != nullptr;
  const bool button = dynamic_cast<const wxButton*>(control) != nullptr;
  const bool book = dynamic_cast<const wxBookCtrlBase*>(control) != nullptr;
  if (!text && !slider && !choice && !button && !book) return false;

  const int key = controlkeys_MainKey(keyCode);
  if (key == WXK_TAB || IsArrowKey(key)) return true;
  if (text) {
    return (key >= '0' && key <= '9') || key == '+' || key == '-' || key == WXK_BACK || key == WXK_DELETE ||
           key == WXK_RETURN || controlkeys_Scrolls(key);
  }
  if (slider || book) return controlkeys_Scrolls(key);
  if (choice) return controlkeys_Scrolls(key) || key == WXK_SPACE || key == WXK_RETURN;
  return key == WXK_SPACE || key == WXK_RETURN;
}
