// Part of the world and render test programs: after every test, deletes what
// is left in the world's registries. By the end of a test its fixture and
// locals are gone: whatever is left was made with new.
#include <gtest/gtest.h>

#include "tests/support/world_sweep.h"

namespace {

class RegistrySweep : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& /*test*/) override { testing_support::DeleteWorldObjects(); }
};

struct SweepInstaller {
  SweepInstaller() { testing::UnitTest::GetInstance()->listeners().Append(new RegistrySweep); }
} g_sweepInstaller;

}  // namespace
