#include "tests/support/real_clips.h"

#include <cstdio>
#include <filesystem>

#include "motion/motion.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

bool clips_Copy(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::copy_file(from, to, ec)) return true;
  std::fprintf(stderr, "cannot copy %s to %s: %s\n", from.c_str(), to.c_str(),
               ec.message().c_str());
  return false;
}

}  // namespace

bool CopyRealClips(const std::string& mocapDir, const std::vector<std::string>& clips) {
  const fs::path subject = fs::path(mocapDir) / "cmu02";
  if (!clips_Copy(subject / "02.asf", "MartialArts.asf")) return false;
  ForgetDefaultSkeletons();  // the next use reads this file
  std::error_code ec;
  fs::create_directories(MotionFolder, ec);
  if (ec) {
    std::fprintf(stderr, "cannot create %s: %s\n", MotionFolder, ec.message().c_str());
    return false;
  }
  for (const std::string& clip : clips) {
    if (!clips_Copy(subject / clip, fs::path(MotionFolder) / clip)) return false;
  }
  return true;
}

}  // namespace testing_support
