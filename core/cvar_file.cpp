#include "core/cvar_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "core/console_variable.h"
#include "core/log.h"
#include "core/regular_file.h"

namespace {

// Set by LoadCVars when "cvar.ini" exists but could not be read: a save would
// replace the user's settings with the defaults.
bool g_cvarFileUnreadable = false;

// Set by LoadCVars once it has looked for the file: from then on a save
// writes what was loaded, not the defaults alone.
bool g_cvarFileLoaded = false;

bool cvarfile_IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A word-by-word walk over the file's text that knows the line of each word.
// A line ends at a line feed, a carriage return or the two together.
struct CVarCursor {
  std::string_view text;
  size_t pos = 0;
  int line = 1;  // line of text[pos]
};

// Moves past the character at the cursor, counting the line it may end.
void cvarfile_Step(CVarCursor* cursor) {
  const std::string_view text = cursor->text;
  const char c = text[cursor->pos++];
  if (c == '\n' || (c == '\r' && (cursor->pos == text.size() || text[cursor->pos] != '\n'))) ++cursor->line;
}

// The next word (run of characters that are not white space) and its line;
// false at the end of the text.
bool cvarfile_NextWord(CVarCursor* cursor, std::string_view* word, int* line) {
  const std::string_view text = cursor->text;
  while (cursor->pos < text.size() && cvarfile_IsSpace(static_cast<unsigned char>(text[cursor->pos]))) {
    cvarfile_Step(cursor);
  }
  if (cursor->pos == text.size()) return false;
  const size_t start = cursor->pos;
  while (cursor->pos < text.size() && !cvarfile_IsSpace(static_cast<unsigned char>(text[cursor->pos]))) {
    ++cursor->pos;
  }
  *word = text.substr(start, cursor->pos - start);
  *line = cursor->line;
  return true;
}

// Moves past the rest of the current line, its line end included.
void cvarfile_SkipLine(CVarCursor* cursor) {
  const std::string_view text = cursor->text;
  const int line = cursor->line;
  while (cursor->pos < text.size() && cursor->line == line) cvarfile_Step(cursor);
}

// A whole decimal integer (optional sign) within the int range.
bool cvarfile_ParseTag(std::string_view word, int* tag) {
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

// Log text for a word of unknown length: at most 64 characters of it.
int cvarfile_Shown(std::string_view word) { return word.size() > 64 ? 64 : static_cast<int>(word.size()); }

// Reads entries of three words, a type tag, a name and a value, separated by
// any white space: an entry may stand on one line or on several, and several
// entries may share a line. Where the text cannot be an entry (no type tag, a
// word too long to take) the fault is logged and the reading goes on after
// the end of that line; an entry that cannot be applied is logged and passed
// over. Returns the number of values stored.
int cvarfile_LoadText(std::string_view text) {
  CVarCursor cursor;
  cursor.text = text;
  int stored = 0;
  std::string_view tagWord;
  int line = 0;
  while (cvarfile_NextWord(&cursor, &tagWord, &line)) {
    const int entryLine = line;
    int tag = 0;
    if (!cvarfile_ParseTag(tagWord, &tag)) {
      LogPrintf("LoadCVars: %s line %d: a type number expected, found \"%.*s\"; the rest of the line is ignored",
                kCVarFileName, line, cvarfile_Shown(tagWord), tagWord.data());
      cvarfile_SkipLine(&cursor);
      continue;
    }
    std::string_view nameWord, valueWord;
    if (!cvarfile_NextWord(&cursor, &nameWord, &line) || !cvarfile_NextWord(&cursor, &valueWord, &line)) {
      LogPrintf("LoadCVars: %s line %d: the file ends within an entry; it is ignored", kCVarFileName, entryLine);
      break;
    }
    const size_t longest = static_cast<size_t>(kCVarMaxWordLength);
    if (tagWord.size() > longest || nameWord.size() > longest || valueWord.size() > longest) {
      LogPrintf("LoadCVars: %s line %d: a word is longer than %d characters; the rest of the line is ignored",
                kCVarFileName, line, kCVarMaxWordLength);
      cvarfile_SkipLine(&cursor);
      continue;
    }
    const std::string name(nameWord);
    if (tag != kCVarInt && tag != kCVarFloat) {
      LogPrintf("LoadCVars: %s line %d: type %d of \"%s\" is neither 1 (int) nor 2 (float); the entry is passed over",
                kCVarFileName, entryLine, tag, name.c_str());
      continue;
    }
    const CVarRecord* record = CVarGet(name);
    if (record != nullptr && record->cell.type == kCVarFunction) {
      LogPrintf("LoadCVars: %s line %d: \"%s\" names a console command; the entry is passed over", kCVarFileName,
                entryLine, name.c_str());
      continue;
    }
    if (CVarLoadEntry(name, tag, std::string(valueWord))) {
      ++stored;
    } else {
      LogPrintf("LoadCVars: %s line %d: the value \"%.*s\" of \"%s\" is no number; %s", kCVarFileName, line,
                cvarfile_Shown(valueWord), valueWord.data(), name.c_str(),
                record != nullptr ? "it keeps its value" : "it is registered with 0");
    }
  }
  return stored;
}

bool cvarfile_IsOneWord(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (cvarfile_IsSpace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The file that `path` names after following its symbolic links (at most 40,
// as the system does); `path` itself when it is no link.
std::string cvarfile_LinkTarget(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path target = path;
  std::error_code error;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, error)); ++hops) {
    const fs::path link = fs::read_symlink(target, error);
    if (error) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target.string();
}

}  // namespace

int LoadCVarsFrom(std::istream& in) {
  std::ostringstream all;
  if (in.rdbuf() == nullptr || !in.good() || !(all << in.rdbuf())) return 0;
  return cvarfile_LoadText(all.str());
}

int LoadCVars() {
  g_cvarFileUnreadable = false;
  g_cvarFileLoaded = true;
  std::string text;
  if (!ReadRegularFile(kCVarFileName, &text)) {
    if (errno == ENOENT) return 0;
    g_cvarFileUnreadable = true;
    LogPrintf("LoadCVars: cannot read \"%s\": %s; the defaults are used and the file is kept",
              kCVarFileName, std::strerror(errno));
    return 0;
  }
  return cvarfile_LoadText(text);
}

bool CVarFileLoaded() { return g_cvarFileLoaded; }

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
  if (g_cvarFileUnreadable) {
    LogPrintf("SaveCVars: \"%s\" could not be read; it is left as it is", kCVarFileName);
    return false;
  }
  const std::string target = cvarfile_LinkTarget(kCVarFileName);
  struct stat info;
  if (stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      LogPrintf("SaveCVars: %s is not a regular file; it is left as it is", target.c_str());
      return false;
    }
    // Made read-only by its owner: left as it is, without a word. The mode
    // bits count too, since the superuser may write anything.
    if ((info.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0) return false;
  }
  std::ostringstream text;
  SaveCVarsTo(text);
  AtomicFile out(target);
  if (!out.Open()) {
    LogPrintf("SaveCVars: cannot create a file beside %s: %s; it is unchanged", target.c_str(),
              std::strerror(errno));
    return false;
  }
  if (!out.Write(text.str()) || !out.Commit()) {
    LogPrintf("SaveCVars: writing %s failed: %s; it is unchanged", target.c_str(),
              std::strerror(errno));
    return false;
  }
  return true;
}
