// Motions: the AMC reader, names and registration, joined files, the AMC
// writer, the posture cache (".bin") and the joint-position cache (".mpos"),
// on clips generated for the tiny skeleton; and the clips of real capture
// data.
#include "motion/motion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>

#include "motion/text_file.h"
#include "tests/motion/tiny_motion.h"
#include "tests/support/real_clips.h"

namespace {

using namespace motion_test;

class MotionTest : public TinyMotionTest {};

TEST_F(MotionTest, ParsesTheFramesOfAClip) {
  const auto m = LoadText(TinyAmc(3));
  ASSERT_EQ(m->frameCount, 3);
  for (int f = 0; f < 3; ++f) EXPECT_TRUE(SamePosture(m->frames[f], TinyPosture(f))) << f;
  // By hand: the root translation times the scale; ltibia turns about x only.
  EXPECT_FLOAT_EQ(m->frames[1].root.x, (1.0f - 7.0f + 0.75f) * 0.06f);
  EXPECT_NEAR(m->frames[0].rotation[3].x, std::sin(TinyValue(0, 3, 0) * M_PI / 360.0), 1e-7);
  EXPECT_EQ(m->frames[0].rotation[3].y, 0.0f);
  // CR LF line ends read alike.
  std::string crlf;
  for (char c : TinyAmc(2)) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(SamePosture(LoadText(crlf)->frames[1], TinyPosture(1)));
}

TEST_F(MotionTest, FramesRunToTheEndOfTheTextOrToAnError) {
  // Sound edits of a clip's text keep every frame and the clip is cached:
  // a line of blanks and empty lines, a last line without its line feed, a
  // tab and blanks between words, other spellings of the same numbers (1e-50
  // is 0), the header alone. After an error the frames read soundly before
  // it are kept, the error is logged with the file and the line, and nothing
  // is cached, so that the next load reports it again.
  const struct {
    int frames;
    const char *find, *replace;
    int kept;
    const char* logged;
  } cases[] = {
      {2, "\n2\n", "\n   \n\n\n2\n", 2, nullptr},
      {2, "rthumb 9 9.5\n", "rthumb 9 9.5", 2, nullptr},
      {2, "lfemur ", "lfemur\t   ", 2, nullptr},
      {2, "lowerneck 1 1.25 1.5", "lowerneck +1 .125e1 1.50", 2, nullptr},
      {2, "upperback 0 ", "upperback 1e-50 ", 2, nullptr},
      {0, "", "", 0, nullptr},
      {2, ":DEGREES", ":RADIANS", 0, "has no \":DEGREES\" line; no frames are read"},
      {2, "rthumb 9 9.5\n", "", 1, "ends at line 63 within frame 2; 1 frames are kept"},
      {2, "\n2\n", "\n2.5\n", 1, "line 34: frame number expected, found \"2.5\"; 1 frames are kept"},
      {3, "lfemur -4 ", "lfemur 1.5x ", 2, "line 66: \"1.5x\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur nan ", 2, "line 66: \"nan\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur 1e60 ", 2, "line 66: \"1e60\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur +-4 ", 2, "line 66: \"+-4\" is not a number; 2 frames are kept"},
  };
  for (const auto& c : cases) {
    std::string text = TinyAmc(c.frames);
    text.replace(text.find(c.find), std::strlen(c.find), c.replace);
    const std::string path = "data/motions/t" + std::to_string(loaded_);
    const auto m = LoadText(text);
    ASSERT_EQ(m->frameCount, c.kept) << c.replace;
    for (int f = 0; f < c.kept; ++f) EXPECT_TRUE(SamePosture(m->frames[f], TinyPosture(f))) << c.replace;
    EXPECT_EQ(fs::exists(path + ".bin") && fs::exists(path + ".mpos"), c.logged == nullptr) << c.replace;
    EXPECT_TRUE(c.logged == nullptr || LoggedOnce("LoadMotion: " + path + ".amc " + c.logged)) << c.replace;
  }
  // An unknown joint name skips its line only: the frame counts and the joint
  // keeps the identity. It is an error all the same: nothing is cached. Ten
  // lines are reported one by one, then the total.
  std::string text = TinyAmc(12);
  for (size_t at = text.find("head"); at != std::string::npos; at = text.find("head", at)) text[at] = 'H';
  const auto m = LoadText(text);
  ASSERT_EQ(m->frameCount, 12);
  Posture expected = TinyPosture(11);
  expected.rotation[16] = Quaternion();
  EXPECT_TRUE(SamePosture(m->frames[11], expected));
  const std::string amc = "LoadMotion: data/motions/t13.amc";
  EXPECT_TRUE(LoggedOnce(amc + " line 19: unknown joint name \"Head\"; the line is skipped"));
  EXPECT_EQ(CountLogged(amc + " line", true), 10);
  EXPECT_TRUE(LoggedOnce(amc + ": 12 lines with unknown joint names were skipped in all"));
  EXPECT_FALSE(fs::exists("data/motions/t13.bin") || fs::exists("data/motions/t13.mpos"));
}

TEST_F(MotionTest, NamesFailedLoadsAndFileNames) {
  const std::string clip = TinyAmc(2);
  WriteFile("data/motions/walk.amc", clip);
  Motion a("Walk", "walk.amc", 0.06f, 4);
  Motion b("walk", "walk.amc", 0.06f, 5);  // a body weight code past 4 gives 0
  EXPECT_EQ(a.name + " " + b.name + " " + std::to_string(a.bodyWeights * 10 + b.bodyWeights), "walk walk1 40");
  Motion missing("Gone", "gone.amc", 0.06f, 0);
  EXPECT_EQ(missing.frames, nullptr);
  EXPECT_EQ(MotionMap().at("gone"), &missing);
  EXPECT_TRUE(LoggedOnce("LoadMotion: cannot open data/motions/gone.amc; the motion is not loaded"));
  // Names that lead out of the motion folder are refused, even when they
  // come back to a file in it; a name cut short at a NUL byte would reach
  // the motion file itself, and a cache written there would replace it.
  for (const std::string& name : {std::string("/walk.amc"), std::string("../motions/walk.amc"),
                                  std::string("walk.amc\0.q", 10)}) {
    EXPECT_EQ(Motion("x", name, 0.06f, 0).frameCount, -1) << name;
  }
  EXPECT_EQ(a.WriteBinaryPostures(std::string("data/motions/walk.amc\0.bin", 26), a.frames, 2), -1);
  EXPECT_EQ(ReadFile("data/motions/walk.amc"), clip);
  // A file name without "." (in the file's own part) has no caches; its text
  // is read all the same.
  WriteFile("data/motions/plain", TinyAmc(1));
  Motion plain("plain", "plain", 0.06f, 0);
  EXPECT_EQ(plain.frameCount, 1);
  EXPECT_EQ(plain.LoadMarkerPositions(), nullptr);
  EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: Invalid resource name data/motions/plain"));
  EXPECT_EQ(MotionCacheName("data/motions/sub.dir/walk", ".bin"), "");
}

TEST_F(MotionTest, AppendFileJoinsFiles) {
  WriteFile("data/motions/a.amc", TinyAmc(3, 0));
  WriteFile("data/motions/b.amc", TinyAmc(2, 10));
  WriteFile("data/motions/c.amc", TinyAmc(4, 20));
  Motion m("Joined", "a.amc", 0.06f, 3);
  EXPECT_TRUE(m.AppendFile("b.amc", 0.06f));
  EXPECT_TRUE(m.AppendFile("c.amc", 0.06f));
  ASSERT_EQ(m.frameCount, 9);
  EXPECT_EQ(m.segmentEnds, (std::vector<int>{3, 5, 9}));
  EXPECT_EQ(m.resourceNames.back(), "data/motions/c.amc");
  const int source[9] = {0, 1, 2, 10, 11, 20, 21, 22, 23};
  for (int f = 0; f < 9; ++f) EXPECT_TRUE(SamePosture(m.frames[f], TinyPosture(source[f]))) << f;
  EXPECT_EQ(ReadFile("data/motions/c.bin").size(), 2u + 4 * 508u);  // each file has its own caches
  // A frame equal to a segment end belongs to the earlier segment.
  const int ends[6][2] = {{0, 3}, {3, 3}, {4, 5}, {6, 9}, {9, 9}, {10, 9}};
  for (const auto& e : ends) EXPECT_EQ(m.GetSegmentEnd(e[0]), e[1]) << e[0];
  // A file that cannot be loaded leaves the motion as it was, and a motion
  // that failed to load takes nothing; no temporary motion stays behind.
  EXPECT_FALSE(m.AppendFile("missing.amc", 0.06f));
  EXPECT_EQ(m.frameCount + m.segmentEnds.size() + m.resourceNames.size(), 15u);
  EXPECT_FALSE(Motion("failed", "nothing.amc", 0.06f, 0).AppendFile("a.amc", 0.06f));
  EXPECT_EQ(MotionMap().count("temp_motion"), 0u);
}

Motion* g_destroyed = nullptr;

TEST_F(MotionTest, DestroyedMotionsLeaveTheMap) {
  Motion* a = new Motion("Run", 2, 0);
  Motion keep("Run", 2, 0);
  SetMotionDestroyedHook([](Motion* m) { g_destroyed = MotionMap().count("run") == 0 ? m : nullptr; });
  delete a;
  SetMotionDestroyedHook(nullptr);
  EXPECT_EQ(g_destroyed, a);  // called after the motion left the map
  // A motion whose name entry was taken over leaves that entry alone.
  Motion* b = new Motion("x", 1, 0);
  MotionMap()["x"] = &keep;
  delete b;
  EXPECT_EQ(MotionMap().at("x"), &keep);
  MotionMap().erase("x");
}

TEST_F(MotionTest, SetPosturesAndWriteAmc) {
  const auto m = LoadText(TinyAmc(3));
  m->SetPosture(2, TinyPosture(9));
  EXPECT_TRUE(SamePosture(m->frames[2], TinyPosture(9)));
  m->SetPosture(3, TinyPosture(9));
  m->SetPosture(-1, TinyPosture(9));
  EXPECT_EQ(CountLogged("SetPosture: frame", true), 2);
  EXPECT_EQ(Motion("empty", -5, 0).frameCount, 0);
  // The AMC text written reads back: the same rotations up to sign, with six
  // significant digits.
  m->WriteAMC("data/motions/copy.amc", 0.06f);
  EXPECT_EQ(ReadFile("data/motions/copy.amc").rfind("#Unknow ASF file\n:FULLY-SPECIFIED\n:DEGREES\n1\n", 0), 0u);
  Motion back("back", "copy.amc", 0.06f, 0);
  ASSERT_EQ(back.frameCount, 3);
  for (int f = 0; f < 3; ++f) {
    EXPECT_LT(Distance(back.frames[f].root, m->frames[f].root), 1e-5f) << f;
    for (int j = 0; j < kJointCount; ++j) {
      EXPECT_NEAR(std::fabs(back.frames[f].rotation[j].Dot(m->frames[f].rotation[j])), 1.0, 1e-5) << f << " " << j;
    }
  }
  m->WriteAMC("data/motions/zero.amc", 0.0f);
  EXPECT_FALSE(fs::exists("data/motions/zero.amc"));
  m->ResetPostures();
  EXPECT_TRUE(SamePosture(m->frames[2], Posture()));
}

TEST_F(MotionTest, OnlyACarriageReturnBeforeALineFeedIsDropped) {
  WriteFile("crlf.txt", "a b\r\n\r\nc\rd\r\nlast\r");
  std::string text;
  ASSERT_TRUE(ReadTextFile("crlf.txt", &text));
  EXPECT_EQ(text, "a b\n\nc\rd\nlast\r");
  EXPECT_FALSE(ReadTextFile("absent.txt", &text));
  EXPECT_TRUE(text.empty());
}

TEST_F(MotionTest, CachesHoldTheRecordsAndServeTheNextLoad) {
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  Motion first("walk", "walk.amc", 0.06f, 0);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), "2\n" + Bytes(first.frames, 1016));
  const std::string mpos = ReadFile("data/motions/walk.mpos");
  EXPECT_EQ(mpos, "2\n" + Bytes(MarkerSet(first.frames[0]).positions, 372) +
                      Bytes(MarkerSet(first.frames[1]).positions, 372));
  // The second load takes the cache and does not need the text at all.
  fs::remove("data/motions/walk.amc");
  LogLines().clear();
  Motion second("walk", "walk.amc", 0.06f, 0);
  ASSERT_EQ(second.frameCount, 2);
  EXPECT_EQ(Bytes(second.frames, 1016), Bytes(first.frames, 1016));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Loading Motion walk.amc...",
                                                  "Done Loading Motion data/motions/walk.bin parsed as binary..."}));
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), mpos);
  EXPECT_EQ(second.WriteBinaryPostures("no/folder/x.bin", second.frames, 2), -1);
  EXPECT_TRUE(LoggedOnce("WriteBinaryPostures: Error outputing no/folder/x.bin"));
}

