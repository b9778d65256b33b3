#pragma once

// Input from the user to the console and the camera: the per-frame device
// poll and the key and mouse events of the 3-D view. The devices and the
// handling come in a later version; these are the places where they go, so
// the frame loop and the application object already call them at the right
// moments. GUI thread only.

class wxKeyEvent;
class wxMouseEvent;

// Polls the input devices into g_joystickState, g_mouseState and
// g_keyboardState and moves the camera from the arrow keys unless the console
// is open. Called first in every frame by GlobalUpdate. Returns false when
// the mouse and the joystick both exist and are acquired, else true. There
// are no devices yet: it does nothing and returns true.
bool UpdateInput();

// Every key-down event that reaches the application object: console toggling,
// history, typed characters and the full-screen toggle. Does nothing yet. The
// caller lets the event go on to its normal processing afterwards.
void HandleKeyDown(wxKeyEvent& event);

// Every mouse event whose source is the 3-D view: camera lock-on, drags that
// move and turn the camera, console scrolling. Does nothing yet. The caller
// lets the event go on afterwards.
void HandleMouseEvent(wxMouseEvent& event);
