// The camera entity: free roaming, or tracking a target along a Cardinal
// spline to a point behind and above it; sets the OpenGL view.
#include "world/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <iostream>
#include <optional>

#include "core/console_variable.h"
#include "core/quaternion.h"

Camera* g_camera = nullptr;

namespace {

ConsoleVariable<float> g_cameraHDist("camera.hdist", 4.8f);
ConsoleVariable<float> g_cameraVDist("camera.vdist", 2.2f);
ConsoleVariable<float> g_cameraSpeed("camera.speed", 1.4f);
ConsoleVariable<float> g_cameraMinVelocity("camera.min_velocity", 8.0f);
ConsoleVariable<float> g_cameraMaxVelocity("camera.max_velocity", 37.0f);

// A goal or a camera farther than this from where the path expects it makes
// Update plan a new path.
constexpr float kCameraReplanDistance = 1.45f;
// Turns of the target's heading up to this many degrees keep the kept offset.
constexpr float kCameraHeadingTolerance = 0.75f;
// Beyond this distance from the goal only "camera.max_velocity" counts.
constexpr float kCameraFarDistance = 27.0f;
// Closer than this only the catch-up velocity counts.
constexpr float kCameraNearDistance = 0.5f;
constexpr float kCameraCatchUpFactor = 0.15f;

// Tracking state kept between Update calls; one set for the one camera (all
// instances share it).
struct CameraTrackState {
  bool haveOffset = false;
  Vector3 lastOffset;
  float lastAngle = -1.0f;
  Vector3 lastPathPoint;
};

CameraTrackState& camera_State() {
  static CameraTrackState state;
  return state;
}

Vector3 camera_FromSpline(const SplinePoint& p) { return Vector3(p.x(), p.y(), p.z()); }

}  // namespace

float AngleXZ(const Vector3& a, const Vector3& b) {
  const double ax = a.x;
  const double az = a.z;
  const double bx = b.x;
  const double bz = b.z;
  const double lengths = std::sqrt(ax * ax + az * az) * std::sqrt(bx * bx + bz * bz);
  // No direction on the plane (or no number at all): no angle to measure.
  if (!(lengths > 0.0) || !std::isfinite(lengths)) return 0.0f;
  double ratio = (ax * bx + az * bz) / lengths;
  if (std::isnan(ratio)) return 0.0f;
  // Rounding can push the ratio of equal directions just past 1.
  if (ratio > 1.0) ratio = 1.0;
  if (ratio < -1.0) ratio = -1.0;
  return static_cast<float>(std::acos(ratio) * 57.29577951308232);
}

Camera::Camera()
    : Entity("Camera", 0),
      u(0.0f),
      target(nullptr),
      mode(kFreeRoam),
      lockOn(true),
      pathEnd(0.0f, 0.0f, 0.0f),
      pathLength(-1.0f),
      path(0.5f) {
  position = Vector3(1.0f, 1.0f, 1.0f);
  timer.Reset();
  SetTarget(new Entity("root", kEntityDrawn));
  Entity* test = new Entity("test", kEntityDrawn);
  test->MoveLocal(Vector3(5.0f, 0.0f, 5.0f));
}

void Camera::SetMode(int newMode) {
  mode = newMode;
  if (mode == kTrackEntity && target == nullptr) {
    auto& map = EntityMap();
    auto it = map.find("root");
    if (it != map.end()) target = it->second;
  }
}

void Camera::SetTarget(Entity* entity) {
  if (entity == nullptr) return;
  target = entity;
  SetMode(kTrackEntity);
}

Vector3 Camera::GetTargetPosition() const {
  if (mode == kTrackEntity && target != nullptr) return target->position;
  return position;
}

