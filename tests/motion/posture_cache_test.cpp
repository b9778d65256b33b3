#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "motion/motion.h"
#include "tests/motion/tiny_motion.h"

namespace {

namespace fs = std::filesystem;
using motion_test::Bytes;
using motion_test::CountLogged;
using motion_test::LoggedOnce;
using motion_test::LogLines;
using motion_test::SamePosture;
using motion_test::TinyAmc;
using motion_test::TinyPosture;
using testing_support::ReadFile;
using testing_support::WriteFile;

class PostureCacheTest : public motion_test::TinyMotionTest {};

// Every entry of the motion folder.
std::set<std::string> FolderEntries() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(MotionFolder))
    names.insert(entry.path().filename());
  return names;
}

TEST_F(PostureCacheTest, CachesHoldTheRecordsAndServeTheNextLoad) {
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  Motion first("walk", "walk.amc", 0.06f, 0);
  ASSERT_EQ(first.frameCount, 2);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), "2\n" + Bytes(first.frames, 1016));
  const std::string mpos = ReadFile("data/motions/walk.mpos");
  EXPECT_EQ(mpos.size(), 2u + 744u);
  EXPECT_EQ(mpos.substr(0, 2), "2\n");
  EXPECT_TRUE(LoggedOnce("DumpMarkerPositions: Done dumping marker positions to file - "
                         "data/motions/walk.mpos"));

  // The second load takes the cache and does not need the text at all.
  fs::remove("data/motions/walk.amc");
  LogLines().clear();
  Motion second("walk", "walk.amc", 0.06f, 0);
  ASSERT_EQ(second.frameCount, 2);
  EXPECT_EQ(std::memcmp(first.frames, second.frames, 1016), 0);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "Loading Motion walk.amc...",
                            "Done Loading Motion data/motions/walk.bin parsed as binary..."}));
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), mpos);
}

TEST_F(PostureCacheTest, JointPositionsOfHandPosedFrames) {
  // Bones point up, bone i is i long (times 0.06), axes 0. Frame 1 turns
  // lfemur 90 degrees about x, taking (0, 1, 0) to (0, 0, 1); the root's
  // place and turn do not count in the body frame.
  Motion m("m", 2, 0);
  m.frames[1].rotation[2] = Quaternion(90.0f, 0.0f, 0.0f);
  m.frames[1].root = Vector3(5.0f, 6.0f, 7.0f);
  m.frames[1].rotation[0] = Quaternion(10.0f, 20.0f, 30.0f);
  ASSERT_EQ(m.DumpMarkerPositions("data/motions/m.mpos", m.frames, 2), 0);
  const std::string mpos = ReadFile("data/motions/m.mpos");
  ASSERT_EQ(mpos.size(), 2u + 744u);
  // Frame, joint, and its position in units of 0.06: at rest the sum of the
  // bone lengths on the way.
  const int expected[][5] = {{0, 0, 0, 0, 0},    {0, 5, 0, 15, 0},   {0, 16, 0, 81, 0},
                             {0, 22, 0, 153, 0}, {0, 30, 0, 168, 0}, {1, 2, 0, 1, 2},
                             {1, 3, 0, 1, 5},    {1, 16, 0, 81, 0}};
  for (const auto& e : expected) {
    float v[3];
    std::memcpy(v, mpos.data() + 2 + 372 * e[0] + 12 * e[1], sizeof v);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(v[c], e[2 + c] * 0.06f, 1e-5) << e[0] << " " << e[1];
  }
  EXPECT_EQ(m.frames[1].root.x, 5.0f);  // the postures are left as they were
}

