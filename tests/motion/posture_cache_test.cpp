#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "motion/motion.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

// Defined in motion_test.cpp.
namespace motion_test {
void WriteTinySkeleton();
std::string TinyAmc(int frames, int first);
Posture TinyPosture(int v);
bool SamePosture(const Posture& a, const Posture& b);
std::vector<std::string>& LogLines();
void StartLogCapture();
int CountLogged(const std::string& line);
}  // namespace motion_test

namespace {

using motion_test::CountLogged;
using motion_test::SamePosture;
using motion_test::TinyAmc;
using motion_test::TinyPosture;

std::string Bytes(const void* data, size_t size) {
  return std::string(static_cast<const char*>(data), size);
}

// Every entry of the motion folder.
std::set<std::string> FolderEntries() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(MotionFolder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(PostureCacheTest, CachesHoldTheRecordsAndServeTheNextLoad) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  Motion first("walk", "walk.amc", 0.06f, 0);
  ASSERT_EQ(first.frameCount, 2);

  const std::string bin = ReadFile("data/motions/walk.bin");
  ASSERT_EQ(bin.size(), 2u + 1016u);
  EXPECT_EQ(bin.substr(0, 2), "2\n");
  EXPECT_EQ(bin.substr(2), Bytes(first.frames, 1016));
  const std::string mpos = ReadFile("data/motions/walk.mpos");
  ASSERT_EQ(mpos.size(), 2u + 744u);
  EXPECT_EQ(mpos.substr(0, 2), "2\n");
  for (int f = 0; f < 2; ++f) {
    float joint0[3];
    std::memcpy(joint0, mpos.data() + 2 + 372 * f, sizeof joint0);
    EXPECT_EQ(joint0[0], 0.0f);
    EXPECT_EQ(joint0[1], 0.0f);
    EXPECT_EQ(joint0[2], 0.0f);
  }

  // The second load takes the cache and does not need the text at all.
  fs::remove("data/motions/walk.amc");
  motion_test::LogLines().clear();
  Motion second("walk", "walk.amc", 0.06f, 0);
  ASSERT_EQ(second.frameCount, 2);
  EXPECT_EQ(std::memcmp(first.frames, second.frames, 1016), 0);
  EXPECT_EQ(motion_test::LogLines(),
            (std::vector<std::string>{"Loading Motion walk.amc...",
                                      "Done Loading Motion data/motions/walk.bin parsed as binary..."}));
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), mpos);
}

TEST(PostureCacheTest, JointPositionsOfHandPosedFrames) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  // Bones point up, bone i is i long (times 0.06), axes 0. Frame 1 turns
  // lfemur 90 degrees about x, which takes (0, 1, 0) to (0, 0, 1).
  Motion m("m", 2, 0);
  m.frames[1].rotation[2] = Quaternion(90.0f, 0.0f, 0.0f);
  m.frames[1].root = Vector3(5.0f, 6.0f, 7.0f);  // the body frame ignores it
  m.frames[1].rotation[0] = Quaternion(10.0f, 20.0f, 30.0f);
  ASSERT_EQ(m.DumpMarkerPositions("data/motions/m.mpos", m.frames, 2), 0);
  const std::string mpos = ReadFile("data/motions/m.mpos");
  ASSERT_EQ(mpos.size(), 2u + 744u);
  auto joint = [&](int f, int j) {
    Vector3 v;
    std::memcpy(&v, mpos.data() + 2 + 372 * f + 12 * j, sizeof v);
    return v;
  };
  const struct {
    int j;
    float y;
  } upright[] = {{0, 0.0f}, {5, 15 * 0.06f}, {16, 81 * 0.06f}, {22, 153 * 0.06f}, {30, 168 * 0.06f}};
  for (const auto& u : upright) {
    EXPECT_NEAR(joint(0, u.j).x, 0.0f, 1e-5) << u.j;
    EXPECT_NEAR(joint(0, u.j).y, u.y, 1e-5) << u.j;
    EXPECT_NEAR(joint(0, u.j).z, 0.0f, 1e-5) << u.j;
  }
  EXPECT_NEAR(joint(1, 2).y, 0.06f, 1e-5);
  EXPECT_NEAR(joint(1, 2).z, 0.12f, 1e-5);
  EXPECT_NEAR(joint(1, 3).z, 0.30f, 1e-5);
  EXPECT_NEAR(joint(1, 16).y, 81 * 0.06f, 1e-5);
  EXPECT_EQ(joint(1, 0).x, 0.0f);
  // The postures are left as they were.
  EXPECT_EQ(m.frames[1].root.x, 5.0f);
}

