#include "world/entity.h"

#include <utility>

#include "core/name_registry.h"

std::map<std::string, Entity*>& EntityMap() {
  static auto* map = new std::map<std::string, Entity*>;
  return *map;
}

Entity::Entity(std::string given, uint32_t flag_word) : flags(flag_word) {
  name = MakeUniqueName(EntityMap(), ToLowerName(std::move(given)));
  EntityMap()[name] = this;
}

Entity::~Entity() {
  auto& map = EntityMap();
  auto it = map.find(name);
  if (it != map.end() && it->second == this) map.erase(it);
}

bool Entity::Update() { return true; }

void Entity::Draw() {}

void Entity::Reset() {
  position.z = 0.0f;
  position.y = 0.0f;
  position.x = 0.0f;
  orientation.SetIdentity();
}

void Entity::SetPosition(const Vector3& p) {
  // No move leaves an entity where it could never be seen nor moved back.
  if (!IsFinite(p)) return;
  position.x = p.x;
  position.y = p.y;
  position.z = p.z;
}

void Entity::MoveLocal(Vector3 delta) {
  Vector3 moved = position;
  if (delta.x != 0.0f) moved += delta.x * orientation.GetXAxis();
  if (delta.y != 0.0f) moved += delta.y * orientation.GetYAxis();
  if (delta.z != 0.0f) moved += delta.z * orientation.GetZAxis();
  if (IsFinite(moved)) position = moved;
  RebuildMatrix();
}

void Entity::Turn(Vector3 angles) {
  const double kRadiansPerDegree = 0.017453292519943295;
  Quaternion qx;
  Quaternion qy;
  Quaternion qz;
  // Both own axes are taken from the orientation before any part of the turn.
  qx.SetAxisAngle(orientation.GetXAxis(), static_cast<float>(angles.x * kRadiansPerDegree));
  qy.SetAxisAngle(Vector3(0.0f, 1.0f, 0.0f), static_cast<float>(angles.y * kRadiansPerDegree));
  qz.SetAxisAngle(orientation.GetZAxis(), static_cast<float>(angles.z * kRadiansPerDegree));
  orientation.MulAssign(qx);
  orientation.MulAssign(qy);
  orientation.MulAssign(qz);
  RebuildMatrix();
}

void Entity::RebuildMatrix() {
  orientation.Normalize();
  orientation.GetMatrix(&matrix);
  matrix.Transpose();
}
