#pragma once

// The working folders of the benchmarks: new temporary folders, the real
// capture data, and the sample data of tools/make_sample_data.

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace bench_support {

// A new empty folder in the system's temporary folder; empty when it cannot
// be made.
inline std::string MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-bench-XXXXXX").string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The real capture data: the folder named by TAVRIN_MOCAP, else
// ../shared/mocap beside the project.
inline std::filesystem::path MocapFolder() {
  const char* named = std::getenv("TAVRIN_MOCAP");
  if (named != nullptr) return named;
  return std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "mocap";
}

// Whether the clips of subject 02 are in `mocap`.
inline bool HasCmu02(const std::filesystem::path& mocap) {
  std::error_code ec;
  return std::filesystem::is_directory(mocap / "cmu02", ec);
}

// The ten clips of subject 02: "02_01.amc" to "02_10.amc".
inline std::vector<std::string> Cmu02Clips() {
  std::vector<std::string> clips;
  for (int i = 1; i <= 10; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "02_%02d.amc", i);
    clips.push_back(name);
  }
  return clips;
}

#ifdef MAKE_SAMPLE_DATA_PATH
// Writes the sample data into `folder`; false when the tool fails.
inline bool MakeSampleData(const std::string& folder) {
  const std::string command =
      std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + folder + "\" > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

}  // namespace bench_support
