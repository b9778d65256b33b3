// Motions of real capture data: one subject's skeleton and ten clips.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "motion/motion.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::MocapDir;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;

namespace {

struct Clip {
  const char* file;
  int frames;
};

// Frame counts as the data's own description lists them.
const Clip kClips[] = {{"02_01.amc", 343}, {"02_02.amc", 298},  {"02_03.amc", 173},
                       {"02_04.amc", 483}, {"02_05.amc", 1854}, {"02_06.amc", 2235},
                       {"02_07.amc", 2251}, {"02_08.amc", 1500}, {"02_09.amc", 1033},
                       {"02_10.amc", 2645}};

std::string Stem(const char* file) { return std::string(file, std::strlen(file) - 4); }

// Printed in test names.
void PrintTo(const Clip& clip, std::ostream* out) { *out << clip.file; }

// One test per clip (each runs in its own process, so the clips load in
// parallel): the frame count, the caches' sizes, the second load from the
// posture cache, and the joint positions of every frame.
class RealClipTest : public testing::TestWithParam<Clip> {};

TEST_P(RealClipTest, LoadsCachesAndKeepsBoneLengths) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir dir;
  const Clip clip = GetParam();
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {clip.file}));
  const std::string stem = std::string(MotionFolder) + Stem(clip.file);
  auto parsed = std::make_unique<Motion>(clip.file, clip.file, 0.06f, 0);
  EXPECT_EQ(parsed->channelCount, 62);
  ASSERT_EQ(parsed->frameCount, clip.frames);
  const size_t k = std::to_string(clip.frames).size();
  EXPECT_EQ(fs::file_size(stem + ".bin"), k + 1 + 508u * clip.frames);
  EXPECT_EQ(fs::file_size(stem + ".mpos"), k + 1 + 372u * clip.frames);
  for (int f = 0; f < parsed->frameCount; ++f) {
    for (const Quaternion& q : parsed->frames[f].rotation) {
      ASSERT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-5) << f;
    }
  }

  // The second load reads the posture cache: the same bytes.
  const std::string bin = ReadFile(stem + ".bin");
  const std::string mpos = ReadFile(stem + ".mpos");
  Motion cached(clip.file, clip.file, 0.06f, 0);
  ASSERT_EQ(cached.frameCount, clip.frames);
  EXPECT_EQ(std::memcmp(cached.frames, parsed->frames, sizeof(Posture) * clip.frames), 0);
  EXPECT_EQ(ReadFile(stem + ".bin"), bin);
  EXPECT_EQ(ReadFile(stem + ".mpos"), mpos);

  // Every joint stands one bone length (file length x 0.06) from its parent.
  const int parent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,  0,  11, 12, 13, 14,
                                   15, 13, 17, 18, 19, 20, 21, 20, 13, 24, 25, 26, 27, 28, 27};
  EXPECT_NEAR(DefaultSkeleton().bones[2].length, 7.59371f * 0.06f, 1e-6);  // lfemur in 02.asf
  std::unique_ptr<MarkerSet[]> markers(cached.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  int bad = 0;
  for (int f = 0; f < cached.frameCount; ++f) {
    const MarkerSet& m = markers[f];
    if (m.positions[0].x != 0.0f || m.positions[0].y != 0.0f || m.positions[0].z != 0.0f) ++bad;
    for (int j = 1; j < kJointCount; ++j) {
      const Vector3 d = m.positions[j] - m.positions[parent[j]];
      const double distance = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
      if (std::fabs(distance - DefaultSkeleton().bones[j].length) > 1e-4 && ++bad < 5) {
        ADD_FAILURE() << "frame " << f << " joint " << j << ": " << distance;
      }
    }
  }
  EXPECT_EQ(bad, 0);
}

INSTANTIATE_TEST_SUITE_P(Cmu02, RealClipTest, testing::ValuesIn(kClips),
                         [](const testing::TestParamInfo<Clip>& info) {
                           return "clip" + Stem(info.param.file);
                         });

TEST(RealDataTest, CrlfAndLfTextsGiveTheSamePostures) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir dir;
  const fs::path mocap = MocapDir();
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {}));
  fs::copy_file(mocap / "cmu02" / "02_01.amc", "data/motions/lf.amc");
  fs::copy_file(mocap / "crlf-originals" / "02_01.amc", "data/motions/crlf.amc");
  ASSERT_NE(ReadFile("data/motions/crlf.amc").find("\r\n"), std::string::npos);
  Motion lf("lf", "lf.amc", 0.06f, 0);
  Motion crlf("crlf", "crlf.amc", 0.06f, 0);
  ASSERT_EQ(lf.frameCount, 343);
  ASSERT_EQ(crlf.frameCount, 343);
  EXPECT_EQ(std::memcmp(lf.frames, crlf.frames, sizeof(Posture) * 343), 0);
  EXPECT_EQ(ReadFile("data/motions/lf.mpos"), ReadFile("data/motions/crlf.mpos"));
}

}  // namespace
