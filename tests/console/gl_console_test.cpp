#include "console/gl_console.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "render/gl_font.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// Each test runs in its own process and working folder, on a manual clock at
// 100 s, so "cvar.ini", "log.txt" and the registry start empty.
class GLConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(100.0); }
  void TearDown() override { platform::ManualClock::Uninstall(); }
  ScopedWorkDir dir_;
};

struct Expected {
  int y;
  char colour;  // 'c' command, 't' text, 'h' highlight, 'e' error
  std::string text;
};

bool SameColour(const Color4& a, const Color4& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void ExpectDraws(const GLConsole& console, const std::vector<ConsoleTextDraw>& draws,
                 const std::vector<Expected>& expected) {
  ASSERT_EQ(draws.size(), expected.size());
  for (size_t i = 0; i < draws.size(); ++i) {
    SCOPED_TRACE("draw " + std::to_string(i));
    EXPECT_EQ(draws[i].x, 5);
    EXPECT_EQ(draws[i].y, expected[i].y);
    EXPECT_EQ(draws[i].text, expected[i].text);
    const Color4& colour = expected[i].colour == 'c'   ? console.commandColor
                           : expected[i].colour == 't' ? console.textColor
                           : expected[i].colour == 'h' ? console.highlightColor
                                                       : console.errorColor;
    EXPECT_TRUE(SameColour(draws[i].color, colour));
  }
}

TEST_F(GLConsoleTest, StoreKeepsTheNewestHundredLinesLiterally) {
  int width = 640;
  int height = 480;
  GLConsole console(&width, &height, 12, 0.75f);
  ASSERT_EQ(console.lines.size(), 1u);
  EXPECT_EQ(console.lines.front().text, "GLConsole: Restoring console variables");
  EXPECT_EQ(console.lines.front().flags, 1);

  for (int i = 0; i < 100; ++i) console.Print(("line " + std::to_string(i)).c_str(), 1);
  ASSERT_EQ(console.lines.size(), 100u);
  EXPECT_EQ(console.lines.front().text, "line 99");
  EXPECT_EQ(console.lines.back().text, "line 0");  // the start-up line was dropped
  console.Print("line 100", 8);
  ASSERT_EQ(console.lines.size(), 100u);
  EXPECT_EQ(console.lines.back().text, "line 1");

  console.Print(static_cast<const char*>(nullptr), 1);
  EXPECT_EQ(console.lines.front().text, "");
  console.Print(std::string("a\0b", 3), 2);
  EXPECT_EQ(console.lines.front().text, std::string("a\0b", 3));

  // The log helpers reach the console that exists; their text stays literal.
  LogPrintf("Renderer: %d frames", 5);
  EXPECT_EQ(console.lines.front().text, "Renderer: 5 frames");
  EXPECT_EQ(console.lines.front().flags, 1);
  ConsolePrintf("%s", "100% %s %n done");
  EXPECT_EQ(console.lines.front().text, "100% %s %n done");
}

TEST_F(GLConsoleTest, OverlayIsRestoredFromAndSavedToTheFile) {
  int width = 640;
  int height = 480;
  {
    GLConsole console(&width, &height, 12, 0.75f);
    EXPECT_EQ(static_cast<float>(console.overlay), 0.75f);
    console.overlay = 0.25f;
  }
  EXPECT_EQ(ReadFile("cvar.ini"), "2 console.overlay 0.250000\n");

  WriteFile("cvar.ini", "2 console.overlay 0.500000\n");
  GLConsole console(&width, &height, 12, 0.9f);
  EXPECT_EQ(static_cast<float>(console.overlay), 0.5f);
}

TEST_F(GLConsoleTest, GlobalConsoleIsClearedBeforeTheObjectDies) {
  EXPECT_EQ(g_console, nullptr);
  DeleteConsole();  // nothing to delete

  // The save fails (its temporary name is a folder) and logs while the
  // console is being destroyed: by then g_console must already be null.
  std::filesystem::create_directory(dir_.File("cvar.ini.tmp"));
  static std::vector<std::pair<std::string, const GLConsole*>> seen;
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  SetLogConsoleSink([](const char* text, int) { seen.emplace_back(text, g_console); });
  DeleteConsole();
  EXPECT_EQ(g_console, nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first.rfind("SaveCVars: ", 0), 0u) << seen[0].first;
  EXPECT_EQ(seen[0].second, nullptr);

  // A console deleted without the helper still clears the global, and the
  // log no longer reaches it (a dangling sink would be a use after free).
  std::filesystem::remove(dir_.File("cvar.ini.tmp"));
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  delete g_console;
  EXPECT_EQ(g_console, nullptr);
  LogPrintf("%s", "after the console");
  EXPECT_NE(ReadFile("log.txt").find("after the console"), std::string::npos);
}

TEST_F(GLConsoleTest, SlideGrowsToOverlayTimesHeightInThreeQuartersOfASecond) {
  int width = 640;
  int height = 400;
  GLConsole console(&width, &height, 12, 0.75f);
  EXPECT_TRUE(console.IsOpen());
  EXPECT_FLOAT_EQ(console.GetConsoleHeight(), 0.0f);
  platform::ManualClock::Set(100.3);
  EXPECT_NEAR(console.GetConsoleHeight(), 0.3 / 0.75 * 400 * 0.75, 1e-3);  // 120
  platform::ManualClock::Set(100.75);  // the slide still runs at exactly 0.75 s
  EXPECT_FLOAT_EQ(console.GetConsoleHeight(), 300.0f);
  EXPECT_TRUE(console.animating);
  platform::ManualClock::Set(100.76);
  EXPECT_FLOAT_EQ(console.GetConsoleHeight(), 300.0f);
  EXPECT_FALSE(console.animating);

  // Each toggle restarts the slide from 0; closing still slides (nothing is
  // drawn while closed).
  console.Toggle();
  EXPECT_FALSE(console.IsOpen());
  platform::ManualClock::Advance(0.15);
  EXPECT_NEAR(console.GetConsoleHeight(), 0.15 / 0.75 * 400 * 0.75, 1e-3);  // 60
  console.Toggle();
  EXPECT_TRUE(console.IsOpen());
  EXPECT_NEAR(console.GetConsoleHeight(), 0.0, 1e-3);
  platform::ManualClock::Advance(2.0);
  console.overlay = 1.0f;
  height = 333;  // the cell is read on every call
  EXPECT_FLOAT_EQ(console.GetConsoleHeight(), 333.0f);
}

TEST_F(GLConsoleTest, CursorIsOnForTwoThirdsOfEveryFourThirdsSecond) {
  int width = 640;
  int height = 480;
  GLConsole console(&width, &height, 12, 0.75f);
  const std::vector<std::pair<double, bool>> steps = {
      {0.0, true}, {0.5, true}, {0.66, true}, {0.67, false}, {1.3, false},
      {1.34, true},  // the period ended: a new one starts at 101.34
      {1.84, true}, {2.02, false}, {2.68, true}};
  for (const auto& [t, on] : steps) {
    platform::ManualClock::Set(100.0 + t);
    EXPECT_EQ(console.IsCursorOn(), on) << "at " << t;
  }
}

TEST_F(GLConsoleTest, ScrollingStaysWithinZeroAndIntMaxAndNeedsTheConsoleOpen) {
  int width = 640;
  int height = 480;
  GLConsole console(&width, &height, 12, 0.75f);
  console.ScrollUp(40);
  console.ScrollDown(15);
  EXPECT_EQ(console.scrollPixels, 25);
  console.Close();
  console.ScrollUp(40);
  console.ScrollDown(15);
  EXPECT_EQ(console.scrollPixels, 25);
  console.Open();
  console.ScrollDown(100);
  console.ScrollUp(-10);
  EXPECT_EQ(console.scrollPixels, 0);
  console.ScrollUp(INT_MAX);
  console.ScrollUp(INT_MAX);
  console.ScrollDown(INT_MIN);
  EXPECT_EQ(console.scrollPixels, INT_MAX);
}

// Width 100 and font 10 give rows of (int)(165 / 10) = 16 characters; the
// pitch is 15. In a view 200 high, a console 150 high puts the prompt at
// 200 - 1 - 150 + 8 = 57 and allows 15 rows.
TEST_F(GLConsoleTest, LayoutWrapsColoursAndSkipsHiddenLines) {
  int width = 100;
  int height = 200;
  GLConsole console(&width, &height, 10, 0.75f);
  console.lines.clear();
  console.Print("ABCDEFGHIJKLMNOPQRST", 8 | 16);  // 20 characters: 2 rows, 8 wins
  console.Print("0123456789abcdef", 16);          // exactly 16: an empty last row
  console.Print("hidden", 6);
  console.Print("%s%n%%", 1);  // drawn literally
  console.currentLine = "cmd";

  ExpectDraws(console, console.LayoutText(150.9f, true),
              {{57, 'c', "] cmd_"},
               {72, 't', "%s%n%%"},
               {87, 'e', ""},
               {102, 'e', "0123456789abcdef"},
               {117, 'h', "QRST"},
               {132, 'h', "ABCDEFGHIJKLMNOP"}});
  EXPECT_EQ(console.LayoutText(150.0f, false)[0].text, "] cmd ");
}

TEST_F(GLConsoleTest, LayoutRowsLimitTheLinesAndScrollingRevealsOlderOnes) {
  int width = 100;
  int height = 200;
  GLConsole console(&width, &height, 10, 0.75f);
  console.lines.clear();
  for (const char* text : {"oldest", "older", "old", "new"}) console.Print(text, 1);
  console.Print("typed", 6);  // hidden: takes no row

  // A console 20 high allows 2 rows: the prompt at 187 and one line.
  ExpectDraws(console, console.LayoutText(20.0f, true), {{187, 'c', "] _"}, {202, 't', "new"}});
  // Scrolling by 10 pixels allows one more row and moves everything down.
  console.scrollPixels = 10;
  ExpectDraws(console, console.LayoutText(20.0f, true),
              {{177, 'c', "] _"}, {192, 't', "new"}, {207, 't', "old"}});
  // A wrapped line uses up rows: 3 rows hold the prompt and one 2-row line.
  console.scrollPixels = 0;
  console.Print(std::string(20, 'w'), 1);
  ExpectDraws(console, console.LayoutText(30.0f, true),
              {{177, 'c', "] _"}, {192, 't', "wwww"}, {207, 't', std::string(16, 'w')}});
}

TEST_F(GLConsoleTest, LayoutSurvivesDegenerateViewsAndKeepsLongLinesWhole) {
  // Narrower than one character: (int)(1 x 1.65 / 12) is 0, so every
  // character gets a row of its own (plus the empty last row).
  {
    int width = 1;
    int height = 300;
    GLConsole console(&width, &height, 12, 0.75f);
    console.lines.clear();
    console.Print("abc", 1);
    // Prompt at 300 - 1 - 200 + 8 = 107, pitch 17.
    ExpectDraws(console, console.LayoutText(200.0f, true),
                {{107, 'c', "] _"}, {124, 't', ""}, {141, 't', "c"}, {158, 't', "b"}, {175, 't', "a"}});
  }
  // A view 0 high, a font of height 0, absurd console heights: no division by
  // zero, no overflow.
  {
    int width = 100;
    int height = 100;
    GLConsole console(&width, &height, 0, 0.75f);
    // Rows of one pixel, pitch 5: the prompt at 100 - 1 - 50 + 8 = 57.
    ExpectDraws(console, console.LayoutText(50.0f, true),
                {{57, 'c', "] _"}, {62, 't', "GLConsole: Restoring console variables"}});
  }
  {
    int width = 100;
    int height = 0;
    GLConsole console(&width, &height, 12, 0.75f);
    console.Print(std::string(50, 'x'), 1);
    EXPECT_FLOAT_EQ(console.GetConsoleHeight(), 0.0f);
    ExpectDraws(console, console.LayoutText(0.0f, true), {{7, 'c', "] _"}});
    EXPECT_TRUE(console.LayoutText(std::numeric_limits<float>::quiet_NaN(), true).size() <= 2u);
    EXPECT_TRUE(console.LayoutText(1e30f, true).empty());
    EXPECT_TRUE(console.LayoutText(-1e30f, true).empty());
    console.scrollPixels = INT_MAX;
    EXPECT_TRUE(console.LayoutText(1e30f, true).empty());
  }
  // A wide view: (int)(2400 x 1.65 / 12) = 330 characters a row, more than
  // the font takes in one call; the layout keeps the line whole.
  {
    int width = 2400;
    int height = 600;
    GLConsole console(&width, &height, 12, 0.75f);
    console.lines.clear();
    const std::string line(300, 'L');
    console.Print(line, 1);
    const std::vector<ConsoleTextDraw> draws = console.LayoutText(450.0f, true);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1].text, line);
  }
}

