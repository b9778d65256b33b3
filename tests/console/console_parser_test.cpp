#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "tests/support/temp_dir.h"

namespace {

using Line = std::pair<std::string, int>;
using Lines = std::vector<Line>;

const char kBadAssignment[] = "Syntax Error: invalid assignment ('help' for help)";
const char kBadFunction[] = "Syntax Error: invalid function name ('help' for help)";
const char kBadCommand[] = "Syntax Error: invalid command/function ('help' for help)";

// The argument words of every handler call.
std::vector<std::vector<std::string>> g_calls;

const char* TestHelp(std::vector<std::string>* args) {
  g_calls.push_back(*args);
  return args->empty() ? "" : "this takes no parameters";
}
const char* TestFail(std::vector<std::string>* args) {
  g_calls.push_back(*args);
  return "100% %s broken";
}

// The registry holds these names, in this order, besides the console's own
// variables and commands and those of the linked libraries; the test's
// "help", "character.create" and "character.eval_pose" come first, so they
// win over the console's handlers.
class ConsoleParserTest : public ::testing::Test {
 protected:
  void Type(const std::string& keys) {
    for (char c : keys) console_.KeyPress(c);
  }
  std::tuple<std::string, int, int> State() const {
    return {console_.currentLine, console_.historyIndex, console_.scrollPixels};
  }
  // The newest `n` stored lines, newest first.
  Lines Newest(size_t n) const {
    Lines result;
    for (size_t i = 0; i < n && i < console_.lines.size(); ++i) {
      result.emplace_back(console_.lines[i].text, console_.lines[i].flags);
    }
    return result;
  }

  testing_support::ScopedWorkDir dir_;
  ConsoleVariable<float> farclip_{"gl.farclip", 50.0f};
  ConsoleVariable<float> nearclip_{"gl.nearclip", 0.1f};
  ConsoleVariable<int> fps_{"stats.fps", 1};
  ConsoleVariable<float> step_{"player.StepSize", 2.5f};
  ConsoleVariable<float> characterHeight_{"character.height", 1.8f};
  ConsoleVariable<ConsoleFunction> help_{"help", TestHelp};
  ConsoleVariable<ConsoleFunction> create_{"character.create", TestHelp};
  ConsoleVariable<ConsoleFunction> eval_{"character.eval_pose", TestHelp};
  ConsoleVariable<ConsoleFunction> fail_{"fail", TestFail};
  ConsoleVariable<ConsoleFunction> empty_{"nohandler", nullptr};
  int width_ = 640;
  int height_ = 480;
  GLConsole console_{&width_, &height_, 12, 0.75f};
};

TEST(FirstWordTest, CutsAtTheFirstBlankAfterLeadingBlanks) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""}, {"   ", ""}, {"word", "word"}, {"  two words ", "two"}, {" x=", "x="}};
  for (const auto& [text, first] : cases) EXPECT_EQ(FirstWord(text), first) << "'" << text << "'";
}

TEST_F(ConsoleParserTest, KeysEditTheLineEvenWhileClosed) {
  console_.Close();
  Type("Gl.FAR%\x01\xff");
  console_.historyIndex = 2;
  console_.scrollPixels = 30;
  Type("\b\b");  // backspace leaves browsing and the scroll alone
  EXPECT_EQ(State(), std::make_tuple("gl.far%", 2, 30));
  Type("Z");
  EXPECT_EQ(State(), std::make_tuple("gl.far%z", 0, 0));
  console_.currentLine = "x";
  Type("\b\b");
  EXPECT_EQ(console_.currentLine, "");

  console_.historyIndex = 1;
  console_.scrollPixels = 30;
  Type("\r");  // the empty line is stored as an empty hidden history entry
  EXPECT_EQ(State(), std::make_tuple("", 0, 0));
  EXPECT_EQ(Newest(2), (Lines{{kBadCommand, 16}, {"", 6}}));
}

