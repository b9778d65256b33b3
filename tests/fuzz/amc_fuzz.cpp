// Feeds arbitrary bytes to the AMC motion reader: each input is written as an
// AMC file in the motion folder of the working folder and loaded as a Motion
// on a small 62-channel skeleton written once at start. Whatever the text
// holds, the motion must load (frameCount >= 0), hold only unit rotations,
// write caches of exactly the promised size only for a sound text, and read
// back from its posture cache unchanged.
#include <unistd.h>

#include <cmath>
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
    std::fprintf(stderr, "amc_fuzz: %s\n", what);
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
  // The per-input log lines would only fill the disk.
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "amc_fuzz: log.txt kept\n");
  fuzz_WriteSkeleton();
  std::filesystem::create_directories(MotionFolder);
  fuzz_Require(DefaultSkeleton().totalDof == 62, "the fuzz skeleton did not load");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Caches of an earlier input must not be read for this one.
  std::remove(kBin);
  std::remove(kMpos);
  fuzz_WriteBytes(kAmc, data, size);

  Motion* motion = new Motion("fuzz", "fuzz.amc", 0.06f, 0);
  const int count = motion->frameCount;
  fuzz_Require(count >= 0 && motion->frames != nullptr, "an existing text did not load");
  // Every frame takes at least 30 lines of at least two bytes.
  fuzz_Require(static_cast<size_t>(count) * 60 <= size, "more frames than the text can hold");
  for (int f = 0; f < count; ++f) {
    const Posture& p = motion->frames[f];
    fuzz_Require(std::isfinite(p.root.x) && std::isfinite(p.root.y) && std::isfinite(p.root.z),
                 "root not finite");
    for (const Quaternion& q : p.rotation) {
      const float norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
      fuzz_Require(std::fabs(norm - 1.0f) < 1e-4f, "rotation not of unit length");
    }
  }
  const std::string digits = std::to_string(count);
  const long mposSize = fuzz_FileSize(kMpos);
  fuzz_Require(mposSize == static_cast<long>(digits.size() + 1 + 372u * count),
               "joint-position cache of the wrong size");
  const long binSize = fuzz_FileSize(kBin);
  if (binSize >= 0) {
    fuzz_Require(binSize == static_cast<long>(digits.size() + 1 + 508u * count),
                 "posture cache of the wrong size");
    Motion again("fuzz", "fuzz.amc", 0.06f, 0);
    fuzz_Require(again.frameCount == count, "the cache holds another frame count");
    fuzz_Require(count == 0 || std::memcmp(again.frames, motion->frames, sizeof(Posture) * count) == 0,
                 "the cache holds other postures");
  }
  MarkerSet* markers = motion->LoadMarkerPositions();
  fuzz_Require(markers != nullptr, "joint positions of a loaded motion are missing");
  for (int f = 0; f < count; ++f) {
    fuzz_Require(markers[f].positions[0].x == 0.0f && markers[f].positions[0].y == 0.0f &&
                     markers[f].positions[0].z == 0.0f,
                 "joint 0 is not at the origin");
  }
  delete[] markers;
  delete motion;
  fuzz_Require(MotionMap().empty(), "a deleted motion stayed registered");
  std::remove(kBin);
  std::remove(kMpos);
  return 0;
}
