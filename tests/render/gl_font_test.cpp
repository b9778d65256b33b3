#include "tests/support/skip.h"
#include "render/gl_font.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/gl_context.h"
#include "platform/x_font.h"
#include "tests/support/temp_dir.h"

namespace {

// Drawing needs an off-screen context on the X display (Xvfb in the tests).
class GLFontTest : public ::testing::Test {
 protected:
  void Clear() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
  }
  // The lit pixels as (x, y) from the lower-left corner.
  std::vector<std::pair<int, int>> Lit() const {
    const std::vector<uint8_t> rgb = gl_.ReadRgb();
    std::vector<std::pair<int, int>> lit;
    for (size_t i = 0; i < rgb.size(); i += 3) {
      const int x = static_cast<int>(i / 3 % gl_.width());
      const int y = gl_.height() - 1 - static_cast<int>(i / 3 / gl_.width());
      if (rgb[i] > 128 || rgb[i + 1] > 128 || rgb[i + 2] > 128) lit.emplace_back(x, y);
    }
    return lit;
  }
  // The picture of one literal text drawn at (x, y) on black.
  std::vector<uint8_t> Image(GLFont& font, int x, int y, const std::string& text) {
    Clear();
    font.PrintText(x, y, text);
    return gl_.ReadRgb();
  }
  testing_support::ScopedWorkDir work_;
  platform::OffscreenGLContext gl_;
};

TEST(XFontPatternsTest, FaceBecomesXCoreFontNames) {
  const std::string tail = "-*-*-*-*-*-iso8859-1";
  EXPECT_EQ(
      platform::XFontPatterns("Courier New", 12, true),
      (std::vector<std::string>{"-*-courier new-bold-r-*-*-12" + tail, "-*-courier-bold-r-*-*-12" + tail,
                                "-*-courier-*-r-*-*-12" + tail, "fixed"}));
  // One word: no duplicate; regular weight; any size.
  EXPECT_EQ(platform::XFontPatterns("  Helvetica ", 0, false),
            (std::vector<std::string>{"-*-helvetica-medium-r-*-*-*" + tail, "-*-helvetica-*-r-*-*-*" + tail,
                                      "fixed"}));
  // Wildcards and separators never come from the face.
  EXPECT_EQ(platform::XFontPatterns("*A-b?  \t C\xe9", 9, true),
            (std::vector<std::string>{"-*-ab c-bold-r-*-*-9" + tail, "-*-ab-bold-r-*-*-9" + tail,
                                      "-*-ab-*-r-*-*-9" + tail, "fixed"}));
  for (const char* face : {static_cast<const char*>(nullptr), "", "  ", "-*?"}) {
    EXPECT_EQ(platform::XFontPatterns(face, 12, true), std::vector<std::string>{"fixed"});
  }
}

TEST_F(GLFontTest, WithoutAContextDrawsNothing) {
  GLFont font("Courier New", 12);
  EXPECT_EQ(font.listBase, 0u);
  font.Print(10, 10, "%s", "Hi");
  font.PrintText(10, 10, "Hi");
  EXPECT_EQ(platform::UseXFontBitmaps("Courier New", 12, true, 32, 96, 1), "");
}

