// Tests of the scene file reader: the header rule, sections and key lines,
// what each section creates, the ways a section fails, numbers that atoi
// would get wrong, and the project's sample scene.

#include "world/scene_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"
#include "world/character.h"
#include "world/motion_mixer.h"

namespace {

using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// A working folder with the skeleton and the clips a.amc (3 frames, root x
// from 0), b.amc (2 frames, from 10) and c.amc (4 frames, from 20).
class SceneTestFolder {
 public:
  SceneTestFolder() {
    EXPECT_TRUE(testing_support::WriteTinySkeleton(testing_support::UprightMixedLengthBone));
    const struct {
      const char* file;
      int frames, rootX;
    } clips[] = {{"a.amc", 3, 0}, {"b.amc", 2, 10}, {"c.amc", 4, 20}};
    for (const auto& clip : clips) {
      const int rootX = clip.rootX;
      const auto value = [rootX](int f, int j, int a) { return j != 0 ? 0.0 : a == 0 ? rootX + f : a < 3 ? a : 0.0; };
      WriteFile(std::string(MotionFolder) + clip.file,
                testing_support::TinyAmcText("#!OML:ASF\n:FULLY-SPECIFIED\n:DEGREES\n", clip.frames, value));
    }
  }

 private:
  ScopedWorkDir work_;
};

// Writes a scene file and loads it with `reader`.
bool scenetest_Load(SceneReader* reader, const std::string& text) {
  WriteFile("test.sce", text);
  return reader->LoadScene("test.sce");
}

Motion* scenetest_Motion(const std::string& name) {
  auto it = MotionMap().find(name);
  return it == MotionMap().end() ? nullptr : it->second;
}

Character* scenetest_Character(const std::string& name) {
  auto it = CharacterMap().find(name);
  return it == CharacterMap().end() ? nullptr : it->second;
}

void scenetest_ExpectPlace(const Character* c, float x, float y, float z) {
  EXPECT_EQ(c->position.x, x) << c->name;
  EXPECT_EQ(c->position.y, y) << c->name;
  EXPECT_EQ(c->position.z, z) << c->name;
}

const std::string kMotionA = "* MotionData\nMotionName: A\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n";

TEST(SceneReader, ReadsMotionsDataSetsAndCharacters) {
  SceneTestFolder folder;
  SceneReader reader;
  ASSERT_TRUE(scenetest_Load(&reader,
                             "first line: any comment at all\n"
                             "* MotionData\n  MotionName:\tJoined\nAMCFiles: a.amc,b.amc, \tc.amc\n"
                             "\tBodyWeights: 2\nEND\n"
                             "text between sections is passed over\n"
                             "* MotionData\nMotionName: Single\nAMCFiles: b.amc\nBodyWeights: 4\nEnd\n"
                             "* Level\nanything: here\nEND\n"
                             "* Weather\nno colon here\nEND\n"
                             "// a comment naming * MotionData\n"
                             "* MotionDataSet\nID: 7\n// IdleMotion: single, a comment inside the section\n"
                             "AttackMotion: JOINED\nIdleMotion: single\nDefensiveMotion: nowhere\nEND of the set\n"
                             "* Character\nCharacterName: Walker\nPosition: 1.5 -2 +3\n"
                             "DefaultRootMotion: Joined 0\nDefaultBlendMotion: single\nEND\n"
                             "* Character\nCharacterName: Boxer\nGameplayController: 0\nDatasetID: 7\n"
                             "DefaultRootMotion: missing 1\nEnabled: 0\nEND\n"));
  EXPECT_EQ(Singleton::Instance(), &reader);
  const Level* level = reader.GetLevel();
  ASSERT_NE(level, nullptr);

  // Three files, with and without blanks after the commas, joined in order.
  Motion* joined = scenetest_Motion("joined");
  Motion* single = scenetest_Motion("single");
  ASSERT_NE(joined, nullptr);
  ASSERT_NE(single, nullptr);
  EXPECT_EQ(level->motions, (std::vector<Motion*>{joined, single}));
  EXPECT_EQ(joined->segmentEnds, (std::vector<int>{3, 5, 9}));
  EXPECT_FLOAT_EQ(joined->frames[3].root.x, 10 * 0.06f);
  EXPECT_FLOAT_EQ(joined->frames[8].root.x, 23 * 0.06f);
  EXPECT_EQ(joined->bodyWeights, 2);
  EXPECT_EQ(single->bodyWeights, 4);

  // The set counts although its defensive motion is not loaded.
  ASSERT_EQ(level->dataSets.size(), 1u);
  EXPECT_EQ(level->dataSets[0].id, 7);
  EXPECT_EQ(level->dataSets[0].attack, joined);
  EXPECT_EQ(level->dataSets[0].idle, single);
  EXPECT_EQ(level->dataSets[0].defensive, nullptr);

  Character* walker = scenetest_Character("walker");
  Character* boxer = scenetest_Character("boxer");
  ASSERT_NE(walker, nullptr);
  ASSERT_NE(boxer, nullptr);
  EXPECT_EQ(level->characters, (std::vector<Character*>{walker, boxer}));
  scenetest_ExpectPlace(walker, 1.5f, -2.0f, 3.0f);
  const MotionMixer* mixer = walker->GetMixer();
  ASSERT_NE(mixer->GetPrimary(), nullptr);
  ASSERT_NE(mixer->GetSecondary(), nullptr);
  EXPECT_EQ(mixer->GetPrimary()->GetMotion(), joined);
  EXPECT_EQ(mixer->GetPrimary()->GetGraph(), nullptr);  // graph type 0
  EXPECT_TRUE(mixer->GetPrimary()->playing);
  EXPECT_EQ(mixer->GetSecondary()->GetMotion(), single);
  EXPECT_EQ(mixer->GetSecondary()->GetGraph(), nullptr);  // no type given: -1, no graph

  // With a data set and a controller type the default motions and Enabled
  // are not looked at: the missing motion fails nothing, nothing is stopped.
  ASSERT_NE(boxer->controller, nullptr);
  ASSERT_NE(boxer->GetMixer()->GetPrimary(), nullptr);
  EXPECT_EQ(boxer->GetMixer()->GetPrimary()->GetMotion(), single);
  EXPECT_TRUE(boxer->GetMixer()->GetPrimary()->playing);
}

TEST(SceneReader, HeaderLineRefusesTheFileAndOtherFirstLinesArePassedOver) {
  SceneTestFolder folder;
  const std::string header = kSceneHeader;
  EXPECT_EQ(header.rfind("// Tavrin Scene Description  - ", 0), 0u);
  EXPECT_EQ(header.substr(header.size() - 2), " \\");

  SceneReader reader;
  // Refused whether its line ends in LF, CRLF or nothing; nothing is created.
  for (const std::string& tail : {"\n" + kMotionA, "\r\n" + kMotionA, std::string()}) {
    EXPECT_FALSE(scenetest_Load(&reader, header + tail));
  }
  EXPECT_EQ(reader.GetLevel(), nullptr);
  EXPECT_TRUE(MotionMap().empty());
  // A first line that only resembles the header is passed over, even when it
  // is a section line; a missing file is refused; a refused file keeps the
  // previous level.
  EXPECT_TRUE(scenetest_Load(&reader, kMotionA.substr(0, 13) + "\nMotionName: B\n"));
  EXPECT_TRUE(scenetest_Load(&reader, header + " \n" + kMotionA));
  EXPECT_EQ(MotionMap().size(), 1u);
  EXPECT_FALSE(reader.LoadScene("no/such/file.sce"));
  EXPECT_NE(testing_support::ReadFile("log.txt").find("LoadScene: cannot open no/such/file.sce;"),
            std::string::npos);
  EXPECT_FALSE(scenetest_Load(&reader, header + "\n"));
  ASSERT_NE(reader.GetLevel(), nullptr);
  EXPECT_EQ(reader.GetLevel()->motions.size(), 1u);
  // An empty file is a scene without sections.
  EXPECT_TRUE(scenetest_Load(&reader, ""));
  ASSERT_NE(reader.GetLevel(), nullptr);
  EXPECT_TRUE(reader.GetLevel()->motions.empty());
}

TEST(SceneReader, SectionAndKeyLineRules) {
  SceneTestFolder folder;
  SceneReader reader;
  // Without the blank the asterisk line names no section: its key lines and
  // its end line are passed over. A value holding "End" ends the section at
  // that line, whose key is not read.
  ASSERT_TRUE(scenetest_Load(&reader, "x\n*MotionData\nMotionName: Lost\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n"
                                      "*\n* \n" + kMotionA +
                                          "* Character\nCharacterName: Early\nPosition: 4 5 6\n"
                                          "DefaultRootMotion: Endgame 1\nCharacterName: never read\nEND\n"));
  EXPECT_EQ(scenetest_Motion("lost"), nullptr);
  EXPECT_NE(scenetest_Motion("a"), nullptr);
  Character* early = scenetest_Character("early");
  ASSERT_NE(early, nullptr);
  EXPECT_EQ(early->position.y, 5.0f);
  EXPECT_EQ(early->GetMixer()->GetPrimary(), nullptr);
  EXPECT_EQ(scenetest_Character("never read"), nullptr);

  // A NUL byte ends a line's text: the word END behind it does not end the
  // section, and the file name is the part before it.
  const char text[] = "x\n* MotionData\nMotionName: Nul\0END\nAMCFiles: a.amc\0.q\nBodyWeights: 1\0 2\nEND\n";
  ASSERT_TRUE(scenetest_Load(&reader, std::string(text, sizeof text - 1)));
  Motion* nul = scenetest_Motion("nul");
  ASSERT_NE(nul, nullptr);
  EXPECT_EQ(nul->resourceNames, std::vector<std::string>{"data/motions/a.amc"});
  EXPECT_EQ(nul->bodyWeights, 1);
  EXPECT_TRUE(std::filesystem::exists("data/motions/a.amc"));

  // Key and value keep trailing blanks: "MotionName " is no key.
  EXPECT_FALSE(scenetest_Load(&reader, "x\n* MotionData\nMotionName : T\nAMCFiles: a.amc\nEND\n"));

  std::string key, value;
  std::istringstream in("// skipped END\n \t Key:  \tvalue: with colon  \nno colon\n");
  ASSERT_TRUE(reader.ReadKeyValue(in, &key, &value));
  EXPECT_EQ(key, "Key");
  EXPECT_EQ(value, "value: with colon  ");
  EXPECT_FALSE(reader.ReadKeyValue(in, &key, &value));
  EXPECT_FALSE(reader.ReadKeyValue(in, &key, &value));  // end of the stream
  std::istringstream end("  the END\n");
  ASSERT_TRUE(reader.ReadKeyValue(end, &key, &value));
  EXPECT_EQ(key, "END");
  EXPECT_EQ(value, "");
  EXPECT_EQ(SceneReader::FindSection("Level"), 2);
  EXPECT_EQ(SceneReader::FindSection("motiondata"), -1);
  EXPECT_EQ(SceneReader::FindSection("MotionData "), -1);
}

std::vector<std::string>& scenetest_Log() {
  static std::vector<std::string> lines;
  return lines;
}

// The log lines since the last call that contain `text`.
int scenetest_Logged(const std::string& text) {
  int n = 0;
  for (const std::string& line : scenetest_Log()) n += line.find(text) != std::string::npos;
  scenetest_Log().clear();
  return n;
}

TEST(SceneReader, FailingSectionsAreLoggedAndEndTheLoadKeepingWhatCameBefore) {
  SceneTestFolder folder;
  SetLogConsoleSink([](const char* text, int) { scenetest_Log().push_back(text); });
  // Every scene below: line 1, motion A (lines 2 to 6), the bad section from
  // line 7 on, then a motion Z that must never be read.
  const std::string kMotionZ = "* MotionData\nMotionName: Z\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n";
  const std::pair<const char*, const char*> kBadSections[] = {
      {"* MotionData\nMotionName: E\n\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n",
       "line 9: \"\" in the MotionData section of line 7 is no \"Key: value\" line"},
      {"* MotionData\nMotionName: E\nAMCFiles a.amc\nBodyWeights: 0\nEND\n",
       "line 9: \"AMCFiles a.amc\" in the MotionData section of line 7 is no"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nColour: red\nEND\n",
       "line 10: unknown key \"Colour\" in the MotionData section of line 7"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nEND\n",
       "line 10: the MotionData section of line 7 has 2 key lines; it needs 3"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nBodyWeights: 0\n",  // no END: Z's lines are keys
       "line 11: \"* MotionData\" in the MotionData section of line 7 is no"},
      {"* MotionDataSet\nID: 3\nEND\n",
       "line 9: the MotionDataSet section of line 7 has 1 key lines; it needs at least 2"},
      {"* MotionDataSet\nID: 3\nIdleMotion: a\nRunMotion: a\nEND\n", "line 10: unknown key \"RunMotion\""},
      {"* Character\nCharacterName: E\nEND\n", "line 9: the Character section of line 7 has 1"},
      {"* Character\nCharacterName: E\nPosition: 0 0 0\nSpeed: 2\nEND\n", "line 10: unknown key \"Speed\""},
      {"* Character\nCharacterName: E\nPosition: 0 0 0\n* Character\nEND\n", "line 10: \"* Character\""},
      // Names and files that would lead the program's files out of the
      // working folder.
      {"* MotionData\nMotionName: ../e\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n",
       "line 8: the motion name \"../e\" cannot name a file"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc, sub/../../a.amc\nBodyWeights: 0\nEND\n",
       "line 9: \"sub/../../a.amc\" leads outside data/motions/"},
      {"* MotionData\nMotionName: E\nAMCFiles: /tmp/a.amc\nBodyWeights: 0\nEND\n", "line 9: \"/tmp/a.amc\""},
  };
  for (const auto& [bad, logged] : kBadSections) {
    SceneReader reader;
    scenetest_Log().clear();
    EXPECT_FALSE(scenetest_Load(&reader, "x\n" + kMotionA + bad + kMotionZ)) << bad;
    ASSERT_NE(reader.GetLevel(), nullptr);
    EXPECT_EQ(reader.GetLevel()->motions.size(), 1u) << bad;
    EXPECT_EQ(scenetest_Motion("z"), nullptr) << bad;
    EXPECT_EQ(scenetest_Motion("e"), nullptr) << bad;
    EXPECT_EQ(scenetest_Character("e"), nullptr) << bad;
    EXPECT_EQ(scenetest_Logged("LoadScene: test.sce " + std::string(logged)), 1) << bad;
  }
  SceneReader unended;
  EXPECT_FALSE(scenetest_Load(&unended, "x\n* Character\nCharacterName: E\n"));
  EXPECT_EQ(scenetest_Logged("test.sce line 3: the file ends inside the Character section of line 2 (no END line)"), 1);
  EXPECT_EQ(scenetest_Motion("../e"), nullptr);
  EXPECT_FALSE(std::filesystem::exists("../e_graph.gra"));

  // A first file that cannot be loaded fails the section; the motion stays
  // registered, marked as failed, but not in the level. Later files that
  // cannot be loaded are only skipped.
  SceneReader reader;
  EXPECT_FALSE(scenetest_Load(&reader, "x\n* MotionData\nMotionName: Gone\nAMCFiles: gone.amc\nBodyWeights: 0\nEND\n" +
                                           kMotionZ));
  EXPECT_EQ(scenetest_Logged("test.sce line 4: motion Gone: its first file gone.amc could not be loaded; the "
                             "rest of the file is not read"),
            1);
  ASSERT_NE(scenetest_Motion("gone"), nullptr);
  EXPECT_EQ(scenetest_Motion("gone")->frameCount, -1);
  EXPECT_TRUE(reader.GetLevel()->motions.empty());
  EXPECT_TRUE(scenetest_Load(
      &reader, "x\n* MotionData\nMotionName: Partly\nAMCFiles: a.amc,gone.amc,,b.amc,\nBodyWeights: 0\nEND\n"));
  EXPECT_EQ(scenetest_Motion("partly")->segmentEnds, (std::vector<int>{3, 5}));

  // A default motion that is not loaded fails the section after the
  // character was made: it stays in the world but not in the level.
  EXPECT_FALSE(scenetest_Load(&reader, "x\n" + kMotionA +
                                           "* Character\nCharacterName: Lonely\nDefaultRootMotion: a 0\n"
                                           "DefaultBlendMotion: missing 0\nEND\n" + kMotionZ));
  EXPECT_EQ(scenetest_Logged("test.sce line 10: unknown motion \"missing\"; the rest"), 1);
  Character* lonely = scenetest_Character("lonely");
  ASSERT_NE(lonely, nullptr);
  EXPECT_EQ(EntityMap().at("lonely"), lonely);
  EXPECT_TRUE(reader.GetLevel()->characters.empty());
  EXPECT_NE(lonely->GetMixer()->GetPrimary(), nullptr);
  EXPECT_EQ(lonely->GetMixer()->GetSecondary(), nullptr);
}

TEST(SceneReader, DataSetsControllersAndEnabled) {
  SceneTestFolder folder;
  SceneReader reader;
  ASSERT_TRUE(scenetest_Load(&reader, "x\n" + kMotionA +
                                          "* MotionDataSet\nID: 2\nIdleMotion: a\nAttackMotion: a\nEND\n"
                                          "* MotionDataSet\nID: 2\nIdleMotion: nothing\nAttackMotion: nothing\nEND\n"
                                          "* Character\nCharacterName: NoSet\nGameplayController: 0\nDatasetID: 1\n"
                                          "DefaultRootMotion: a 0\nEND\n"
                                          "* Character\nCharacterName: Paused\nDefaultRootMotion: a 0\n"
                                          "Enabled: 0\nEND\n"
                                          "* Character\nCharacterName: Idle\nEnabled: 0\nPosition: 1\nEND\n"
                                          "* Character\nCharacterName: WrongType\nGameplayController: 1\nDatasetID: 2\n"
                                          "END\n"));
  const Level* level = reader.GetLevel();
  ASSERT_EQ(level->characters.size(), 4u);
  MotionDataSetRecord found;
  ASSERT_TRUE(level->FindMotionDataSet(2, &found));
  EXPECT_EQ(found.idle, scenetest_Motion("a"));  // the first set of that id
  EXPECT_FALSE(level->FindMotionDataSet(1, &found));

  // No data set 1: no controller, and the default motion is not used either.
  EXPECT_EQ(scenetest_Character("noset")->controller, nullptr);
  EXPECT_EQ(scenetest_Character("noset")->GetMixer()->GetPrimary(), nullptr);
  ASSERT_NE(scenetest_Character("paused")->GetMixer()->GetPrimary(), nullptr);
  EXPECT_FALSE(scenetest_Character("paused")->GetMixer()->GetPrimary()->playing);
  EXPECT_EQ(scenetest_Character("idle")->GetMixer()->GetPrimary(), nullptr);
  scenetest_ExpectPlace(scenetest_Character("idle"), 1.0f, 0.0f, 0.0f);  // missing numbers stay 0
  EXPECT_EQ(scenetest_Character("wrongtype")->controller, nullptr);       // type 1 has none
}

TEST(SceneReader, NumbersAndLongLinesNeverMisbehave) {
  SceneTestFolder folder;
  SceneReader reader;
  const std::string longName(100000, 'q');
  ASSERT_TRUE(scenetest_Load(
      &reader,
      std::string(300000, '#') + "\n" + kMotionA +
          "* MotionData\nMotionName: Huge\nAMCFiles: b.amc\nBodyWeights: 99999999999999999999999\nEND\n"
          "* MotionDataSet\nID: -99999999999999999999\nIdleMotion: a\nAttackMotion: a\nEND\n"
          "* MotionDataSet\nID:   +12abc\nIdleMotion: a\nAttackMotion: a\nEND\n"
          "* Character\nCharacterName: N1\nPosition: 1e50 nan 3\nDefaultRootMotion: a 99999999999999\nEND\n"
          "* Character\nCharacterName: N2\nPosition: -0.25 inf 7\nDefaultRootMotion: a x1\nEND\n"
          "* Character\nCharacterName: N3\nPosition: 2.5e1 3x 9\nGameplayController: 0\nDatasetID: 12\nEND\n"
          "* Character\nCharacterName: N4\nPosition: 5 6 7 8\nGameplayController: -99999999999999\n"
          "DatasetID: -2147483648\nEND\n"
          "* Character\nCharacterName: " +
          longName + "\nPosition: " + std::string(50000, ' ') + "8\nEND\n"));
  const Level* level = reader.GetLevel();
  ASSERT_EQ(level->characters.size(), 5u);

  // The code saturates and the motion takes its whole-body fallback; "+12abc"
  // reads as 12.
  EXPECT_EQ(scenetest_Motion("huge")->bodyWeights, 0);
  ASSERT_EQ(level->dataSets.size(), 2u);
  EXPECT_EQ(level->dataSets[0].id, -2147483647 - 1);
  EXPECT_EQ(level->dataSets[1].id, 12);
  // A number out of the float range, not finite or with characters behind it
  // ends the reading there (the last gives its value first).
  scenetest_ExpectPlace(scenetest_Character("n1"), 0.0f, 0.0f, 0.0f);
  scenetest_ExpectPlace(scenetest_Character("n2"), -0.25f, 0.0f, 0.0f);
  scenetest_ExpectPlace(scenetest_Character("n3"), 25.0f, 3.0f, 0.0f);
  scenetest_ExpectPlace(scenetest_Character("n4"), 5.0f, 6.0f, 7.0f);
  scenetest_ExpectPlace(scenetest_Character(longName), 8.0f, 0.0f, 0.0f);
  // Huge and non-numeric graph types give no graph.
  ASSERT_NE(scenetest_Character("n1")->GetMixer()->GetPrimary(), nullptr);
  EXPECT_EQ(scenetest_Character("n1")->GetMixer()->GetPrimary()->GetGraph(), nullptr);
  EXPECT_EQ(scenetest_Character("n2")->GetMixer()->GetPrimary()->GetGraph(), nullptr);
  EXPECT_NE(scenetest_Character("n3")->controller, nullptr);
  EXPECT_EQ(scenetest_Character("n4")->controller, nullptr);
}

// The project's sample scene, as the generator writes it, loads whole and
// quietly: the log shows only the loading progress of motions and graphs.
TEST(SceneReader, SampleSceneLoadsEverySection) {
  ScopedWorkDir work;
  const std::string command =
      std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + work.path() + "\" > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  SceneReader reader;
  ASSERT_TRUE(reader.LoadScene("data/scenes/default.sce"));
  const Level* level = reader.GetLevel();
  EXPECT_EQ(level->motions.size(), 4u);
  ASSERT_EQ(level->characters.size(), 3u);
  ASSERT_EQ(level->dataSets.size(), 1u);
  const MotionDataSetRecord& set = level->dataSets[0];
  EXPECT_TRUE(set.attack != nullptr && set.defensive != nullptr && set.idle != nullptr);
  for (const Motion* motion : level->motions) EXPECT_GT(motion->frameCount, 0) << motion->name;
  for (const Character* c : level->characters) EXPECT_NE(c->GetMixer()->GetPrimary(), nullptr) << c->name;

  std::istringstream log(testing_support::ReadFile("log.txt"));
  std::string line;
  int lines = 0;
  for (; std::getline(log, line); ++lines) {
    bool progress = line.empty();
    for (const char* prefix : {"Loading Motion ", "Done Loading Motion ", "DumpMarkerPositions: Done dumping",
                               "LoadMarkerPositions: Done", "LoadMarkerPositions: Successfully",
                               "GenerateGraph: generating ", "GenerateGraph: done generating ",
                               "ExportGraph: done exporting "}) {
      progress = progress || line.rfind(prefix, 0) == 0;
    }
    EXPECT_TRUE(progress) << line;
  }
  EXPECT_GT(lines, 0);
}

}  // namespace
