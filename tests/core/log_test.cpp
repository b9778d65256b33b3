#include "core/log.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

std::vector<std::pair<std::string, int>> g_console;

void CaptureConsole(const char* text, int flags) { g_console.emplace_back(text, flags); }

// Each test runs in its own process, so "log.txt" is opened in the test's
// temporary working folder by the first write below.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { g_console.clear(); }
  void TearDown() override { SetLogConsoleSink(nullptr); }
  ScopedWorkDir dir_;
};

TEST_F(LogTest, EachHelperReachesItsTargetsAndTheFileStartsEmpty) {
  WriteFile("log.txt", "line of an earlier run\n");
  LogPrintf("Before: no console %d", 1);
  ConsolePrintf("lost: no console yet");
  SetLogConsoleSink(CaptureConsole);
  LogPrintf("Both: %s", "a");
  LogToFile("FileOnly: %d", 2);
  ConsolePrintf("ConsoleOnly: %.1f", 0.5);
  LogPrintf("Ends in line end\n");
  SetLogConsoleSink(nullptr);
  LogPrintf("After: detached");

  EXPECT_EQ(ReadFile("log.txt"),
            "Before: no console 1\n"
            "Both: a\n"
            "FileOnly: 2\n"
            "Ends in line end\n\n"
            "After: detached\n");
  const std::vector<std::pair<std::string, int>> expected = {
      {"Both: a", kConsoleLineOutput},
      {"ConsoleOnly: 0.5", kConsoleLineOutput},
      {"Ends in line end\n", kConsoleLineOutput},
  };
  EXPECT_EQ(g_console, expected);
}

TEST_F(LogTest, LongTextIsCutTo1023CharactersAndUserTextStaysLiteral) {
  SetLogConsoleSink(CaptureConsole);
  const std::string long_text(2000, 'x');
  LogPrintf("%s", long_text.c_str());
  const std::string user_text = "100% %s %n done";
  LogPrintf("%s", user_text.c_str());

  ASSERT_EQ(g_console.size(), 2u);
  EXPECT_EQ(g_console[0].first, std::string(1023, 'x'));
  EXPECT_EQ(g_console[1].first, user_text);
  EXPECT_EQ(ReadFile("log.txt"), std::string(1023, 'x') + "\n" + user_text + "\n");
}

TEST_F(LogTest, NullFormatWritesNothing) {
  SetLogConsoleSink(CaptureConsole);
  const char* no_format = nullptr;
  LogPrintf(no_format, 0);
  LogToFile(no_format, 0);
  ConsolePrintf(no_format, 0);
  EXPECT_TRUE(g_console.empty());
  EXPECT_EQ(ReadFile("log.txt"), "");
}

}  // namespace
