// Feeds arbitrary bytes to the posture-cache reader: each input is written as
// the posture cache of a motion file and the motion is loaded through it. An
// input whose first byte is 'A' also gets a sound two-frame AMC text beside
// the cache (the rest of the input is the cache), so that an unreadable cache
// falls back to the text. A cache is used only when it is whole: the motion
// then holds exactly its records; otherwise it is parsed from the text or
// fails, and never allocates more than the input can hold. A cache holding
// NaN or an infinity is never used.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"

using fuzz_support::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::WriteSkeleton(testing_support::TiltedBone);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::remove("data/motions/fuzz.amc");
  std::remove("data/motions/fuzz.mpos");
  const bool withText = size > 0 && data[0] == 'A';
  if (withText) {
    fuzz_support::WriteClip("fuzz.amc", 2, 1);
    ++data;
    --size;
  }
  fuzz_support::WriteBytes("data/motions/fuzz.bin", data, size);
  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  if (count >= 0) {
    // Either the cache was whole or the text was parsed.
    const bool fromCache =
        size >= 2 + 508u * count && std::memcmp(motion->frames, data + (size - 508u * count), 508u * count) == 0;
    Require(motion->frames != nullptr && (fromCache || (withText && count == 2)), "postures from neither cache nor text");
    const float* values = &motion->frames[0].root.x;
    for (size_t v = 0; v < 127u * count; ++v) Require(std::isfinite(values[v]), "a value that is not finite was loaded");
    // Postures of finite but absurd values (rotations far from unit length)
    // can give joint positions that are not finite; those are refused.
    MarkerSet* markers = motion->LoadMarkerPositions();
    MarkerSet* computed = motion->ComputeMarkerPositions();
    bool finite = computed != nullptr;
    for (int f = 0; finite && f < count; ++f) {
      for (const Vector3& p : computed[f].positions) finite = finite && IsFinite(p);
    }
    Require(markers != nullptr || !finite, "joint positions of a loaded motion are missing");
    delete[] markers;
    delete[] computed;
  } else {
    Require(!withText && motion->frames == nullptr, "a motion with a sound text failed, or a failed one holds frames");
  }
  delete motion;
  return 0;
}
