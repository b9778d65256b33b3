#pragma once

#include "core/cardinal_spline.h"
#include "core/timer.h"
#include "core/vector3.h"
#include "world/entity.h"

// The entity from which the 3-D view is drawn. Mode 0 roams freely (moved by
// the keyboard and mouse through MoveLocal and Turn); mode 2 looks at a target
// entity and, while locked on, glides along a Cardinal spline to a point
// behind ("camera.hdist") and above ("camera.vdist") it. Update ends by
// setting the OpenGL model-view matrix (Draw). Time comes from the replaceable
// platform clock.
class Camera : public Entity {
 public:
  static constexpr int kFreeRoam = 0;
  static constexpr int kTrackEntity = 2;

  // Named "camera", flag word 0, at (1, 1, 1); creates the entities "root"
  // (tracked) and "test" (moved by (5, 0, 5)).
  Camera();

  // Tracks and moves (mode 2, locked on) and sets the view. Returns true.
  bool Update() override;
  // The view transform on the current model-view matrix (needs a current GL
  // context); in mode 2 it also reads the view orientation back into
  // `orientation`, except when the target is straight above or below (the
  // look-at rotation is undefined there and the orientation is kept).
  void Draw() override;

  // Stores the mode; entering mode 2 without a target takes the entity
  // "root" if it exists (nothing is inserted into EntityMap).
  void SetMode(int mode);
  int GetMode() const { return mode; }
  // Ignored for null; else tracks the entity (mode 2).
  void SetTarget(Entity* entity);
  Entity* GetTarget() const { return target; }
  // The target's position in mode 2, the camera's own otherwise.
  Vector3 GetTargetPosition() const;
  void ToggleLockOn() { lockOn = !lockOn; }
  bool IsLockedOn() const { return lockOn; }

  // The new path parameter for a step towards `desired` (see the source).
  float ComputePathStep(const Vector3& desired);

  float u;
  Entity* target;
  int mode;
  bool lockOn;
  Vector3 pathEnd;
  float pathLength;
  CardinalSpline path;
  Timer timer;
};

// The angle in degrees between the projections of a and b on the x-z plane;
// the cosine is limited to [-1, 1]; 0 when either projection is zero.
float AngleXZ(const Vector3& a, const Vector3& b);

// The one camera; null until the application creates it.
extern Camera* g_camera;
