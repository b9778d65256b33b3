// Feeds arbitrary bytes to the "cvar.ini" reader. The registry keeps every
// name the inputs introduce (records are never freed), so the whole-registry
// checks run only now and then to keep each run cheap; memory grows with the
// run time for the same reason.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "core/cvar_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::Require;

const char* FuzzHelp(std::vector<std::string>*) { return ""; }

// Names declared in code, so the inputs also meet records of fixed types.
ConsoleVariable<float> g_farclip("gl.farclip", 50.0f);
ConsoleVariable<int> g_width("gl.width", 640);
ConsoleVariable<ConsoleFunction> g_help("help", FuzzHelp);

std::string fuzz_Save() {
  std::ostringstream out;
  Require(SaveCVarsTo(out), "SaveCVarsTo failed on a string stream");
  return out.str();
}

// Checks every record; returns how many there are.
size_t fuzz_CheckRegistry() {
  NameTrie& registry = ConsoleVariableRegistry();
  const std::vector<TrieNode*> leaves = registry.GetLeaves(registry.GetRoot());
  for (TrieNode* leaf : leaves) {
    const CVarRecord* record = leaf->value;
    Require(record != nullptr && record->name == leaf->key && CVarGet(leaf->key) == record, "leaf and record differ");
    const int32_t type = record->cell.type;
    Require(type == kCVarInt || type == kCVarFloat || type == kCVarFunction, "record with an unknown type tag");
    // The reader only ever registers single words of 1 to 255 characters.
    Require(!leaf->key.empty() && leaf->key.size() <= kCVarMaxWordLength &&
                leaf->key.find_first_of(" \t\n\r\v\f") == std::string::npos,
            "name of a bad length or with white space");
  }
  Require(CVarGet("gl.farclip")->cell.type == kCVarFloat && CVarGet("gl.width")->cell.type == kCVarInt &&
              static_cast<ConsoleFunction>(g_help) == &FuzzHelp,
          "a declared variable changed type or a command its handler");
  const std::string first = fuzz_Save();  // reading back what was written changes nothing
  std::istringstream in(first);
  LoadCVarsFrom(in);
  Require(fuzz_Save() == first, "write, read, write is not stable");
  return leaves.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Whole-registry checks run after as many inputs as there are records (at
  // least 1024), so their cost per input stays bounded as the registry grows.
  static size_t untilCheck = 0;
  static const bool silenced = (fuzz_support::SilenceLog(), true);
  (void)silenced;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  const int stored = LoadCVarsFrom(in);
  // The shortest entry, "1 a b", and one separator per further entry.
  Require(stored >= 0 && static_cast<size_t>(stored) * 6 <= size + 1, "more values stored than the input can hold");
  if (untilCheck-- == 0) untilCheck = std::max<size_t>(fuzz_CheckRegistry(), 1024);
  return 0;
}
