#include "tests/support/skip.h"
#include "console/gl_console.h"

#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <limits>
#include <memory>
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
using testing_support::WriteFile;

// Each test runs in its own process and working folder, on a manual clock at
// 100 s, so "cvar.ini", "log.txt" and the registry start empty.
class GLConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ManualClock::Install(100.0); }
  void TearDown() override { platform::ManualClock::Uninstall(); }
  // A console on the view cells width_ x height_.
  std::unique_ptr<GLConsole> Make(int width, int height, int fontSize = 12, float overlay = 0.75f) {
    width_ = width;
    height_ = height;
    return std::make_unique<GLConsole>(&width_, &height_, fontSize, overlay);
  }
  // Every piece LayoutText returns as "y colour text", the colour c(ommand),
  // t(ext), h(ighlight) or e(rror); each piece must start at x = 5.
  static std::vector<std::string> Layout(const GLConsole& console, float consoleHeight,
                                         bool cursorOn = true) {
    std::vector<std::string> pieces;
    for (const ConsoleTextDraw& d : console.LayoutText(consoleHeight, cursorOn)) {
      auto is = [&d](const Color4& c) {
        return d.color.r == c.r && d.color.g == c.g && d.color.b == c.b && d.color.a == c.a;
      };
      const char* colour = is(console.commandColor)     ? " c "
                           : is(console.textColor)      ? " t "
                           : is(console.highlightColor) ? " h "
                           : is(console.errorColor)     ? " e "
                                                        : " ? ";
      pieces.push_back((d.x == 5 ? "" : "bad x ") + std::to_string(d.y) + colour + d.text);
    }
    return pieces;
  }
  testing_support::ScopedWorkDir dir_;
  int width_ = 0;
  int height_ = 0;
};

using Pieces = std::vector<std::string>;

TEST_F(GLConsoleTest, StoreKeepsTheNewestHundredLinesLiterally) {
  auto console = Make(640, 480);
  ASSERT_EQ(console->lines.size(), 1u);
  EXPECT_EQ(console->lines.front().text, "GLConsole: Restoring console variables");
  EXPECT_EQ(console->lines.front().flags, 1);

  for (int i = 0; i <= 100; ++i) console->Print(("line " + std::to_string(i)).c_str(), 1);
  ASSERT_EQ(console->lines.size(), 100u);
  EXPECT_EQ(console->lines.front().text, "line 100");
  EXPECT_EQ(console->lines.back().text, "line 1");

  console->Print(static_cast<const char*>(nullptr), 1);
  EXPECT_EQ(console->lines.front().text, "");
  console->Print(std::string("a\0b", 3), 2);
  EXPECT_EQ(console->lines.front().text, std::string("a\0b", 3));
  // The log helpers reach the console.
  LogPrintf("Renderer: %d frames", 5);
  EXPECT_EQ(console->lines.front().text, "Renderer: 5 frames");
  EXPECT_EQ(console->lines.front().flags, 1);
}

TEST_F(GLConsoleTest, OverlayIsRestoredFromAndSavedToTheFile) {
  auto console = Make(640, 480);
  console->overlay = 0.25f;
  console.reset();
  EXPECT_THAT(ReadFile("cvar.ini"), testing::HasSubstr("2 console.overlay 0.250000\n"));
  WriteFile("cvar.ini", "2 console.overlay 0.500000\n");
  EXPECT_EQ(static_cast<float>(Make(640, 480, 12, 0.9f)->overlay), 0.5f);
}

TEST_F(GLConsoleTest, GlobalConsoleIsClearedBeforeTheObjectDies) {
  DeleteConsole();  // nothing to delete
  // The save fails ("cvar.ini" is a folder) and logs while the console is
  // being destroyed: by then g_console must already be null.
  std::filesystem::create_directory(dir_.File("cvar.ini"));
  static std::vector<std::pair<std::string, const GLConsole*>> seen;
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  SetLogConsoleSink([](const char* text, int) { seen.emplace_back(text, g_console); });
  DeleteConsole();
  EXPECT_EQ(g_console, nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first.rfind("SaveCVars: ", 0), 0u) << seen[0].first;
  EXPECT_EQ(seen[0].second, nullptr);

  // Deleted without the helper, a console still clears the global and
  // detaches from the log (a dangling sink would be a use after free).
  std::filesystem::remove(dir_.File("cvar.ini"));
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  delete g_console;
  EXPECT_EQ(g_console, nullptr);
  LogPrintf("%s", "after the console");
  EXPECT_NE(ReadFile("log.txt").find("after the console"), std::string::npos);
}

