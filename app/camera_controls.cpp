#include "app/camera_controls.h"

#include <cmath>

#include "core/console_variable.h"
#include "world/camera.h"
#include "world/entity.h"

namespace {

// One slider's variable and map: value = low + position x span x 0.01.
struct CameraSlider {
  int id;
  const char* variable;
  // The camera's own default; the camera registers the variable first, so
  // this only matters to a program without a camera.
  float fallback;
  double low;
  double span;
};

constexpr CameraSlider kCameraSliders[] = {
    {kCameraSpeedSliderId, "camera.speed", 1.4f, 0.25, 3.75},
    {kCameraHDistSliderId, "camera.hdist", 4.8f, 0.5, 9.5},
    {kCameraVDistSliderId, "camera.vdist", 2.2f, 0.5, 9.5},
};

const CameraSlider* camera_Slider(int id) {
  for (const CameraSlider& slider : kCameraSliders) {
    if (slider.id == id) return &slider;
  }
  return nullptr;
}

}  // namespace

int CameraSliderPosition(int id) {
  const CameraSlider* slider = camera_Slider(id);
  if (slider == nullptr) return -1;
  // Bound as a local: always the variable's current value.
  const ConsoleVariable<float> variable(slider->variable, slider->fallback);
  const double position = std::round((static_cast<float>(variable) - slider->low) / slider->span * 100.0);
  // The negated test also sends a value that is not a number to 0.
  if (!(position > 0.0)) return 0;
  return position < kCameraSliderMax ? static_cast<int>(position) : kCameraSliderMax;
}

bool SetCameraVariableFromSlider(int id, int position) {
  const CameraSlider* slider = camera_Slider(id);
  if (slider == nullptr) return false;
  ConsoleVariable<float> variable(slider->variable, slider->fallback);
  variable = static_cast<float>(slider->low + position * slider->span * 0.01);
  return true;
}

void ChooseCameraMode(Camera* camera, const std::string& text) {
  if (camera == nullptr) return;
  if (text == kFreeRoamItem) {
    camera->SetMode(Camera::kFreeRoam);
  } else if (text == kTrackEntityItem) {
    camera->SetMode(Camera::kTrackEntity);
  }
}

void ChooseCameraTarget(Camera* camera, const std::string& name) {
  if (camera == nullptr) return;
  const auto& entities = EntityMap();
  const auto found = entities.find(name);
  if (found != entities.end()) camera->SetTarget(found->second);
}