// Each line is entered on its own: its hidden history entry (flags 6), then
// the line it prints, if any.
TEST_F(ConsoleParserTest, EnteredLinesReadAssignAndCall) {
  const struct {
    const char* typed;
    const char* printed;
    int flags;
  } cases[] = {
      {"gl.farclip", "gl.farclip: 50.000000", 1},
      {"stats.fps", "stats.fps: 1", 1},
      // The first word on each side of the first "=".
      {"gl.farclip = 80 90", "gl.farclip: 80.000000", 1},
      {"gl.farclip=0", "gl.farclip: 0.000000", 1},  // a valid 0 succeeds
      {"gl.farclip = 1 = 2", "gl.farclip: 1.000000", 1},
      {"gl.farclip = abc", kBadAssignment, 16},
      {"gl.farclip", "gl.farclip: 1.000000", 1},  // unchanged
      {"  stats.fps   =   -7 ", "stats.fps: -7", 1},
      {"stats.fps gl = 3", "stats.fps: 3", 1},
      {"nosuch = 5", kBadAssignment, 16},
      {"help = 5", kBadAssignment, 16},
      // Functions: success prints nothing, the handler's text is printed literally.
      {"help", nullptr, 0},
      {"fail", "Function 'fail' Error: 100% %s broken", 16},
      {"nohandler", "Function 'nohandler' Error: no handler is registered", 16},
      {"help x", "Function 'help' Error: this takes no parameters", 16},
      {"help ", nullptr, 0},  // a trailing blank adds no word
      {"help  a b c ", "Function 'help' Error: this takes no parameters", 16},
      {"help a  ", "Function 'help' Error: this takes no parameters", 16},
      {"gl.farclip 5", kBadFunction, 16},
      {" help", kBadFunction, 16},
      {"nosuch", kBadCommand, 16},
  };
  g_calls.clear();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    console_.lines.clear();
    Type(std::string(c.typed) + "\r");
    Lines expected;
    if (c.printed != nullptr) expected.emplace_back(c.printed, c.flags);
    expected.emplace_back(c.typed, 6);
    EXPECT_EQ(Newest(3), expected);
  }
  // Words split at every blank: two in a row give an empty word.
  EXPECT_EQ(g_calls,
            (std::vector<std::vector<std::string>>{{}, {}, {"x"}, {}, {"", "a", "b", "c"}, {"a", ""}}));
  EXPECT_EQ(static_cast<ConsoleFunction>(help_), &TestHelp);
}

TEST_F(ConsoleParserTest, HistoryBrowsesEnteredLinesAndReturnsToTheTypedOne) {
  Type("par");
  console_.HistoryUp();  // no history yet: the line stays
  console_.HistoryDown();
  EXPECT_EQ(State(), std::make_tuple("par", 0, 0));

  console_.currentLine.clear();
  Type("one\rtwo\r");
  console_.Print("output between", 1);
  Type("par");
  // Past the oldest entry the index keeps counting; Down finally restores "par".
  std::string walk;
  for (int i = 0; i < 9; ++i) {
    i < 4 ? console_.HistoryUp() : console_.HistoryDown();
    walk += console_.currentLine + " ";
  }
  EXPECT_EQ(walk, "two one one one one one two par par ");
  EXPECT_EQ(console_.GetHistory(-3), "par");

  // Typing while browsing leaves the history; the next Up saves the new line.
  console_.HistoryUp();
  Type("x");
  EXPECT_EQ(console_.historyIndex, 0);
  console_.HistoryUp();
  console_.HistoryDown();
  EXPECT_EQ(console_.currentLine, "twox");

  // Output shares the 100 entries: a burst evicts the history.
  for (int i = 0; i < 100; ++i) console_.Print("burst", 1);
  EXPECT_EQ(console_.GetHistory(1), "twox");
}

TEST_F(ConsoleParserTest, TabCompletesAndSuggests) {
  const struct {
    const char* typed;
    const char* line;  // the line after Tab
    Lines printed;     // newest first
  } cases[] = {
      {"gl.", "gl.", {{"Suggestions: gl.farclip gl.nearclip ", 1}}},
      {"character.e", "character.eval_pose", {}},
      {"cha",
       "character.",
       {{"character.create character.eval_pose character.transitions ", 8},
        {"Suggestions: character.height ", 1}}},
      {"p", "player.StepSize", {}},  // capitals are reached only this way
      {"gl.farclip", "gl.farclip", {}},
      {"zzz", "zzz", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    console_.lines.clear();
    console_.currentLine = c.typed;
    console_.scrollPixels = 7;
    console_.KeyPress('\t');
    EXPECT_EQ(console_.currentLine, c.line);
    EXPECT_EQ(console_.scrollPixels, 7);
    EXPECT_EQ(Newest(3), c.printed);
  }
  console_.currentLine = "player.StepSize";
  Type("\r");
  EXPECT_EQ(Newest(1), (Lines{{"player.StepSize: 2.500000", 1}}));
}

}  // namespace