// Drawing needs an off-screen context on the X display (Xvfb in the tests).
class GLConsoleDrawTest : public GLConsoleTest {
 protected:
  bool Start(int width, int height) {
    if (!gl_.Create(width, height)) return false;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
  }
  // The RGB of window pixel (x, y), y counted from the top row.
  std::vector<int> Pixel(const std::vector<uint8_t>& rgb, int x, int row) const {
    const size_t at = (static_cast<size_t>(row) * gl_.width() + x) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
  }
  platform::OffscreenGLContext gl_;
};

TEST_F(GLConsoleDrawTest, RenderCoversTheTopOfTheViewAndRestoresTheState) {
  if (!Start(320, 240)) GTEST_SKIP() << gl_.error();
  GLConsole console(nullptr, nullptr, 12, 0.75f);
  EXPECT_EQ(*console.width, 320);  // the cells were filled from the viewport
  EXPECT_EQ(*console.height, 240);
  ASSERT_NE(console.GetFont(), nullptr);
  console.Print("%n%n%n%s%s", 1);  // literal text, never a format
  console.currentLine = "abc";
  platform::ManualClock::Advance(1.0);

  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_MODELVIEW);
  console.Render();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);

  // The console covers 0.75 x 240 = 180 rows from the top in the panel's
  // colour (0.8, 0.2, 0.3); below it the view is untouched.
  const std::vector<uint8_t> rgb = gl_.ReadRgb();
  const std::vector<int> panel = Pixel(rgb, 300, 5);
  EXPECT_NEAR(panel[0], 204, 2);
  EXPECT_NEAR(panel[1], 51, 2);
  EXPECT_NEAR(panel[2], 76, 2);
  EXPECT_EQ(Pixel(rgb, 300, 179), panel);
  EXPECT_EQ(Pixel(rgb, 300, 181), (std::vector<int>{0, 0, 0}));
  // The prompt is white, its baseline 240 - 1 - 180 + 8 = 67 from the bottom
  // (row 173 from the top), so white pixels lie just above that row.
  int white = 0;
  for (int row = 155; row <= 173; ++row) {
    for (int x = 5; x < 60; ++x) {
      const std::vector<int> p = Pixel(rgb, x, row);
      if (p[0] > 200 && p[1] > 200 && p[2] > 200) ++white;
    }
  }
  EXPECT_GT(white, 10);

  // Closed: nothing at all is drawn.
  console.Close();
  glClear(GL_COLOR_BUFFER_BIT);
  console.Render();
  for (uint8_t byte : gl_.ReadRgb()) ASSERT_EQ(byte, 0);

  // An empty viewport draws nothing and raises no GL error.
  console.Open();
  glViewport(0, 0, 320, 0);
  console.Render();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(*console.height, 0);
  for (uint8_t byte : gl_.ReadRgb()) ASSERT_EQ(byte, 0);
}

