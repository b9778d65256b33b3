#pragma once

#include <cstdint>
#include <string>

#include "core/console_variable.h"

class MotionController;

// Control ids of the player strip, local to the strip.
constexpr int kPositionSliderId = 0;
constexpr int kControllerChoiceId = 1;
constexpr int kRewindButtonId = 2;       // "<<"
constexpr int kEndButtonId = 3;          // ">>"
constexpr int kStepBackButtonId = 4;     // "<"
constexpr int kStepForwardButtonId = 5;  // ">"
constexpr int kPauseButtonId = 6;        // "||"
constexpr int kStopButtonId = 7;         // "[]"
constexpr int kPlayButtonId = 8;         // "Play"
constexpr int kSpeedSpinId = 9;
// The speed spin control's range, in percent of normal speed.
constexpr int kSpeedSpinMin = 0;
constexpr int kSpeedSpinMax = 400;

// What the player strip does to the motion controller it drives, without the
// controls themselves: which controller is current, when the list of
// controllers must be refilled, and what the frame slider, the transport
// buttons and the speed spin control do. The slider shows frames 1-based
// (slider value = currentFrame + 1). With no controller current every
// operation does nothing. GUI thread only.
class PlayerStrip {
 public:
  // No controller current, nothing listed yet; registers "player.StepSize"
  // (int, default 1; a value saved in "cvar.ini" wins).
  PlayerStrip();

  // True when MotionControllerMap holds more entries than when the list was
  // last filled (the list is refilled on growth only).
  bool ControllersAdded() const;
  // Records that the list now shows every entry of MotionControllerMap.
  void NoteControllersListed();

  // The controller named `name` becomes current; none when the name is not in
  // MotionControllerMap (nothing is added to the map).
  void ChooseController(const std::string& name);

  // The slider's range for the current controller, 1..frameCount. False, and
  // the range untouched, when no controller is current or it has no frames:
  // the slider then stays as it is.
  bool SliderRange(int* first, int* last) const;
  // The slider value that shows the current frame (currentFrame + 1); false
  // when no controller is current or it has no frames.
  bool SliderValue(int* value) const;
  // The user moved the slider to `value`: the controller stops (a running
  // blend ends) and shows frame value - 1, kept inside the motion whatever
  // the value (the toolkit may widen a one-frame range).
  void MoveToSliderValue(int value);

  // The transport operation of button `id` on the current controller: "<<"
  // Rewind, ">>" GoToEnd, "<" / ">" StepBackward / StepForward by
  // "player.StepSize" (read at each press; the controller keeps the frame
  // inside the motion for any step size, 0 and negative ones included), "||"
  // Stop, "[]" Stop then Rewind, "Play" Play. False, nothing done, for
  // another id or without a current controller.
  bool PressButton(int id);

  // The spin value that shows the current controller's speed: speed x 100
  // in double precision, truncated toward zero (a speed stored from 140 %
  // shows 139), kept inside the spin range. False without a controller.
  bool SpinValue(int* value) const;
  // The user set the spin control to `value` percent: speed = value / 100.
  void SetSpeedFromSpin(int value);

  // The number of entries MotionControllerMap had at the last fill.
  uint32_t knownControllerCount;
  // The controller driven; not owned; null when none.
  MotionController* currentController;
  // "player.StepSize": the frames that "<" and ">" move.
  ConsoleVariable<int> stepSize;

 private:
  // The current controller when it has frames; else null.
  MotionController* ControllerWithFrames() const;
};
