// The console: its store, slide, cursor, scrolling and layout, drawing,
// line editing, history, completion, the parser and the built-in commands.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "console/console_functions.h"
#include "console/gl_console.h"
#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_font.h"
#include "tests/support/skip.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/character.h"
#include "world/motion_mixer.h"

namespace {

using testing::HasSubstr;
using testing_support::ReadFile;
using Strings = std::vector<std::string>;

const char kBadAssignment[] = "Syntax Error: invalid assignment ('help' for help)";
const char kBadFunction[] = "Syntax Error: invalid function name ('help' for help)";
const char kBadCommand[] = "Syntax Error: invalid command/function ('help' for help)";

std::vector<Strings> g_calls;  // the words of every call of "test.words"

// g_console on the view cells width_ x height_ (the font size is its
// fontSize), a manual clock at 100 s, and a few variables and functions.
class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    platform::ManualClock::Install(100.0);
    g_console = new GLConsole(&width_, &height_, 12, 0.75f);
    g_calls.clear();
  }
  ~ConsoleTest() override {
    for (Character* character : made_) delete character;
    DeleteConsole();
  }
  void Type(const std::string& keys) {
    for (char c : keys) g_console->KeyPress(c);
  }
  std::tuple<std::string, int, int> State() const {
    return {g_console->currentLine, g_console->historyIndex, g_console->scrollPixels};
  }
  // Types the line and Enter: the texts printed, oldest first (the line
  // itself is stored as a hidden history entry, flags 6).
  Strings Enter(const std::string& line) {
    g_console->lines.clear();
    Type(line + "\r");
    Strings printed;
    for (auto it = g_console->lines.rbegin(); it != g_console->lines.rend(); ++it) {
      if (it->flags != 6) printed.push_back(it->text);
    }
    return printed;
  }
  // Every piece LayoutText returns as "y colour text", the colour c(ommand:
  // white), t(ext: yellow), h(ighlight: green) or e(rror: orange); each
  // piece must start at x = 5.
  static Strings Layout(float consoleHeight) {
    Strings pieces;
    for (const ConsoleTextDraw& d : g_console->LayoutText(consoleHeight, true)) {
      const char* colour = d.color.r < 1 ? " h " : d.color.g < 1 ? " e " : d.color.b < 1 ? " t " : " c ";
      pieces.push_back((d.x == 5 ? "" : "bad x ") + std::to_string(d.y) + colour + d.text);
    }
    return pieces;
  }

  int width_ = 640;
  int height_ = 480;
  std::vector<Character*> made_;
  ConsoleVariable<float> farclip_{"gl.farclip", 50.0f};
  ConsoleVariable<float> nearclip_{"gl.nearclip", 0.1f};
  ConsoleVariable<int> fps_{"stats.fps", 1};
  ConsoleVariable<float> characterHeight_{"character.height", 1.8f};
  ConsoleVariable<ConsoleFunction> words_{"test.words", [](Strings* args) {
                                            g_calls.push_back(*args);
                                            return "";
                                          }};
  ConsoleVariable<ConsoleFunction> fail_{"test.fail", [](Strings*) { return "100% %s broken"; }};
  ConsoleVariable<ConsoleFunction> none_{"test.none", nullptr};
};

TEST_F(ConsoleTest, StoreKeepsTheNewestHundredLinesLiterallyAndTheOverlayInTheFile) {
  EXPECT_EQ(g_console->lines.back().text, "GLConsole: Restoring console variables");
  for (int i = 0; i <= 100; ++i) g_console->Print(std::to_string(i), 1);
  EXPECT_EQ(g_console->lines.size(), 100u);
  EXPECT_EQ(g_console->lines.back().text, "1");
  LogPrintf("%s", "100% %s");  // the log helpers print into the console, literally
  EXPECT_EQ(std::make_pair(g_console->lines[0].text, g_console->lines[0].flags), std::make_pair(std::string("100% %s"), 1));
  // Saved at destruction, restored at construction.
  g_console->overlay = 0.25f;
  DeleteConsole();
  EXPECT_THAT(ReadFile("cvar.ini"), HasSubstr("2 console.overlay 0.250000\n"));
  testing_support::WriteFile("cvar.ini", "2 console.overlay 0.500000\n");
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  EXPECT_EQ(static_cast<float>(g_console->overlay), 0.5f);
}

