// Motions: the AMC reader, names and registration, joined files, the
// posture cache (".bin") and the joint-position cache (".mpos"), on clips
// generated for the tiny skeleton. The fuzz targets feed the readers
// arbitrary bytes; here are the rules at their edges.
#include "motion/motion.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <tuple>

#include "motion/text_file.h"
#include "tests/motion/tiny_motion.h"

namespace {

using namespace motion_test;

class MotionTest : public TinyMotionTest {};

TEST_F(MotionTest, FramesRunToTheEndOfTheTextOrToAnError) {
  // By hand: the root translation times the scale; ltibia turns about x only.
  const auto clip = LoadText(TinyAmc(3));
  EXPECT_FLOAT_EQ(clip->frames[1].root.x, (1.0f - 7.0f + 0.75f) * 0.06f);
  EXPECT_NEAR(clip->frames[0].rotation[3].x, std::sin(TinyValue(0, 3, 0) * M_PI / 360.0), 1e-7);
  EXPECT_EQ(clip->frames[0].rotation[3].y, 0.0f);
  // Sound edits of a clip's text keep every frame and the clip is cached:
  // a line of blanks and empty lines, comment lines anywhere after the
  // header, a tab and blanks between words, other spellings of the same
  // numbers (1e-50 is 0), the header alone. After an error the frames read
  // soundly before it are kept, the error is logged with the file and the
  // line, and nothing is cached, so that the next load reports it again.
  struct Case { int frames; const char *find, *replace; int kept; const char* logged; };
  const Case cases[] = {
      {2, "\n2\n", "\n   \n\n\n2\n", 2, nullptr},
      {2, "\n2\n", "\n# take two\n#\n2\n", 2, nullptr},
      {2, "\nlfemur", "\n  #lfemur 1 2 3\nlfemur", 2, nullptr},
      {2, "rthumb 9 9.5\n", "rthumb 9 9.5\n\n# end of take", 2, nullptr},
      {2, "lfemur ", "lfemur\t   ", 2, nullptr},
      {2, "lowerneck 1 1.25 1.5", "lowerneck +1 .125e1 1.50", 2, nullptr},
      {2, "upperback 0 ", "upperback 1e-50 ", 2, nullptr},
      {0, "", "", 0, nullptr},
      {2, "\n2\n", "\nend of take\n2\n", 1, "line 34: frame number expected, found \"end\"; 1 frames are kept"},
      {2, ":DEGREES", ":RADIANS", 0, "has no \":DEGREES\" line; no frames are read"},
      {2, "rthumb 9 9.5\n", "", 1, "ends at line 63 within frame 2; 1 frames are kept"},
      {2, "\n2\n", "\n2.5\n", 1, "line 34: frame number expected, found \"2.5\"; 1 frames are kept"},
      {3, "lfemur -4 ", "lfemur 1.5x ", 2, "line 66: \"1.5x\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur nan ", 2, "line 66: \"nan\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur 1e60 ", 2, "line 66: \"1e60\" is not a number; 2 frames are kept"},
      {3, "lfemur -4 ", "lfemur +-4 ", 2, "line 66: \"+-4\" is not a number; 2 frames are kept"},
  };
  for (const Case& c : cases) {
    std::string text = TinyAmc(c.frames);
    text.replace(text.find(c.find), std::strlen(c.find), c.replace);
    const std::string path = "data/motions/t" + std::to_string(loaded_);
    const auto m = LoadText(text);
    ASSERT_EQ(m->frameCount, c.kept) << c.replace;
    for (int f = 0; f < c.kept; ++f) EXPECT_TRUE(SamePosture(m->frames[f], TinyPosture(f))) << c.replace;
    EXPECT_EQ(fs::exists(path + ".bin") && fs::exists(path + ".mpos"), c.logged == nullptr) << c.replace;
    EXPECT_TRUE(c.logged == nullptr || LoggedOnce("LoadMotion: " + path + ".amc " + c.logged)) << c.replace;
  }
  // CR LF line ends read alike, and a last line without its line end counts.
  std::string text;
  for (char c : TinyAmc(2)) text += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(SamePosture(LoadText(text)->frames[1], TinyPosture(1)));
  // Only a carriage return before a line feed goes; a lone one stays.
  WriteFile("cr.txt", "a\r\nb\rc\r");
  ASSERT_TRUE(ReadTextFile("cr.txt", &text));
  EXPECT_EQ(text, "a\nb\rc\r");
  text = TinyAmc(2);
  text.pop_back();
  EXPECT_TRUE(SamePosture(LoadText(text)->frames[1], TinyPosture(1)));
  // An unknown joint name skips its line only: the frame counts and the joint
  // keeps the identity. It is an error all the same: nothing is cached. Ten
  // lines are reported one by one, then the total.
  text = TinyAmc(12);
  for (size_t at = text.find("head"); at != std::string::npos; at = text.find("head", at)) text[at] = 'H';
  const std::string path = "data/motions/t" + std::to_string(loaded_);
  const auto m = LoadText(text);
  ASSERT_EQ(m->frameCount, 12);
  Posture expected = TinyPosture(11);
  expected.rotation[16] = Quaternion();
  EXPECT_TRUE(SamePosture(m->frames[11], expected));
  const std::string amc = "LoadMotion: " + path + ".amc";
  EXPECT_TRUE(LoggedOnce(amc + " line 19: unknown joint name \"Head\"; the line is skipped"));
  EXPECT_EQ(CountLogged(amc + " line", true), 10);
  EXPECT_TRUE(LoggedOnce(amc + ": 12 lines with unknown joint names were skipped in all"));
  EXPECT_FALSE(fs::exists(path + ".bin") || fs::exists(path + ".mpos"));
}

TEST_F(MotionTest, NamesFailedLoadsAndFileNames) {
  const std::string clip = TinyAmc(2);
  WriteFile("data/motions/walk.amc", clip);
  Motion a("Walk", "walk.amc", 0.06f, 4);
  Motion b("walk", "walk.amc", 0.06f, 5);  // a body weight code past 4 gives 0
  EXPECT_EQ(a.name + " " + b.name + " " + std::to_string(a.bodyWeights * 10 + b.bodyWeights), "walk walk1 40");
  Motion missing("Gone", "gone.amc", 0.06f, 0);
  EXPECT_EQ(MotionMap().at("gone"), &missing);
  // Names that lead out of the motion folder are refused, even when they
  // come back to a file in it; a name cut short at a NUL byte would reach
  // the motion file itself, and a cache written there would replace it.
  for (const std::string& name : {std::string("/walk.amc"), std::string("../motions/walk.amc"),
                                  std::string("walk.amc\0.q", 10)}) {
    EXPECT_EQ(Motion("x", name, 0.06f, 0).frameCount, -1) << name;
  }
  EXPECT_EQ(a.WriteBinaryPostures(std::string("data/motions/walk.amc\0.bin", 26), a.frames, 2), -1);
  EXPECT_EQ(ReadFile("data/motions/walk.amc"), clip);
  // A file name without "." (in the file's own part) has no caches.
  WriteFile("data/motions/plain", TinyAmc(1));
  EXPECT_EQ(Motion("plain", "plain", 0.06f, 0).LoadMarkerPositions(), nullptr);
  EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: Invalid resource name data/motions/plain"));
  EXPECT_EQ(MotionCacheName("data/motions/sub.dir/walk", ".bin"), "");
  // A motion whose name entry was taken over leaves that entry alone.
  Motion* x = new Motion("x", 1, 0);
  MotionMap()["x"] = &a;
  delete x;
  EXPECT_EQ(MotionMap().at("x"), &a);
  MotionMap().erase("x");
}

TEST_F(MotionTest, AppendFileJoinsFiles) {
  for (const auto& [file, frames, first] : {std::tuple{"a", 3, 0}, std::tuple{"b", 2, 10}, std::tuple{"c", 4, 20}}) {
    WriteFile("data/motions/" + std::string(file) + ".amc", TinyAmc(frames, first));
  }
  Motion m("Joined", "a.amc", 0.06f, 3);
  EXPECT_TRUE(m.AppendFile("b.amc", 0.06f) && m.AppendFile("c.amc", 0.06f));
  ASSERT_EQ(m.frameCount, 9);
  EXPECT_EQ(m.segmentEnds, (std::vector<int>{3, 5, 9}));
  EXPECT_EQ(m.resourceNames.back(), "data/motions/c.amc");
  const int source[9] = {0, 1, 2, 10, 11, 20, 21, 22, 23};
  for (int f = 0; f < 9; ++f) EXPECT_TRUE(SamePosture(m.frames[f], TinyPosture(source[f]))) << f;
  // A frame equal to a segment end belongs to the earlier segment.
  const int ends[6][2] = {{0, 3}, {3, 3}, {4, 5}, {6, 9}, {9, 9}, {10, 9}};
  for (const auto& e : ends) EXPECT_EQ(m.GetSegmentEnd(e[0]), e[1]) << e[0];
  // A file that cannot be loaded leaves the motion as it was, and a motion
  // that failed to load takes nothing; no temporary motion stays behind.
  EXPECT_FALSE(m.AppendFile("missing.amc", 0.06f));
  EXPECT_EQ(m.frameCount + m.segmentEnds.size() + m.resourceNames.size(), 15u);
  EXPECT_FALSE(Motion("failed", "nothing.amc", 0.06f, 0).AppendFile("a.amc", 0.06f));
  EXPECT_EQ(MotionMap().count("temp_motion"), 0u);
  // Frames are set only inside the motion; a reset makes each the default.
  for (int frame : {8, 9, -1}) m.SetPosture(frame, TinyPosture(99));
  EXPECT_EQ(CountLogged("SetPosture: frame", true), 2);
  EXPECT_TRUE(SamePosture(m.frames[8], TinyPosture(99)));
  m.ResetPostures();
  EXPECT_TRUE(SamePosture(m.frames[8], Posture()));
  EXPECT_EQ(Motion("empty", -5, 0).frameCount, 0);
}

TEST_F(MotionTest, APostureCacheIsReadOnlyWhenWhole) {
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  Motion first("walk", "walk.amc", 0.06f, 0);
  const std::string good = ReadFile("data/motions/walk.bin");
  EXPECT_EQ(good, "2\n" + Bytes(first.frames, 1016));
  const std::string markers = Bytes(MarkerSet(first.frames[0]).positions, 372);
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), "2\n" + markers + Bytes(MarkerSet(first.frames[1]).positions, 372));
  // The next load takes the cache and does not need the text.
  fs::rename("data/motions/walk.amc", "walk.amc");
  EXPECT_EQ(Bytes(Motion("walk", "walk.amc", 0.06f, 0).frames, 1016), good.substr(2));
  // A byte short, a byte too many, a negative count, an absurd count (never
  // allocated), no separator; white space before the count, a count of 0.
  const std::pair<std::string, int> files[] = {
      {good.substr(0, good.size() - 1), -1}, {good + "x", -1}, {"-1\n" + good.substr(2, 508), -1},
      {"2000000000\n" + good.substr(2), -1}, {"0", -1},        {" \t\n" + good, 0},
      {"0\n", 0}};
  for (const auto& [bytes, result] : files) {
    WriteFile("data/motions/x.bin", bytes);
    EXPECT_EQ(first.ReadBinaryPostures("data/motions/x.bin"), result) << bytes.substr(0, 12);
  }
  // A cache that is not whole: without the text the motion fails; with it,
  // the text is parsed and the cache rewritten whole. The text moved back
  // counts as changed when it was moved; the cache's time, set after that
  // and a minute ahead, keeps the cache the newer however the file system's
  // clock ticks between the two, so it is read (and refused) before the text
  // is parsed.
  WriteFile("data/motions/walk.bin", good + "x");
  EXPECT_EQ(Motion("walk", "walk.amc", 0.06f, 0).frameCount, -1);
  fs::rename("walk.amc", "data/motions/walk.amc");
  fs::last_write_time("data/motions/walk.bin", fs::file_time_type::clock::now() + std::chrono::minutes(1));
  EXPECT_EQ(Motion("walk", "walk.amc", 0.06f, 0).frameCount, 2);
  EXPECT_EQ(CountLogged("ReadBinaryPostures: Error reading data/motions/walk.bin"), 2);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), good);
}