TEST_F(PostureCacheTest, UnreadablePostureCacheIsNotTrusted) {
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  { Motion m("walk", "walk.amc", 0.06f, 0); }
  const std::string good = ReadFile("data/motions/walk.bin");
  const std::string records = good.substr(2);
  const std::string bad[] = {
      good.substr(0, good.size() - 1),  // one byte short
      good + "x",                       // a byte too many
      "-1\n" + records.substr(0, 508),  // a negative count
      "2000000000\n" + records,         // absurd count: never allocated
  };
  for (const std::string& bytes : bad) {
    SCOPED_TRACE(bytes.substr(0, 12));
    // With the text: parsed again, the cache rewritten whole.
    WriteFile("data/motions/walk.bin", bytes);
    LogLines().clear();
    Motion m("walk", "walk.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 2);
    EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
    EXPECT_TRUE(LoggedOnce("ReadBinaryPostures: Error reading data/motions/walk.bin"));
    EXPECT_TRUE(LoggedOnce("Done Loading Motion walk.amc parsed as AMC..."));
    EXPECT_EQ(ReadFile("data/motions/walk.bin"), good);
  }
  // Without the text the motion fails.
  WriteFile("data/motions/walk.bin", good + "x");
  fs::remove("data/motions/walk.amc");
  Motion failed("walk", "walk.amc", 0.06f, 0);
  EXPECT_EQ(failed.frameCount, -1);
  EXPECT_EQ(failed.frames, nullptr);
  // White space before the count is allowed, as is a count of 0.
  Motion m("m", 0, 0);
  WriteFile("data/motions/ws.bin", " \t\n2\n" + records);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/ws.bin"), 0);
  EXPECT_EQ(Bytes(m.frames, 1016), records);
  WriteFile("data/motions/zero.bin", "0\n");
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/zero.bin"), 0);
  EXPECT_EQ(m.frameCount, 0);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/missing.bin"), -1);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions"), -1);  // a folder
  EXPECT_EQ(m.frameCount, 0);
}

TEST_F(PostureCacheTest, CachesOlderThanTheTextOrTheSkeletonAreMadeAgain) {
  const auto age = [](const char* file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
  };
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  { Motion m("walk", "walk.amc", 0.06f, 0); }
  // The clip mended (three frames now) after its caches were made, then the
  // skeleton changed after them; a FIFO in place of a cache never hangs.
  WriteFile("data/motions/walk.amc", TinyAmc(3, 0));
  for (const char* source : {"data/motions/walk.amc", "MartialArts.asf", ""}) {
    SCOPED_TRACE(source);
    if (*source == '\0') {
      fs::remove("data/motions/walk.bin");
      ASSERT_EQ(mkfifo("data/motions/walk.bin", 0666), 0);
    } else {
      age("data/motions/walk.bin");
      age("data/motions/walk.mpos");
      fs::last_write_time(source, fs::file_time_type::clock::now());
    }
    LogLines().clear();
    Motion m("walk", "walk.amc", 0.06f, 0);
    ASSERT_EQ(m.frameCount, 3);
    EXPECT_EQ(ReadFile("data/motions/walk.bin"), "3\n" + Bytes(m.frames, 3 * 508));
    EXPECT_EQ(ReadFile("data/motions/walk.mpos").size(), 2u + 3 * 372u);
    EXPECT_TRUE(LoggedOnce("Done Loading Motion walk.amc parsed as AMC..."));
  }
  // Caches as new as their sources serve the next load.
  LogLines().clear();
  Motion m("walk", "walk.amc", 0.06f, 0);
  EXPECT_TRUE(LoggedOnce("Done Loading Motion data/motions/walk.bin parsed as binary..."));
}

TEST_F(PostureCacheTest, NothingIsCachedFromASkeletonThatDidNotLoad) {
  fs::remove("MartialArts.asf");
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  Motion m("walk", "walk.amc", 0.06f, 0);
  EXPECT_GE(m.frameCount, 0);  // whatever the text gives without degrees of freedom
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"walk.amc"});
}

TEST_F(PostureCacheTest, FailedWritesKeepTheOldCache) {
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  Motion small("walk", "walk.amc", 0.06f, 0);
  const std::string oldBin = ReadFile("data/motions/walk.bin");
  const std::string oldMpos = ReadFile("data/motions/walk.mpos");
  const std::set<std::string> before = FolderEntries();
  Motion big("big", 4, 0);

  // A full disk: files may not grow past 1100 bytes (the old caches fit, the
  // new ones do not).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 1100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int binResult = big.WriteBinaryPostures("data/motions/walk.bin", big.frames, 4);
  const int mposResult = big.DumpMarkerPositions("data/motions/walk.mpos", big.frames, 4);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  EXPECT_EQ(binResult, -1);
  EXPECT_EQ(mposResult, -1);
  EXPECT_TRUE(LoggedOnce("DumpMarkerPositions: Error outputing data/motions/walk.mpos"));
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), oldBin);
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), oldMpos);
  EXPECT_EQ(FolderEntries(), before);  // no temporary file left

  // Without the limit the same writes replace the files.
  EXPECT_EQ(big.WriteBinaryPostures("data/motions/walk.bin", big.frames, 4), 0);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), "4\n" + Bytes(big.frames, 4 * 508));
  EXPECT_EQ(big.DumpMarkerPositions("data/motions/walk.mpos", big.frames, 4), 0);
  EXPECT_EQ(FolderEntries(), before);

  // No folder, no name, a negative count.
  LogLines().clear();
  EXPECT_EQ(big.WriteBinaryPostures("no/folder/x.bin", big.frames, 4), -1);
  EXPECT_EQ(big.DumpMarkerPositions("no/folder/x.mpos", big.frames, 4), -1);
  EXPECT_EQ(big.WriteBinaryPostures("", big.frames, 4), -1);
  EXPECT_EQ(big.WriteBinaryPostures("data/motions/neg.bin", big.frames, -1), -1);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "WriteBinaryPostures: Error outputing no/folder/x.bin",
                            "DumpMarkerPositions: Error outputing no/folder/x.mpos",
                            "WriteBinaryPostures: Error outputing ",
                            "WriteBinaryPostures: Error outputing data/motions/neg.bin"}));
  EXPECT_FALSE(fs::exists("data/motions/neg.bin"));
}