TEST_F(ConsoleTest, GlobalConsoleIsClearedBeforeTheObjectDies) {
  // The save fails ("cvar.ini" is a folder) and logs while the console is
  // being destroyed without the helper: g_console is null by then.
  std::filesystem::create_directory("cvar.ini");
  static std::vector<const GLConsole*> seen;
  SetLogConsoleSink([](const char*, int) { seen.push_back(g_console); });
  delete g_console;
  EXPECT_EQ(seen, std::vector<const GLConsole*>{nullptr});
}

TEST_F(ConsoleTest, SlideCursorAndScrollFollowTheClockAndTheOpenState) {
  height_ = 400;
  // Overlay x height, grown over 0.75 s; each toggle restarts the slide,
  // closing slides too; once it has ended the height stays whole.
  for (const auto& [t, toggle, open, h] :
       {std::tuple{0.0, false, true, 0.0}, {0.3, false, true, 120.0}, {0.75, false, true, 300.0},
        {0.76, false, true, 300.0}, {0.76, true, false, 0.0}, {0.91, false, false, 60.0}, {0.91, true, true, 0.0},
        {2.91, false, true, 300.0}}) {
    platform::ManualClock::Set(100.0 + t);
    if (toggle) g_console->Toggle();
    EXPECT_EQ(g_console->IsOpen(), open) << t;
    EXPECT_NEAR(g_console->GetConsoleHeight(), h, 1e-3) << t;
  }

  // The cursor is on for 2/3 s of every 4/3 s; at 1.34 a new period starts.
  platform::ManualClock::Set(110.0);
  g_console->blinkTimer.Reset();
  for (const auto& [t, on] : {std::pair{0.0, true}, {0.66, true}, {0.67, false}, {1.3, false}, {1.34, true},
                              {1.84, true}, {2.02, false}, {2.68, true}}) {
    platform::ManualClock::Set(110.0 + t);
    EXPECT_EQ(g_console->IsCursorOn(), on) << t;
  }

  // Scrolling stays within 0 .. INT_MAX, whatever it is asked, and needs
  // the console open.
  auto scroll = [](int up, int down) {
    g_console->ScrollUp(up);
    g_console->ScrollDown(down);
    return g_console->scrollPixels;
  };
  EXPECT_EQ(scroll(40, 15), 25);
  g_console->Close();
  EXPECT_EQ(scroll(40, 15), 25);
  g_console->Open();
  EXPECT_EQ(scroll(-10, 100), 0);
  EXPECT_EQ(scroll(INT_MAX, 0), INT_MAX);
  EXPECT_EQ(scroll(INT_MAX, INT_MIN), INT_MAX);
}

// Width 100 and font 10 give rows of (int)(165 / 10) = 16 characters, pitch
// 15. In a view 200 high a console 150 high puts the prompt at
// 200 - 1 - 150 + 8 = 57 and allows 15 rows; one 20 high puts it at 187 and
// allows 2.
TEST_F(ConsoleTest, LayoutWrapsColoursSkipsHiddenLinesAndScrolls) {
  width_ = 100;
  height_ = 200;
  g_console->fontSize = 10;
  g_console->lines.clear();
  g_console->Print("ABCDEFGHIJKLMNOPQRST", 8 | 16);  // 2 rows; highlight wins
  g_console->Print("0123456789abcdef", 16);          // exactly 16: an empty last row
  g_console->Print("hidden", 6);                     // takes no row
  g_console->Print("%s%n%%", 1);                     // drawn literally
  g_console->currentLine = "cmd";
  EXPECT_EQ(Layout(150.9f), (Strings{"57 c ] cmd_", "72 t %s%n%%", "87 e ", "102 e 0123456789abcdef",
                                     "117 h QRST", "132 h ABCDEFGHIJKLMNOP"}));
  // Two rows: the prompt and the newest shown line; scrolling by 10 pixels
  // adds a row and moves everything down.
  g_console->currentLine.clear();
  g_console->Print("new", 1);
  g_console->Print("typed", 6);
  EXPECT_EQ(Layout(20.0f), (Strings{"187 c ] _", "202 t new"}));
  g_console->scrollPixels = 10;
  EXPECT_EQ(Layout(20.0f), (Strings{"177 c ] _", "192 t new", "207 t %s%n%%"}));
  // Rows of (int)(2400 x 1.65 / 10) = 396 characters: a 300-character line
  // (more than the font takes at once) stays whole.
  width_ = 2400;
  g_console->Print(std::string(300, 'L'), 1);
  EXPECT_EQ(Layout(20.0f)[1], "192 t " + std::string(300, 'L'));
  // Font height 0: rows of one pixel, pitch 5, and no division by zero.
  g_console->fontSize = 0;
  EXPECT_EQ(Layout(5.0f), (Strings{"192 c ] _", "197 t " + std::string(300, 'L')}));
}

