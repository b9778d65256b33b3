#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/log.h"

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tavrin-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot create a temporary folder";
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

// The log follows the working folder: it is opened again, in the new folder,
// by the next line logged.
ScopedWorkDir::ScopedWorkDir() : previous_(fs::current_path().string()) {
  fs::current_path(dir_.path());
  CloseLogFile();
}

ScopedWorkDir::~ScopedWorkDir() {
  CloseLogFile();
  std::error_code ec;
  fs::current_path(previous_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace testing_support

namespace testing_support {

std::string MocapDir() {
  const fs::path dir = fs::path(TAVRIN_SOURCE_DIR) / ".." / "shared" / "mocap";
  std::error_code ec;
  if (!fs::is_directory(dir / "cmu02", ec)) return std::string();
  return fs::weakly_canonical(dir, ec).string();
}

}  // namespace testing_support
