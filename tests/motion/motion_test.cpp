#include "motion/motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/motion/tiny_motion.h"

namespace {

namespace fs = std::filesystem;
using motion_test::CountLogged;
using motion_test::LoggedOnce;
using motion_test::SamePosture;
using motion_test::TinyAmc;
using motion_test::TinyPosture;
using motion_test::TinyValue;
using testing_support::ReadFile;

class MotionTest : public motion_test::TinyMotionTest {};

void WriteClip(const std::string& file, const std::string& text) {
  testing_support::WriteFile(std::string(MotionFolder) + file, text);
}

TEST_F(MotionTest, ParsesFramesOfHandWrittenClip) {
  WriteClip("walk.amc", TinyAmc(3, 0));
  Motion motion("Walk", "walk.amc", 0.06f, 2);
  ASSERT_EQ(motion.frameCount, 3);
  EXPECT_EQ(motion.channelCount, 62);
  EXPECT_EQ(motion.bodyWeights, 2);
  EXPECT_EQ(motion.name, "walk");
  EXPECT_EQ(motion.segmentEnds, std::vector<int>{3});
  EXPECT_EQ(motion.resourceNames, std::vector<std::string>{"data/motions/walk.amc"});
  for (int f = 0; f < 3; ++f) EXPECT_TRUE(SamePosture(motion.frames[f], TinyPosture(f))) << f;
  // By hand: root translation times the scale; ltibia turns about x only.
  EXPECT_FLOAT_EQ(motion.frames[1].root.x, (1.0f - 7.0f + 0.75f) * 0.06f);
  EXPECT_NEAR(motion.frames[0].rotation[3].x, std::sin(TinyValue(0, 3, 0) * M_PI / 360.0), 1e-7);
  EXPECT_EQ(motion.frames[0].rotation[3].y, 0.0f);
}

TEST_F(MotionTest, FramesRunToTheEndOfTheText) {
  const std::string two = TinyAmc(2, 0);  // 63 non-empty lines
  // Empty lines anywhere change nothing, CR LF line ends neither.
  std::string spaced = "\n\n" + two;
  spaced.insert(spaced.find("lfemur"), "\n\n");
  std::string crlf;
  for (char c : spaced + "\n") crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  const auto m = LoadText(crlf);
  ASSERT_EQ(m->frameCount, 2);
  EXPECT_TRUE(SamePosture(m->frames[1], TinyPosture(1)));
  // A last line without a line feed counts; a frame cut short is reported
  // and not kept.
  EXPECT_EQ(LoadText(two.substr(0, two.size() - 1))->frameCount, 2);
  EXPECT_EQ(LoadText(two.substr(0, two.size() - 1) + "\n   \n")->frameCount, 2);
  EXPECT_EQ(LoadText(two.substr(0, two.rfind("rthumb")))->frameCount, 1);
  EXPECT_TRUE(LoggedOnce("LoadMotion: data/motions/t3.amc ends at line 63 within frame 2; 1 frames "
                         "are kept"));
  // The header alone: a loaded motion of no frames.
  const auto empty = LoadText(TinyAmc(0, 0));
  EXPECT_EQ(empty->frameCount, 0);
  EXPECT_NE(empty->frames, nullptr);
}

TEST_F(MotionTest, ReadsWordsAnywhereOnTheirLines) {
  // A 5000-character first line, frame 1's head line before its root line, a
  // tab and 3000 blanks inside a line, another spelling of ltibia's -1.5.
  std::string text = TinyAmc(2, 4);
  text.replace(0, text.find('\n'), "#" + std::string(5000, 'x'));
  const size_t head = text.find("head");
  const std::string headLine = text.substr(head, text.find('\n', head) + 1 - head);
  text.erase(head, headLine.size());
  text.insert(text.find("root"), headLine);
  text.insert(text.find("lfemur") + 6, "\t" + std::string(3000, ' '));
  const size_t ltibia = text.find("ltibia ") + 7;
  ASSERT_EQ(text.substr(ltibia, text.find('\n', ltibia) - ltibia), "-1.5");
  text.replace(ltibia, 4, "-1.5000e0");
  const auto m = LoadText(text);
  ASSERT_EQ(m->frameCount, 2);
  EXPECT_TRUE(SamePosture(m->frames[0], TinyPosture(4)));
  EXPECT_TRUE(SamePosture(m->frames[1], TinyPosture(5)));
  // lowerneck's three angles in spellings a stream accepts.
  const struct {
    const char* words;
    float x, y, z;
  } cases[] = {{"+1.5 -2 .25", 1.5f, -2.0f, 0.25f},
               {"-1.6201e-014 1E2 5.", -1.6201e-14f, 100.0f, 5.0f},
               {"1e-50 -0 370", 0.0f, 0.0f, 370.0f}};
  for (const auto& c : cases) {
    std::string one = TinyAmc(1, 0);
    const size_t at = one.find("lowerneck") + 9;
    one.replace(at, one.find('\n', at) - at, std::string(" ") + c.words);
    const auto n = LoadText(one);
    ASSERT_EQ(n->frameCount, 1) << c.words;
    const Quaternion q(c.x, c.y, c.z);
    EXPECT_EQ(std::memcmp(&n->frames[0].rotation[14], &q, sizeof q), 0) << c.words;
  }
}

TEST_F(MotionTest, BadTextKeepsFramesReadSoundly) {
  {
    // An unknown joint name skips its line only; the frame still counts.
    std::string text = TinyAmc(3, 0);
    text.replace(text.find("lfemur"), 6, "lfemurX");
    const auto m = LoadText(text);
    ASSERT_EQ(m->frameCount, 3);
    Posture expected = TinyPosture(0);
    expected.rotation[2] = Quaternion();
    EXPECT_TRUE(SamePosture(m->frames[0], expected));
    EXPECT_TRUE(SamePosture(m->frames[2], TinyPosture(2)));
    EXPECT_TRUE(
        LoggedOnce("LoadMotion: data/motions/t0.amc line 6: unknown joint name \"lfemurX\"; "
                   "the line is skipped"));
  }
  {
    // Many unknown names: ten reports and one total.
    std::string text = TinyAmc(20, 0);
    for (size_t at = text.find("head"); at != std::string::npos; at = text.find("head", at + 4)) {
      text[at] = 'H';
    }
    EXPECT_EQ(LoadText(text)->frameCount, 20);
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/t1.amc line", true), 10);
    EXPECT_TRUE(
        LoggedOnce("LoadMotion: data/motions/t1.amc: 20 lines with unknown joint names were "
                   "skipped in all"));
  }
  {
    std::string text = TinyAmc(2, 0);
    text.replace(text.find(":DEGREES"), 8, ":RADIANS");
    EXPECT_EQ(LoadText(text)->frameCount, 0);
    EXPECT_TRUE(
        LoggedOnce("LoadMotion: data/motions/t2.amc has no \":DEGREES\" line; no frames are "
                   "read"));
  }
  {
    // A long header, then two and a half frames: two are kept and nothing
    // is cached, so the next load reports the fault again.
    std::string text = TinyAmc(3, 0);
    for (int i = 0; i < 30; ++i) text.insert(0, "# header\n");
    text.erase(text.rfind("lowerback"));
    WriteClip("short.amc", text);
    Motion m("short", "short.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 2);
    EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
    EXPECT_TRUE(LoggedOnce("LoadMotion: data/motions/short.amc ends at line 104 within frame 3; "
                           "2 frames are kept"));
    EXPECT_FALSE(fs::exists("data/motions/short.bin"));
    EXPECT_FALSE(fs::exists("data/motions/short.mpos"));
    EXPECT_TRUE(
        LoggedOnce("LoadMotion: data/motions/short.amc has errors; data/motions/short.bin is "
                   "not written"));
    Motion again("short", "short.amc", 0.06f, 0);
    EXPECT_EQ(again.frameCount, 2);
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/short.amc ends at line", true), 2);
  }
  // A word that is not a finite number where an angle belongs ends the
  // reading; so does a frame number that is not an integer.
  for (const char* bad : {"1.5x", "nan", "inf", "1e60", "+-2", "0x10"}) {
    std::string text = TinyAmc(3, 0);
    const size_t at = text.rfind("lfemur") + 7;
    text.replace(at, text.find(' ', at) - at, bad);
    EXPECT_EQ(LoadText(text)->frameCount, 2) << bad;
  }
  std::string text = TinyAmc(2, 0);
  text.replace(text.find("\n2\n") + 1, 1, "2.5");
  EXPECT_EQ(LoadText(text)->frameCount, 1);
}

TEST_F(MotionTest, FailedLoadsAndRegistration) {
  WriteClip("walk.amc", TinyAmc(2, 0));
  Motion a("Walk", "walk.amc", 0.06f, 0);
  Motion b("walk", "walk.amc", 0.06f, 7);  // a body weight code out of range gives 0
  EXPECT_EQ(a.name, "walk");
  EXPECT_EQ(b.name, "walk1");
  EXPECT_EQ(b.bodyWeights, 0);
  motion_test::LogLines().clear();
  Motion missing("Gone", "gone.amc", 0.06f, 0);
  EXPECT_EQ(missing.frameCount, -1);
  EXPECT_EQ(missing.frames, nullptr);
  EXPECT_EQ(MotionMap().at("gone"), &missing);
  EXPECT_EQ(missing.segmentEnds, std::vector<int>{-1});
  EXPECT_EQ(motion_test::LogLines(),
            (std::vector<std::string>{"Loading Motion gone.amc...",
                                      "LoadMotion: cannot open data/motions/gone.amc; the motion is not loaded"}));
  EXPECT_EQ(missing.LoadMarkerPositions(), nullptr);
  // A file name without "." has no caches; its text is still read.
  WriteClip("plain", TinyAmc(1, 0));
  Motion plain("plain", "plain", 0.06f, 0);
  EXPECT_EQ(plain.frameCount, 1);
  EXPECT_FALSE(fs::exists("data/motions/.bin"));

  EXPECT_EQ(MotionCacheName("data/motions/walk.amc", ".bin"), "data/motions/walk.bin");
  EXPECT_EQ(MotionCacheName("data/motions/a.b.amc", ".mpos"), "data/motions/a.b.mpos");
  EXPECT_EQ(MotionCacheName("data/motions/sub.dir/walk", ".bin"), "");
  EXPECT_EQ(MotionCacheName("data/motions/walk", ".bin"), "");
}

TEST_F(MotionTest, AppendFileJoinsFiles) {
  WriteClip("a.amc", TinyAmc(3, 0));
  WriteClip("b.amc", TinyAmc(2, 10));
  WriteClip("c.amc", TinyAmc(4, 20));
  Motion m("Joined", "a.amc", 0.06f, 3);
  EXPECT_TRUE(m.AppendFile("b.amc", 0.06f));
  EXPECT_TRUE(m.AppendFile("c.amc", 0.06f));
  ASSERT_EQ(m.frameCount, 9);
  EXPECT_EQ(m.segmentEnds, (std::vector<int>{3, 5, 9}));
  EXPECT_EQ(m.resourceNames, (std::vector<std::string>{"data/motions/a.amc", "data/motions/b.amc",
                                                       "data/motions/c.amc"}));
  const int source[9] = {0, 1, 2, 10, 11, 20, 21, 22, 23};
  for (int f = 0; f < 9; ++f) EXPECT_TRUE(SamePosture(m.frames[f], TinyPosture(source[f]))) << f;
  // Each file has its own caches; the temporary motions are gone.
  EXPECT_EQ(ReadFile("data/motions/b.bin").size(), 2u + 2 * 508u);
  EXPECT_EQ(ReadFile("data/motions/c.mpos").size(), 2u + 4 * 372u);
  EXPECT_EQ(MotionMap().size(), 1u);
  // A frame equal to a segment end belongs to the earlier segment.
  const int ends[6][2] = {{0, 3}, {3, 3}, {4, 5}, {6, 9}, {9, 9}, {10, 9}};
  for (const auto& e : ends) EXPECT_EQ(m.GetSegmentEnd(e[0]), e[1]) << e[0];

  // A file that cannot be loaded leaves the motion as it was, and a motion
  // that failed to load takes nothing.
  EXPECT_FALSE(m.AppendFile("missing.amc", 0.06f));
  EXPECT_EQ(m.frameCount, 9);
  EXPECT_EQ(m.segmentEnds.size(), 3u);
  EXPECT_EQ(m.resourceNames.size(), 3u);
  EXPECT_EQ(MotionMap().size(), 1u);
  Motion failed("failed", "nothing.amc", 0.06f, 0);
  EXPECT_FALSE(failed.AppendFile("a.amc", 0.06f));
  EXPECT_EQ(failed.frameCount, -1);
  EXPECT_EQ(failed.frames, nullptr);
}

Motion* g_destroyed = nullptr;

TEST_F(MotionTest, DestructorLeavesMapAndCallsHook) {
  SetMotionDestroyedHook([](Motion* m) {
    g_destroyed = m;
    const auto it = MotionMap().find(m->name);
    EXPECT_TRUE(it == MotionMap().end() || it->second != m);
  });
  Motion* a = new Motion("Run", 2, 0);
  Motion keep("Run", 2, 0);
  delete a;
  EXPECT_EQ(g_destroyed, a);
  EXPECT_EQ(MotionMap().count("run1"), 1u);
  // A motion whose name entry was taken over leaves that entry alone.
  Motion* b = new Motion("x", 1, 0);
  Motion other("y", 1, 0);
  MotionMap()["x"] = &other;
  delete b;
  EXPECT_EQ(MotionMap().at("x"), &other);
  SetMotionDestroyedHook(nullptr);
}

TEST_F(MotionTest, ResetAndSetPostures) {
  const auto m = LoadText(TinyAmc(2, 0));
  m->SetPosture(0, TinyPosture(9));
  EXPECT_TRUE(SamePosture(m->frames[0], TinyPosture(9)));
  m->SetPosture(2, TinyPosture(9));
  m->SetPosture(-1, TinyPosture(9));
  EXPECT_EQ(CountLogged("SetPosture: frame", true), 2);
  m->ResetPostures();
  for (int f = 0; f < 2; ++f) EXPECT_TRUE(SamePosture(m->frames[f], Posture())) << f;
  EXPECT_EQ(Motion("empty", -5, 0).frameCount, 0);
}

TEST_F(MotionTest, WriteAmcReadsBack) {
  WriteClip("a.amc", TinyAmc(3, 0));
  Motion m("a", "a.amc", 0.06f, 0);
  testing::internal::CaptureStdout();
  m.WriteAMC("data/motions/copy.amc", 0.06f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Write 3 samples to 'data/motions/copy.amc' \n");
  const std::string text = ReadFile("data/motions/copy.amc");
  EXPECT_EQ(text.compare(0, 45, "#Unknow ASF file\n:FULLY-SPECIFIED\n:DEGREES\n1\n"), 0);
  Motion back("back", "copy.amc", 0.06f, 0);
  ASSERT_EQ(back.frameCount, 3);
  for (int f = 0; f < 3; ++f) {
    EXPECT_NEAR(back.frames[f].root.y, m.frames[f].root.y, 1e-5);
    for (int j = 0; j < kJointCount; ++j) {
      // Same rotation up to sign; six significant digits in the text.
      EXPECT_NEAR(std::fabs(back.frames[f].rotation[j].Dot(m.frames[f].rotation[j])), 1.0, 1e-5)
          << f << " " << j;
    }
  }
  m.WriteAMC("no/such/folder/x.amc", 0.06f);  // nothing happens
  m.WriteAMC("data/motions/zero.amc", 0.0f);
  EXPECT_FALSE(fs::exists("data/motions/zero.amc"));
}

}  // namespace
