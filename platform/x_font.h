#pragma once

#include <string>
#include <vector>

namespace platform {

// The X core font names tried, best first, for a font family `face` (a
// Windows-style name such as "Courier New") at `pixelHeight` pixels:
//   the whole face as the XLFD family, then its first word, each at the asked
//   weight, then the first word at any weight, and last "fixed".
// The face is lower-cased; characters other than letters, digits and blanks
// are dropped (so no wildcard or field separator can come from it). A null or
// empty face gives only "fixed"; a pixel height of 0 or less matches any size.
std::vector<std::string> XFontPatterns(const char* face, int pixelHeight, bool bold);

// Fills the display lists listBase .. listBase + count - 1 with the bitmaps
// of character codes first .. first + count - 1 (ISO 8859-1) of the first
// font of XFontPatterns that the X server has, through glXUseXFont. Needs a
// current GLX context; uses its display. Returns the name of the font used,
// or "" when there is no context or no font loads (the lists are untouched).
std::string UseXFontBitmaps(const char* face, int pixelHeight, bool bold, int first, int count,
                            unsigned int listBase);

}  // namespace platform