TEST_F(GLConsoleTest, SlideGrowsToOverlayTimesHeightInThreeQuartersOfASecond) {
  auto console = Make(640, 400);
  EXPECT_FLOAT_EQ(console->GetConsoleHeight(), 0.0f);
  platform::ManualClock::Set(100.3);
  EXPECT_NEAR(console->GetConsoleHeight(), 120.0, 1e-3);  // 0.3 / 0.75 x 400 x 0.75
  platform::ManualClock::Set(100.75);                     // the slide still runs at exactly 0.75 s
  EXPECT_FLOAT_EQ(console->GetConsoleHeight(), 300.0f);
  platform::ManualClock::Set(100.76);
  EXPECT_FLOAT_EQ(console->GetConsoleHeight(), 300.0f);

  // Each toggle restarts the slide; closing slides too; once it has ended the
  // height stays whole.
  console->Toggle();
  EXPECT_FALSE(console->IsOpen());
  platform::ManualClock::Advance(0.15);
  EXPECT_NEAR(console->GetConsoleHeight(), 60.0, 1e-3);
  console->Toggle();
  EXPECT_NEAR(console->GetConsoleHeight(), 0.0, 1e-3);
  platform::ManualClock::Advance(2.0);
  console->overlay = 1.0f;
  height_ = 333;  // the cell is read on every call
  EXPECT_FLOAT_EQ(console->GetConsoleHeight(), 333.0f);
}

TEST_F(GLConsoleTest, CursorIsOnForTwoThirdsOfEveryFourThirdsSecond) {
  auto console = Make(640, 480);
  // At 1.34 the period has ended: a new one starts at 101.34.
  const std::pair<double, bool> steps[] = {{0.0, true},  {0.66, true}, {0.67, false}, {1.3, false},
                                           {1.34, true}, {1.84, true}, {2.02, false}, {2.68, true}};
  for (const auto& [t, on] : steps) {
    platform::ManualClock::Set(100.0 + t);
    EXPECT_EQ(console->IsCursorOn(), on) << "at " << t;
  }
}

TEST_F(GLConsoleTest, ScrollingStaysWithinZeroAndIntMaxAndNeedsTheConsoleOpen) {
  auto console = Make(640, 480);
  auto scroll = [&console](int up, int down) {
    console->ScrollUp(up);
    console->ScrollDown(down);
    return console->scrollPixels;
  };
  EXPECT_EQ(scroll(40, 15), 25);
  console->Close();
  EXPECT_EQ(scroll(40, 15), 25);
  console->Open();
  EXPECT_EQ(scroll(-10, 100), 0);
  EXPECT_EQ(scroll(INT_MAX, 0), INT_MAX);
  EXPECT_EQ(scroll(INT_MAX, INT_MIN), INT_MAX);
}

// Width 100 and font 10 give rows of (int)(165 / 10) = 16 characters, pitch
// 15. In a view 200 high a console 150 high puts the prompt at
// 200 - 1 - 150 + 8 = 57 and allows 15 rows; one 20 high puts it at 187 and
// allows 2.
TEST_F(GLConsoleTest, LayoutWrapsColoursSkipsHiddenLinesAndScrolls) {
  auto console = Make(100, 200, 10);
  console->lines.clear();
  console->Print("ABCDEFGHIJKLMNOPQRST", 8 | 16);  // 2 rows; highlight wins
  console->Print("0123456789abcdef", 16);          // exactly 16: an empty last row
  console->Print("hidden", 6);                     // takes no row
  console->Print("%s%n%%", 1);                     // drawn literally
  console->currentLine = "cmd";
  EXPECT_EQ(Layout(*console, 150.9f), (Pieces{"57 c ] cmd_", "72 t %s%n%%", "87 e ", "102 e 0123456789abcdef",
                                              "117 h QRST", "132 h ABCDEFGHIJKLMNOP"}));
  EXPECT_EQ(Layout(*console, 150.0f, false)[0], "57 c ] cmd ");

  // Two rows: the prompt and the newest shown line (a hidden one is passed
  // over); scrolling by 10 pixels adds a row and moves everything down.
  console->currentLine.clear();
  console->Print("new", 1);
  console->Print("typed", 6);
  EXPECT_EQ(Layout(*console, 20.0f), (Pieces{"187 c ] _", "202 t new"}));
  console->scrollPixels = 10;
  EXPECT_EQ(Layout(*console, 20.0f), (Pieces{"177 c ] _", "192 t new", "207 t %s%n%%"}));
  // A wrapped line uses up rows: 3 rows hold the prompt and one 2-row line.
  console->scrollPixels = 0;
  console->Print(std::string(20, 'w'), 1);
  EXPECT_EQ(Layout(*console, 30.0f), (Pieces{"177 c ] _", "192 t wwww", "207 t " + std::string(16, 'w')}));
}