// Text longer than the font takes at once (255 characters) goes on where it
// was. Drawing needs an off-screen context on the X display (Xvfb in the
// tests); the font is fixed-width: ten blanks measure one advance.
TEST_F(ConsoleTest, LongTextIsDrawnWholeAndInPlace) {
  platform::OffscreenGLContext gl;
  if (!gl.Create(4000, 24)) TAVRIN_SKIP_TEST(gl.error());
  const GLFont font("Courier New", 12);
  auto leftmost = [&](const std::string& text) {  // the leftmost lit column
    glClear(GL_COLOR_BUFFER_BIT);
    DrawString(const_cast<GLFont*>(&font), 5, 8, text);
    const std::vector<uint8_t> lit = gl.ReadRgb();
    int best = 4000;
    for (size_t i = 0; i < lit.size(); ++i) best = lit[i] != 0 ? std::min(best, static_cast<int>(i / 3 % 4000)) : best;
    return best;
  };
  const int alone = leftmost("X");
  const int advance = (leftmost(std::string(10, ' ') + "X") - alone) / 10;
  ASSERT_GT(advance, 0);
  ASSERT_LT(5 + 400 * advance, 4000) << "font too wide for the test surface";
  EXPECT_EQ(leftmost(std::string(255, ' ') + "X"), alone + 255 * advance);
  EXPECT_EQ(leftmost(std::string(400, ' ') + "X"), alone + 400 * advance);
}

TEST_F(ConsoleTest, KeysEditTheLineEvenWhileClosed) {
  g_console->Close();
  Type("Gl.FAR%\x01\xff");
  g_console->historyIndex = 2;
  g_console->scrollPixels = 30;
  Type("\b\b");  // backspace leaves browsing and the scroll alone
  EXPECT_EQ(State(), std::make_tuple("gl.far%", 2, 30));
  Type("Z");
  EXPECT_EQ(State(), std::make_tuple("gl.far%z", 0, 0));
  g_console->currentLine = "x";
  g_console->historyIndex = 1;
  g_console->scrollPixels = 30;
  Type("\b\b\r");
  EXPECT_EQ(State(), std::make_tuple("", 0, 0));
  EXPECT_EQ(g_console->lines.front().text, kBadCommand);
}

// Success prints the value (flags 1); a failing function its text literally,
// and a syntax error its line (flags 16). Keys edit the line, the console
// closed or not: capitals are lowered, backspace on an empty line does nothing.
TEST_F(ConsoleTest, EnteredLinesReadAssignAndCall) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"\b\bGL.FARCLIP\xff\b", "gl.farclip: 50.000000", 1},
      {"gl.farclip=0", "gl.farclip: 0.000000", 1},
      // The first word on each side of the first "=".
      {"gl.farclip = 80 90", "gl.farclip: 80.000000", 1},
      {"gl.farclip = abc", kBadAssignment, 16},
      {"gl.farclip", "gl.farclip: 80.000000", 1},
      {"  stats.fps   =   -7 ", "stats.fps: -7", 1},
      {"stats.fps gl = 3", "stats.fps: 3", 1},
      {"nosuch = 5", kBadAssignment, 16},
      {"test.fail", "Function 'test.fail' Error: 100% %s broken", 16},
      {"test.none", "Function 'test.none' Error: no handler is registered", 16},
      {"gl.farclip 5", kBadFunction, 16},
      {" test.words", kBadFunction, 16},
      {"nosuch", kBadCommand, 16},
      // Words split at every blank: two in a row give an empty word, a
      // trailing one none; success prints nothing.
      {"test.words", nullptr, 6},
      {"test.words ", nullptr, 6},
      {"test.words  a b c ", nullptr, 6},
      {"test.words a  ", nullptr, 6},
      {"test.words Z", nullptr, 6},
  };
  g_console->Close();
  for (const auto& [typed, printed, flags] : cases) {
    EXPECT_EQ(Enter(typed), printed != nullptr ? Strings{printed} : Strings{}) << typed;
    EXPECT_EQ(g_console->lines.front().flags, flags) << typed;
  }
  EXPECT_EQ(g_calls, (std::vector<Strings>{{}, {}, {"", "a", "b", "c"}, {"a", ""}, {"z"}}));
}

