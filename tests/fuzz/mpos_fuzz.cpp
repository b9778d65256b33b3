// Feeds arbitrary bytes to the joint-position cache reader: each input is
// written as the ".mpos" cache of the second file of a two-file motion (the
// first file's cache is sound) and the joint positions are loaded. They must
// come back only when the input is exactly one record of finite numbers
// behind its count line; loading the file again as a motion mends any other
// cache.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"

using fuzz_support::Require;

namespace {
Motion* g_joined = nullptr;  // a.amc (2 frames) and b.amc (1 frame)
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::WriteSkeleton(testing_support::TiltedBone);
  for (const char* cache : {"a.bin", "a.mpos", "b.bin", "b.mpos"}) std::remove((MotionFolder + std::string(cache)).c_str());
  fuzz_support::WriteClip("a.amc", 2, 1);
  fuzz_support::WriteClip("b.amc", 1, 2);
  g_joined = new Motion("joined", "a.amc", 0.06f, 0);
  Require(g_joined->AppendFile("b.amc", 0.06f) && g_joined->frameCount == 3, "cannot join the two files");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::WriteBytes("data/motions/b.mpos", data, size);
  MarkerSet* markers = g_joined->LoadMarkerPositions();
  // Loaded only from "1", one separator byte and one record, perhaps after white space.
  Require(markers == nullptr || (size >= 2 + 372 && std::memcmp(&markers[2], data + size - 372, 372) == 0),
          "joint positions other than the cache's record");
  for (int v = 0; markers != nullptr && v < 3 * 93; ++v) {
    Require(std::isfinite(markers[v / 93].positions[v % 93 / 3][v % 3]), "a joint position that is not finite was loaded");
  }
  delete[] markers;
  Motion* again = new Motion("b", "b.amc", 0.06f, 0);  // keeps a cache of one record, mends any other
  Require(again->frameCount == 1, "b does not load");
  delete again;
  markers = g_joined->LoadMarkerPositions();
  Require(markers != nullptr, "the mended cache does not load");
  delete[] markers;
  return 0;
}
