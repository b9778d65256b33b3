#include "platform/x_font.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

// Lower-case words of `face`, separated by one blank.
std::string xfont_Family(const char* face) {
  std::string family;
  if (face == nullptr) return family;
  bool pendingBlank = false;
  for (const char* p = face; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == ' ') {
      pendingBlank = !family.empty();
      continue;
    }
    if (c >= 0x80 || !std::isalnum(c)) continue;
    if (pendingBlank) family += ' ';
    pendingBlank = false;
    family += static_cast<char>(std::tolower(c));
  }
  return family;
}

std::string xfont_Pattern(const std::string& family, const char* weight, const std::string& size) {
  return "-*-" + family + "-" + weight + "-r-*-*-" + size + "-*-*-*-*-*-iso8859-1";
}

}  // namespace

std::vector<std::string> XFontPatterns(const char* face, int pixelHeight, bool bold) {
  std::vector<std::string> patterns;
  const std::string family = xfont_Family(face);
  if (!family.empty()) {
    const std::string size = pixelHeight > 0 ? std::to_string(pixelHeight) : "*";
    const char* weight = bold ? "bold" : "medium";
    const std::string firstWord = family.substr(0, family.find(' '));
    for (const std::string& candidate :
         {xfont_Pattern(family, weight, size), xfont_Pattern(firstWord, weight, size),
          xfont_Pattern(firstWord, "*", size)}) {
      if (std::find(patterns.begin(), patterns.end(), candidate) == patterns.end()) {
        patterns.push_back(candidate);
      }
    }
  }
  patterns.push_back("fixed");
  return patterns;
}

std::string UseXFontBitmaps(const char* face, int pixelHeight, bool bold, int first, int count,
                            unsigned int listBase) {
  Display* dpy = glXGetCurrentDisplay();
  if (dpy == nullptr || glXGetCurrentContext() == nullptr) return "";
  for (const std::string& pattern : XFontPatterns(face, pixelHeight, bold)) {
    XFontStruct* font = XLoadQueryFont(dpy, pattern.c_str());
    if (font == nullptr) continue;
    glXUseXFont(font->fid, first, count, static_cast<int>(listBase));
    // The lists hold copies of the bitmaps; the server font is no longer needed.
    XFreeFont(dpy, font);
    return pattern;
  }
  return "";
}

}  // namespace platform
