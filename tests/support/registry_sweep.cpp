// Part of the world and render test programs: after every test, deletes the
// characters, motion controllers, graphs, motions and entities left in the
// registries (CharacterMap, MotionControllerMap, GraphRegistry, MotionMap,
// EntityMap) and g_camera, so that the next test finds them empty and may use
// the same names. By the end of a test its fixture and locals are gone:
// whatever is left was made with new.
#include <gtest/gtest.h>

#include <vector>

#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "world/camera.h"
#include "world/character.h"

namespace {

template <typename T>
void sweep_DeleteAll(const std::map<std::string, T*>& map) {
  std::vector<T*> left;
  for (const auto& entry : map) left.push_back(entry.second);
  for (T* object : left) delete object;
}

// Characters first (their mixers point at controllers), the plain entities
// (a camera's targets among them) last.
class RegistrySweep : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& /*test*/) override {
    delete g_camera;  // an entity too
    g_camera = nullptr;
    sweep_DeleteAll(CharacterMap());
    sweep_DeleteAll(MotionControllerMap());
    sweep_DeleteAll(GraphRegistry());
    sweep_DeleteAll(MotionMap());
    sweep_DeleteAll(EntityMap());
  }
};

struct SweepInstaller {
  SweepInstaller() { testing::UnitTest::GetInstance()->listeners().Append(new RegistrySweep); }
} g_sweepInstaller;

}  // namespace
