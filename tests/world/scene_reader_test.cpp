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
                   "DefaultRootMotion: Joined 0\nDefaultBlendMotion: single 1\nEND\n" + kMotionA +
                   "* MotionDataSet\nID: -99999999999999999999\nIdleMotion: a\nAttackMotion: a\nEND\n"
                   "* Character\nCharacterName: Paused\nGameplayController: 0\nDefaultRootMotion: a\nEnabled: 0\nEND\n"
                   "* Character\nCharacterName: N3\nPosition: 2.5e1 3x 9\nGameplayController: 0\n"
                   "DatasetID: -2147483648\nEND\n"));
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
  ASSERT_EQ(level->dataSets.size(), 2u);
  const MotionDataSetRecord& set = level->dataSets[0];
  EXPECT_EQ(std::tie(set.id, set.attack, set.defensive, set.idle), std::make_tuple(7, joined, nullptr, single));
  // The id saturates.
  EXPECT_EQ(level->dataSets[1].id, -2147483647 - 1);
  // A number with characters behind it ends the reading there, giving its
  // value first; missing numbers stay 0.
  const std::pair<const char*, const char*> expected[] = {
      {"walker", "1.5 -2 3 | joined playing | single playing, graph"},
      {"paused", "0 0 0 | a stopped"}, {"n3", "25 3 0 | a playing, graph | controller"}};
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
      {"* MotionData\nMotionName: E\nMotionName: E\nAMCFiles: a.amc\nBodyWeights: 0\nEND\n", "line 12: the Mo"},
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