// A cache name cut short at a NUL byte once named the motion file itself:
// every exclusive create failed on it and the clean-up then removed the
// user's file.
TEST_F(PostureCacheTest, NamesWithANulByteNeverTouchOtherFiles) {
  const std::string amc = TinyAmc(2, 0);
  WriteFile("data/motions/a.amc", amc);
  Motion small("small", 2, 0);
  const std::string cut("data/motions/a.amc\0.bin", 23);
  EXPECT_EQ(small.WriteBinaryPostures(cut, small.frames, 2), -1);
  EXPECT_EQ(small.DumpMarkerPositions(cut, small.frames, 2), -1);
  Motion odd("odd", std::string("a.amc\0.q", 8), 0.06f, 0);
  EXPECT_EQ(odd.frameCount, -1);
  EXPECT_EQ(ReadFile("data/motions/a.amc"), amc);
}

TEST_F(PostureCacheTest, LoadMarkerPositionsJoinsTheFilesCaches) {
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
  const std::string done =
      "LoadMarkerPositions: Done Loading Binary Marker Positions for resource ";
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{
                done + "data/motions/a.mpos ...", done + "data/motions/b.mpos ...",
                "LoadMarkerPositions: Successfully Loaded ALL Binary MarkerPositions"}));

  const std::string mismatch = "LoadMarkerPositions: Mismatched frame count during reading";
  const std::string unreadable = "LoadMarkerPositions: Error reading data/motions/b.mpos";
  const std::pair<std::string, std::string> broken[] = {
      {"1\n" + b.substr(2, 372), mismatch},  // a record short
      {"3\n" + b.substr(2) + b.substr(2, 372), mismatch},
      {b.substr(0, b.size() - 10), unreadable},
      {b + "x", unreadable},
      {"x\n", unreadable},
  };
  for (const auto& c : broken) {
    WriteFile("data/motions/b.mpos", c.first);
    LogLines().clear();
    EXPECT_EQ(m.LoadMarkerPositions(), nullptr) << c.second;
    EXPECT_EQ(CountLogged(c.second), 1) << c.second;
  }
  fs::remove("data/motions/b.mpos");
  EXPECT_EQ(m.LoadMarkerPositions(), nullptr);
  EXPECT_TRUE(LoggedOnce("LoadMarkerPositions: Error opening data/motions/b.mpos"));

  // A later load of b mends a cache whose count disagrees with the frames;
  // one of the right count is never rewritten.
  WriteFile("data/motions/b.mpos", "1\n" + b.substr(2, 372));
  { Motion again("b", "b.amc", 0.06f, 0); }
  EXPECT_EQ(ReadFile("data/motions/b.mpos"), b);
  const std::string sameCount = "2\n" + std::string(744, '\x01');
  WriteFile("data/motions/b.mpos", sameCount);
  { Motion again("b", "b.amc", 0.06f, 0); }
  EXPECT_EQ(ReadFile("data/motions/b.mpos"), sameCount);

  WriteFile("data/motions/plain", TinyAmc(1, 0));
  Motion plain("plain", "plain", 0.06f, 0);
  LogLines().clear();
  EXPECT_EQ(plain.LoadMarkerPositions(), nullptr);
  EXPECT_EQ(LogLines(), std::vector<std::string>{
                            "LoadMarkerPositions: Invalid resource name data/motions/plain"});
}

}  // namespace