TEST_F(MotionTest, CachesOlderThanTheTextOrTheSkeletonAreMadeAgain) {
  // The clip mended (three frames now) after its caches were made, then the
  // skeleton changed after them (the joint-position cache is whole then, but
  // older): parsed again, the caches rewritten. Times lie minutes apart, so
  // that the file system's coarse clock cannot tie them. Last, both are
  // older than the caches, but their times were set back after the caches
  // were written (as "cp -p" or "tar" leave a replaced file).
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  { Motion m("walk", "walk.amc", 0.06f, 0); }
  WriteFile("data/motions/walk.amc", TinyAmc(3));
  for (const char* newer : {"data/motions/walk.amc", "MartialArts.asf", ""}) {
    const std::pair<const char*, int> ages[] = {{"data/motions/walk.amc", 120}, {"MartialArts.asf", 120},
                                                {"data/motions/walk.bin", 60}, {"data/motions/walk.mpos", 60}};
    for (const auto& [file, minutes] : ages) {
      const int age = std::strcmp(file, newer) == 0 ? 1 : minutes;
      fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(age));
    }
    LogLines().clear();
    Motion m("walk", "walk.amc", 0.06f, 0);
    EXPECT_EQ(ReadFile("data/motions/walk.bin"), "3\n" + Bytes(m.frames, 3 * 508)) << newer;
    EXPECT_EQ(CountLogged("DumpMarkerPositions: Done dumping", true), 1) << newer;
  }
}

