#pragma once

#include <string>

// Text in window pixels over the 3-D view, drawn with OpenGL bitmaps: one
// display list per character code 32 to 127. Needs a current GL context on an
// X display for construction, drawing and destruction.
class GLFont {
 public:
  // Builds the 96 lists from the X core font closest to `face` at `height`
  // pixels (bold), falling back to "fixed". Clears any GL error the set-up
  // leaves. `listBase` is 0 when no list could be made (then nothing draws).
  GLFont(const char* face, int height);
  // Deletes the 96 lists.
  ~GLFont();
  GLFont(const GLFont&) = delete;
  GLFont& operator=(const GLFont&) = delete;

  // Formats printf-style (at most 255 characters are kept) and draws the text
  // at window pixel (x, y), counted from the lower-left corner of the view.
  // A null format draws nothing. The depth test is enabled afterwards.
  void Print(int x, int y, const char* format, ...) __attribute__((format(printf, 4, 5)));
  // Draws `text` literally (no format directives) at window pixel (x, y).
  // Characters outside 32..127 draw nothing; text beyond 255 characters is
  // cut. The depth test is enabled afterwards.
  void PrintText(int x, int y, const std::string& text);

  // First of the 96 lists; list listBase + (c - 32) draws character c.
  unsigned int listBase;
};
