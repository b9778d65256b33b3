// Tests of the scene file reader: the header rule, sections and key lines,
// what each section creates, the ways a section fails, and numbers that
// atoi would get wrong.

#include "world/scene_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"
#include "world/character.h"
#include "world/motion_mixer.h"

namespace {

using testing_support::ReadFile;

const std::string kMotionA = "* MotionData\nMotionName: A\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n";

// The skeleton and the clips a.amc (3 frames, root x from 0), b.amc (2
// frames, from 10) and c.amc (4 frames, from 20) in the test's folder.
class SceneReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::WriteTinySkeleton());
    for (const auto& [file, frames, x] : {std::tuple{"a.amc", 3, 0}, {"b.amc", 2, 10}, {"c.amc", 4, 20}}) {
      const auto value = [x = x](int f, int j, int a) { return j == 0 && a == 0 ? x + f : 0.0; };
      testing_support::WriteFile(std::string(MotionFolder) + file,
                                 testing_support::TinyAmcText(":DEGREES\n", frames, value));
    }
  }
  bool Load(const std::string& text) {
    testing_support::WriteFile("test.sce", text);
    return reader.LoadScene("test.sce");
  }
  SceneReader reader;
};

Motion* scenetest_Motion(const std::string& name) { return MotionMap().count(name) ? MotionMap().at(name) : nullptr; }

// A character as "x y z", then for the primary and the secondary "| motion
// playing (or stopped), graph", then "| controller" when it has one.
std::string scenetest_Character(const std::string& name) {
  if (CharacterMap().count(name) == 0) return "none";
  const Character* c = CharacterMap().at(name);
  std::ostringstream out;
  out << c->position.x << " " << c->position.y << " " << c->position.z;
  for (const MotionController* m : {c->GetMixer()->GetPrimary(), c->GetMixer()->GetSecondary()}) {
    if (m == nullptr) continue;
    out << " | " << m->GetMotion()->name << (m->playing ? " playing" : " stopped") << (m->GetGraph() ? ", graph" : "");
  }
  out << (c->controller != nullptr ? " | controller" : "");
  return out.str();
}

