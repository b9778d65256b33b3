#include "app/view_input.h"

bool UpdateInput() {
  // The devices are polled here once they exist; without a mouse and a
  // joystick the answer is true.
  return true;
}

void HandleKeyDown(wxKeyEvent& /*event*/) {
  // Console keys and the full-screen toggle are handled here in a later
  // version.
}

void HandleMouseEvent(wxMouseEvent& /*event*/) {
  // Camera drags, lock-on and console scrolling are handled here in a later
  // version.
}
