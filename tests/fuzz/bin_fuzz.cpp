// Feeds arbitrary bytes to the posture-cache reader: each input is written
// as the posture cache of a motion file and the motion is loaded through it.
// An input whose first byte is 'A' also gets a sound AMC text beside the
// cache (the rest of the input is the cache), so that an unreadable cache
// falls back to the text. A cache is used only when it is whole: the motion
// then holds exactly its records; otherwise it is parsed from the text or
// fails, and never allocates more than the input can hold.
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

// A sound two-frame text.
std::string fuzz_Amc() {
  const auto value = [](int f, int j, int a) {
    const double root[6] = {1, 2, 3, 10, 20, 30.0 * (f + 1)};
    return j == 0 ? root[a] : j + f + 1;
  };
  return testing_support::TinyAmcText("# fuzz\n:FULLY-SPECIFIED\n:DEGREES\n", 2, value);
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
  std::remove(kAmc);
  std::remove(kMpos);
  const bool withText = size > 0 && data[0] == 'A';
  if (withText) {
    const std::string amc = fuzz_Amc();
    fuzz_support::WriteBytes(kAmc, amc.data(), amc.size());
    ++data;
    --size;
  }
  fuzz_support::WriteBytes(kBin, data, size);

  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  if (count >= 0) {
    Require(motion->frames != nullptr, "a loaded motion without frames");
    // Either the cache was whole or the text was parsed.
    const bool fromCache = size >= 2 + 508u * count &&
                           std::memcmp(motion->frames, data + (size - 508u * count),
                                       508u * count) == 0;
    Require(fromCache || (withText && count == 2), "postures from neither cache nor text");
    MarkerSet* markers = motion->LoadMarkerPositions();
    Require(markers != nullptr, "joint positions of a loaded motion are missing");
    delete[] markers;
  } else {
    Require(!withText, "a motion with a sound text failed");
    Require(motion->frames == nullptr, "a failed motion holds frames");
  }
  delete motion;
  std::remove(kBin);
  std::remove(kMpos);
  return 0;
}
