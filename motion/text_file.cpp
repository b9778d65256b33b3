#include "motion/text_file.h"

#include <cstring>

#include "core/regular_file.h"

bool ReadTextFile(const std::string& path, std::string* text) {
  if (!ReadRegularFile(path, text)) return false;

  // Drop each carriage return that stands just before a line feed, compacting
  // in place; most files have none or one per line.
  char* const begin = text->data();
  char* const end = begin + text->size();
  char* out = static_cast<char*>(std::memchr(begin, '\r', text->size()));
  if (out == nullptr) return true;
  const char* in = out;
  while (in < end) {
    const char* cr = static_cast<const char*>(std::memchr(in, '\r', static_cast<size_t>(end - in)));
    const char* stop = cr != nullptr ? cr : end;
    std::memmove(out, in, static_cast<size_t>(stop - in));
    out += stop - in;
    if (cr == nullptr) break;
    if (cr + 1 < end && cr[1] == '\n') {
      in = cr + 1;  // the line feed is copied with the next run
    } else {
      *out++ = '\r';
      in = cr + 1;
    }
  }
  text->resize(static_cast<size_t>(out - begin));
  return true;
}

bool LineReader::Next(std::string_view* line) {
  if (pos_ >= text_.size()) return false;
  const size_t end = text_.find('\n', pos_);
  ++lineNumber_;
  if (end == std::string_view::npos) {
    *line = text_.substr(pos_);
    pos_ = text_.size();
    lastHadLineEnd_ = false;
  } else {
    *line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    lastHadLineEnd_ = true;
  }
  return true;
}

bool NextWord(std::string_view* rest, std::string_view* word) {
  size_t i = 0;
  while (i < rest->size() && IsWordSpace((*rest)[i])) ++i;
  if (i == rest->size()) {
    *rest = std::string_view();
    return false;
  }
  size_t j = i;
  while (j < rest->size() && !IsWordSpace((*rest)[j])) ++j;
  *word = rest->substr(i, j - i);
  *rest = rest->substr(j);
  return true;
}
