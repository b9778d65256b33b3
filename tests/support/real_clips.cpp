#include "tests/support/real_clips.h"

#include <cstdio>
#include <filesystem>

#include "motion/motion.h"

namespace fs = std::filesystem;

namespace testing_support {

bool CopyRealClips(const std::string& mocapDir, const std::vector<std::string>& clips) {
  const fs::path subject = fs::path(mocapDir) / "cmu02";
  std::error_code ec;
  fs::create_directories(MotionFolder, ec);
  bool copied = !ec && fs::copy_file(subject / "02.asf", "MartialArts.asf", ec);
  ForgetDefaultSkeletons();  // the next use reads this file
  for (size_t i = 0; copied && i < clips.size(); ++i) copied = fs::copy_file(subject / clips[i], MotionFolder + clips[i], ec);
  if (!copied) std::fprintf(stderr, "CopyRealClips: cannot copy from %s: %s\n", subject.c_str(), ec.message().c_str());
  return copied;
}

}  // namespace testing_support