TEST_F(MotionTest, APostureCacheThatIsNotWholeIsNotTrusted) {
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  { Motion m("walk", "walk.amc", 0.06f, 0); }
  const std::string good = ReadFile("data/motions/walk.bin");
  const std::string records = good.substr(2);
  // A byte short, a byte too many, a negative count, an absurd count (never
  // allocated), no separator; white space before the count, a count of 0.
  const std::pair<std::string, int> files[] = {
      {good.substr(0, good.size() - 1), -1}, {good + "x", -1}, {"-1\n" + records.substr(0, 508), -1},
      {"2000000000\n" + records, -1},        {"0", -1},        {" \t\n" + good, 0},
      {"0\n", 0}};
  Motion m("m", 0, 0);
  for (const auto& [bytes, result] : files) {
    WriteFile("data/motions/x.bin", bytes);
    EXPECT_EQ(m.ReadBinaryPostures("data/motions/x.bin"), result) << bytes.substr(0, 12);
  }
  EXPECT_EQ(m.frameCount, 0);
  // With its text, a motion is parsed again and the cache rewritten whole;
  // without it, the motion fails.
  WriteFile("data/motions/walk.bin", good + "x");
  EXPECT_EQ(Motion("walk", "walk.amc", 0.06f, 0).frameCount, 2);
  EXPECT_TRUE(LoggedOnce("ReadBinaryPostures: Error reading data/motions/walk.bin"));
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), good);
  WriteFile("data/motions/walk.bin", good + "x");
  fs::remove("data/motions/walk.amc");
  EXPECT_EQ(Motion("walk", "walk.amc", 0.06f, 0).frameCount, -1);
}

