#include "motion/motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// Helpers shared with posture_cache_test.cpp (declared there).
namespace motion_test {

// Writes "MartialArts.asf" (30 bones pointing up, bone i of length i, axis 0)
// into the working directory and creates the motion folder.
void WriteTinySkeleton() {
  EXPECT_TRUE(testing_support::WriteTinySkeleton([](int i) {
    return testing_support::TinyBone{{0, 1, 0}, static_cast<float>(i), {0, 0, 0}};
  }));
}

// The value the generated clips hold for frame f, joint j, angle axis a (0, 1,
// 2 for x, y, z; 3 to 5 for the root translation x, y, z): quarter steps, so
// every reader rounds them alike.
float TinyValue(int f, int j, int a) { return static_cast<float>(f) + j * 0.5f + a * 0.25f - 7.0f; }

// AMC text of `frames` frames numbered from 1, values TinyValue(first + f).
std::string TinyAmc(int frames, int first) {
  // The root line holds the translation (TinyValue's axes 3 to 5) first.
  const int rootAxis[6] = {3, 4, 5, 0, 1, 2};
  return testing_support::TinyAmcText(
      "#!OML:ASF C:\\Some Path\\With Blanks.ASF\n:FULLY-SPECIFIED\n:DEGREES\n", frames,
      [&](int f, int j, int a) { return TinyValue(first + f, j, j == 0 ? rootAxis[a] : a); });
}

// The posture TinyAmc gives for value index v at scale 0.06.
Posture TinyPosture(int v) {
  Posture p;
  p.root = Vector3(TinyValue(v, 0, 3) * 0.06f, TinyValue(v, 0, 4) * 0.06f, TinyValue(v, 0, 5) * 0.06f);
  for (int j = 0; j < kJointCount; ++j) {
    float angle[3] = {0.0f, 0.0f, 0.0f};
    for (int a = 0; a < 3; ++a) {
      const bool has = j == 0 || testing_support::TinyHasDof(j, static_cast<char>('x' + a));
      if (has) angle[a] = TinyValue(v, j, a);
    }
    p.rotation[j].SetEuler(angle[0], angle[1], angle[2]);
  }
  return p;
}

bool SamePosture(const Posture& a, const Posture& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}

void StartLogCapture() {
  LogLines().clear();
  SetLogConsoleSink([](const char* text, int) { LogLines().push_back(text); });
}

int CountLogged(const std::string& line) {
  int n = 0;
  for (const std::string& l : LogLines()) n += (l == line);
  return n;
}

int CountLoggedStartingWith(const std::string& prefix) {
  int n = 0;
  for (const std::string& l : LogLines()) n += (l.compare(0, prefix.size(), prefix) == 0);
  return n;
}

}  // namespace motion_test

namespace {

using motion_test::CountLogged;
using motion_test::CountLoggedStartingWith;
using motion_test::SamePosture;
using motion_test::TinyAmc;
using motion_test::TinyPosture;
using motion_test::TinyValue;

void WriteClip(const std::string& file, const std::string& text) {
  WriteFile(std::string(MotionFolder) + file, text);
}

// The text with the given line (1-based) removed.
std::string WithoutLine(const std::string& text, int number) {
  size_t start = 0;
  for (int i = 1; i < number; ++i) start = text.find('\n', start) + 1;
  return text.substr(0, start) + text.substr(text.find('\n', start) + 1);
}

TEST(MotionTest, ParsesFramesOfHandWrittenClip) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteClip("walk.amc", TinyAmc(3, 0));
  Motion motion("Walk", "walk.amc", 0.06f, 2);
  ASSERT_EQ(motion.frameCount, 3);
  EXPECT_EQ(motion.channelCount, 62);
  EXPECT_EQ(motion.bodyWeights, 2);
  EXPECT_EQ(motion.name, "walk");
  EXPECT_EQ(motion.segmentEnds, std::vector<int>{3});
  EXPECT_EQ(motion.resourceNames, std::vector<std::string>{"data/motions/walk.amc"});
  for (int f = 0; f < 3; ++f) EXPECT_TRUE(SamePosture(motion.frames[f], TinyPosture(f))) << f;
  // Root translation times the scale; the hip joints (no line) keep the
  // identity; ltibia has only rx: one angle about x.
  EXPECT_FLOAT_EQ(motion.frames[1].root.x, (1.0f - 7.0f + 0.75f) * 0.06f);
  EXPECT_EQ(motion.frames[2].rotation[6].w, 1.0f);
  const Quaternion tibia(TinyValue(0, 3, 0), 0.0f, 0.0f);
  EXPECT_NEAR(motion.frames[0].rotation[3].x, tibia.x, 1e-7);
  EXPECT_EQ(motion.frames[0].rotation[3].y, 0.0f);
  EXPECT_EQ(MotionMap().at("walk"), &motion);
  EXPECT_EQ(CountLogged("Loading Motion walk.amc..."), 1);
  EXPECT_EQ(CountLogged("Done Loading Motion walk.amc parsed as AMC..."), 1);
}

