#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "core/matrix4.h"
#include "core/quaternion.h"
#include "core/vector3.h"

class Entity;

// Every entity by its unique lower-case name, in byte-wise name order: the
// order in which entities are updated and drawn each frame. Created on first
// use; it never owns the entities.
std::map<std::string, Entity*>& EntityMap();

// Bit of the flag word that makes the frame renderer draw the entity.
constexpr uint32_t kEntityDrawn = 2;

// A named object of the world with a place and an orientation. The name given
// to the constructor is lower-cased and made unique in EntityMap (a taken
// name gets 1, 2, 3 ... appended), and the entity is entered there.
class Entity {
 public:
  Entity(std::string name, uint32_t flags);
  // Removes the entity's EntityMap entry when that entry still points at it.
  virtual ~Entity();
  Entity(const Entity&) = delete;
  Entity& operator=(const Entity&) = delete;

  // Per-frame work; the base does nothing and returns true.
  virtual bool Update();
  // Drawing; the base draws nothing.
  virtual void Draw();
  // Back to the origin with the identity orientation; `matrix` keeps its
  // last value.
  virtual void Reset();

  const std::string& GetName() const { return name; }
  uint32_t GetFlags() const { return flags; }
  Vector3& GetPosition() { return position; }
  Quaternion& GetOrientation() { return orientation; }

  // A place with a component that is not finite is ignored.
  void SetPosition(const Vector3& p);

  // Moves by delta.x, delta.y, delta.z world units along the entity's own
  // x, y and z axes (a move that would end at a place that is not finite
  // does not happen); then renormalises the orientation and rebuilds
  // `matrix`.
  void MoveLocal(Vector3 delta);

  // Turns by angles.x degrees about the entity's own x axis, angles.y about
  // the world's up axis (0, 1, 0) and angles.z about its own z axis (both own
  // axes taken before the turn); then rebuilds `matrix`.
  void Turn(Vector3 angles);

  Vector3 position;
  Quaternion orientation;
  // The rotation of `orientation` in the column order OpenGL takes (the
  // row-major rotation transposed); rebuilt by MoveLocal and Turn only.
  Matrix4 matrix;
  std::string name;
  uint32_t flags;

 private:
  void RebuildMatrix();
};
