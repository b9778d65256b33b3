#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedWorkDir;
using Line = std::pair<std::string, int>;

const char kBadAssignment[] = "Syntax Error: invalid assignment ('help' for help)";
const char kBadFunction[] = "Syntax Error: invalid function name ('help' for help)";
const char kBadCommand[] = "Syntax Error: invalid command/function ('help' for help)";

// Every call of the test handlers, with its argument words.
std::vector<std::pair<std::string, std::vector<std::string>>> g_calls;

const char* TestHelp(std::vector<std::string>* args) {
  g_calls.emplace_back("help", *args);
  return args->empty() ? "" : "this takes no parameters";
}

const char* TestEcho(std::vector<std::string>* args) {
  g_calls.emplace_back("echo", *args);
  return "";
}

const char* TestFail(std::vector<std::string>* args) {
  g_calls.emplace_back("fail", *args);
  return "100% %s broken";
}

// Each test runs in its own process, so the registry holds exactly these
// names, in this order, followed by the console's "console.overlay".
class ConsoleParserTest : public ::testing::Test {
 protected:
  // Feeds every character of `keys` to KeyPress.
  void Type(const std::string& keys) {
    for (char c : keys) console_.KeyPress(c);
  }
  // The newest `n` stored lines, newest first.
  std::vector<Line> Newest(size_t n) const {
    std::vector<Line> result;
    for (size_t i = 0; i < n && i < console_.lines.size(); ++i) {
      result.emplace_back(console_.lines[i].text, console_.lines[i].flags);
    }
    return result;
  }

  ScopedWorkDir dir_;
  ConsoleVariable<float> farclip_{"gl.farclip", 50.0f};
  ConsoleVariable<float> nearclip_{"gl.nearclip", 0.1f};
  ConsoleVariable<float> red_{"gl.backgrnd_r", 0.4078f};
  ConsoleVariable<int> fps_{"stats.fps", 1};
  ConsoleVariable<float> step_{"player.StepSize", 2.5f};
  ConsoleVariable<ConsoleFunction> help_{"help", TestHelp};
  ConsoleVariable<ConsoleFunction> create_{"character.create", TestEcho};
  ConsoleVariable<ConsoleFunction> eval_{"character.eval_pose", TestEcho};
  ConsoleVariable<ConsoleFunction> echo_{"echo", TestEcho};
  ConsoleVariable<ConsoleFunction> fail_{"fail", TestFail};
  ConsoleVariable<ConsoleFunction> empty_{"nohandler", nullptr};
  int width_ = 640;
  int height_ = 480;
  GLConsole console_{&width_, &height_, 12, 0.75f};
};

TEST(FirstWordTest, CutsAtTheFirstBlankAfterLeadingBlanks) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""}, {"   ", ""}, {"word", "word"}, {"  two words ", "two"}, {"a  b", "a"}, {" x=", "x="}};
  for (const auto& [text, first] : cases) EXPECT_EQ(FirstWord(text), first) << "'" << text << "'";
}

TEST_F(ConsoleParserTest, KeysEditTheLineEvenWhileClosed) {
  console_.Close();
  Type("Gl.FAR%\x01\xff");
  EXPECT_EQ(console_.currentLine, "gl.far%\x01\xff");
  console_.historyIndex = 2;
  console_.Open();
  console_.scrollPixels = 30;
  Type("\b\b\b");
  EXPECT_EQ(console_.currentLine, "gl.far");
  EXPECT_EQ(console_.historyIndex, 2);  // backspace leaves browsing alone
  EXPECT_EQ(console_.scrollPixels, 30);
  Type("Z");
  EXPECT_EQ(console_.currentLine, "gl.farz");
  EXPECT_EQ(console_.historyIndex, 0);
  EXPECT_EQ(console_.scrollPixels, 0);
  console_.currentLine = "x";
  Type("\b\b\b");
  EXPECT_EQ(console_.currentLine, "");

  console_.scrollPixels = 30;
  console_.historyIndex = 1;
  Type("\r");
  EXPECT_EQ(console_.currentLine, "");
  EXPECT_EQ(console_.historyIndex, 0);
  EXPECT_EQ(console_.scrollPixels, 0);
  // Enter on the empty line stores an empty hidden history entry.
  EXPECT_EQ(Newest(2), (std::vector<Line>{{kBadCommand, 16}, {"", 6}}));
}

