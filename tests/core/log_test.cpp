#include "core/log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

std::string g_shown;  // what reached the console, each text followed by '|'
void Show(const char* text, int flags) {
  EXPECT_EQ(flags, kConsoleLineOutput);
  g_shown += std::string(text) + "|";
}

// The test starts in a fresh working folder, the log not yet opened.
TEST(Log, EachHelperReachesItsTargetsAndTheFileStartsEmpty) {
  testing_support::WriteFile("log.txt", "line of an earlier run\n");
  LogPrintf("Before: no console %d", 1);
  ConsolePrintf("lost: no console yet");
  SetLogConsoleSink(Show);
  LogPrintf("Both: %s", "a");
  LogToFile("FileOnly: %d", 2);
  ConsolePrintf("ConsoleOnly: %.1f", 0.5);
  const std::string cut(1023, 'x'), user = "100% %s %n done";
  LogPrintf("%s", std::string(2000, 'x').c_str());  // cut to 1023 characters
  LogPrintf("%s", user.c_str());                    // user text stays literal
  const char* noFormat = nullptr;                   // writes nothing
  LogPrintf(noFormat, 0);
  LogToFile(noFormat, 0);
  ConsolePrintf(noFormat, 0);
  LogPrintf("Ends in line end\n");
  SetLogConsoleSink(nullptr);
  LogPrintf("After: detached");
  EXPECT_EQ(testing_support::ReadFile("log.txt"),
            "Before: no console 1\nBoth: a\nFileOnly: 2\n" + cut + "\n" + user + "\nEnds in line end\n\nAfter: detached\n");
  EXPECT_EQ(g_shown, "Both: a|ConsoleOnly: 0.5|" + cut + "|" + user + "|Ends in line end\n|");
}

}  // namespace
