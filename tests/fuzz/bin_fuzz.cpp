// Feeds arbitrary bytes to the posture-cache reader: each input is written
// as the posture cache of a motion file and the motion is loaded through it.
// An input whose first byte is 'A' also gets a sound AMC text beside the
// cache (the rest of the input is the cache), so that an unreadable cache
// falls back to the text. A cache is used only when it is whole: the motion
// then holds exactly its records; otherwise it is parsed from the text or
// fails, and never allocates more than the input can hold.
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
    std::fprintf(stderr, "bin_fuzz: %s\n", what);
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

// A sound two-frame text.
std::string fuzz_Amc() {
  std::string amc = ":FULLY-SPECIFIED\n:DEGREES\n";
  for (int f = 1; f <= 2; ++f) {
    amc += std::to_string(f) + "\nroot 1 2 3 10 20 " + std::to_string(30 * f) + "\n";
    for (int j = 2; j < kJointCount; ++j) {
      if (j == 6) continue;
      amc += BoneNameTable[j];
      for (const char* c = kFuzzDof[j]; *c != '\0'; ++c) {
        if (*c == 'r') amc += " " + std::to_string(j + f);
      }
      amc += "\n";
    }
  }
  return "# fuzz\n" + amc;
}

constexpr char kAmc[] = "data/motions/fuzz.amc";
constexpr char kBin[] = "data/motions/fuzz.bin";
constexpr char kMpos[] = "data/motions/fuzz.mpos";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "bin_fuzz: log.txt kept\n");
  fuzz_WriteSkeleton();
  std::filesystem::create_directories(MotionFolder);
  fuzz_Require(DefaultSkeleton().totalDof == 62, "the fuzz skeleton did not load");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::remove(kAmc);
  std::remove(kMpos);
  const bool withText = size > 0 && data[0] == 'A';
  if (withText) {
    const std::string amc = fuzz_Amc();
    fuzz_WriteBytes(kAmc, amc.data(), amc.size());
    ++data;
    --size;
  }
  fuzz_WriteBytes(kBin, data, size);

  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  if (count >= 0) {
    fuzz_Require(motion->frames != nullptr, "a loaded motion without frames");
    // Either the cache was whole or the text was parsed.
    const bool fromCache = size >= 2 + 508u * count &&
                           std::memcmp(motion->frames, data + (size - 508u * count),
                                       508u * count) == 0;
    fuzz_Require(fromCache || (withText && count == 2), "postures from neither cache nor text");
    MarkerSet* markers = motion->LoadMarkerPositions();
    fuzz_Require(markers != nullptr, "joint positions of a loaded motion are missing");
    delete[] markers;
  } else {
    fuzz_Require(!withText, "a motion with a sound text failed");
    fuzz_Require(motion->frames == nullptr, "a failed motion holds frames");
  }
  delete motion;
  std::remove(kBin);
  std::remove(kMpos);
  return 0;
}