TEST_F(ConsoleParserTest, NamesAloneReadVariablesAndCallFunctions) {
  Type("gl.farclip\r");
  EXPECT_EQ(Newest(2), (std::vector<Line>{{"gl.farclip: 50.000000", 1}, {"gl.farclip", 6}}));
  Type("gl.nearclip\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"gl.nearclip: 0.100000", 1}}));
  Type("stats.fps\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"stats.fps: 1", 1}}));

  g_calls.clear();
  Type("help\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"help", 6}}));  // success prints nothing
  Type("fail\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"Function 'fail' Error: 100% %s broken", 16}}));
  Type("nohandler\r");
  EXPECT_EQ(Newest(1),
            (std::vector<Line>{{"Function 'nohandler' Error: no handler is registered", 16}}));
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"help", {}}, {"fail", {}}};
  EXPECT_EQ(g_calls, expected);
}

TEST_F(ConsoleParserTest, AssignmentsTakeTheFirstWordAfterTheFirstEquals) {
  struct Case {
    const char* typed;
    Line printed;
    float farclip;
    int fps;
  };
  const std::vector<Case> cases = {
      {"gl.farclip = 80 90", {"gl.farclip: 80.000000", 1}, 80.0f, 1},
      {"gl.farclip=0", {"gl.farclip: 0.000000", 1}, 0.0f, 1},
      {"gl.farclip = 1 = 2", {"gl.farclip: 1.000000", 1}, 1.0f, 1},
      {"gl.farclip = abc", {kBadAssignment, 16}, 1.0f, 1},
      {"gl.farclip =", {kBadAssignment, 16}, 1.0f, 1},  // the empty word is no number
      {"  stats.fps   =   -7 ", {"stats.fps: -7", 1}, 1.0f, -7},
      {"stats.fps = 2.5", {kBadAssignment, 16}, 1.0f, -7},
      {"stats.fps gl = 3", {"stats.fps: 3", 1}, 1.0f, 3},  // first word before "=" too
      {" = 5", {kBadAssignment, 16}, 1.0f, 3},
      {"nosuch = 5", {kBadAssignment, 16}, 1.0f, 3},
      {"help = 5", {kBadAssignment, 16}, 1.0f, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Type(std::string(c.typed) + "\r");
    EXPECT_EQ(Newest(2), (std::vector<Line>{c.printed, {c.typed, 6}}));
    EXPECT_EQ(static_cast<float>(farclip_), c.farclip);
    EXPECT_EQ(static_cast<int>(fps_), c.fps);
  }
  EXPECT_EQ(static_cast<ConsoleFunction>(help_), &TestHelp);
}

TEST_F(ConsoleParserTest, FunctionCallsSplitTheirWordsAtEveryBlank) {
  g_calls.clear();
  Type("help x\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"Function 'help' Error: this takes no parameters", 16}}));
  Type("help \r");  // a trailing blank adds no word
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"help ", 6}}));
  Type("echo  a b c \r");
  Type("echo a  \r");
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
      {"help", {"x"}}, {"help", {}}, {"echo", {"", "a", "b", "c"}}, {"echo", {"a", ""}}};
  EXPECT_EQ(g_calls, expected);

  // Words after something that is not a function.
  for (const char* typed : {"gl.farclip 5", " help", "nosuch x"}) {
    SCOPED_TRACE(typed);
    Type(std::string(typed) + "\r");
    EXPECT_EQ(Newest(2), (std::vector<Line>{{kBadFunction, 16}, {typed, 6}}));
  }
  Type("nosuch\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{kBadCommand, 16}}));
  EXPECT_EQ(g_calls.size(), 4u);
}

TEST_F(ConsoleParserTest, HistoryBrowsesEnteredLinesAndReturnsToTheTypedOne) {
  Type("par");
  console_.HistoryUp();  // no history yet: the line stays
  EXPECT_EQ(console_.currentLine, "par");
  console_.HistoryDown();
  EXPECT_EQ(console_.currentLine, "par");
  EXPECT_EQ(console_.historyIndex, 0);

  console_.currentLine.clear();
  Type("one\rtwo\r");
  console_.Print("output between", 1);
  Type("par");
  const std::vector<std::string> walk = {"two", "one", "one", "one"};
  for (const std::string& expected : walk) {
    console_.HistoryUp();
    EXPECT_EQ(console_.currentLine, expected);
  }
  EXPECT_EQ(console_.historyIndex, 4);
  const std::vector<std::string> back = {"one", "one", "two", "par", "par"};
  for (const std::string& expected : back) {
    console_.HistoryDown();
    EXPECT_EQ(console_.currentLine, expected);
  }
  EXPECT_EQ(console_.GetHistory(1), "two");
  EXPECT_EQ(console_.GetHistory(0), "par");
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
  struct Case {
    const char* typed;
    const char* line;            // the line after Tab
    std::vector<Line> printed;   // new lines, oldest first
  };
  const std::vector<Case> cases = {
      {"gl.", "gl.", {{"Suggestions: gl.farclip gl.nearclip gl.backgrnd_r ", 1}}},
      {"gl.n", "gl.nearclip", {}},
      {"char", "character.", {{"Suggestions: character.create character.eval_pose ", 8}}},
      {"c", "c",
       {{"Suggestions: console.overlay ", 1}, {"character.create character.eval_pose ", 8}}},
      {"",
       "",
       {{"Suggestions: gl.farclip gl.nearclip gl.backgrnd_r stats.fps player.StepSize "
         "console.overlay ",
         1},
        {"help character.create character.eval_pose echo fail nohandler ", 8}}},
      {"p", "player.StepSize", {}},  // capitals are reached only this way
      {"gl.farclip", "gl.farclip", {}},
      {"zzz", "zzz", {}},
      {"player.s", "player.s", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    console_.lines.clear();
    console_.currentLine = c.typed;
    console_.scrollPixels = 7;
    console_.KeyPress('\t');
    EXPECT_EQ(console_.currentLine, c.line);
    EXPECT_EQ(console_.scrollPixels, 7);
    std::vector<Line> printed;
    for (auto it = console_.lines.rbegin(); it != console_.lines.rend(); ++it) {
      printed.emplace_back(it->text, it->flags);
    }
    EXPECT_EQ(printed, c.printed);
  }
  console_.currentLine = "player.StepSize";
  Type("\r");
  EXPECT_EQ(Newest(1), (std::vector<Line>{{"player.StepSize: 2.500000", 1}}));
}

}  // namespace