TEST_F(MotionTest, CachesOlderThanTheTextOrTheSkeletonAreMadeAgain) {
  // Times set minutes apart, so that the file system's coarse clock cannot
  // tie them.
  const auto age = [](const char* file, int minutes) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
  };
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  { Motion m("walk", "walk.amc", 0.06f, 0); }
  // The clip mended (three frames now) after its caches were made, then the
  // skeleton changed after them (the joint-position cache is whole then, but
  // older); a FIFO in place of a cache never hangs.
  WriteFile("data/motions/walk.amc", TinyAmc(3));
  for (const char* newer : {"data/motions/walk.amc", "MartialArts.asf", ""}) {
    for (const char* source : {"data/motions/walk.amc", "MartialArts.asf"}) age(source, std::strcmp(source, newer) == 0 ? 1 : 120);
    if (*newer == '\0') {
      fs::remove("data/motions/walk.bin");
      ASSERT_EQ(mkfifo("data/motions/walk.bin", 0666), 0);
    } else {
      age("data/motions/walk.bin", 60);
      age("data/motions/walk.mpos", 60);
    }
    LogLines().clear();
    Motion m("walk", "walk.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 3) << newer;
    EXPECT_EQ(ReadFile("data/motions/walk.bin"), "3\n" + Bytes(m.frames, 3 * 508)) << newer;
    EXPECT_EQ(CountLogged("DumpMarkerPositions: Done dumping", true), *newer != '\0') << newer;
  }
  // Caches newer than their sources serve the next load.
  LogLines().clear();
  Motion m("walk", "walk.amc", 0.06f, 0);
  EXPECT_TRUE(LoggedOnce("Done Loading Motion data/motions/walk.bin parsed as binary..."));
  // Nothing is cached with a skeleton that did not load.
  fs::remove("MartialArts.asf");
  ForgetDefaultSkeletons();
  WriteFile("data/motions/empty.amc", TinyAmc(0));  // no joint lines to misread
  EXPECT_EQ(Motion("empty", "empty.amc", 0.06f, 0).frameCount, 0);
  EXPECT_FALSE(fs::exists("data/motions/empty.bin") || fs::exists("data/motions/empty.mpos"));
}