// With no text to make it from, an older cache is all there is: it is used,
// and so is the joint-position cache beside it.
TEST_F(MotionTest, AWholeCacheWithoutItsTextIsUsedHoweverOld) {
  WriteFile("data/motions/a.amc", TinyAmc(2));
  { Motion m("a", "a.amc", 0.06f, 0); }
  const std::string markers = ReadFile("data/motions/a.mpos");
  fs::remove("data/motions/a.amc");
  fs::last_write_time("MartialArts.asf", fs::file_time_type::clock::now() + std::chrono::minutes(1));
  LogLines().clear();
  Motion m("a", "a.amc", 0.06f, 0);
  ASSERT_EQ(m.frameCount, 2);
  EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
  EXPECT_TRUE(LoggedOnce("LoadMotion: data/motions/a.bin is older than its sources, but data/motions/a.amc "
                         "cannot be read; the cache is used"));
  EXPECT_EQ(CountLogged("DumpMarkerPositions", true), 0);
  EXPECT_EQ(ReadFile("data/motions/a.mpos"), markers);
}

// NaN or an infinity is never a posture's or a joint position's value: a
// cache that holds one is refused as a short one is, and made again from
// the text when there is one.
TEST_F(MotionTest, CachesHoldingValuesThatAreNotFiniteAreRefused) {
  WriteFile("data/motions/walk.amc", TinyAmc(2));
  Motion m("walk", "walk.amc", 0.06f, 0);
  std::string bin = ReadFile("data/motions/walk.bin"), mpos = ReadFile("data/motions/walk.mpos");
  const float kNaN = NAN, kInfinity = INFINITY;
  const std::tuple<std::string, size_t, const float*, const char*> cases[] = {
      {".bin", 508, &kNaN, "ReadBinaryPostures: data/motions/walk.bin: frame 1 holds"},      // frame 1's root x
      {".bin", 72, &kInfinity, "ReadBinaryPostures: data/motions/walk.bin: frame 0 holds"},  // a rotation's w
      {".mpos", 432, &kNaN, "LoadMarkerPositions: data/motions/walk.mpos: frame 1 holds"}};  // joint 5's x
  for (const auto& [extension, offset, value, logged] : cases) {
    std::string bytes = ReadFile("data/motions/walk" + extension);
    std::memcpy(&bytes[2 + offset], value, sizeof(float));
    WriteFile("data/motions/walk" + extension, bytes);
    LogLines().clear();
    EXPECT_TRUE(extension == ".bin" || m.LoadMarkerPositions() == nullptr);
    const Motion again("walk", "walk.amc", 0.06f, 0);  // writes the caches again
    EXPECT_EQ(CountLogged(logged, true), 1) << offset;
    EXPECT_TRUE(SamePosture(again.frames[1], TinyPosture(1)));
    EXPECT_EQ(ReadFile("data/motions/walk.bin") + ReadFile("data/motions/walk.mpos"), bin + mpos) << offset;
  }
  // Without the text such a posture cache leaves the motion unloaded.
  std::memcpy(&bin[2 + 508], &kNaN, sizeof(float));
  WriteFile("data/motions/walk.bin", bin);
  fs::remove("data/motions/walk.amc");
  EXPECT_EQ(Motion("walk", "walk.amc", 0.06f, 0).frameCount, -1);
}

