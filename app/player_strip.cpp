#include "app/player_strip.h"

#include <algorithm>
#include <cmath>

#include "graph/motion_controller.h"

PlayerStrip::PlayerStrip() : knownControllerCount(0), currentController(nullptr) {
  stepSize.Register("player.StepSize", 1);
}

bool PlayerStrip::ControllersAdded() const {
  return MotionControllerMap().size() > knownControllerCount;
}

void PlayerStrip::NoteControllersListed() {
  knownControllerCount = static_cast<uint32_t>(MotionControllerMap().size());
}

void PlayerStrip::ChooseController(const std::string& name) {
  const auto& controllers = MotionControllerMap();
  const auto found = controllers.find(name);
  currentController = found != controllers.end() ? found->second : nullptr;
}

MotionController* PlayerStrip::ControllerWithFrames() const {
  if (currentController == nullptr || currentController->frameCount <= 0) return nullptr;
  return currentController;
}

bool PlayerStrip::SliderRange(int* first, int* last) const {
  const MotionController* controller = ControllerWithFrames();
  if (controller == nullptr) return false;
  *first = 1;
  *last = controller->frameCount;
  return true;
}

bool PlayerStrip::SliderValue(int* value) const {
  const MotionController* controller = ControllerWithFrames();
  if (controller == nullptr) return false;
  *value = controller->currentFrame + 1;
  return true;
}

void PlayerStrip::MoveToSliderValue(int value) {
  if (currentController == nullptr) return;
  currentController->Stop();
  if (ControllerWithFrames() != nullptr) {
    currentController->currentFrame = std::clamp(value - 1, 0, currentController->frameCount - 1);
  }
}

bool PlayerStrip::PressButton(int id) {
  MotionController* controller = currentController;
  if (controller == nullptr) return false;
  switch (id) {
    case kRewindButtonId:
      controller->Rewind();
      return true;
    case kEndButtonId:
      controller->GoToEnd();
      return true;
    case kStepBackButtonId:
      controller->StepBackward(stepSize);
      return true;
    case kStepForwardButtonId:
      controller->StepForward(stepSize);
      return true;
    case kPauseButtonId:
      controller->Stop();
      return true;
    case kStopButtonId:
      controller->Stop();
      controller->Rewind();
      return true;
    case kPlayButtonId:
      controller->Play();
      return true;
    default:
      return false;
  }
}

bool PlayerStrip::SpinValue(int* value) const {
  if (currentController == nullptr) return false;
  const double percent = std::trunc(static_cast<double>(currentController->speed) * 100.0);
  // Also a speed that is not a number shows as the lowest value.
  *value = percent >= kSpeedSpinMin ? static_cast<int>(std::min<double>(percent, kSpeedSpinMax))
                                    : kSpeedSpinMin;
  return true;
}

void PlayerStrip::SetSpeedFromSpin(int value) {
  if (currentController == nullptr) return;
  currentController->speed = static_cast<float>(value) / 100.0f;
}
