// Feeds arbitrary bytes to the AMC motion reader: each input is written as an
// AMC file in the motion folder of the working folder and loaded as a Motion
// on a small 62-channel skeleton written once at start. Whatever the text
// holds, the motion must load (frameCount >= 0), hold only unit rotations,
// write both caches, of exactly the promised size, only for a sound text, and
// read back from its posture cache unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "motion/motion.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/tiny_skeleton.h"

namespace {

using fuzz_support::Require;

long fuzz_FileSize(const char* path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(size);
}

constexpr char kAmc[] = "data/motions/fuzz.amc";
constexpr char kBin[] = "data/motions/fuzz.bin";
constexpr char kMpos[] = "data/motions/fuzz.mpos";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::SilenceLog();
  Require(testing_support::WriteTinySkeleton(testing_support::TiltedBone),
          "cannot write the fuzz skeleton");
  Require(DefaultSkeleton().totalDof == 62, "the fuzz skeleton did not load");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Caches of an earlier input must not be read for this one.
  std::remove(kBin);
  std::remove(kMpos);
  fuzz_support::WriteBytes(kAmc, data, size);

  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  Require(count >= 0 && motion->frames != nullptr, "an existing text did not load");
  // Every frame takes at least 30 lines of at least two bytes.
  Require(static_cast<size_t>(count) * 60 <= size, "more frames than the text can hold");
  for (int f = 0; f < count; ++f) {
    const Posture& p = motion->frames[f];
    Require(std::isfinite(p.root.x) && std::isfinite(p.root.y) && std::isfinite(p.root.z),
            "root not finite");
    for (const Quaternion& q : p.rotation) {
      const float norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
      Require(std::fabs(norm - 1.0f) < 1e-4f, "rotation not of unit length");
    }
  }
  const std::string digits = std::to_string(count);
  const long mposSize = fuzz_FileSize(kMpos);
  const long binSize = fuzz_FileSize(kBin);
  Require((mposSize >= 0) == (binSize >= 0), "one cache without the other");
  if (binSize >= 0) {
    Require(mposSize == static_cast<long>(digits.size() + 1 + 372u * count),
            "joint-position cache of the wrong size");
    Require(binSize == static_cast<long>(digits.size() + 1 + 508u * count),
            "posture cache of the wrong size");
    Motion again("fuzz", "fuzz.amc", 0.06f, 0);
    Require(again.frameCount == count, "the cache holds another frame count");
    Require(count == 0 || std::memcmp(again.frames, motion->frames, sizeof(Posture) * count) == 0,
            "the cache holds other postures");
  }
  MarkerSet* markers = motion->LoadMarkerPositions();
  Require((markers != nullptr) == (binSize >= 0), "joint positions of a cached motion are missing");
  for (int f = 0; f < count && markers != nullptr; ++f) {
    Require(markers[f].positions[0].x == 0.0f && markers[f].positions[0].y == 0.0f &&
                markers[f].positions[0].z == 0.0f,
            "joint 0 is not at the origin");
  }
  delete[] markers;
  delete motion;
  Require(MotionMap().empty(), "a deleted motion stayed registered");
  std::remove(kBin);
  std::remove(kMpos);
  return 0;
}
