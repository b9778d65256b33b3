#pragma once

#include <string>

class Camera;

// Control ids of the "Camera" page, local to the page.
constexpr int kCameraStateChoiceId = 0;
constexpr int kCameraEntityChoiceId = 1;
constexpr int kCameraSpeedSliderId = 2;
constexpr int kCameraHDistSliderId = 3;
constexpr int kCameraVDistSliderId = 4;
// Every slider of the page runs from 0 to this.
constexpr int kCameraSliderMax = 100;

// The mode choice's items: mode 0 (free roaming) and mode 2 (tracking).
constexpr const char kFreeRoamItem[] = "FREEROAM";
constexpr const char kTrackEntityItem[] = "TRACKENTITY";

// What the "Camera" page does to the camera and its console variables,
// without the controls themselves. The three sliders edit, by id:
//
//   2  "camera.speed"  0.25 + p x 3.75 / 100   (0.25 to 4.0)
//   3  "camera.hdist"  0.5  + p x 9.5 / 100    (0.5 to 10.0)
//   4  "camera.vdist"  0.5  + p x 9.5 / 100    (0.5 to 10.0)
//
// for slider positions p = 0..100, in double precision stored as a float.
// GUI thread only.

// The position of slider `id` that shows its variable's current value: the
// inverse map rounded to the nearest position (so a position just chosen
// reads back unchanged), and a value outside the slider's range gives its
// nearest end. -1 for another id.
int CameraSliderPosition(int id);

// The user moved slider `id` to `position`: its variable takes the mapped
// value. False, nothing changed, for another id.
bool SetCameraVariableFromSlider(int id, int position);

// The mode choice's item `text`: "FREEROAM" sets the camera to free roaming,
// "TRACKENTITY" to tracking; other text changes nothing.
void ChooseCameraMode(Camera* camera, const std::string& text);

// The entity choice's item `name`: that entity of EntityMap becomes the
// camera's target (which switches it to tracking); a name no longer in the
// map changes nothing.
void ChooseCameraTarget(Camera* camera, const std::string& name);
