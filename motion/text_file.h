#pragma once

#include <string>
#include <string_view>

// Text files are read whole and cut into lines the way a Windows text-mode
// stream delivers them: a carriage return just before a line feed is dropped,
// so files with CRLF and LF line ends read alike.

// Reads the whole file into *text, CR before LF removed. False, with *text
// empty, when the file cannot be opened or read or is not a regular file
// (ReadRegularFile, core/regular_file.h).
bool ReadTextFile(const std::string& path, std::string* text);

// Walks the lines of a text without copying. A last line without a line feed
// is returned too; `lastHadLineEnd()` tells whether the line just returned
// ended in a line feed.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The next line without its line end; false at the end of the text.
  bool Next(std::string_view* line);
  bool lastHadLineEnd() const { return lastHadLineEnd_; }
  // 1-based number of the line last returned.
  int lineNumber() const { return lineNumber_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int lineNumber_ = 0;
  bool lastHadLineEnd_ = false;
};

// Splits off the next word (a run of characters that are not white space)
// from *rest; leading white space is skipped. False when no word is left.
bool NextWord(std::string_view* rest, std::string_view* word);

// True for the white space that separates words: blank, tab, line feed,
// carriage return, vertical tab, form feed.
inline bool IsWordSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