TEST_F(SceneReaderTest, ReadsMotionsDataSetsCharactersAndNumbers) {
  ASSERT_TRUE(Load("first line: any comment at all\n"
                   "* MotionData\n  MotionName:\tJoined\nAMCFiles: a.amc,b.amc, \tc.amc\n\tBodyWeights: 2\nEND\n"
                   "text between sections is passed over\n"
                   "* MotionData\nMotionName: Single\nAMCFiles: b.amc\nBodyWeights: 4\nEnd\n"
                   "* Level\nanything: here\nEND\n* Weather\nno colon here\nEND\n"
                   "// a comment naming * MotionData\n"
                   "* MotionDataSet\nID: 7\n// IdleMotion: single, a comment inside the section\n"
                   "AttackMotion: JOINED\nIdleMotion: single\nDefensiveMotion: nowhere\nEND of the set\n"
                   "* Character\nCharacterName: Walker\nPosition: 1.5 -2 +3\n"
                   "DefaultRootMotion: Joined 0\nDefaultBlendMotion: single 1\nEND\n"
                   // With a data set and a controller type the default motions and Enabled are not looked at.
                   "* Character\nCharacterName: Boxer\nGameplayController: 0\nDatasetID: 7\n"
                   "DefaultRootMotion: missing 1\nEnabled: 0\nEND\n" + kMotionA +
                   "* MotionDataSet\nID: -99999999999999999999\nIdleMotion: a\nAttackMotion: a\nEND\n"
                   "* MotionDataSet\nID:   +12abc\nIdleMotion: a\nAttackMotion: a\nEND\n"
                   "* MotionDataSet\nID: 5\nAttackMotion: a\nDefensiveMotion: a\nEND\n"
                   "* Character\nCharacterName: NoIdle\nGameplayController: 0\nDatasetID: 5\nEND\n"
                   "* Character\nCharacterName: NoSet\nGameplayController: 0\nDatasetID: 1\nDefaultRootMotion: a\nEND\n"
                   "* Character\nCharacterName: Paused\nGameplayController: 0\nDefaultRootMotion: a\nEnabled: 0\nEND\n"
                   "* Character\nCharacterName: N1\nDefaultRootMotion: a 99999999999999\nEND\n"
                   "* Character\nCharacterName: N3\nPosition: 2.5e1 3x 9\nGameplayController: 0\n"
                   "DatasetID: -2147483648\nEND\n"
                   "* Character\nCharacterName: N4\nPosition: 5 6 7 8\nGameplayController: -99999999999999\n"
                   "DatasetID: 12\nEND\n"));
  const Level* level = reader.GetLevel();
  Motion* joined = scenetest_Motion("joined");
  Motion* single = scenetest_Motion("single");
  ASSERT_EQ(level->motions, (std::vector<Motion*>{joined, single, scenetest_Motion("a")}));
  // Three files, with and without blanks after the commas, joined in order
  // at the scene's scale.
  ASSERT_EQ(joined->segmentEnds, (std::vector<int>{3, 5, 9}));
  EXPECT_FLOAT_EQ(joined->frames[8].root.x, 23 * 0.06f);
  EXPECT_EQ(std::make_pair(joined->bodyWeights, single->bodyWeights), std::make_pair(2, 4));
  // The set counts although its defensive motion is not loaded.
  ASSERT_EQ(level->dataSets.size(), 4u);
  const MotionDataSetRecord& set = level->dataSets[0];
  EXPECT_EQ(std::tie(set.id, set.attack, set.defensive, set.idle), std::make_tuple(7, joined, nullptr, single));
  // The id saturates; "+12abc" reads as 12.
  EXPECT_EQ(std::make_pair(level->dataSets[1].id, level->dataSets[2].id), std::make_pair(-2147483647 - 1, 12));
  // No data set 1, or one without an idle motion: no controller, and the
  // default motion is not used either.
  EXPECT_NE(ReadFile("log.txt").find("LoadScene: test.sce line 68: no motion data set 1; character noset has no "
                                     "controller\n"),
            std::string::npos)
      << ReadFile("log.txt");
  // A number with characters behind it ends the reading there, giving its
  // value first; missing numbers stay 0, a fourth is not read; a huge graph
  // type gives no graph, a huge controller type no controller.
  const std::pair<const char*, const char*> expected[] = {
      {"walker", "1.5 -2 3 | joined playing | single playing, graph"},
      {"boxer", "0 0 0 | single playing, graph | controller"},
      {"noidle", "0 0 0"}, {"noset", "0 0 0"}, {"paused", "0 0 0 | a stopped"}, {"n1", "0 0 0 | a playing"},
      {"n3", "25 3 0 | a playing, graph | controller"}, {"n4", "5 6 7"}};
  for (const auto& [name, description] : expected) EXPECT_EQ(scenetest_Character(name), description);
}

// A place that is not a finite number is logged with its line; the numbers
// before it count, the rest stay 0.
TEST_F(SceneReaderTest, PositionsThatAreNotFiniteAreLoggedWithTheirLine) {
  ASSERT_TRUE(Load("x\n" + kMotionA + "* Character\nCharacterName: Lost\nPosition: 4 nan inf\nDefaultRootMotion: a\nEND\n"
                   "* Character\nCharacterName: Far\nPosition: -1e39 -inf nan\nDefaultRootMotion: a\nEND\n"));
  EXPECT_EQ(scenetest_Character("lost"), "4 0 0 | a playing");
  EXPECT_EQ(scenetest_Character("far"), "0 0 0 | a playing");
  const std::string log = ReadFile("log.txt");
  for (const char* line : {"line 9: position \"nan\" is not a finite number; the character stands at 4 0 0\n",
                           "line 14: position \"-1e39\" is not a finite number; the character stands at 0 0 0\n"}) {
    EXPECT_NE(log.find(std::string("LoadScene: test.sce ") + line), std::string::npos) << line;
  }
}

