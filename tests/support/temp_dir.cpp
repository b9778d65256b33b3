#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace testing_support {

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
