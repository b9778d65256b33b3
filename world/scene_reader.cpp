// The scene file reader: motions, motion data sets and characters from a
// sectioned "Key: value" text.
#include "world/scene_reader.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/name_registry.h"
#include "core/stop_request.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "motion/text_file.h"
#include "world/character.h"
#include "world/motion_mixer.h"

const char kSceneHeader[] = "// Tavrin Scene Description  - Copyright (C) The Tavrin Project \\";

namespace {

// Scale of every motion the scene loads.
constexpr float kSceneMotionScale = 0.06f;
// The flag word of every character of a scene (drawn by the renderer).
constexpr uint32_t kSceneCharacterFlags = 6;

// Log text for a name or line of any length: at most 64 characters of it.
std::string scene_Shown(const std::string& text) {
  return text.size() > 64 ? text.substr(0, 64) + "..." : text;
}

bool scene_Contains(const std::string& line, const char* word) {
  return line.find(word) != std::string::npos;
}

bool scene_IsEndLine(const std::string& line) {
  return scene_Contains(line, "END") || scene_Contains(line, "End");
}

// atoi without its undefined cases: leading white space, an optional sign,
// then decimal digits up to the first other character; no digits give 0, and
// a value beyond the int range saturates at INT_MIN / INT_MAX. Sets *hadDigits
// when at least one digit was read.
int scene_ParseInt(std::string_view text, bool* hadDigits = nullptr) {
  size_t i = 0;
  while (i < text.size() && IsWordSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate towards the sign's side so that INT_MIN itself is reachable.
  long long value = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
  }
  if (hadDigits != nullptr) *hadDigits = digits;
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// One float from the start of a word, as a stream extraction reads it: an
// optional sign, then a decimal number; characters behind the number are
// left. False (value untouched) when the word does not start with a finite
// number within the float range. *trailing tells whether characters follow.
bool scene_ParseFloatWord(std::string_view word, float* value, bool* trailing) {
  size_t start = 0;
  bool negative = false;
  if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
    negative = word[0] == '-';
    start = 1;
  }
  // from_chars takes no '+' and would read "inf" and "nan"; only digits and a
  // point may begin a number here.
  if (start >= word.size() || !((word[start] >= '0' && word[start] <= '9') || word[start] == '.')) {
    return false;
  }
  float parsed = 0.0f;
  const char* first = word.data() + start;
  const char* last = word.data() + word.size();
  const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(parsed)) return false;
  *value = negative ? -parsed : parsed;
  *trailing = result.ptr != last;
  return true;
}

// Up to `count` white-space-separated floats from the text into out[]; the
// first word that is no number ends the reading (that one and the rest keep
// their values), and so does a number with other characters behind it.
void scene_ParseFloats(std::string_view text, float* out, int count) {
  std::string_view word;
  for (int i = 0; i < count && NextWord(&text, &word); ++i) {
    bool trailing = false;
    if (!scene_ParseFloatWord(word, &out[i], &trailing) || trailing) return;
  }
}

// The first of up to `count` words of the text that reads as a number that is
// not finite ("nan", "inf", "1e39"); empty when there is none.
std::string scene_NonFiniteWord(std::string_view text, int count) {
  std::string_view word;
  for (int i = 0; i < count && NextWord(&text, &word); ++i) {
    const std::string copy(word);
    char* end = nullptr;
    const float value = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() && !std::isfinite(value)) return copy;
  }
  return std::string();
}

// A motion name and a graph type: the first word and the whole number at the
// start of the second word (saturated as scene_ParseInt). A missing or
// non-numeric second word leaves *graphType as it was.
void scene_ParseMotionAndType(std::string_view text, std::string* motionName, int* graphType) {
  std::string_view word;
  if (!NextWord(&text, &word)) return;
  motionName->assign(word.data(), word.size());
  if (!NextWord(&text, &word)) return;
  bool hadDigits = false;
  const int value = scene_ParseInt(word, &hadDigits);
  if (hadDigits) *graphType = value;
}