TEST_F(SceneReaderTest, HeaderFirstLineAndLineRules) {
  const std::string header = kSceneHeader;
  // Refused whether its line ends in LF, CRLF or nothing; nothing is created.
  for (const std::string& tail : {"\n" + kMotionA, "\r\n" + kMotionA, std::string()}) EXPECT_FALSE(Load(header + tail));
  EXPECT_TRUE(MotionMap().empty());
  // A first line that only resembles the header is passed over. Without the
  // blank "*MotionData" names no section; a value holding "End" ends the
  // section at that line, whose key is not read.
  ASSERT_TRUE(Load(header + " \n*MotionData\nMotionName: Lost\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n*\n" + kMotionA +
                   "* Character\nCharacterName: Early\nPosition: 4 5 6\nDefaultRootMotion: Endgame 1\n"
                   "CharacterName: never read\nEND\n"));
  EXPECT_EQ(MotionMap().size(), 1u);
  EXPECT_EQ(scenetest_Character("early"), "4 5 6");
  // A NUL byte ends a line's text: the word END behind it does not end the
  // section, and the file name is the part before it.
  const char text[] = "x\n* MotionData\nMotionName: Nul\0END\nAMCFiles: a.amc\0.q\nBodyWeights: 1\0 2\nEND\n";
  ASSERT_TRUE(Load(std::string(text, sizeof text - 1)));
  EXPECT_EQ(scenetest_Motion("nul")->resourceNames, std::vector<std::string>{"data/motions/a.amc"});
}

TEST_F(SceneReaderTest, FailingSectionsAreLoggedAndEndTheLoadKeepingWhatCameBefore) {
  // Every scene: line 1, motion A (lines 2 to 6), the bad section from line
  // 7 on, then a motion Z that must never be read.
  const std::string kMotionZ = "* MotionData\nMotionName: Z\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n";
  const std::pair<const char*, const char*> kBadSections[] = {
      {"* MotionData\nMotionName: E\nAMCFiles a.amc\nBodyWeights: 0\nEND\n",
       "line 9: \"AMCFiles a.amc\" in the MotionData section of line 7 is no \"Key: value\" line; the rest of the file "
       "is not read"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nColour: red\nEND\n", "line 10: unknown key \"Colour\" in the"},
      // A key keeps its trailing blanks: "MotionName " is no key.
      {"* MotionData\nMotionName : E\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n", "line 8: unknown key \"MotionName \""},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nEND\n", "line 10: the MotionData section of line 7 has 2 key"},
      {"* MotionData\nMotionName: E\nMotionName: E\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n", "line 12: the Mo"},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc\nBodyWeights: 0\n",  // no END: Z's lines are keys
       "line 11: \"* MotionData\" in the MotionData section of line 7 is no"},
      {"* MotionDataSet\nID: 3\nEND\n", "line 9: the MotionDataSet section of line 7 has 1 key lines; it needs at le"},
      {"* Character\nCharacterName: E\nEND\n", "line 9: the Character section of line 7 has 1"},
      // Names and files that would lead the program's files out of the
      // working folder.
      {"* MotionData\nMotionName: ../e\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n", "line 8: the motion name \"../e\""},
      {"* MotionData\nMotionName: E\nAMCFiles: a.amc, x/../../a.amc\nBodyWeights: 0\nEND\n",
       "line 9: \"x/../../a.amc\" leads outside data/motions/"},
      // A first file that cannot be loaded (the motion stays registered,
      // marked as failed); a default motion that is not loaded (after the
      // character was made: it stays in the world).
      {"* MotionData\nMotionName: E\nAMCFiles: gone.amc\nBodyWeights: 0\nEND\n",
       "line 9: motion E: its first file gone.amc could not be loaded"},
      {"* Character\nCharacterName: Lonely\nDefaultRootMotion: a 0\nDefaultBlendMotion: missing 0\nEND\n",
       "line 10: unknown motion \"missing\"; the rest"},
  };
  for (const auto& [bad, logged] : kBadSections) {
    EXPECT_FALSE(Load("x\n" + kMotionA + bad + kMotionZ)) << bad;
    const Level* level = reader.GetLevel();
    EXPECT_EQ(std::make_tuple(level->motions.size(), level->characters.size(), MotionMap().count("z")),
              std::make_tuple(1u, 0u, 0u))
        << bad;
    EXPECT_NE(ReadFile("log.txt").find(std::string("LoadScene: test.sce ") + logged), std::string::npos) << logged;
  }
  EXPECT_EQ(scenetest_Motion("e")->frameCount, -1);
  EXPECT_EQ(scenetest_Character("lonely"), "0 0 0 | a playing");
}

}  // namespace