TEST_F(ConsoleTest, HistoryBrowsesEnteredLinesAndReturnsToTheTypedOne) {
  Type("par");
  g_console->HistoryUp();  // no history yet: the line stays
  EXPECT_EQ(g_console->currentLine, "par");
  g_console->HistoryDown();
  EXPECT_EQ(State(), std::make_tuple("par", 0, 0));
  g_console->currentLine.clear();
  Type("one\rtwo\r");
  g_console->Print("output between", 1);
  Type("par");
  // Past the oldest entry the index keeps counting; Down finally restores "par".
  std::string walk;
  for (int i = 0; i < 9; ++i) {
    i < 4 ? g_console->HistoryUp() : g_console->HistoryDown();
    walk += g_console->currentLine + " ";
  }
  EXPECT_EQ(walk, "two one one one one one two par par ");
  // Typing while browsing leaves the history; the next Up saves the new line.
  g_console->HistoryUp();
  Type("x");
  EXPECT_EQ(g_console->historyIndex, 0);
  g_console->HistoryUp();
  g_console->HistoryDown();
  EXPECT_EQ(g_console->currentLine, "twox");
}

// Tab completes the longest common prefix of the matching names and lists
// the functions (flags 8) and the variables among them; the browsing and the
// scroll stay.
TEST_F(ConsoleTest, TabCompletesTheCommonPrefixAndSuggests) {
  using Lines = std::vector<std::pair<std::string, int>>;
  const std::tuple<const char*, const char*, Lines> cases[] = {
      {"gl.", "gl.", {{"Suggestions: gl.farclip gl.nearclip ", 1}}},
      {"character.e", "character.eval_pose", {}},
      {"cha", "character.",
       {{"character.create character.eval_pose character.transitions ", 8}, {"Suggestions: character.height ", 1}}},
      {"test.", "test.", {{"Suggestions: test.words test.fail test.none ", 8}}},
      {"zzz", "zzz", {}},
  };
  for (const auto& [typed, completed, printed] : cases) {
    g_console->lines.clear();
    g_console->currentLine = typed;
    g_console->scrollPixels = 7;
    g_console->KeyPress('\t');
    EXPECT_EQ(State(), std::make_tuple(completed, 0, 7));
    Lines lines;
    for (const ConsoleLine& line : g_console->lines) lines.emplace_back(line.text, line.flags);
    EXPECT_EQ(lines, printed) << typed;
  }
}

