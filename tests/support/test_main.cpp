// The main of every test program. Each test runs in a fresh temporary
// working folder (the system reads and writes its files there) with a log of
// its own, reads the skeleton anew at its first use, and finds the console
// variables as the test before it found them: the tests of one program may
// run in one process, in any order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <filesystem>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "tests/support/skip.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

bool SkipsFail() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

namespace {

// One registered name as a test found it.
struct SavedRecord {
  std::string name;
  CVarRecord* record;
  CVarCell cell;
  bool declaredInCode;
};

// Records registered by a test leave the registry when it ends, but live on:
// handles made during the test (function statics) may still point at them.
// Never destroyed, so that LeakSanitizer still finds them at exit.
std::vector<CVarRecord*>& Graveyard() {
  static auto* const records = new std::vector<CVarRecord*>;
  return *records;
}

class IsolatingListener : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo& /*test*/) override {
    NameTrie& registry = ConsoleVariableRegistry();
    saved_.clear();
    for (TrieNode* leaf : registry.GetLeaves(registry.GetRoot())) {
      saved_.push_back({leaf->key, leaf->value, leaf->value->cell, leaf->value->declaredInCode});
    }
    folder_ = std::make_unique<ScopedWorkDir>();
    // As at the start of a process: the skeleton is read at its first use.
    ForgetDefaultSkeletons();
  }

  void OnTestEnd(const testing::TestInfo& /*test*/) override {
    folder_.reset();
    platform::ManualClock::Uninstall();
    SetLogConsoleSink(nullptr);

    // The registry again as the test found it: its names in their order,
    // their values restored; names the test added are gone.
    NameTrie& registry = ConsoleVariableRegistry();
    std::vector<CVarRecord*> kept;
    for (const SavedRecord& saved : saved_) kept.push_back(saved.record);
    for (TrieNode* leaf : registry.GetLeaves(registry.GetRoot())) {
      bool found = false;
      for (const CVarRecord* record : kept) found = found || record == leaf->value;
      if (!found) Graveyard().push_back(leaf->value);
    }
    registry.root = std::make_unique<TrieNode>(TrieNode::kRoot);
    for (const SavedRecord& saved : saved_) {
      registry.Insert(saved.name, saved.record);
      saved.record->cell = saved.cell;
      saved.record->declaredInCode = saved.declaredInCode;
    }
  }

 private:
  std::vector<SavedRecord> saved_;
  std::unique_ptr<ScopedWorkDir> folder_;
};

}  // namespace
}  // namespace testing_support

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new testing_support::IsolatingListener);
  return RUN_ALL_TESTS();
}