TEST_F(GLConsoleTest, LayoutSurvivesDegenerateViewsAndKeepsLongLinesWhole) {
  {
    // Narrower than one character: one character a row (plus the empty last
    // row). Prompt at 300 - 1 - 200 + 8 = 107, pitch 17.
    auto console = Make(1, 300);
    console->lines.clear();
    console->Print("abc", 1);
    EXPECT_EQ(Layout(*console, 200.0f), (Pieces{"107 c ] _", "124 t ", "141 t c", "158 t b", "175 t a"}));
  }
  {
    // Font height 0: rows of one pixel, pitch 5, no division by zero.
    auto console = Make(100, 100, 0);
    EXPECT_EQ(Layout(*console, 50.0f), (Pieces{"57 c ] _", "62 t GLConsole: Restoring console variables"}));
  }
  {
    // A view 0 high and absurd console heights: no overflow.
    auto console = Make(100, 0);
    console->Print(std::string(50, 'x'), 1);
    EXPECT_FLOAT_EQ(console->GetConsoleHeight(), 0.0f);
    EXPECT_EQ(Layout(*console, 0.0f), (Pieces{"7 c ] _"}));
    EXPECT_LE(Layout(*console, std::numeric_limits<float>::quiet_NaN()).size(), 2u);
    EXPECT_TRUE(Layout(*console, 1e30f).empty());
    EXPECT_TRUE(Layout(*console, -1e30f).empty());
    console->scrollPixels = INT_MAX;
    EXPECT_TRUE(Layout(*console, 1e30f).empty());
  }
  {
    // Rows of (int)(2400 x 1.65 / 12) = 330 characters: a 300-character line
    // (more than the font takes at once) stays whole.
    auto console = Make(2400, 600);
    console->lines.clear();
    console->Print(std::string(300, 'L'), 1);
    EXPECT_EQ(Layout(*console, 450.0f), (Pieces{"157 c ] _", "174 t " + std::string(300, 'L')}));
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
  bool AllBlack() const {
    for (uint8_t byte : gl_.ReadRgb()) {
      if (byte != 0) return false;
    }
    return true;
  }
  platform::OffscreenGLContext gl_;
};

TEST_F(GLConsoleDrawTest, RenderCoversTheTopOfTheViewAndRestoresTheState) {
  if (!Start(320, 240)) TAVRIN_SKIP_TEST(gl_.error());
  GLConsole console(nullptr, nullptr, 12, 0.75f);
  EXPECT_EQ(*console.width, 320);  // the cells were filled from the viewport
  EXPECT_EQ(*console.height, 240);
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

  // The panel (0.8, 0.2, 0.3) covers the top; its extent and the text are
  // checked in the renderer's picture of the sample scene.
  const std::vector<uint8_t> rgb = gl_.ReadRgb();
  const size_t at = (5 * 320 + 300) * 3;  // column 300 of the sixth row from the top
  EXPECT_NEAR(rgb[at], 204, 2);
  EXPECT_NEAR(rgb[at + 1], 51, 2);
  EXPECT_NEAR(rgb[at + 2], 76, 2);

  // Closed, or with an empty viewport: nothing is drawn, no GL error.
  console.Close();
  glClear(GL_COLOR_BUFFER_BIT);
  console.Render();
  EXPECT_TRUE(AllBlack());
  console.Open();
  glViewport(0, 0, 320, 0);
  console.Render();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(*console.height, 0);
  EXPECT_TRUE(AllBlack());
}

TEST_F(GLConsoleDrawTest, ConsoleDeletesItsFont) {
  if (!Start(64, 64)) TAVRIN_SKIP_TEST(gl_.error());
  g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
  ASSERT_NE(g_console->GetFont(), nullptr);
  const GLuint base = g_console->GetFont()->listBase;
  EXPECT_TRUE(glIsList(base));
  DeleteConsole();
  EXPECT_FALSE(glIsList(base));
  EXPECT_FALSE(glIsList(base + 95));
}

TEST_F(GLConsoleDrawTest, LongTextIsDrawnWholeAndInPlace) {
  if (!Start(4000, 24)) TAVRIN_SKIP_TEST(gl_.error());
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  // The leftmost lit column after drawing `text`, or -1.
  auto leftmost = [&](const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    DrawString(&font, 5, 8, text);
    const std::vector<uint8_t> rgb = gl_.ReadRgb();
    int best = -1;
    for (size_t i = 0; i < rgb.size(); i += 3) {
      const int x = static_cast<int>((i / 3) % 4000);
      if ((rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0 && (best < 0 || x < best)) best = x;
    }
    return best;
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
