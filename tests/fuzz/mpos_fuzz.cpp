// Feeds arbitrary bytes to the joint-position cache reader: each input is
// written as the ".mpos" cache of the second file of a two-file motion (the
// first file's cache is sound) and the joint positions are loaded. They
// must come back only when the input is exactly one record behind its count
// line; loading the file again as a motion mends any other cache.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "motion/motion.h"

namespace {

void fuzz_Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mpos_fuzz: %s\n", what);
    std::abort();
  }
}

// Degrees of freedom per bone: the common capture layout (62 channels).
const char* const kFuzzDof[kJointCount] = {
    "",         "",         "rx ry rz", "rx",       "rx rz",    "rx",       "",         "rx ry rz",
    "rx",       "rx rz",    "rx",       "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz",
    "rx ry rz", "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz",
    "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz"};

const char kFuzzHierarchy[] =
    ":hierarchy\nbegin\nroot lhipjoint rhipjoint lowerback\nlhipjoint lfemur\nlfemur ltibia\n"
    "ltibia lfoot\nlfoot ltoes\nrhipjoint rfemur\nrfemur rtibia\nrtibia rfoot\nrfoot rtoes\n"
    "lowerback upperback\nupperback thorax\nthorax lowerneck lclavicle rclavicle\n"
    "lowerneck upperneck\nupperneck head\nlclavicle lhumerus\nlhumerus lradius\n"
    "lradius lwrist\nlwrist lhand lthumb\nlhand lfingers\nrclavicle rhumerus\n"
    "rhumerus rradius\nrradius rwrist\nrwrist rhand rthumb\nrhand rfingers\nend\n";

void fuzz_WriteBytes(const char* path, const void* data, size_t size) {
  std::FILE* file = std::fopen(path, "wb");
  fuzz_Require(file != nullptr, "cannot create a file");
  fuzz_Require(std::fwrite(data, 1, size, file) == size, "cannot write a file");
  std::fclose(file);
}

void fuzz_WriteSkeleton() {
  std::string asf = ":bonedata\n";
  for (int i = 1; i < kJointCount; ++i) {
    asf += std::string("begin\nname ") + BoneNameTable[i] + "\ndirection " +
           (i % 3 == 0 ? "1 0 0" : i % 3 == 1 ? "0 1 0" : "0 0.6 -0.8") + "\nlength " +
           std::to_string(1 + i % 4) + "\naxis " + std::to_string(i * 7 % 40) + " 0 -20 XYZ\n";
    if (kFuzzDof[i][0] != '\0') asf += std::string("dof ") + kFuzzDof[i] + "\n";
    asf += "end\n";
  }
  asf += kFuzzHierarchy;
  fuzz_WriteBytes("MartialArts.asf", asf.data(), asf.size());
}

// A sound text of `frames` frames.
std::string fuzz_Amc(int frames) {
  std::string amc = "#\n:FULLY-SPECIFIED\n:DEGREES\n";
  for (int f = 1; f <= frames; ++f) {
    amc += std::to_string(f) + "\nroot 1 2 3 10 20 " + std::to_string(30 * f) + "\n";
    for (int j = 2; j < kJointCount; ++j) {
      if (j == 6) continue;
      amc += BoneNameTable[j];
      for (const char* c = kFuzzDof[j]; *c != '\0'; ++c) {
        if (*c == 'r') amc += " " + std::to_string(j * f);
      }
      amc += "\n";
    }
  }
  return amc;
}

constexpr char kMpos[] = "data/motions/b.mpos";
Motion* g_joined = nullptr;  // a.amc (2 frames) and b.amc (1 frame)

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "mpos_fuzz: log.txt kept\n");
  fuzz_WriteSkeleton();
  std::filesystem::create_directories(MotionFolder);
  for (const char* cache : {"data/motions/a.bin", "data/motions/a.mpos", "data/motions/b.bin",
                            "data/motions/b.mpos"}) {
    std::remove(cache);
  }
  const std::string a = fuzz_Amc(2);
  const std::string b = fuzz_Amc(1);
  fuzz_WriteBytes("data/motions/a.amc", a.data(), a.size());
  fuzz_WriteBytes("data/motions/b.amc", b.data(), b.size());
  g_joined = new Motion("joined", "a.amc", 0.06f, 0);
  fuzz_Require(g_joined->AppendFile("b.amc", 0.06f), "cannot join the two files");
  fuzz_Require(g_joined->frameCount == 3, "the joined motion has not 3 frames");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_WriteBytes(kMpos, data, size);
  MarkerSet* markers = g_joined->LoadMarkerPositions();
  if (markers != nullptr) {
    // The input was "1", one separator byte and one record, perhaps after
    // white space.
    fuzz_Require(size >= 2 + 372 && std::memcmp(&markers[2], data + size - 372, 372) == 0,
                 "joint positions other than the cache's record");
    delete[] markers;
  }
  // Loading b again keeps a cache of one record and mends any other.
  Motion* again = new Motion("b", "b.amc", 0.06f, 0);
  fuzz_Require(again->frameCount == 1, "b does not load");
  delete again;
  markers = g_joined->LoadMarkerPositions();
  fuzz_Require(markers != nullptr, "the mended cache does not load");
  delete[] markers;
  return 0;
}
