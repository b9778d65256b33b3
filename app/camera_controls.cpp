#include "app/camera_controls.h"

#include <cmath>
#include <iterator>

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

// The slider's variable, bound on first use; a handle reads the shared cell,
// so it always gives the variable's current value.
ConsoleVariable<float>& camera_Variable(const CameraSlider& slider) {
  static ConsoleVariable<float> variables[] = {
      {kCameraSliders[0].variable, kCameraSliders[0].fallback},
      {kCameraSliders[1].variable, kCameraSliders[1].fallback},
      {kCameraSliders[2].variable, kCameraSliders[2].fallback},
  };
  static_assert(std::size(variables) == std::size(kCameraSliders));
  return variables[&slider - kCameraSliders];
}

}  // namespace

int CameraSliderPosition(int id) {
  const CameraSlider* slider = camera_Slider(id);
  if (slider == nullptr) return -1;
  const float value = camera_Variable(*slider);
  const double position = std::round((value - slider->low) / slider->span * 100.0);
  // The negated test also sends a value that is not a number to 0.
  if (!(position > 0.0)) return 0;
  return position < kCameraSliderMax ? static_cast<int>(position) : kCameraSliderMax;
}

bool SetCameraVariableFromSlider(int id, int position) {
  const CameraSlider* slider = camera_Slider(id);
  if (slider == nullptr) return false;
  camera_Variable(*slider) = static_cast<float>(slider->low + position * slider->span * 0.01);
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