float Camera::ComputePathStep(const Vector3& desired) {
  const float d = Distance(position, desired);
  const float t = static_cast<float>(timer.GetTimeSinceReset());
  // No time passed (or the clock went back), or a path without length: the
  // step is undefined, so the camera stays where the path has it.
  if (!(t > 0.0f) || !std::isfinite(t) || !(pathLength > 0.0f) || !std::isfinite(pathLength)) {
    return u;
  }
  const float v = Distance(desired, pathEnd) / t;
  const float minVelocity = g_cameraMinVelocity;
  const float vel = v >= minVelocity ? v : minVelocity;
  float f;
  if (d > kCameraFarDistance) {
    f = 1.0f;
  } else if (d >= kCameraNearDistance) {
    f = d / kCameraFarDistance;
  } else {
    f = 0.0f;
  }
  const float maxVelocity = g_cameraMaxVelocity;
  const float speed = maxVelocity * f + (1.0f - f) * vel * kCameraCatchUpFactor;
  const float next = u + speed * t / pathLength * static_cast<float>(g_cameraSpeed);
  if (std::isnan(next)) return u;
  u = next > 1.0f ? 1.0f : next;
  return u;
}

bool Camera::Update() {
  CameraTrackState& state = camera_State();
  if (mode == kTrackEntity && target != nullptr && lockOn) {
    Vector3 offset = target->orientation.GetXAxis();
    offset.y = 0.0f;
    offset = -static_cast<float>(g_cameraHDist) * offset;
    const Vector3 targetPosition = target->position;
    // Without a horizontal offset (a vertical x axis, "camera.hdist" 0) there
    // is no heading to stand behind: the camera stays and only looks.
    const bool hasHeading = (offset.x != 0.0f || offset.z != 0.0f) && IsFinite(offset);
    if (hasHeading && IsFinite(targetPosition)) {
      if (!state.haveOffset) {
        state.lastOffset = offset;
        state.haveOffset = true;
      }
      const float angle = AngleXZ(state.lastOffset, offset);
      if (state.lastAngle == -1.0f) {
        state.lastAngle = angle;
        timer.Reset();
      }
      if (std::fabs(angle - state.lastAngle) > kCameraHeadingTolerance) {
        state.lastOffset = offset;
        state.lastAngle = angle;
      }
      const Vector3 desired(targetPosition.x + state.lastOffset.x,
                            targetPosition.y + static_cast<float>(g_cameraVDist),
                            targetPosition.z + state.lastOffset.z);
      if (IsFinite(desired)) {
        if (Distance(desired, pathEnd) > kCameraReplanDistance ||
            Distance(position, state.lastPathPoint) > kCameraReplanDistance) {
          pathLength = Distance(position, desired);
          std::cout << "plotting new spline... " << std::endl;
          path.Clear();
          path.AddPoint(SplinePoint(position.x, position.y, position.z));
          path.AddPoint(SplinePoint(desired.x, desired.y, desired.z));
          pathEnd = desired;
          u = 0.0f;
          if (!std::isfinite(pathLength)) {
            // Too far off for a path of any length (flown out beyond the
            // float range): the camera is put at its place at once.
            position = desired;
            state.lastPathPoint = desired;
            u = 1.0f;
          }
        }
        if (u < 1.0f) {
          u = ComputePathStep(desired);
          const unsigned int segment = static_cast<unsigned int>(path.GetControlPoints().size() - 1);
          const std::optional<SplinePoint> p = path.EvaluateSegment(segment, u);
          if (p.has_value() && IsFinite(camera_FromSpline(*p))) {
            state.lastPathPoint = camera_FromSpline(*p);
            position = state.lastPathPoint;
          }
        }
      }
    }
  }
  timer.Reset();
  Draw();
  return true;
}

void Camera::Draw() {
  if (mode != kFreeRoam && mode != kTrackEntity) return;
  if (mode == kTrackEntity) {
    const Vector3 centre = GetTargetPosition();
    // Looking straight up or down (or at itself) the look-at rotation is
    // undefined: the camera keeps the orientation it had.
    if (centre.x != position.x || centre.z != position.z) {
      glPushMatrix();
      glLoadIdentity();
      gluLookAt(position.x, position.y, position.z, centre.x, centre.y, centre.z, 0.0, 1.0, 0.0);
      float values[16];
      glGetFloatv(GL_MODELVIEW_MATRIX, values);
      Matrix4 view;
      view = values;
      view.Transpose();
      orientation.SetFromMatrix(view);
      orientation.GetMatrix(&matrix);
      matrix.Transpose();
      glPopMatrix();
    }
  }
  glLoadMatrixf(matrix.m);
  glTranslatef(-position.x, -position.y, -position.z);
}
