// The main of every test program. Each test runs in a fresh temporary
// working folder (the system reads and writes its files there) with a log of
// its own, reads the skeleton anew at its first use, and finds the console
// variables as the test before it found them: the tests of one program may
// run in one process, in any order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "motion/skeleton.h"
#include "platform/clock.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

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
    for (TrieNode* leaf : registry.GetLeaves(registry.GetRoot())) saved_.emplace_back(leaf->value, *leaf->value);
    // The log follows the working folder: the next line logged opens it there.
    previous_ = fs::current_path().string();
    folder_ = (fs::temp_directory_path() / "tavrin-test-XXXXXX").string();
    if (mkdtemp(folder_.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
    fs::current_path(folder_);
    CloseLogFile();
    // As at the start of a process: the skeleton is read at its first use.
    ForgetDefaultSkeletons();
  }

  void OnTestEnd(const testing::TestInfo& /*test*/) override {
    CloseLogFile();
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(folder_, ec);
    platform::ManualClock::Uninstall();
    SetLogConsoleSink(nullptr);

    // The registry again as the test found it: its names in their order,
    // their values restored; names the test added are gone.
    NameTrie& registry = ConsoleVariableRegistry();
    for (TrieNode* leaf : registry.GetLeaves(registry.GetRoot())) {
      const auto same = [leaf](const auto& saved) { return saved.first == leaf->value; };
      if (std::none_of(saved_.begin(), saved_.end(), same)) Graveyard().push_back(leaf->value);
    }
    registry.root = std::make_unique<TrieNode>(TrieNode::kRoot);
    for (const auto& [record, found] : saved_) {
      registry.Insert(found.name, record);
      *record = found;
    }
  }

 private:
  std::vector<std::pair<CVarRecord*, CVarRecord>> saved_;  // each registered record, and its state then
  std::string folder_, previous_;
};

}  // namespace
}  // namespace testing_support

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new testing_support::IsolatingListener);
  return RUN_ALL_TESTS();
}
