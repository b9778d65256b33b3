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

namespace {

namespace fs = std::filesystem;
using testing_support::MocapDir;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;

// Each clip of subject 02 (a test of its own, so they load in parallel) with
// its frame count as the data's own description lists it.
struct Clip {
  const char* stem;
  int frames;
};
const Clip kClips[] = {{"02_01", 343},  {"02_02", 298},  {"02_03", 173},  {"02_04", 483},
                       {"02_05", 1854}, {"02_06", 2235}, {"02_07", 2251}, {"02_08", 1500},
                       {"02_09", 1033}, {"02_10", 2645}};
void PrintTo(const Clip& clip, std::ostream* out) { *out << clip.stem; }
class RealClipTest : public testing::TestWithParam<Clip> {};

// The frame count, the caches' sizes, the second load from the posture
// cache, and every joint one bone length from its parent in every frame.
TEST_P(RealClipTest, LoadsCachesAndKeepsBoneLengths) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir dir;
  const int frames = GetParam().frames;
  const std::string stem = MotionFolder + std::string(GetParam().stem);
  const std::string file = GetParam().stem + std::string(".amc");
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {file}));
  auto parsed = std::make_unique<Motion>(file, file, 0.06f, 0);
  EXPECT_EQ(parsed->channelCount, 62);
  ASSERT_EQ(parsed->frameCount, frames);
  const size_t digits = std::to_string(frames).size();
  EXPECT_EQ(fs::file_size(stem + ".bin"), digits + 1 + 508u * frames);
  EXPECT_EQ(fs::file_size(stem + ".mpos"), digits + 1 + 372u * frames);
  const std::string mpos = ReadFile(stem + ".mpos");
  Motion cached(file, file, 0.06f, 0);
  ASSERT_EQ(cached.frameCount, frames);
  EXPECT_EQ(std::memcmp(cached.frames, parsed->frames, sizeof(Posture) * frames), 0);
  EXPECT_EQ(ReadFile(stem + ".mpos"), mpos);

  const int parent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,  0,  11, 12, 13, 14,
                                   15, 13, 17, 18, 19, 20, 21, 20, 13, 24, 25, 26, 27, 28, 27};
  EXPECT_NEAR(DefaultSkeleton().bones[2].length, 7.59371f * 0.06f, 1e-6);  // lfemur in 02.asf
  std::unique_ptr<MarkerSet[]> markers(cached.LoadMarkerPositions());
  ASSERT_NE(markers, nullptr);
  int bad = 0;
  for (int f = 0; f < frames; ++f) {
    for (const Quaternion& q : parsed->frames[f].rotation) {
      bad += std::fabs(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w - 1.0f) > 1e-5f;
    }
    const Vector3* p = markers[f].positions;
    bad += p[0].x != 0.0f || p[0].y != 0.0f || p[0].z != 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      const Vector3 d = p[j] - p[parent[j]];
      const double distance = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
      if (std::fabs(distance - DefaultSkeleton().bones[j].length) > 1e-4 && ++bad < 5) {
        ADD_FAILURE() << "frame " << f << " joint " << j << ": " << distance;
      }
    }
  }
  EXPECT_EQ(bad, 0);
}

INSTANTIATE_TEST_SUITE_P(Cmu02, RealClipTest, testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string("clip") + info.param.stem; });

TEST(RealDataTest, CrlfAndLfTextsGiveTheSamePostures) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir dir;
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {}));
  fs::copy_file(fs::path(MocapDir()) / "cmu02/02_01.amc", "data/motions/lf.amc");
  fs::copy_file(fs::path(MocapDir()) / "crlf-originals/02_01.amc", "data/motions/crlf.amc");
  ASSERT_NE(ReadFile("data/motions/crlf.amc").find("\r\n"), std::string::npos);
  Motion lf("lf", "lf.amc", 0.06f, 0);
  Motion crlf("crlf", "crlf.amc", 0.06f, 0);
  ASSERT_EQ(lf.frameCount, 343);
  ASSERT_EQ(crlf.frameCount, 343);
  EXPECT_EQ(std::memcmp(lf.frames, crlf.frames, sizeof(Posture) * 343), 0);
  EXPECT_EQ(ReadFile("data/motions/lf.mpos"), ReadFile("data/motions/crlf.mpos"));
}

}  // namespace
