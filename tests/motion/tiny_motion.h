#pragma once

// Helpers of the motion tests: the tiny skeleton in the test's working folder,
// generated clips for it, and the log lines a test caused.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "motion/motion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

namespace motion_test {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TinyHasDof;
using testing_support::WriteFile;

// The value the generated clips hold for frame f, joint j, axis a (0 to 2 for
// the angles x, y, z; 3 to 5 for the root translation): quarter steps, so
// every reader rounds them alike.
inline float TinyValue(int f, int j, int a) { return f + j * 0.5f + a * 0.25f - 7.0f; }

// AMC text of `frames` frames numbered from 1, values TinyValue(first + f).
inline std::string TinyAmc(int frames, int first = 0) {
  const int rootAxis[6] = {3, 4, 5, 0, 1, 2};  // the root line: translation first
  return testing_support::TinyAmcText(
      "#!OML:ASF C:\\Some Path\\With Blanks.ASF\n:FULLY-SPECIFIED\n:DEGREES\n", frames,
      [&](int f, int j, int a) { return TinyValue(first + f, j, j == 0 ? rootAxis[a] : a); });
}

// The posture TinyAmc gives for value index v at scale 0.06: each joint turns
// only about the axes it has degrees of freedom for.
inline Posture TinyPosture(int v) {
  Posture p;
  p.root = 0.06f * Vector3(TinyValue(v, 0, 3), TinyValue(v, 0, 4), TinyValue(v, 0, 5));
  for (int j = 0; j < kJointCount; ++j) {
    const auto angle = [&](int a) { return j == 0 || TinyHasDof(j, char('x' + a)) ? TinyValue(v, j, a) : 0.0f; };
    p.rotation[j].SetEuler(angle(0), angle(1), angle(2));
  }
  return p;
}

inline bool SamePosture(const Posture& a, const Posture& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline std::string Bytes(const void* data, size_t size) { return std::string(static_cast<const char*>(data), size); }

inline std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}

// Log lines equal to `text`, or holding it when `part`.
inline int CountLogged(const std::string& text, bool part = false) {
  int n = 0;
  for (const std::string& l : LogLines()) n += part ? l.find(text) != std::string::npos : l == text;
  return n;
}

inline bool LoggedOnce(const std::string& text) { return CountLogged(text) == 1; }

// "MartialArts.asf" of 30 bones pointing up, bone i of length i, axis 0, and
// the motion folder in the working folder; the log is captured.
class TinyMotionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::WriteTinySkeleton([](int i) {
      return testing_support::TinyBone{{0, 1, 0}, static_cast<float>(i), {0, 0, 0}};
    }));
    LogLines().clear();
    SetLogConsoleSink([](const char* text, int) { LogLines().push_back(text); });
  }

  // Writes `text` under a fresh name (t0.amc, t1.amc, ...) into the motion
  // folder and loads it.
  std::unique_ptr<Motion> LoadText(const std::string& text) {
    const std::string file = "t" + std::to_string(loaded_++) + ".amc";
    WriteFile(std::string(MotionFolder) + file, text);
    return std::make_unique<Motion>(file, file, 0.06f, 0);
  }

  int loaded_ = 0;
};

}  // namespace motion_test
