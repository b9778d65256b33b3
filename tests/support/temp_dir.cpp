#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/log.h"

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() : path_((fs::temp_directory_path() / "tavrin-test-XXXXXX").string()) {
  if (mkdtemp(path_.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
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
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string MocapDir() {
  const fs::path dir = fs::path(TAVRIN_SOURCE_DIR) / ".." / "shared" / "mocap";
  std::error_code ec;
  return fs::is_directory(dir / "cmu02", ec) ? fs::weakly_canonical(dir, ec).string() : std::string();
}

}  // namespace testing_support
