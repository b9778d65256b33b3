#pragma once

// Deletes the characters, motion controllers, graphs, motions and entities
// left in the registries (CharacterMap, MotionControllerMap, GraphRegistry,
// MotionMap, EntityMap) and g_camera, so that the next test or fuzz input
// finds them empty and may use the same names. Characters go first (their
// mixers point at controllers), the plain entities (a camera's targets among
// them) last.

#include <map>
#include <string>
#include <vector>

#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "world/camera.h"
#include "world/character.h"

namespace testing_support {

template <typename T>
void DeleteAll(const std::map<std::string, T*>& map) {
  std::vector<T*> left;
  for (const auto& entry : map) left.push_back(entry.second);
  for (T* object : left) delete object;
}

inline void DeleteWorldObjects() {
  delete g_camera;  // an entity too
  g_camera = nullptr;
  DeleteAll(CharacterMap());
  DeleteAll(MotionControllerMap());
  DeleteAll(GraphRegistry());
  DeleteAll(MotionMap());
  DeleteAll(EntityMap());
}

}  // namespace testing_support