TEST(MotionTest, FrameCountComesFromNonEmptyLines) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  const std::string two = TinyAmc(2, 0);  // 63 non-empty lines
  {
    WriteClip("a.amc", two);
    Motion m("a", "a.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 2);
  }
  {
    // Empty lines anywhere change nothing, CR LF line ends neither.
    std::string spaced = "\n\n" + two;
    spaced.insert(spaced.find("lfemur"), "\n\n");
    std::string crlf;
    for (char c : spaced + "\n") crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    WriteClip("b.amc", crlf);
    Motion m("b", "b.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 2);
    EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
  }
  {
    // 62 non-empty lines: one frame.
    WriteClip("c.amc", WithoutLine(two, 63));
    Motion m("c", "c.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 1);
  }
  {
    // A last line without a line break does not count; a line of blanks does.
    WriteClip("d.amc", two.substr(0, two.size() - 1));
    Motion d("d", "d.amc", 0.06f, 0);
    EXPECT_EQ(d.frameCount, 1);
    WriteClip("e.amc", two.substr(0, two.size() - 1) + "\n   \n");
    Motion e("e", "e.amc", 0.06f, 0);
    EXPECT_EQ(e.frameCount, 2);
  }
  {
    // A header of only three lines: a loaded motion of no frames.
    WriteClip("f.amc", TinyAmc(0, 0));
    Motion m("f", "f.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 0);
    EXPECT_NE(m.frames, nullptr);
  }
}

TEST(MotionTest, ReadsWordsAnywhereOnTheirLines) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  // A 5000-character first line, the head line of frame 1 before its root
  // line, a tab and 3000 blanks inside the lfemur line, another spelling of
  // ltibia's angle (-1.5).
  std::string text = TinyAmc(2, 4);
  text.replace(0, text.find('\n'), "#" + std::string(5000, 'x'));
  const size_t head = text.find("head");
  const size_t headEnd = text.find('\n', head) + 1;
  const std::string headLine = text.substr(head, headEnd - head);
  text.erase(head, headEnd - head);
  text.insert(text.find("root"), headLine);
  text.insert(text.find("lfemur") + 6, "\t" + std::string(3000, ' '));
  const size_t ltibia = text.find("ltibia ") + 7;
  ASSERT_EQ(text.substr(ltibia, text.find('\n', ltibia) - ltibia), "-1.5");
  text.replace(ltibia, 4, "-1.5000e0");
  WriteClip("w.amc", text);
  Motion m("w", "w.amc", 0.06f, 0);
  ASSERT_EQ(m.frameCount, 2);
  EXPECT_TRUE(SamePosture(m.frames[0], TinyPosture(4)));
  EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(5)));
}

TEST(MotionTest, NumberSpellings) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  // lowerneck takes three angles; frame 1 holds spellings a stream accepts.
  const struct {
    const char* words;
    float x, y, z;
  } cases[] = {
      {"+1.5 -2 .25", 1.5f, -2.0f, 0.25f},
      {"-1.6201e-014 1E2 5.", -1.6201e-14f, 100.0f, 5.0f},
      {"1e-50 -0 370", 0.0f, 0.0f, 370.0f},
  };
  int index = 0;
  for (const auto& c : cases) {
    std::string text = TinyAmc(1, 0);
    const size_t at = text.find("lowerneck") + 9;
    text.replace(at, text.find('\n', at) - at, std::string(" ") + c.words);
    const std::string file = "n" + std::to_string(index++) + ".amc";
    WriteClip(file, text);
    Motion m(file, file, 0.06f, 0);
    ASSERT_EQ(m.frameCount, 1) << c.words;
    const Quaternion q(c.x, c.y, c.z);
    EXPECT_EQ(std::memcmp(&m.frames[0].rotation[14], &q, sizeof q), 0) << c.words;
  }
}