// Splits `list` at its first ",": *first is the part before it (all of it
// when there is none), *rest the part after it without leading blanks and
// tabs.
void scene_SplitFileList(const std::string& list, std::string* first, std::string* rest) {
  const size_t comma = list.find(',');
  if (comma == std::string::npos) {
    *first = list;
    rest->clear();
    return;
  }
  *first = list.substr(0, comma);
  *rest = list.substr(comma + 1);
  SceneReader::TrimLeadingWhitespace(rest);
}

// Longest motion name taken: its graph file, "<name>_graph.gra" with counters
// that keep names unique, must fit a file name of 255 bytes.
constexpr size_t kSceneMaxMotionName = 200;

// The motion registered under the name lower-cased; null for an empty name.
Motion* scene_FindMotion(const std::string& name) {
  if (name.empty()) return nullptr;
  auto& map = MotionMap();
  auto it = map.find(ToLowerName(name));
  return it == map.end() ? nullptr : it->second;
}

}  // namespace

bool Level::FindMotionDataSet(int id, MotionDataSetRecord* out) const {
  for (const MotionDataSetRecord& record : dataSets) {
    if (record.id == id) {
      *out = record;
      return true;
    }
  }
  return false;
}

SceneReader::SceneReader() : level(nullptr) {}

SceneReader::~SceneReader() { delete level; }

bool SceneReader::LoadScene(const std::string& file) {
  fileName = file;
  lineNumber = 0;
  std::string text;
  if (!ReadTextFile(file, &text)) {
    LogPrintf("LoadScene: cannot open %s; nothing is loaded", file.c_str());
    return false;
  }
  std::istringstream in(text);

  std::string line;
  // An empty file has no line 1; it reads as a scene without sections.
  if (GetLine(in, &line) && line == kSceneHeader) {
    LogPrintf("LoadScene: %s line 1 is the header line that refuses the file; nothing is loaded",
              file.c_str());
    return false;
  }

  delete level;
  level = new Level;

  while (GetLine(in, &line)) {
    if (StopRequested()) {
      LogPrintf("LoadScene: %s: a stop was asked for; loading ends at line %d", file.c_str(),
                lineNumber);
      return false;
    }
    if (scene_Contains(line, "//")) continue;
    if (line.empty() || line[0] != '*') continue;
    sectionName = line.size() > 2 ? line.substr(2) : std::string();
    sectionLine = lineNumber;
    bool ok = true;
    switch (FindSection(sectionName)) {
      case 0:
        ok = ReadMotionData(in);
        break;
      case 1:
        ok = ReadCharacter(in);
        break;
      case 3:
        ok = ReadMotionDataSet(in);
        break;
      default:
        break;  // "Level" and unknown sections: their lines are passed over
    }
    if (!ok) return false;
  }
  return true;
}

bool SceneReader::GetLine(std::istream& in, std::string* line) {
  if (!std::getline(in, *line)) return false;
  ++lineNumber;
  // A NUL byte ends the line's text, as it ends a C string: what follows it
  // up to the line end is dropped, so no name or path ever carries a NUL.
  const size_t nul = line->find('\0');
  if (nul != std::string::npos) line->resize(nul);
  return true;
}

