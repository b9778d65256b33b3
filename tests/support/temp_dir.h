#pragma once

#include <string>

#include "tests/support/skip.h"

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with a relative name.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Makes a fresh temporary folder the working directory for its lifetime, since
// the system reads and writes its files ("log.txt", "cvar.ini", caches) there;
// "log.txt" is written there too. Every test already runs in one of its own
// (tests/support/test_main.cpp).
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();

  const std::string& path() const { return dir_.path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }

 private:
  TempDir dir_;
  std::string previous_;
};

// Whole contents of a file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// The folder of real capture data beside the project ("../shared/mocap"
// seen from the project's root), or an empty string when it is absent.
std::string MocapDir();

}  // namespace testing_support

// Skips the current test, with a message, when the real capture data is absent.
#define TAVRIN_REQUIRE_MOCAP()                                                        \
  do {                                                                                \
    if (testing_support::MocapDir().empty())                                          \
      TAVRIN_SKIP_TEST("real capture data (../shared/mocap) is absent; test skipped"); \
  } while (0)