// Errors print "Function '<name>' Error: <text>" and change nothing; names
// with a per-cent sign come out as they are.
TEST_F(ConsoleTest, CommandsCheckTheirArgumentsAndActOnTheNamedEntities) {
  Motion* walk = new Motion("walk", 10, 0);
  Camera camera;
  g_camera = &camera;
  camera.SetMode(Camera::kFreeRoam);
  EXPECT_EQ(Enter("character.create " + walk->name + " -1.5 2 3e1"), Strings{});
  Character* created = made_.emplace_back(CharacterMap().at("consoleplayer"));
  const Vector3 at = created->GetPosition();
  EXPECT_EQ(std::vector<float>({at.x, at.y, at.z}), std::vector<float>({-1.5f, 2.0f, 30.0f}));
  const MotionController* playing = created->GetMixer()->GetPrimary();
  ASSERT_NE(playing, nullptr);
  EXPECT_TRUE(playing->GetMotion() == walk && playing->playing);
  made_.push_back(new Character("still", 6));  // plays no motion
  made_.emplace_back(new Character("nograph", 6))->GetMixer()->SetPrimary(walk->CreateController(0));

  const char kTrackName[] = "Invalid Entity Name or you forgot to pass a '1' first";
  const std::pair<const char*, const char*> cases[] = {
      {"help me", "this takes no parameters"},
      {"exit now", "this takes no parameters"},
      {"camera.track 0 root", kTrackName},
      {"camera.track 1 nobody", kTrackName},
      {"camera.track 1 camera", "the camera cannot track itself"},
      {"character.create walk 1 2",
       "invalid arguments -  pass the name of the motion followed by an optional creation point (3 floats)"},
      {"character.eval_pose nobody 1 2", "Invalid Entity Name"},
      {"character.transitions nobody", "Invalid Entity Name"},
      {"character.transitions still", "that entity does not play a motion"},
      {"character.transitions nograph", "that entity does not have a graph!"},
  };
  const size_t characters = CharacterMap().size();
  // An "exit" that ran would end the test program as a success: it fails here.
  SetConsoleShutdown([] {
    std::fputs("\"exit\" ran\n", stderr);
    std::_Exit(1);
  });
  for (const auto& [line, text] : cases) {
    EXPECT_EQ(Enter(line), Strings{"Function '" + FirstWord(line) + "' Error: " + text});
  }
  SetConsoleShutdown(nullptr);
  // A creation point that is not finite would make a character that is never seen.
  for (const char* point : {" nan 0 0", " 1 inf 2", " 1 2 -1e39"}) {
    EXPECT_EQ(Enter("character.create " + walk->name + point),
              Strings{"Function 'character.create' Error: the creation point must be three finite numbers"});
  }
  // Frames 1 .. frameCount - 1 only.
  for (const char* frames : {"0 5", "5 0", "10 5", "5 10", "-1 5", "x 5", "99999999999 5"}) {
    EXPECT_EQ(Enter(std::string("character.eval_pose consoleplayer ") + frames),
              Strings{"Function 'character.eval_pose' Error: Invalid Frame Numbers"});
  }
  EXPECT_EQ(camera.GetMode(), Camera::kFreeRoam);
  EXPECT_EQ(CharacterMap().size(), characters);
  // Right: follow an entity, then roam again.
  EXPECT_EQ(Enter("camera.track 1 test"), Strings{});
  EXPECT_EQ(camera.GetMode(), Camera::kTrackEntity);
  EXPECT_EQ(camera.GetTarget(), EntityMap().at("test"));
  EXPECT_EQ(Enter("camera.track 0"), Strings{});
  EXPECT_EQ(camera.GetMode(), Camera::kFreeRoam);

  g_camera = nullptr;
  // "help" prints eleven lines, to the console only.
  const Strings help = Enter("help");
  ASSERT_EQ(help.size(), 11u);
  EXPECT_EQ(help[1], "----------------- HELP -----------------");
  EXPECT_THAT(ReadFile("log.txt"), testing::Not(HasSubstr("HELP")));
  // The value by joint angles (an in-memory motion has no joint-position cache).
  ConsoleVariable<int>("motionctrl.evaltype", 0) = 0;
  EXPECT_THAT(Enter("character.eval_pose consoleplayer 1 9"),
              testing::ElementsAre(testing::MatchesRegex("Evaluation of consoleplayer for frame 1 to 9: [-0-9.]+")));
  MotionController* controller = walk->CreateController(1);
  made_.emplace_back(new Character("a%sb", 6))->GetMixer()->SetPrimary(controller);
  controller->currentFrame = 3;
  controller->GetGraph()->GetNode(3)->edges = {{7, 0.5f}, {1, 0.25f}};
  EXPECT_EQ(Enter("character.transitions a%sb"), Strings{"a%sb's transitions on frame 3: 7 1 "});
  EXPECT_THAT(ReadFile("log.txt"), HasSubstr("a%sb's transitions on frame 3: 7 1 \n"));
}

}  // namespace