TEST_F(MotionTest, LoadMarkerPositionsJoinsTheFilesCaches) {
  WriteFile("data/motions/a.amc", TinyAmc(3, 0));
  WriteFile("data/motions/b.amc", TinyAmc(2, 5));
  Motion m("ab", "a.amc", 0.06f, 0);
  ASSERT_TRUE(m.AppendFile("b.amc", 0.06f));
  const std::string a = ReadFile("data/motions/a.mpos");
  const std::string b = ReadFile("data/motions/b.mpos");
  LogLines().clear();
  std::unique_ptr<MarkerSet[]> markers(m.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  EXPECT_EQ(Bytes(markers.get(), 5 * 372), a.substr(2) + b.substr(2));
  const std::string done = "LoadMarkerPositions: Done Loading Binary Marker Positions for resource ";
  EXPECT_EQ(LogLines(), (std::vector<std::string>{done + "data/motions/a.mpos ...", done + "data/motions/b.mpos ...",
                                                  "LoadMarkerPositions: Successfully Loaded ALL Binary MarkerPositions"}));
  const std::string mismatch = "Mismatched frame count during reading";
  const std::pair<std::string, std::string> broken[] = {
      {"1\n" + b.substr(2, 372), mismatch},  // a record short
      {"3\n" + b.substr(2) + b.substr(2, 372), mismatch},
      {b.substr(0, b.size() - 10), "Error reading data/motions/b.mpos"},
      {b + "x", "Error reading data/motions/b.mpos"},
      {"x\n", "Error reading data/motions/b.mpos"},
  };
  for (const auto& [bytes, logged] : broken) {
    WriteFile("data/motions/b.mpos", bytes);
    LogLines().clear();
    EXPECT_EQ(m.LoadMarkerPositions(), nullptr) << logged;
    EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: " + logged)) << logged;
  }
  fs::remove("data/motions/b.mpos");
  EXPECT_EQ(m.LoadMarkerPositions(), nullptr);
  EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: Error opening data/motions/b.mpos"));
  // A later load of b rewrites a cache whose count line or size does not
  // fit its two frames, also one whose size fits them but its count line
  // does not; one that fits both is never rewritten.
  const std::string fits = "2\n" + std::string(744, '\x01');
  for (const std::string& unfit : {"1\n" + b.substr(2, 372), "2\n" + b.substr(2, 372), "3\n" + b.substr(2), fits}) {
    WriteFile("data/motions/b.mpos", unfit);
    { Motion again("b", "b.amc", 0.06f, 0); }
    EXPECT_EQ(ReadFile("data/motions/b.mpos"), unfit == fits ? fits : b) << unfit.substr(0, 1);
  }
}

// Each clip of subject 02 (a test of its own, so they load in parallel) with
// its frame count as the data's own description lists it.
struct Clip {
  const char* stem;
  int frames;
};
class RealClipTest : public testing::TestWithParam<Clip> {};

// The skeleton as its file gives it, the frame count and the joint-position
// cache; in every frame unit rotations, and every joint one bone length from
// its parent.
TEST_P(RealClipTest, LoadsCachesAndKeepsBoneLengths) {
  TAVRIN_REQUIRE_MOCAP();
  const int frames = GetParam().frames;
  const std::string file = GetParam().stem + std::string(".amc");
  ASSERT_TRUE(testing_support::CopyRealClips(testing_support::MocapDir(), {file}));
  Motion motion(file, file, 0.06f, 0);
  const Skeleton& skeleton = DefaultSkeleton();
  EXPECT_EQ(motion.channelCount, 62);
  EXPECT_FLOAT_EQ(skeleton.bones[2].length, 7.59371f * 0.06f);  // lfemur's "length 7.59371"
  ASSERT_EQ(motion.frameCount, frames);
  const int parent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,  0,  11, 12, 13, 14,
                                   15, 13, 17, 18, 19, 20, 21, 20, 13, 24, 25, 26, 27, 28, 27};
  std::unique_ptr<MarkerSet[]> markers(motion.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  int bad = 0;
  for (int f = 0; f < frames; ++f) {
    for (const Quaternion& q : motion.frames[f].rotation) bad += std::fabs(q.Dot(q) - 1.0f) > 1e-5f;
    const Vector3* p = markers[f].positions;
    bad += Length(p[0]) != 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      const float error = std::fabs(Distance(p[j], p[parent[j]]) - skeleton.bones[j].length);
      if (error > 1e-4f && ++bad < 5) ADD_FAILURE() << "frame " << f << " joint " << j << ": " << error;
    }
  }
  EXPECT_EQ(bad, 0);
}

INSTANTIATE_TEST_SUITE_P(Cmu02, RealClipTest,
                         testing::Values(Clip{"02_01", 343}, Clip{"02_02", 298}, Clip{"02_03", 173},
                                         Clip{"02_04", 483}, Clip{"02_05", 1854}, Clip{"02_06", 2235},
                                         Clip{"02_07", 2251}, Clip{"02_08", 1500}, Clip{"02_09", 1033},
                                         Clip{"02_10", 2645}),
                         [](const auto& info) { return std::string("clip") + info.param.stem; });

}  // namespace
