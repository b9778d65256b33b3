#pragma once

// Checks and file helpers shared by the fuzz targets. The build defines
// TAVRIN_FUZZ_NAME, the target's name, for each of them.

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

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
inline void WriteBytes(const char* path, const void* data, size_t size) {
  std::FILE* file = std::fopen(path, "wb");
  Require(file != nullptr, "cannot create a file");
  Require(std::fwrite(data, 1, size, file) == size, "cannot write a file");
  std::fclose(file);
}

// Points "log.txt" of the working folder at /dev/null: the log lines of
// every input would only fill the disk.
inline void SilenceLog() {
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) {
    std::fprintf(stderr, "%s: log.txt kept\n", TAVRIN_FUZZ_NAME);
  }
}

}  // namespace fuzz_support
