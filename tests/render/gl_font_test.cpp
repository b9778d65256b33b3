#include "render/gl_font.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gl_context.h"
#include "platform/x_font.h"
#include "tests/support/temp_dir.h"

namespace {

// A lit pixel at window position (x, y), counted from the lower-left corner.
struct LitPixel {
  int x;
  int y;
};

void fonttest_ClearBlack() {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor3f(1.0f, 1.0f, 1.0f);
}

std::vector<LitPixel> fonttest_Lit(const platform::OffscreenGLContext& gl) {
  const std::vector<uint8_t> rgb = gl.ReadRgb();
  std::vector<LitPixel> lit;
  for (int row = 0; row < gl.height(); ++row) {
    for (int x = 0; x < gl.width(); ++x) {
      const size_t i = (static_cast<size_t>(row) * gl.width() + x) * 3;
      if (rgb[i] > 128 || rgb[i + 1] > 128 || rgb[i + 2] > 128) lit.push_back({x, gl.height() - 1 - row});
    }
  }
  return lit;
}

// The image of one literal text drawn at (x, y) on black.
std::vector<uint8_t> fonttest_Image(const platform::OffscreenGLContext& gl, GLFont& font, int x, int y,
                                    const std::string& text) {
  fonttest_ClearBlack();
  font.PrintText(x, y, text);
  return gl.ReadRgb();
}

}  // namespace

TEST(XFontPatternsTest, FaceBecomesXCoreFontNames) {
  const std::string tail = "-*-*-*-*-*-iso8859-1";
  {
    const std::vector<std::string> want = {"-*-courier new-bold-r-*-*-12" + tail,
                                           "-*-courier-bold-r-*-*-12" + tail, "-*-courier-*-r-*-*-12" + tail,
                                           "fixed"};
    EXPECT_EQ(platform::XFontPatterns("Courier New", 12, true), want);
  }
  {
    // One word: no duplicate; regular weight; any size.
    const std::vector<std::string> want = {"-*-helvetica-medium-r-*-*-*" + tail,
                                           "-*-helvetica-*-r-*-*-*" + tail, "fixed"};
    EXPECT_EQ(platform::XFontPatterns("  Helvetica ", 0, false), want);
  }
  {
    // Wildcards and separators never come from the face.
    const std::vector<std::string> want = {"-*-ab c-bold-r-*-*-9" + tail, "-*-ab-bold-r-*-*-9" + tail,
                                           "-*-ab-*-r-*-*-9" + tail, "fixed"};
    EXPECT_EQ(platform::XFontPatterns("*A-b?  \t C\xe9", 9, true), want);
  }
  for (const char* face : {static_cast<const char*>(nullptr), "", "  ", "-*?"}) {
    EXPECT_EQ(platform::XFontPatterns(face, 12, true), std::vector<std::string>{"fixed"});
  }
}

TEST(GLFontTest, WithoutAContextDrawsNothing) {
  testing_support::ScopedWorkDir work;
  GLFont font("Courier New", 12);
  EXPECT_EQ(font.listBase, 0u);
  font.Print(10, 10, "%s", "Hi");
  font.PrintText(10, 10, "Hi");
  EXPECT_EQ(platform::UseXFontBitmaps("Courier New", 12, true, 32, 96, 1), "");
}

