#pragma once

#include <istream>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/singleton.h"

class Character;
class Motion;

// The attack, defensive and idle motions of a motion data set, any of them
// null, and the number by which characters refer to the set.
struct MotionDataSetRecord {
  MotionDataSetRecord() : attack(nullptr), defensive(nullptr), idle(nullptr), id(0) {}
  Motion* attack;
  Motion* defensive;
  Motion* idle;
  int id;
};

// What the last scene read created. It owns none of the motions and
// characters (they stay in their registries).
class Level {
 public:
  void AddMotion(Motion* motion) { motions.push_back(motion); }
  void AddCharacter(Character* character) { characters.push_back(character); }
  void AddMotionDataSet(const MotionDataSetRecord& record) { dataSets.push_back(record); }
  // The first data set with `id`, copied out; false when there is none.
  bool FindMotionDataSet(int id, MotionDataSetRecord* out) const;

  std::vector<Motion*> motions;
  std::vector<Character*> characters;
  std::vector<MotionDataSetRecord> dataSets;
};

// Reads a scene description: line 1 a comment (the exact header line
// kSceneHeader is refused), then sections "* MotionData", "* MotionDataSet",
// "* Character" (and "* Level" and others, passed over) of "Key: value" lines
// closed by a line containing "END" or "End"; lines containing "//" are
// skipped. Creates the motions, data sets and characters it names.
//
// Every problem is logged as "LoadScene: <file> line <n>: <problem>". One that
// fails its section (a line without ":", an unknown key, a missing END line,
// too few key lines, a motion whose first file does not load, a default
// motion that is not loaded, a motion name that cannot name its graph file, a
// motion file outside MotionFolder) ends the load there, and the line says
// that the rest of the file is not read; a data set's unknown motion and a
// character's unknown data set are logged and the section goes on.
class SceneReader : public Singleton {
 public:
  SceneReader();
  // Deletes the Level; the motions and characters it lists live on in their
  // registries.
  ~SceneReader() override;

  // True when the whole file was read; false when it cannot be opened, line 1
  // is the header, a section failed (what earlier sections made stays) or a
  // stop was asked for (StopRequested, core/stop_request.h, is looked at
  // before each line outside the sections); each case is logged.
  bool LoadScene(const std::string& file);

  // 0 "MotionData", 1 "Character", 2 "Level", 3 "MotionDataSet", else -1.
  static int FindSection(const std::string& name);
  bool ReadMotionData(std::istream& in);
  bool ReadCharacter(std::istream& in);
  bool ReadMotionDataSet(std::istream& in);
  // The next key line of a section; an end line gives the key "END". False,
  // logged, at the end of the stream or for a line without ":".
  bool ReadKeyValue(std::istream& in, std::string* key, std::string* value);
  static void TrimLeadingWhitespace(std::string* text);

  Level* GetLevel() const { return level; }

  std::string fileName;
  Level* level;

 private:
  // std::getline that counts lineNumber and cuts the line at a NUL byte.
  bool GetLine(std::istream& in, std::string* line);
  // Logs "LoadScene: <file> line <line>: <problem>", adding that the rest of
  // the file is not read when the problem `fails` the section.
  void Report(int line, bool fails, const char* format, ...) TAVRIN_PRINTF_FORMAT(4, 5);
  // Whether the line that ended a section's key lines (its key) is the end
  // line and `count` key lines meet `needed` (exactly, or at least); logged
  // when not.
  bool SectionEnds(const std::string& key, int count, int needed, bool exact);

  int lineNumber = 0;         // of the line last read
  std::string sectionName;    // of the section being read
  int sectionLine = 0;        // where it begins
};

// The header line that a scene file's first line must not be.
extern const char kSceneHeader[];
