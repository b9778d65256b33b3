#pragma once

// Input from the user to the console and the camera, without the GUI
// library: the per-frame device poll, and the console keys and mouse drags
// of the 3-D view, which the application's key and mouse handlers translate
// into the plain forms below. GUI thread only.

// Polls the acquired devices into g_joystickState, g_mouseState and
// g_keyboardState (the stick's y and the mouse's x are stored negated), then
// moves the camera from the arrow keys unless the console is open. A device
// whose poll yields nothing keeps its record as it was. Called first in
// every frame. False when the mouse and the joystick both exist and are
// acquired, else true.
bool UpdateInput();

// The arrow-key camera motion, once per frame after the keyboard poll:
// keyboard.trans_speed (float, default 0.35) world units along the camera's
// own axes per frame for each arrow key held (up -z, down +z, left -x,
// right +x). Nothing while the console is open.
void ProcessKeyboardInput();
// Hooks after the joystick and the mouse poll; they do nothing.
void ProcessJoystickInput();
void ProcessMouseInput();

// The key codes of HandleConsoleKey, whatever the GUI library's numbering.
constexpr int kViewKeyBackspace = 8;
constexpr int kViewKeyTab = 9;
constexpr int kViewKeyEnter = 13;
constexpr int kViewKeyConsole = 192;  // the back-quote and tilde key
constexpr int kViewKeyUp = 317;
constexpr int kViewKeyDown = 319;
constexpr int kViewKeyPadPlus = 337;
constexpr int kViewKeyPadDecimal = 340;
// The codes that type themselves: space, digits, capital letters and the
// other characters between them.
constexpr int kViewKeyFirstCharacter = 32;
constexpr int kViewKeyLastCharacter = 90;
// A key the console has no use for.
constexpr int kViewKeyNone = 0;

// One key-down for the console (nothing without one): the console key
// toggles it; up and down step through its history; the keypad plus types
// '=', the keypad point '.'; backspace, tab and enter edit, complete and run
// the line; codes 32 to 90 type themselves (the console lower-cases
// letters). Any other code does nothing.
void HandleConsoleKey(int code);
// True for the codes that HandleConsoleKey acts on.
bool IsConsoleKey(int code);

// One mouse event of the 3-D view.
struct ViewMouseEvent {
  int x = 0;  // position in the view, pixels from its left
  int y = 0;  // and from its top
  bool buttonPress = false;    // a button went down (not a double click)
  bool buttonRelease = false;  // a button went up
  bool motion = false;         // the pointer moved (with or without buttons)
  bool leftDown = false;       // buttons held during the event
  bool middleDown = false;
  bool rightDown = false;
};

// The movement since the previous event (the first from (0, 0)) steers the
// camera or scrolls the console:
// - a button press stops the camera following its target, a release resumes
//   it;
// - on motion with the console open, a left drag of more than one pixel
//   scrolls its text (down shows older lines);
// - on motion with the console closed, a left drag moves the camera by
//   mouse.trans_speed (0.15) units per pixel across and up the view, a right
//   drag turns it by mouse.rot_speed (0.4) degrees per pixel (vertical drag
//   about its own x axis, horizontal about the world's up axis), a middle
//   drag rolls it about its own z axis.
void HandleViewMouse(const ViewMouseEvent& event);