TEST(PostureCacheTest, UnreadablePostureCacheIsNotTrusted) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  const std::string amc = TinyAmc(2, 0);
  WriteFile("data/motions/walk.amc", amc);
  std::string good;
  {
    Motion m("walk", "walk.amc", 0.06f, 0);
    good = ReadFile("data/motions/walk.bin");
  }
  const std::string records = good.substr(2);
  const std::string bad[] = {
      good.substr(0, good.size() - 1),   // one byte short
      "3\n" + records,                   // count promises more than the file holds
      "2000000000\n" + records,          // absurd count
      "99999999999999999999\n" + records,
      good + "x",                        // a byte too many
      "-1\n",
      "",
      "2",                               // no separator
      "two\n" + records,
      "1\n" + records,
  };
  for (const std::string& bytes : bad) {
    SCOPED_TRACE(bytes.substr(0, 12));
    // With the text: parsed again, the cache rewritten whole.
    WriteFile("data/motions/walk.bin", bytes);
    motion_test::LogLines().clear();
    {
      Motion m("walk", "walk.amc", 0.06f, 0);
      ASSERT_EQ(m.frameCount, 2);
      EXPECT_TRUE(SamePosture(m.frames[1], TinyPosture(1)));
      EXPECT_EQ(CountLogged("ReadBinaryPostures: Error reading data/motions/walk.bin"), 1);
      EXPECT_EQ(CountLogged("Done Loading Motion walk.amc parsed as AMC..."), 1);
      EXPECT_EQ(ReadFile("data/motions/walk.bin"), good);
    }
    // Without the text: the motion fails.
    WriteFile("data/motions/walk.bin", bytes);
    fs::rename("data/motions/walk.amc", "data/motions/walk.keep");
    {
      Motion m("walk", "walk.amc", 0.06f, 0);
      EXPECT_EQ(m.frameCount, -1);
      EXPECT_EQ(m.frames, nullptr);
      EXPECT_EQ(m.ReadBinaryPostures("data/motions/walk.bin"), -1);
      EXPECT_EQ(m.frameCount, -1);
    }
    fs::rename("data/motions/walk.keep", "data/motions/walk.amc");
  }
  // Leading white space before the count is allowed, as is a count of 0.
  Motion m("m", 0, 0);
  WriteFile("data/motions/ws.bin", " \t\n2\n" + records);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/ws.bin"), 0);
  EXPECT_EQ(m.frameCount, 2);
  EXPECT_EQ(Bytes(m.frames, 1016), records);
  WriteFile("data/motions/zero.bin", "0\n");
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/zero.bin"), 0);
  EXPECT_EQ(m.frameCount, 0);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions/missing.bin"), -1);
  EXPECT_EQ(m.ReadBinaryPostures("data/motions"), -1);  // a folder
  EXPECT_EQ(m.frameCount, 0);
}

TEST(PostureCacheTest, FailedWritesKeepTheOldCache) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteFile("data/motions/walk.amc", TinyAmc(2, 0));
  Motion small("walk", "walk.amc", 0.06f, 0);
  const std::string oldBin = ReadFile("data/motions/walk.bin");
  const std::string oldMpos = ReadFile("data/motions/walk.mpos");
  const std::set<std::string> before = FolderEntries();
  Motion big("big", 4, 0);

  // A full disk: files may not grow past 1100 bytes (both old caches fit,
  // the new ones do not).
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
  EXPECT_EQ(CountLogged("WriteBinaryPostures: Error outputing data/motions/walk.bin"), 1);
  EXPECT_EQ(CountLogged("DumpMarkerPositions: Error outputing data/motions/walk.mpos"), 1);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), oldBin);
  EXPECT_EQ(ReadFile("data/motions/walk.mpos"), oldMpos);
  EXPECT_EQ(FolderEntries(), before);  // no temporary file left

  // Without the limit the same writes replace the files.
  EXPECT_EQ(big.WriteBinaryPostures("data/motions/walk.bin", big.frames, 4), 0);
  EXPECT_EQ(ReadFile("data/motions/walk.bin"), "4\n" + Bytes(big.frames, 4 * 508));
  EXPECT_EQ(big.DumpMarkerPositions("data/motions/walk.mpos", big.frames, 4), 0);
  EXPECT_EQ(ReadFile("data/motions/walk.mpos").size(), 2u + 4 * 372u);
  EXPECT_EQ(CountLogged("DumpMarkerPositions: Done dumping marker positions to file - "
                        "data/motions/walk.mpos"),
            2);
  EXPECT_EQ(FolderEntries(), before);

  // No folder, no name, a negative count.
  motion_test::LogLines().clear();
  EXPECT_EQ(big.WriteBinaryPostures("no/folder/x.bin", big.frames, 4), -1);
  EXPECT_EQ(big.DumpMarkerPositions("no/folder/x.mpos", big.frames, 4), -1);
  EXPECT_EQ(big.WriteBinaryPostures("", big.frames, 4), -1);
  EXPECT_EQ(big.WriteBinaryPostures("data/motions/neg.bin", big.frames, -1), -1);
  EXPECT_EQ(motion_test::LogLines(),
            (std::vector<std::string>{"WriteBinaryPostures: Error outputing no/folder/x.bin",
                                      "DumpMarkerPositions: Error outputing no/folder/x.mpos",
                                      "WriteBinaryPostures: Error outputing ",
                                      "WriteBinaryPostures: Error outputing data/motions/neg.bin"}));
  EXPECT_FALSE(fs::exists("data/motions/neg.bin"));
}

