#include "render/gl_font.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "platform/gl_proc.h"
#include "platform/x_font.h"

namespace {

constexpr int kFontFirstChar = 32;
constexpr int kFontCharCount = 96;        // codes 32 to 127
constexpr size_t kFontTextBufferSize = 256;  // at most 255 characters are drawn

// A set-up step that fails leaves an error behind; later users of glGetError
// must not see it. The bound guards against a driver that never clears.
void font_ClearGLErrors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

// Draws `length` bytes of `text` at window pixel (x, y). Bytes outside 32..127
// are skipped: the remaining characters close up on one line, and no display
// list outside the font's 96 is ever called.
void font_Draw(unsigned int listBase, int x, int y, const char* text, size_t length) {
  unsigned char codes[kFontTextBufferSize];
  GLsizei count = 0;
  for (size_t i = 0; i < length && i < kFontTextBufferSize - 1; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= kFontFirstChar && c < kFontFirstChar + kFontCharCount) codes[count++] = c;
  }

  glDisable(GL_DEPTH_TEST);

  // A viewport of size 0 at (x - 1, y - 1) maps the clip-space origin onto that
  // window pixel, so the raster position is valid (not clipped) wherever the
  // text starts, even at the window's edge.
  glPushAttrib(GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glViewport(x - 1, y - 1, 0, 0);
  glRasterPos4f(0.0f, 0.0f, 0.0f, 1.0f);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();

  glPushAttrib(GL_LIST_BIT);
  glListBase(listBase - kFontFirstChar);
  glCallLists(count, GL_UNSIGNED_BYTE, codes);
  glPopAttrib();

  glEnable(GL_DEPTH_TEST);
}

}  // namespace

GLFont::GLFont(const char* face, int height) : listBase(0) {
  if (!platform::HasCurrentGLContext()) {
    LogPrintf("%s", "GLFont: no current OpenGL context, text will not be drawn");
    return;
  }
  listBase = glGenLists(kFontCharCount);
  if (listBase == 0) {
    LogPrintf("%s", "GLFont: could not allocate display lists");
    font_ClearGLErrors();
    return;
  }
  const std::string used = platform::UseXFontBitmaps(face, height, true, kFontFirstChar,
                                                     kFontCharCount, listBase);
  if (used.empty()) {
    LogPrintf("GLFont: no X font for '%s' and no 'fixed' font", face != nullptr ? face : "");
    glDeleteLists(listBase, kFontCharCount);
    listBase = 0;
  }
  font_ClearGLErrors();
}

GLFont::~GLFont() {
  // Without a context the lists are gone with it already.
  if (listBase != 0 && platform::HasCurrentGLContext()) glDeleteLists(listBase, kFontCharCount);
}

void GLFont::Print(int x, int y, const char* format, ...) {
  if (format == nullptr || listBase == 0) return;
  char buffer[kFontTextBufferSize];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (written < 0) buffer[0] = '\0';
  font_Draw(listBase, x, y, buffer, std::strlen(buffer));
}

void GLFont::PrintText(int x, int y, const std::string& text) {
  if (listBase == 0) return;
  font_Draw(listBase, x, y, text.data(), text.size());
}
