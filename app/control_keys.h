#pragma once

class wxWindow;

// Which key-downs a focused control uses itself. Such a key is the
// control's alone: the application object lets it go on to the control and
// does not hand it to the console as well. Every other key a control leaves
// to the console. By the control's kind, with the GUI library's key codes
// (the numeric keypad's keys counted with their main-keyboard twins):
//
//   every control      Tab and the arrow keys (the control's own use, or
//                      the toolkit moving the focus to the next control)
//   spin control,      the digits, '+' and '-', Backspace, Delete, Home,
//   text field         End, Page Up and Page Down, Enter
//   slider             Home, End, Page Up and Page Down
//   choice             Home, End, Page Up and Page Down, Space, Enter
//   button             Space, Enter
//   notebook (tabs)    Home, End, Page Up and Page Down
//
// Keys held with Alt or Ctrl (the menu accelerators) belong to no control.
// Null, or a window that is not a control (a panel, the 3-D view), keeps
// nothing. GUI thread only.
bool ControlKeepsKey(const wxWindow* control, int keyCode, bool altOrControlDown);

// True for the four arrow keys, on the main keyboard or on the keypad: over
// the 3-D view they steer the camera and must not move the keyboard focus to
// a control.
bool IsArrowKey(int keyCode);