TEST_F(GLFontTest, PrintsAtTheWindowPixel) {
  if (!gl_.Create(128, 64)) TAVRIN_SKIP_TEST(gl_.error());
  glEnable(GL_DEPTH_TEST);
  unsigned int listBase = 0;
  {
    GLFont font("Courier New", 12);
    listBase = font.listBase;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsList(listBase) && glIsList(listBase + 95));

    // Two 12-pixel glyphs of about 7 pixels each, on a baseline at y - 1.
    Clear();
    font.Print(40, 20, "%s", "Hi");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    const std::vector<std::pair<int, int>> lit = Lit();
    EXPECT_GE(lit.size(), 10u);
    int minX = 1000;
    int minY = 1000;
    for (const auto& [x, y] : lit) {
      EXPECT_TRUE(x >= 38 && x <= 58 && y >= 16 && y <= 32) << x << "," << y;
      minX = std::min(minX, x);
      minY = std::min(minY, y);
    }
    EXPECT_LE(minX, 42);
    EXPECT_LE(minY, 21);
    // The caller's viewport and matrix mode survive.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::make_pair(viewport[2], viewport[3]), std::make_pair(128, 64));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // The same text elsewhere moves with it; at the window's corner it is not
    // clipped away.
    Clear();
    font.Print(70, 30, "%s", "Hi");
    std::vector<std::pair<int, int>> moved = lit;
    for (auto& [x, y] : moved) {
      x += 30;
      y += 10;
    }
    EXPECT_EQ(Lit(), moved);
    Clear();
    font.Print(1, 1, "%s", "H");
    EXPECT_FALSE(Lit().empty());
  }
  EXPECT_FALSE(glIsList(listBase));  // the destructor gives the lists back
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLFontTest, EmptyAndLiteralTexts) {
  if (!gl_.Create(160, 32)) TAVRIN_SKIP_TEST(gl_.error());
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  // An empty text or a null format draws nothing; the depth test is enabled afterwards.
  glDisable(GL_DEPTH_TEST);
  Clear();
  font.Print(10, 10, "%s", "");
  const char* volatile none = nullptr;
  font.Print(10, 10, none, 0);
  EXPECT_TRUE(Lit().empty());
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

  // Format directives in a text are drawn as they stand (the skipping of
  // other characters such as the line end is tested below).
  const std::vector<uint8_t> plain = Image(font, 10, 10, "%s %n");
  EXPECT_NE(plain, Image(font, 10, 10, " "));
  Clear();
  font.Print(10, 10, "%s", "%s %n");
  EXPECT_EQ(gl_.ReadRgb(), plain);
  // Formatting still works for the format text.
  Clear();
  font.Print(10, 10, "%d%c", 4, '2');
  EXPECT_EQ(gl_.ReadRgb(), Image(font, 10, 10, "42"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Codes outside 32..127 would index lists outside the font's range; such lists
// here fill the screen red, so any call of one shows.
TEST_F(GLFontTest, OutOfRangeCodesCallNoList) {
  if (!gl_.Create(160, 32)) TAVRIN_SKIP_TEST(gl_.error());
  const GLuint padding = glGenLists(64);  // keeps listBase - 32 above 0
  GLFont font("Courier New", 12);
  ASSERT_GE(font.listBase, 33u);
  std::string text = "A";
  for (int c = 0; c < 256; ++c) {
    if (c >= 32 && c < 128) continue;
    text += static_cast<char>(c);
    glNewList(font.listBase - 32 + c, GL_COMPILE);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEndList();
  }
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(Image(font, 10, 10, text + "B\x7f"), Image(font, 10, 10, "AB\x7f"));
  EXPECT_FALSE(Lit().empty());
  glDeleteLists(padding, 64);
}

TEST_F(GLFontTest, LongTextIsCutAt255Characters) {
  if (!gl_.Create(2400, 24)) TAVRIN_SKIP_TEST(gl_.error());
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  const std::string full(255, 'H');
  const std::vector<uint8_t> image255 = Image(font, 2, 8, full);
  EXPECT_EQ(Image(font, 2, 8, std::string(300, 'H')), image255);
  EXPECT_NE(Image(font, 2, 8, std::string(254, 'H')), image255);
  Clear();
  font.Print(2, 8, "%s%s", full.c_str(), "tail that does not fit");
  EXPECT_EQ(gl_.ReadRgb(), image255);
}

TEST_F(GLFontTest, UnknownFaceFallsBackToFixed) {
  if (!gl_.Create(64, 32)) TAVRIN_SKIP_TEST(gl_.error());
  const GLuint lists = glGenLists(96);
  EXPECT_EQ(platform::UseXFontBitmaps("No Such Face", 12, true, 32, 96, lists), "fixed");
  EXPECT_EQ(platform::UseXFontBitmaps("Courier New", 12, true, 32, 96, lists),
            "-*-courier-bold-r-*-*-12-*-*-*-*-*-iso8859-1");
  glDeleteLists(lists, 96);
  GLFont font("No Such Face", 12);
  ASSERT_NE(font.listBase, 0u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  Clear();
  font.Print(10, 10, "%s", "Hi");
  EXPECT_FALSE(Lit().empty());
}

}  // namespace