TEST(MotionTest, BadTextKeepsFramesReadSoundly) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  {
    // An unknown joint name: its line is skipped (the numbers are not taken
    // as joints), the frame still counts, later frames are read.
    std::string text = TinyAmc(3, 0);
    const size_t at = text.find("lfemur");
    text.replace(at, 6, "lfemurX");
    WriteClip("u.amc", text);
    Motion m("u", "u.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 3);
    Posture expected = TinyPosture(0);
    expected.rotation[2] = Quaternion();
    EXPECT_TRUE(SamePosture(m.frames[0], expected));
    EXPECT_TRUE(SamePosture(m.frames[2], TinyPosture(2)));
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/u.amc line 6: unknown joint name \"lfemurX\"; "
                          "the line is skipped"),
              1);
  }
  {
    // Many unknown names: ten reports and one total.
    std::string text = TinyAmc(20, 0);
    for (size_t at = text.find("head"); at != std::string::npos; at = text.find("head", at + 4)) {
      text[at] = 'H';
    }
    WriteClip("many.amc", text);
    motion_test::LogLines().clear();
    Motion m("many", "many.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 20);
    EXPECT_EQ(CountLoggedStartingWith("LoadMotion: data/motions/many.amc line"), 10);
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/many.amc: 20 lines with unknown joint names "
                          "were skipped in all"),
              1);
  }
  {
    // No ":DEGREES": nothing is read, one line says so.
    std::string text = TinyAmc(2, 0);
    text.replace(text.find(":DEGREES"), 8, ":RADIANS");
    WriteClip("nodeg.amc", text);
    motion_test::LogLines().clear();
    Motion m("nodeg", "nodeg.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 0);
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/nodeg.amc has no \":DEGREES\" line; no frames "
                          "are read"),
              1);
  }
  {
    // The line count promises three frames (a long header), the text holds
    // two and a half: two are kept, one line says why.
    std::string text = TinyAmc(3, 0);
    text.insert(0, std::string(30, '#') + "\n");
    for (int i = 0; i < 29; ++i) text.insert(0, "# header\n");
    text.erase(text.rfind("lowerback"));
    WriteClip("short.amc", text);
    motion_test::LogLines().clear();
    Motion m("short", "short.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 2);
    EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/short.amc ends at line 104 within frame 3 of 3; "
                          "2 frames are kept"),
              1);
    // A text with errors is not cached, so the next load reports them again;
    // the joint positions of the frames kept are written.
    EXPECT_FALSE(fs::exists("data/motions/short.bin"));
    EXPECT_EQ(CountLogged("LoadMotion: data/motions/short.amc has errors; data/motions/short.bin is "
                          "not written"),
              1);
    EXPECT_EQ(ReadFile("data/motions/short.mpos").size(), 2u + 2 * 372u);
    Motion again("short", "short.amc", 0.06f, 0);
    EXPECT_EQ(again.frameCount, 2);
    EXPECT_EQ(CountLoggedStartingWith("LoadMotion: data/motions/short.amc ends at line"), 2);
  }
  {
    // A word that is not a number where an angle belongs ends the reading.
    for (const char* bad : {"1.5x", "nan", "inf", "1e60", "+-2", "--1", "0x10"}) {
      std::string text = TinyAmc(3, 0);
      const size_t at = text.rfind("lfemur") + 7;
      text.replace(at, text.find(' ', at) - at, bad);
      WriteClip("bad.amc", text);
      Motion m("bad", "bad.amc", 0.06f, 0);
      EXPECT_EQ(m.frameCount, 2) << bad;
    }
  }
  {
    // A frame number that is not an integer.
    std::string text = TinyAmc(2, 0);
    text.replace(text.find("\n2\n") + 1, 1, "2.5");
    WriteClip("fn.amc", text);
    Motion m("fn", "fn.amc", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 1);
  }
}