// The skeleton cut short before its hierarchy: the bones and their degrees of
// freedom read, the text parses, but joint positions would be wrong.
TEST_F(MotionTest, NothingIsCachedFromASkeletonThatDidNotLoadWhole) {
  const std::string asf = ReadFile("MartialArts.asf");
  WriteFile("MartialArts.asf", asf.substr(0, asf.find(":hierarchy")));
  ForgetDefaultSkeletons();
  EXPECT_EQ(LoadText(TinyAmc(2))->frameCount, 2);
  EXPECT_FALSE(fs::exists("data/motions/t0.bin") || fs::exists("data/motions/t0.mpos"));
}

TEST_F(MotionTest, LoadMarkerPositionsJoinsTheFilesCaches) {
  WriteFile("data/motions/a.amc", TinyAmc(3, 0));
  WriteFile("data/motions/b.amc", TinyAmc(2, 5));
  Motion m("ab", "a.amc", 0.06f, 0);
  ASSERT_TRUE(m.AppendFile("b.amc", 0.06f));
  const std::string b = ReadFile("data/motions/b.mpos");
  std::unique_ptr<MarkerSet[]> markers(m.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  EXPECT_EQ(Bytes(markers.get(), 5 * 372), ReadFile("data/motions/a.mpos").substr(2) + b.substr(2));
  EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: Successfully Loaded ALL Binary MarkerPositions"));
  const std::pair<std::string, std::string> broken[] = {
      {"1\n" + b.substr(2, 372), "Mismatched frame count during reading"},  // a record short
      {"3\n" + b.substr(2) + b.substr(2, 372), "Mismatched frame count during reading"},
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

}  // namespace
