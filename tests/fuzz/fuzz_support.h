#pragma once

// The harness shared by the fuzz targets: checks, files, and the motion
// folder with a small skeleton that the readers' targets load from. The build
// defines TAVRIN_FUZZ_NAME, the target's name, for each of them; a target that
// calls a function of the motion folder links motion and test_data.

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "motion/motion.h"
#include "tests/support/tiny_skeleton.h"

namespace fuzz_support {

// Prints "<target>: <what>" on stderr and aborts when `condition` is false,
// so that libFuzzer keeps the input as a crash.
inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s: %s\n", TAVRIN_FUZZ_NAME, what);
    std::abort();
  }
}

// Writes `size` bytes to `path`, replacing the file; aborts when it cannot.
inline void WriteBytes(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Require(out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size)).good(), "cannot write a file");
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Points "log.txt" of the working folder at /dev/null: the log lines of
// every input would only fill the disk.
inline void SilenceLog() {
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "%s: log.txt kept\n", TAVRIN_FUZZ_NAME);
}

// The log silenced, and "MartialArts.asf" of the 31-joint test skeleton with
// the bones `bone` written into the working folder beside the motion folder.
inline void WriteSkeleton(testing_support::TinyBone (*bone)(int i)) {
  SilenceLog();
  Require(testing_support::WriteTinySkeleton(bone), "cannot write the fuzz skeleton");
  Require(DefaultSkeleton().totalDof == 62, "the fuzz skeleton did not load");
}

// Writes a sound AMC text of `frames` frames (root line: 1 2 3 10 20 and
// 30 (f + 1)) as `file` of the motion folder; joint j of frame f holds
// `scale` * j + f + 1 degrees about each of its axes.
inline void WriteClip(const std::string& file, int frames, int scale) {
  const auto value = [scale](int f, int j, int a) {
    const double root[6] = {1, 2, 3, 10, 20, 30.0 * (f + 1)};
    return j == 0 ? root[a] : scale * j + f + 1;
  };
  const std::string amc = testing_support::TinyAmcText("#\n:FULLY-SPECIFIED\n:DEGREES\n", frames, value);
  WriteBytes(MotionFolder + file, amc.data(), amc.size());
}

// The size of a file, or -1 when there is none.
inline long FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long>(size);
}

}  // namespace fuzz_support