TEST(MotionTest, FailedLoadsAndRegistration) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteClip("walk.amc", TinyAmc(2, 0));
  Motion a("Walk", "walk.amc", 0.06f, 0);
  Motion b("walk", "walk.amc", 0.06f, 0);
  EXPECT_EQ(a.name, "walk");
  EXPECT_EQ(b.name, "walk1");
  {
    motion_test::LogLines().clear();
    Motion missing("Gone", "gone.amc", 0.06f, 0);
    EXPECT_EQ(missing.frameCount, -1);
    EXPECT_EQ(missing.frames, nullptr);
    EXPECT_EQ(MotionMap().at("gone"), &missing);
    EXPECT_EQ(missing.segmentEnds, std::vector<int>{-1});
    EXPECT_EQ(motion_test::LogLines(), std::vector<std::string>{"Loading Motion gone.amc..."});
    EXPECT_EQ(missing.LoadMarkerPositions(), nullptr);
  }
  EXPECT_EQ(MotionMap().count("gone"), 0u);
  {
    // Out-of-range body weight codes fall back to table 0.
    Motion m("w", "walk.amc", 0.06f, 7);
    EXPECT_EQ(m.bodyWeights, 0);
  }
  {
    // A file name without "." has no caches; its text is still read.
    WriteClip("plain", TinyAmc(1, 0));
    Motion m("plain", "plain", 0.06f, 0);
    EXPECT_EQ(m.frameCount, 1);
    EXPECT_FALSE(fs::exists("data/motions/.bin"));
  }
}

TEST(MotionTest, CacheNames) {
  EXPECT_EQ(MotionCacheName("data/motions/walk.amc", ".bin"), "data/motions/walk.bin");
  EXPECT_EQ(MotionCacheName("data/motions/a.b.amc", ".mpos"), "data/motions/a.b.mpos");
  EXPECT_EQ(MotionCacheName("data/motions/sub.dir/walk", ".bin"), "");
  EXPECT_EQ(MotionCacheName("data/motions/walk", ".bin"), "");
}

TEST(MotionTest, SegmentEndOfOneFile) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  Motion one("one", 100, 0);
  for (int f = 0; f <= 100; ++f) EXPECT_EQ(one.GetSegmentEnd(f), 100);
  EXPECT_EQ(one.GetSegmentEnd(5000), 100);
}

TEST(MotionTest, AppendFileJoinsFiles) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
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
  const int ends[7][2] = {{0, 3}, {3, 3}, {4, 5}, {5, 5}, {6, 9}, {9, 9}, {10, 9}};
  for (const auto& e : ends) EXPECT_EQ(m.GetSegmentEnd(e[0]), e[1]) << e[0];

  // A file that cannot be loaded leaves the motion as it was.
  EXPECT_FALSE(m.AppendFile("missing.amc", 0.06f));
  EXPECT_EQ(m.frameCount, 9);
  EXPECT_EQ(m.segmentEnds.size(), 3u);
  EXPECT_EQ(m.resourceNames.size(), 3u);
  EXPECT_EQ(MotionMap().count("temp_motion"), 0u);
  // A motion that failed to load takes nothing.
  Motion failed("failed", "nothing.amc", 0.06f, 0);
  EXPECT_FALSE(failed.AppendFile("a.amc", 0.06f));
  EXPECT_EQ(failed.frameCount, -1);
  EXPECT_EQ(failed.frames, nullptr);
}

Motion* g_destroyed = nullptr;

TEST(MotionTest, DestructorLeavesMapAndCallsHook) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
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

TEST(MotionTest, ResetAndSetPostures) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteClip("a.amc", TinyAmc(2, 0));
  Motion m("a", "a.amc", 0.06f, 0);
  m.SetPosture(0, TinyPosture(9));
  EXPECT_TRUE(SamePosture(m.frames[0], TinyPosture(9)));
  m.SetPosture(2, TinyPosture(9));
  m.SetPosture(-1, TinyPosture(9));
  EXPECT_EQ(CountLoggedStartingWith("SetPosture: frame"), 2);
  m.ResetPostures();
  for (int f = 0; f < 2; ++f) EXPECT_TRUE(SamePosture(m.frames[f], Posture())) << f;
  Motion empty("empty", -5, 0);
  EXPECT_EQ(empty.frameCount, 0);
}

TEST(MotionTest, WriteAmcReadsBack) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  WriteClip("a.amc", TinyAmc(3, 0));
  Motion m("a", "a.amc", 0.06f, 0);
  testing::internal::CaptureStdout();
  m.WriteAMC("data/motions/copy.amc", 0.06f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Write 3 samples to 'data/motions/copy.amc' \n");
  const std::string text = ReadFile("data/motions/copy.amc");
  EXPECT_EQ(text.compare(0, 45, "#Unknow ASF file\n:FULLY-SPECIFIED\n:DEGREES\n1\n"), 0);
  // 3 header lines and 30 per frame: 28 joints with angles and the root.
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