TEST_F(GLConsoleDrawTest, ConsoleDeletesItsFont) {
  if (!Start(64, 64)) GTEST_SKIP() << gl_.error();
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  ASSERT_NE(g_console->GetFont(), nullptr);
  const GLuint base = g_console->GetFont()->listBase;
  ASSERT_NE(base, 0u);
  EXPECT_TRUE(glIsList(base));
  DeleteConsole();
  EXPECT_FALSE(glIsList(base));
  EXPECT_FALSE(glIsList(base + 95));
}

// Leftmost lit column of the frame, or -1.
int LeftmostLit(const std::vector<uint8_t>& rgb, int width) {
  int best = -1;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    if (rgb[i] == 0 && rgb[i + 1] == 0 && rgb[i + 2] == 0) continue;
    const int x = static_cast<int>((i / 3) % static_cast<size_t>(width));
    if (best < 0 || x < best) best = x;
  }
  return best;
}

TEST_F(GLConsoleDrawTest, LongTextIsDrawnWholeAndInPlace) {
  if (!Start(4000, 24)) GTEST_SKIP() << gl_.error();
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  auto leftmost = [&](const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    DrawString(&font, 5, 8, text);
    return LeftmostLit(gl_.ReadRgb(), 4000);
  };
  // The font is fixed-width: ten blanks measure the advance of one character.
  const int alone = leftmost("X");
  const int afterTen = leftmost(std::string(10, ' ') + "X");
  ASSERT_GE(alone, 0);
  ASSERT_GT(afterTen, alone);
  ASSERT_EQ((afterTen - alone) % 10, 0);
  const int advance = (afterTen - alone) / 10;
  ASSERT_LT(5 + 400 * advance, 4000) << "font too wide for the test surface";
  // Beyond the font's 255 characters a call, the text goes on where it was.
  EXPECT_EQ(leftmost(std::string(400, ' ') + "X"), alone + 400 * advance);
  EXPECT_EQ(leftmost(std::string(255, ' ') + "X"), alone + 255 * advance);
  EXPECT_EQ(leftmost(std::string(510, ' ')), -1);
  DrawString(nullptr, 5, 8, "nothing");  // a null font draws nothing
}

}  // namespace