// A cache name cut short at a NUL byte once named the motion file itself:
// every exclusive create failed on it and the clean-up then removed the
// user's file.
TEST(PostureCacheTest, NamesWithANulByteNeverTouchOtherFiles) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
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

TEST(PostureCacheTest, LoadMarkerPositionsJoinsTheFilesCaches) {
  ScopedWorkDir dir;
  motion_test::WriteTinySkeleton();
  motion_test::StartLogCapture();
  WriteFile("data/motions/a.amc", TinyAmc(3, 0));
  WriteFile("data/motions/b.amc", TinyAmc(2, 5));
  Motion m("ab", "a.amc", 0.06f, 0);
  ASSERT_TRUE(m.AppendFile("b.amc", 0.06f));
  const std::string a = ReadFile("data/motions/a.mpos");
  const std::string b = ReadFile("data/motions/b.mpos");

  motion_test::LogLines().clear();
  std::unique_ptr<MarkerSet[]> markers(m.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  EXPECT_EQ(Bytes(markers.get(), 5 * 372), a.substr(2) + b.substr(2));
  EXPECT_EQ(motion_test::LogLines(),
            (std::vector<std::string>{
                "LoadMarkerPositions: Done Loading Binary Marker Positions for resource data/motions/a.mpos ...",
                "LoadMarkerPositions: Done Loading Binary Marker Positions for resource data/motions/b.mpos ...",
                "LoadMarkerPositions: Successfully Loaded ALL Binary MarkerPositions"}));

  const std::string mismatch = "LoadMarkerPositions: Mismatched frame count during reading";
  const struct {
    std::string bytes;
    std::string message;
  } broken[] = {
      {"1\n" + b.substr(2, 372), mismatch},           // a record short
      {"3\n" + b.substr(2) + b.substr(2, 372), mismatch},
      {"2000000000\n" + b.substr(2), mismatch},
      {b.substr(0, b.size() - 10), "LoadMarkerPositions: Error reading data/motions/b.mpos"},
      {b + "x", "LoadMarkerPositions: Error reading data/motions/b.mpos"},
      {"x\n", "LoadMarkerPositions: Error reading data/motions/b.mpos"},
      {"-2\n" + b.substr(2), "LoadMarkerPositions: Error reading data/motions/b.mpos"},
  };
  for (const auto& c : broken) {
    WriteFile("data/motions/b.mpos", c.bytes);
    motion_test::LogLines().clear();
    EXPECT_EQ(m.LoadMarkerPositions(), nullptr) << c.message;
    EXPECT_EQ(CountLogged(c.message), 1) << c.message;
  }
  fs::remove("data/motions/b.mpos");
  EXPECT_EQ(m.LoadMarkerPositions(), nullptr);
  EXPECT_EQ(CountLogged("LoadMarkerPositions: Error opening data/motions/b.mpos"), 1);

  // A later load of b mends a cache whose count disagrees with the frames;
  // one of the right count is never rewritten.
  WriteFile("data/motions/b.mpos", "1\n" + b.substr(2, 372));
  { Motion again("b", "b.amc", 0.06f, 0); }
  EXPECT_EQ(ReadFile("data/motions/b.mpos"), b);
  const std::string sameCount = "2\n" + std::string(744, '\x01');
  WriteFile("data/motions/b.mpos", sameCount);
  { Motion again("b", "b.amc", 0.06f, 0); }
  EXPECT_EQ(ReadFile("data/motions/b.mpos"), sameCount);

  // A resource name without ".".
  WriteFile("data/motions/plain", TinyAmc(1, 0));
  Motion plain("plain", "plain", 0.06f, 0);
  motion_test::LogLines().clear();
  EXPECT_EQ(plain.LoadMarkerPositions(), nullptr);
  EXPECT_EQ(motion_test::LogLines(),
            std::vector<std::string>{"LoadMarkerPositions: Invalid resource name data/motions/plain"});
}

}  // namespace