void SceneReader::Report(int line, bool fails, const char* format, ...) {
  char problem[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(problem, sizeof problem, format, args);
  va_end(args);
  LogPrintf("LoadScene: %s line %d: %s%s", fileName.c_str(), line, problem,
            fails ? "; the rest of the file is not read" : "");
}

bool SceneReader::SectionEnds(const std::string& key, int count, int needed, bool exact) {
  if (key != "END") {
    Report(lineNumber, true, "unknown key \"%s\" in the %s section of line %d",
           scene_Shown(key).c_str(), sectionName.c_str(), sectionLine);
    return false;
  }
  if (count < needed || (exact && count != needed)) {
    Report(lineNumber, true, "the %s section of line %d has %d key lines; it needs %s%d",
           sectionName.c_str(), sectionLine, count, exact ? "" : "at least ", needed);
    return false;
  }
  return true;
}

int SceneReader::FindSection(const std::string& name) {
  if (name == "MotionData") return 0;
  if (name == "Character") return 1;
  if (name == "Level") return 2;
  if (name == "MotionDataSet") return 3;
  return -1;
}

bool SceneReader::ReadKeyValue(std::istream& in, std::string* key, std::string* value) {
  std::string line;
  do {
    if (!GetLine(in, &line)) {
      Report(lineNumber, true, "the file ends inside the %s section of line %d (no END line)",
             sectionName.c_str(), sectionLine);
      return false;
    }
  } while (scene_Contains(line, "//"));
  if (scene_IsEndLine(line)) {
    *key = "END";
    value->clear();
    return true;
  }
  TrimLeadingWhitespace(&line);
  const size_t colon = line.find(':');
  if (colon == std::string::npos) {
    Report(lineNumber, true, "\"%s\" in the %s section of line %d is no \"Key: value\" line",
           scene_Shown(line).c_str(), sectionName.c_str(), sectionLine);
    return false;
  }
  *key = line.substr(0, colon);
  *value = line.substr(colon + 1);
  TrimLeadingWhitespace(value);
  return true;
}

void SceneReader::TrimLeadingWhitespace(std::string* text) {
  const size_t keep = text->find_first_not_of(" \t");
  if (keep == std::string::npos) {
    text->clear();
  } else {
    text->erase(0, keep);
  }
}

bool SceneReader::ReadMotionData(std::istream& in) {
  std::string motionName;
  std::string files;
  // A section that repeats a key instead of giving BodyWeights gets code 0.
  int bodyWeights = 0;
  int count = 0;
  int nameLine = 0;
  int filesLine = 0;
  std::string key;
  std::string value;
  for (;;) {
    if (!ReadKeyValue(in, &key, &value)) return false;
    if (key == "MotionName") {
      motionName = value;
      nameLine = lineNumber;
    } else if (key == "AMCFiles") {
      files = value;
      filesLine = lineNumber;
    } else if (key == "BodyWeights") {
      bodyWeights = scene_ParseInt(value);
    } else {
      break;
    }
    ++count;
  }
  if (!SectionEnds(key, count, 3, true)) return false;

  // The motion's graph file is named after it, in the working folder, and
  // its caches are written beside its files: neither may lead elsewhere.
  if (motionName.find('/') != std::string::npos || motionName.size() > kSceneMaxMotionName) {
    Report(nameLine, true, "the motion name \"%s\" cannot name a file (a \"/\" or over %d "
           "characters)", scene_Shown(motionName).c_str(), static_cast<int>(kSceneMaxMotionName));
    return false;
  }
  // The first file, then those appended to it.
  std::vector<std::string> fileList;
  std::string rest;
  for (std::string list = files; !list.empty(); list = rest) {
    std::string file;
    scene_SplitFileList(list, &file, &rest);
    if (!StaysInMotionFolder(file)) {
      Report(filesLine, true, "\"%s\" leads outside %s", scene_Shown(file).c_str(), MotionFolder);
      return false;
    }
    fileList.push_back(file);
  }
  // An empty list names the file "".
  if (fileList.empty()) fileList.emplace_back();

  Motion* motion = new Motion(motionName, fileList[0], kSceneMotionScale, bodyWeights);
  // A failed motion stays registered (and alive) under its name, as every
  // motion does; only the level leaves it out.
  if (motion->frameCount == -1) {
    Report(filesLine, true, "motion %s: its first file %s could not be loaded",
           scene_Shown(motionName).c_str(), scene_Shown(fileList[0]).c_str());
    return false;
  }
  for (size_t i = 1; i < fileList.size(); ++i) motion->AppendFile(fileList[i], kSceneMotionScale);
  level->AddMotion(motion);
  return true;
}

bool SceneReader::ReadMotionDataSet(std::istream& in) {
  std::string names[3];  // attack, defensive, idle
  // A set without an ID line gets the id 0.
  int id = 0;
  int lines[3] = {0, 0, 0};
  int count = 0;
  std::string key;
  std::string value;
  for (;;) {
    if (!ReadKeyValue(in, &key, &value)) return false;
    int slot = -1;
    if (key == "AttackMotion") {
      slot = 0;
    } else if (key == "DefensiveMotion") {
      slot = 1;
    } else if (key == "IdleMotion") {
      slot = 2;
    } else if (key == "ID") {
      id = scene_ParseInt(value);
    } else {
      break;
    }
    if (slot >= 0) {
      names[slot] = value;
      lines[slot] = lineNumber;
    }
    ++count;
  }
  if (!SectionEnds(key, count, 2, false)) return false;

  MotionDataSetRecord record;
  record.id = id;
  Motion** const slots[3] = {&record.attack, &record.defensive, &record.idle};
  for (int i = 0; i < 3; ++i) {
    *slots[i] = scene_FindMotion(names[i]);
    if (*slots[i] == nullptr && !names[i].empty()) {
      Report(lines[i], false, "unknown motion \"%s\"; the data set has none there",
             scene_Shown(names[i]).c_str());
    }
  }
  level->AddMotionDataSet(record);
  return true;
}

bool SceneReader::ReadCharacter(std::istream& in) {
  std::string characterName;
  float position[3] = {0.0f, 0.0f, 0.0f};
  int gameplayController = -1;
  int datasetId = -1;
  std::string rootMotion;
  int rootGraphType = -1;
  std::string blendMotion;
  int blendGraphType = -1;
  int enabled = 1;
  int rootLine = 0;
  int blendLine = 0;
  int datasetLine = 0;
  int count = 0;
  std::string key;
  std::string value;
  for (;;) {
    if (!ReadKeyValue(in, &key, &value)) return false;
    if (key == "CharacterName") {
      characterName = value;
    } else if (key == "Position") {
      scene_ParseFloats(value, position, 3);
      // Such a place could never be seen, nor left again.
      const std::string bad = scene_NonFiniteWord(value, 3);
      if (!bad.empty()) {
        Report(lineNumber, false, "position \"%s\" is not a finite number; the character stands at %g %g %g",
               scene_Shown(bad).c_str(), position[0], position[1], position[2]);
      }
    } else if (key == "GameplayController") {
      gameplayController = scene_ParseInt(value);
    } else if (key == "DatasetID") {
      datasetId = scene_ParseInt(value);
      datasetLine = lineNumber;
    } else if (key == "DefaultRootMotion") {
      scene_ParseMotionAndType(value, &rootMotion, &rootGraphType);
      rootLine = lineNumber;
    } else if (key == "DefaultBlendMotion") {
      scene_ParseMotionAndType(value, &blendMotion, &blendGraphType);
      blendLine = lineNumber;
    } else if (key == "Enabled") {
      enabled = scene_ParseInt(value);
    } else {
      break;
    }
    ++count;
  }
  if (!SectionEnds(key, count, 2, false)) return false;

  Character* character = new Character(characterName, kSceneCharacterFlags);
  character->SetPosition(Vector3(position[0], position[1], position[2]));

  if (datasetId != -1 && gameplayController != -1) {
    MotionDataSetRecord record;
    if (level->FindMotionDataSet(datasetId, &record)) {
      Motion* const motions[3] = {record.attack, record.defensive, record.idle};
      character->SetController(gameplayController, motions);
    } else {
      Report(datasetLine, false, "no motion data set %d; character %s has no controller",
             datasetId, character->name.c_str());
    }
  } else {
    MotionMixer* mixer = character->GetMixer();
    // A missing default motion leaves the character in the world (it is
    // registered already) but out of the level.
    const struct {
      const std::string& name;
      int graphType;
      int line;
      void (MotionMixer::*set)(MotionController*);
    } defaults[] = {{rootMotion, rootGraphType, rootLine, &MotionMixer::SetPrimary},
                    {blendMotion, blendGraphType, blendLine, &MotionMixer::SetSecondary}};
    for (const auto& motionDefault : defaults) {
      if (motionDefault.name.empty()) continue;
      Motion* motion = scene_FindMotion(motionDefault.name);
      if (motion == nullptr) {
        Report(motionDefault.line, true, "unknown motion \"%s\"",
               scene_Shown(motionDefault.name).c_str());
        return false;
      }
      (mixer->*motionDefault.set)(motion->CreateController(motionDefault.graphType));
    }
    if (enabled == 0 && mixer->GetPrimary() != nullptr) mixer->GetPrimary()->Stop();
  }
  level->AddCharacter(character);
  return true;
}
