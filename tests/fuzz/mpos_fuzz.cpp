// Feeds arbitrary bytes to the joint-position cache reader: each input is
// written as the ".mpos" cache of the second file of a two-file motion (the
// first file's cache is sound) and the joint positions are loaded. They
// must come back only when the input is exactly one record behind its count
// line; loading the file again as a motion mends any other cache.
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

// A sound text of `frames` frames.
std::string fuzz_Amc(int frames) {
  const auto value = [](int f, int j, int a) {
    const double root[6] = {1, 2, 3, 10, 20, 30.0 * (f + 1)};
    return j == 0 ? root[a] : j * (f + 1);
  };
  return testing_support::TinyAmcText("#\n:FULLY-SPECIFIED\n:DEGREES\n", frames, value);
}

constexpr char kMpos[] = "data/motions/b.mpos";
Motion* g_joined = nullptr;  // a.amc (2 frames) and b.amc (1 frame)

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::SilenceLog();
  Require(testing_support::WriteTinySkeleton(testing_support::TiltedBone),
          "cannot write the fuzz skeleton");
  for (const char* cache : {"data/motions/a.bin", "data/motions/a.mpos", "data/motions/b.bin",
                            "data/motions/b.mpos"}) {
    std::remove(cache);
  }
  const std::string a = fuzz_Amc(2);
  const std::string b = fuzz_Amc(1);
  fuzz_support::WriteBytes("data/motions/a.amc", a.data(), a.size());
  fuzz_support::WriteBytes("data/motions/b.amc", b.data(), b.size());
  g_joined = new Motion("joined", "a.amc", 0.06f, 0);
  Require(g_joined->AppendFile("b.amc", 0.06f), "cannot join the two files");
  Require(g_joined->frameCount == 3, "the joined motion has not 3 frames");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::WriteBytes(kMpos, data, size);
  MarkerSet* markers = g_joined->LoadMarkerPositions();
  if (markers != nullptr) {
    // The input was "1", one separator byte and one record, perhaps after
    // white space.
    Require(size >= 2 + 372 && std::memcmp(&markers[2], data + size - 372, 372) == 0,
            "joint positions other than the cache's record");
    delete[] markers;
  }
  // Loading b again keeps a cache of one record and mends any other.
  Motion* again = new Motion("b", "b.amc", 0.06f, 0);
  Require(again->frameCount == 1, "b does not load");
  delete again;
  markers = g_joined->LoadMarkerPositions();
  Require(markers != nullptr, "the mended cache does not load");
  delete[] markers;
  return 0;
}
