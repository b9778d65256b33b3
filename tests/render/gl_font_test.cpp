// Tests of the bitmap font: the X font names tried for a face, text drawn at
// its window pixel, literal and formatted text, codes outside the font and
// the 255-character cut.

#include "render/gl_font.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gl_context.h"
#include "platform/x_font.h"
#include "tests/support/skip.h"

namespace {

// Drawing white text on black in an off-screen context on the X display
// (Xvfb in the tests).
class GLFontTest : public ::testing::Test {
 protected:
  bool Start(int width, int height) {
    if (!gl_.Create(width, height)) return false;
    font_ = std::make_unique<GLFont>("Courier New", 12);
    return true;
  }
  // The picture drawn by `draw` (a text at (x, y) as it stands by default).
  template <typename Draw>
  std::vector<uint8_t> Picture(Draw draw) {
    glClear(GL_COLOR_BUFFER_BIT);
    draw(*font_);
    return gl_.ReadRgb();
  }
  std::vector<uint8_t> Text(int x, int y, const std::string& text) {
    return Picture([&](GLFont& font) { font.PrintText(x, y, text); });
  }
  platform::OffscreenGLContext gl_;
  std::unique_ptr<GLFont> font_;
};

TEST(XFontPatternsTest, FaceBecomesXCoreFontNames) {
  const std::string tail = "-*-*-*-*-*-iso8859-1";
  EXPECT_EQ(platform::XFontPatterns("Courier New", 12, true),
            (std::vector<std::string>{"-*-courier new-bold-r-*-*-12" + tail, "-*-courier-bold-r-*-*-12" + tail,
                                      "-*-courier-*-r-*-*-12" + tail, "fixed"}));
  // One word: no duplicate; regular weight; any size. Wildcards, separators
  // and leading blanks never come from the face.
  EXPECT_EQ(platform::XFontPatterns("  Helvetica ", 0, false),
            (std::vector<std::string>{"-*-helvetica-medium-r-*-*-*" + tail, "-*-helvetica-*-r-*-*-*" + tail, "fixed"}));
  EXPECT_EQ(platform::XFontPatterns(" *A-b?  \t C\xe9", 9, true)[0], "-*-ab c-bold-r-*-*-9" + tail);
}

TEST_F(GLFontTest, PrintsAtTheWindowPixelLiterallyAndWithinTheFont) {
  if (!Start(2400, 64)) TAVRIN_SKIP_TEST(gl_.error());
  const unsigned int listBase = font_->listBase;
  // The font's "H" starts in column 39 and sits on row 20 (from the bottom)
  // for text at (40, 20); the depth test is enabled afterwards; the caller's
  // viewport and matrices are kept.
  glTranslatef(0.5f, 0.0f, 0.0f);
  const std::vector<uint8_t> hi = Picture([](GLFont& font) { font.Print(40, 20, "%s", "Hi"); });
  int left = 2400, bottom = 64;
  for (int i = 0; i < 2400 * 64; ++i) {
    if (hi[i * 3] <= 128) continue;
    std::tie(left, bottom) = std::make_tuple(std::min(left, i % 2400), std::min(bottom, 63 - i / 2400));
  }
  EXPECT_EQ(std::make_pair(left, bottom), std::make_pair(39, 20));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  GLfloat model[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, model);
  EXPECT_EQ(std::make_tuple(viewport[2], viewport[3], model[12]), std::make_tuple(2400, 64, 0.5f));
  // At the window's corner the text is not clipped away; the destructor
  // gives the lists back.
  EXPECT_NE(Text(1, 1, "H"), Text(1, 1, ""));
  glGenLists(64);  // keeps the next font's listBase - 32 above 0
  font_ = std::make_unique<GLFont>("Courier New", 12);
  EXPECT_FALSE(glIsList(listBase));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // Codes outside 32..127 would call lists outside the font's 96: such lists
  // here fill the screen, so any call of one shows.
  std::string codes = "A";
  for (int c : {0, 10, 31, 128, 200, 255}) {
    codes += static_cast<char>(c);
    glNewList(font_->listBase - 32 + c, GL_COMPILE);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEndList();
  }
  EXPECT_EQ(Text(10, 10, codes + "B\x7f"), Text(10, 10, "AB\x7f"));
  // Format directives in a text are drawn as they stand; formatting still
  // works for the format text; a null format draws nothing; text is cut
  // after 255 characters.
  EXPECT_EQ(Picture([](GLFont& font) { font.Print(10, 10, "%s", "%s %n"); }), Text(10, 10, "%s %n"));
  EXPECT_EQ(Picture([](GLFont& font) { font.Print(10, 10, "%d%c", 4, '2'); }), Text(10, 10, "42"));
  const char* volatile null = nullptr;
  EXPECT_EQ(Picture([&](GLFont& font) { font.Print(10, 10, null, 0); }), Text(10, 10, ""));
  const std::vector<uint8_t> full = Text(2, 8, std::string(255, 'H'));
  EXPECT_EQ(Text(2, 8, std::string(300, 'H')), full);
  EXPECT_NE(Text(2, 8, std::string(254, 'H')), full);
  EXPECT_EQ(Picture([](GLFont& font) { font.Print(2, 8, "%s%s", std::string(255, 'H').c_str(), "tail"); }), full);
}

}  // namespace
