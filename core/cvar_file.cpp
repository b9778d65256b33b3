#include "core/cvar_file.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <system_error>

#include "core/console_variable.h"
#include "core/log.h"

namespace {

bool cvarfile_IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One word of the input: characters up to the next white space or the end.
// A word longer than kCVarMaxWordLength is consumed whole but not kept.
struct CVarFileWord {
  std::string text;
  bool tooLong = false;
};

// Skips white space and reads the next word into *word. False when the input
// ends before a word starts.
bool cvarfile_NextWord(std::streambuf* in, CVarFileWord* word) {
  using Traits = std::streambuf::traits_type;
  word->text.clear();
  word->tooLong = false;
  int c = in->sgetc();
  while (c != Traits::eof() && cvarfile_IsSpace(c)) c = in->snextc();
  if (c == Traits::eof()) return false;
  size_t length = 0;
  while (c != Traits::eof() && !cvarfile_IsSpace(c)) {
    if (length < static_cast<size_t>(kCVarMaxWordLength)) {
      word->text.push_back(Traits::to_char_type(c));
    }
    ++length;
    c = in->snextc();
  }
  if (length > static_cast<size_t>(kCVarMaxWordLength)) {
    word->tooLong = true;
    word->text.clear();
  }
  return true;
}

// A whole decimal integer (optional sign) within the int range.
bool cvarfile_ParseTag(const std::string& word, int* tag) {
  const char* first = word.data();
  const char* last = first + word.size();
  if (first < last && *first == '+') {
    ++first;
    if (first < last && *first == '-') return false;
  }
  int value = 0;
  const std::from_chars_result r = std::from_chars(first, last, value);
  if (first == last || r.ec != std::errc() || r.ptr != last) return false;
  *tag = value;
  return true;
}

bool cvarfile_IsOneWord(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (cvarfile_IsSpace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

int LoadCVarsFrom(std::istream& in) {
  std::streambuf* buffer = in.rdbuf();
  if (!in.good() || buffer == nullptr) return 0;
  int stored = 0;
  CVarFileWord tag;
  CVarFileWord name;
  CVarFileWord value;
  int tagValue = 0;
  for (;;) {
    if (!cvarfile_NextWord(buffer, &tag)) break;
    if (!tag.tooLong && !cvarfile_ParseTag(tag.text, &tagValue)) break;
    if (!cvarfile_NextWord(buffer, &name)) break;
    if (!cvarfile_NextWord(buffer, &value)) break;
    if (tag.tooLong || name.tooLong || value.tooLong) continue;
    if (tagValue != kCVarInt && tagValue != kCVarFloat) continue;
    if (CVarLoadEntry(name.text, tagValue, value.text)) ++stored;
  }
  // Reading went straight to the buffer; let the stream know where it is.
  if (buffer->sgetc() == std::streambuf::traits_type::eof()) in.setstate(std::ios::eofbit);
  return stored;
}

int LoadCVars() {
  std::ifstream file(kCVarFileName);
  if (!file.is_open()) return 0;
  return LoadCVarsFrom(file);
}

bool SaveCVarsTo(std::ostream& out) {
  NameTrie& registry = ConsoleVariableRegistry();
  for (TrieNode* leaf : registry.GetLeaves(registry.GetRoot())) {
    const CVarRecord* record = leaf->value;
    if (record == nullptr) continue;
    const int32_t type = record->cell.type;
    if (type != kCVarInt && type != kCVarFloat) continue;
    if (!cvarfile_IsOneWord(leaf->key)) {
      // Written, it would shift every later word of the file.
      LogPrintf("SaveCVars: left out \"%s\", not a single word", leaf->key.c_str());
      continue;
    }
    const std::string text = CVarToString(record);
    out.put(type == kCVarInt ? '1' : '2');
    out.put(' ');
    out.write(leaf->key.data(), static_cast<std::streamsize>(leaf->key.size()));
    out.put(' ');
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.put('\n');
  }
  return !out.fail();
}

bool SaveCVars() {
  std::ofstream file(kCVarTempFileName, std::ios::out | std::ios::trunc);
  if (!file.is_open()) {
    LogPrintf("SaveCVars: cannot open \"%s\" for writing: %s", kCVarTempFileName,
              std::strerror(errno));
    return false;
  }
  bool ok = SaveCVarsTo(file);
  file.flush();
  ok = ok && !file.fail();
  file.close();
  ok = ok && !file.fail();
  if (!ok) {
    LogPrintf("SaveCVars: writing \"%s\" failed; \"%s\" is unchanged", kCVarTempFileName,
              kCVarFileName);
    std::remove(kCVarTempFileName);
    return false;
  }
  if (std::rename(kCVarTempFileName, kCVarFileName) != 0) {
    LogPrintf("SaveCVars: cannot replace \"%s\": %s", kCVarFileName, std::strerror(errno));
    std::remove(kCVarTempFileName);
    return false;
  }
  return true;
}
