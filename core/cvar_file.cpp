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

bool cvarfile_IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Splits a line into words at white space; at most four are kept, which is
// enough to tell a line of three.
int cvarfile_SplitWords(std::string_view line, std::string_view words[4]) {
  int count = 0;
  size_t i = 0;
  while (count < 4) {
    while (i < line.size() && cvarfile_IsSpace(static_cast<unsigned char>(line[i]))) ++i;
    if (i == line.size()) break;
    const size_t start = i;
    while (i < line.size() && !cvarfile_IsSpace(static_cast<unsigned char>(line[i]))) ++i;
    words[count++] = line.substr(start, i - start);
  }
  return count;
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

// Applies one line; the reason it is not an entry otherwise.
const char* cvarfile_LoadLine(std::string_view line, bool* stored) {
  std::string_view words[4];
  const int count = cvarfile_SplitWords(line, words);
  *stored = false;
  if (count == 0) return nullptr;
  int tag = 0;
  if (count != 3 || !cvarfile_ParseTag(words[0], &tag)) return "it is not \"<type> <name> <value>\"";
  for (const std::string_view& word : words) {
    if (word.size() > static_cast<size_t>(kCVarMaxWordLength)) return "a word is too long";
  }
  if (tag != kCVarInt && tag != kCVarFloat) return "the type is neither 1 (int) nor 2 (float)";
  const std::string name(words[1]);
  const CVarRecord* record = CVarGet(name);
  if (record != nullptr && record->cell.type == kCVarFunction) return "it names a console command";
  if (!CVarLoadEntry(name, tag, std::string(words[2]))) return "the value is no number";
  *stored = true;
  return nullptr;
}

int cvarfile_LoadText(std::string_view text) {
  int stored = 0;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    bool ok = false;
    if (const char* reason = cvarfile_LoadLine(line, &ok)) {
      const int shown = line.size() > 64 ? 64 : static_cast<int>(line.size());
      LogPrintf("LoadCVars: %s line %d is ignored: %s (\"%.*s\")", kCVarFileName, number, reason,
                shown, line.data());
    }
    if (ok) ++stored;
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
