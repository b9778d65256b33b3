#include "input/view_input.h"

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/vector3.h"
#include "input/dx_devices.h"
#include "input/input_state.h"
#include "world/camera.h"

namespace {

// The pointer's position at the previous mouse event of the view.
int g_lastMouseX = 0;
int g_lastMouseY = 0;

bool view_ConsoleOpen() { return g_console != nullptr && g_console->IsOpen(); }

}  // namespace

bool UpdateInput() {
  const bool result =
      !(g_mouse != nullptr && g_joystick != nullptr && g_mouse->acquired && g_joystick->acquired);

  if (g_joystick != nullptr && g_joystick->acquired) {
    if (InputState* state = g_joystick->Poll()) {
      g_joystickState = *state;
      delete state;
      // Forward on the stick reads positive.
      g_joystickState.joyY = -g_joystickState.joyY;
      ProcessJoystickInput();
    }
  }
  if (g_mouse != nullptr && g_mouse->acquired) {
    if (InputState* state = g_mouse->Poll()) {
      g_mouseState = *state;
      delete state;
      g_mouseState.mouseX = -g_mouseState.mouseX;
      ProcessMouseInput();
    }
  }
  if (g_keyboard != nullptr && g_keyboard->acquired) {
    // The keyboard's poll always makes a KeyboardState.
    if (auto* state = static_cast<KeyboardState*>(g_keyboard->Poll())) {
      g_keyboardState = *state;
      delete state;
      ProcessKeyboardInput();
    }
  }
  return result;
}

void ProcessKeyboardInput() {
  static ConsoleVariable<float> speed("keyboard.trans_speed", 0.35f);
  if (view_ConsoleOpen() || g_camera == nullptr) return;
  const float s = speed;
  if (g_keyboardState.IsKeyDown(kKeyUp)) g_camera->MoveLocal(Vector3(0.0f, 0.0f, -s));
  if (g_keyboardState.IsKeyDown(kKeyDown)) g_camera->MoveLocal(Vector3(0.0f, 0.0f, s));
  if (g_keyboardState.IsKeyDown(kKeyLeft)) g_camera->MoveLocal(Vector3(-s, 0.0f, 0.0f));
  if (g_keyboardState.IsKeyDown(kKeyRight)) g_camera->MoveLocal(Vector3(s, 0.0f, 0.0f));
}

void ProcessJoystickInput() {}

void ProcessMouseInput() {}

bool IsConsoleKey(int code) {
  switch (code) {
    case kViewKeyBackspace:
    case kViewKeyTab:
    case kViewKeyEnter:
    case kViewKeyConsole:
    case kViewKeyUp:
    case kViewKeyDown:
    case kViewKeyPadPlus:
    case kViewKeyPadDecimal:
      return true;
    default:
      return code >= kViewKeyFirstCharacter && code <= kViewKeyLastCharacter;
  }
}

void HandleConsoleKey(int code) {
  if (g_console == nullptr) return;
  // The keypad keys type their signs; the other keys type their codes.
  char c = static_cast<char>(code & 0xFF);
  if (code == kViewKeyPadPlus) {
    c = '=';
  } else if (code == kViewKeyPadDecimal) {
    c = '.';
  }

  if (code == kViewKeyConsole) {
    g_console->Toggle();
  } else if (code == kViewKeyUp) {
    g_console->HistoryUp();
  } else if (code == kViewKeyDown) {
    g_console->HistoryDown();
  } else if (IsConsoleKey(code)) {
    // Enter may run "exit", which ends the process inside this call.
    g_console->KeyPress(c);
  }
}

void HandleViewMouse(const ViewMouseEvent& event) {
  static ConsoleVariable<float> translation("mouse.trans_speed", 0.15f);
  static ConsoleVariable<float> rotation("mouse.rot_speed", 0.4f);
  const float t = translation;
  const float r = rotation;

  const int dx = event.x - g_lastMouseX;
  const int dy = event.y - g_lastMouseY;
  g_lastMouseX = event.x;
  g_lastMouseY = event.y;

  // Steering stops the camera following its target; letting go resumes it.
  if (g_camera != nullptr) {
    if (event.buttonPress) {
      if (g_camera->IsLockedOn()) g_camera->ToggleLockOn();
    } else if (event.buttonRelease) {
      if (!g_camera->IsLockedOn()) g_camera->ToggleLockOn();
    }
  }

  if (!event.motion) return;
  if (view_ConsoleOpen()) {
    if (event.leftDown) {
      if (dy > 1) {
        g_console->ScrollUp(dy);
      } else if (dy < -1) {
        g_console->ScrollDown(-dy);
      }
    }
    return;
  }
  if (g_camera == nullptr) return;
  if (event.leftDown) g_camera->MoveLocal(Vector3(t * dx, -t * dy, 0.0f));
  if (event.rightDown) g_camera->Turn(Vector3(r * dy, r * dx, 0.0f));
  if (event.middleDown) g_camera->Turn(Vector3(0.0f, 0.0f, r * dx));
}
