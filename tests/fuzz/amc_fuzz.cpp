// Feeds arbitrary bytes to the AMC motion reader: each input is written as an
// AMC file in the motion folder and loaded as a Motion on the small 62-channel
// skeleton. Whatever the text holds, the motion must load (frameCount >= 0),
// hold only unit rotations, write both caches, of exactly the promised size,
// only for a sound text, and read back from its posture cache unchanged.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"

using fuzz_support::FileSize;
using fuzz_support::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::WriteSkeleton(testing_support::TiltedBone);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bin = "data/motions/fuzz.bin", mpos = "data/motions/fuzz.mpos";
  std::remove(bin.c_str());  // caches of an earlier input must not be read for this one
  std::remove(mpos.c_str());
  fuzz_support::WriteBytes("data/motions/fuzz.amc", data, size);
  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  Require(count >= 0 && motion->frames != nullptr, "an existing text did not load");
  // Every frame takes at least 30 lines of at least two bytes.
  Require(static_cast<size_t>(count) * 60 <= size, "more frames than the text can hold");
  for (int f = 0; f < count; ++f) {
    const Posture& p = motion->frames[f];
    Require(std::isfinite(p.root.x) && std::isfinite(p.root.y) && std::isfinite(p.root.z), "root not finite");
    for (const Quaternion& q : p.rotation) Require(std::fabs(q.Dot(q) - 1.0f) < 1e-4f, "rotation not of unit length");
  }
  const long header = static_cast<long>(std::to_string(count).size()) + 1, binSize = FileSize(bin);
  Require((FileSize(mpos) >= 0) == (binSize >= 0), "one cache without the other");
  if (binSize >= 0) {
    Require(FileSize(mpos) == header + 372L * count && binSize == header + 508L * count, "a cache of the wrong size");
    Motion again("fuzz", "fuzz.amc", 0.06f, 0);
    Require(again.frameCount == count, "the cache holds another frame count");
    Require(count == 0 || std::memcmp(again.frames, motion->frames, sizeof(Posture) * count) == 0,
            "the cache holds other postures");
  }
  MarkerSet* markers = motion->LoadMarkerPositions();
  Require((markers != nullptr) == (binSize >= 0), "joint positions of a cached motion are missing");
  for (int f = 0; f < count && markers != nullptr; ++f) {
    const Vector3& origin = markers[f].positions[0];
    Require(origin.x == 0.0f && origin.y == 0.0f && origin.z == 0.0f, "joint 0 is not at the origin");
  }
  delete[] markers;
  delete motion;
  Require(MotionMap().empty(), "a deleted motion stayed registered");
  return 0;
}