TEST(GLFontTest, PrintsAtTheWindowPixel) {
  testing_support::ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(128, 64)) GTEST_SKIP() << gl.error();
  glEnable(GL_DEPTH_TEST);

  unsigned int listBase = 0;
  {
    GLFont font("Courier New", 12);
    listBase = font.listBase;
    ASSERT_NE(listBase, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(glIsList(listBase), GL_TRUE);
    EXPECT_EQ(glIsList(listBase + 95), GL_TRUE);

    fonttest_ClearBlack();
    const int x = 40;
    const int y = 20;
    font.Print(x, y, "%s", "Hi");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
    // Two 12-pixel glyphs of about 7 pixels each, on a baseline at y - 1.
    const std::vector<LitPixel> lit = fonttest_Lit(gl);
    EXPECT_GE(lit.size(), 10u);
    int minX = 1000;
    int minY = 1000;
    for (const LitPixel& p : lit) {
      EXPECT_TRUE(p.x >= x - 2 && p.x <= x + 18 && p.y >= y - 4 && p.y <= y + 12) << p.x << "," << p.y;
      minX = std::min(minX, p.x);
      minY = std::min(minY, p.y);
    }
    EXPECT_LE(minX, x + 2);
    EXPECT_LE(minY, y + 1);

    // The state the caller set survives: viewport and matrices.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 128);
    EXPECT_EQ(viewport[3], 64);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // At the window's corner the text is not clipped away.
    fonttest_ClearBlack();
    font.Print(1, 1, "%s", "H");
    EXPECT_FALSE(fonttest_Lit(gl).empty());

    // The same text at another place moves with it.
    fonttest_ClearBlack();
    font.Print(x + 30, y + 10, "%s", "Hi");
    const std::vector<LitPixel> moved = fonttest_Lit(gl);
    ASSERT_EQ(moved.size(), lit.size());
    for (size_t i = 0; i < lit.size(); ++i) {
      EXPECT_EQ(moved[i].x, lit[i].x + 30);
      EXPECT_EQ(moved[i].y, lit[i].y + 10);
    }
  }
  // The destructor gives the lists back.
  EXPECT_EQ(glIsList(listBase), GL_FALSE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GLFontTest, EmptyAndLiteralTexts) {
  testing_support::ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(160, 32)) GTEST_SKIP() << gl.error();
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  {
    // An empty text draws nothing and still enables the depth test.
    glDisable(GL_DEPTH_TEST);
    fonttest_ClearBlack();
    font.Print(10, 10, "%s", "");
    EXPECT_TRUE(fonttest_Lit(gl).empty());
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
  }
  {
    // A null format draws nothing.
    const char* volatile none = nullptr;
    fonttest_ClearBlack();
    font.Print(10, 10, none, 0);
    EXPECT_TRUE(fonttest_Lit(gl).empty());
  }
  {
    // Format directives in a text are drawn as they stand; the line end is
    // skipped without a gap.
    const std::vector<uint8_t> plain = fonttest_Image(gl, font, 10, 10, "%s %n");
    const std::vector<uint8_t> withLineEnd = fonttest_Image(gl, font, 10, 10, "%s %n\n");
    EXPECT_EQ(plain, withLineEnd);
    fonttest_ClearBlack();
    font.Print(10, 10, "%s", "%s %n\n");
    EXPECT_EQ(gl.ReadRgb(), plain);
    EXPECT_GT(fonttest_Lit(gl).size(), 10u);
    // The directives really drew: "%s %n" is more than the blank between.
    EXPECT_NE(plain, fonttest_Image(gl, font, 10, 10, " "));
    EXPECT_EQ(fonttest_Image(gl, font, 10, 10, "a\nb"), fonttest_Image(gl, font, 10, 10, "ab"));
  }
  {
    // Formatting still works for the format text.
    fonttest_ClearBlack();
    font.Print(10, 10, "%d%c", 4, '2');
    EXPECT_EQ(gl.ReadRgb(), fonttest_Image(gl, font, 10, 10, "42"));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Codes outside 32..127 would index lists outside the font's range; such lists
// here fill the screen red, so any call of one shows.
TEST(GLFontTest, OutOfRangeCodesCallNoList) {
  testing_support::ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(160, 32)) GTEST_SKIP() << gl.error();
  const GLuint padding = glGenLists(64);  // keeps listBase - 32 above 0
  ASSERT_NE(padding, 0u);
  GLFont font("Courier New", 12);
  ASSERT_GE(font.listBase, 33u);
  for (int c = 0; c < 256; ++c) {
    if (c >= 32 && c < 128) continue;
    glNewList(font.listBase - 32 + c, GL_COMPILE);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEndList();
  }
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  std::string text = "A";
  for (int c = 0; c < 256; ++c) {
    if (c < 32 || c >= 128) text += static_cast<char>(c);
  }
  text += "B\x7f";
  const std::vector<uint8_t> drawn = fonttest_Image(gl, font, 10, 10, text);
  for (size_t i = 0; i < drawn.size(); i += 3) {
    ASSERT_FALSE(drawn[i] > 128 && drawn[i + 1] < 64) << "a list outside the font was called";
  }
  EXPECT_EQ(drawn, fonttest_Image(gl, font, 10, 10, "AB\x7f"));
  glDeleteLists(padding, 64);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GLFontTest, LongTextIsCutAt255Characters) {
  testing_support::ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(2400, 24)) GTEST_SKIP() << gl.error();
  GLFont font("Courier New", 12);
  ASSERT_NE(font.listBase, 0u);
  const std::string full(255, 'H');
  const std::vector<uint8_t> image255 = fonttest_Image(gl, font, 2, 8, full);
  EXPECT_EQ(fonttest_Image(gl, font, 2, 8, std::string(300, 'H')), image255);
  EXPECT_NE(fonttest_Image(gl, font, 2, 8, std::string(254, 'H')), image255);

  fonttest_ClearBlack();
  font.Print(2, 8, "%s%s", full.c_str(), "tail that does not fit");
  EXPECT_EQ(gl.ReadRgb(), image255);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GLFontTest, UnknownFaceFallsBackToFixed) {
  testing_support::ScopedWorkDir work;
  platform::OffscreenGLContext gl;
  if (!gl.Create(64, 32)) GTEST_SKIP() << gl.error();
  const GLuint lists = glGenLists(96);
  EXPECT_EQ(platform::UseXFontBitmaps("No Such Face", 12, true, 32, 96, lists), "fixed");
  EXPECT_EQ(platform::UseXFontBitmaps("Courier New", 12, true, 32, 96, lists),
            "-*-courier-bold-r-*-*-12-*-*-*-*-*-iso8859-1");
  glDeleteLists(lists, 96);

  GLFont font("No Such Face", 12);
  ASSERT_NE(font.listBase, 0u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  fonttest_ClearBlack();
  font.Print(10, 10, "%s", "Hi");
  EXPECT_FALSE(fonttest_Lit(gl).empty());
}
