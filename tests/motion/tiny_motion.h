#pragma once

// Helpers of the motion tests: a fixture that works in a fresh folder holding
// the tiny skeleton, generated clips, and the log lines a test caused.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "motion/motion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

namespace motion_test {

// The value the generated clips hold for frame f, joint j, axis a (0 to 2 for
// the angles x, y, z; 3 to 5 for the root translation): quarter steps, so
// every reader rounds them alike.
inline float TinyValue(int f, int j, int a) {
  return static_cast<float>(f) + j * 0.5f + a * 0.25f - 7.0f;
}

// AMC text of `frames` frames numbered from 1, values TinyValue(first + f).
inline std::string TinyAmc(int frames, int first) {
  const int rootAxis[6] = {3, 4, 5, 0, 1, 2};  // the root line: translation first
  return testing_support::TinyAmcText(
      "#!OML:ASF C:\\Some Path\\With Blanks.ASF\n:FULLY-SPECIFIED\n:DEGREES\n", frames,
      [&](int f, int j, int a) { return TinyValue(first + f, j, j == 0 ? rootAxis[a] : a); });
}

// The posture TinyAmc gives for value index v at scale 0.06.
inline Posture TinyPosture(int v) {
  Posture p;
  p.root =
      Vector3(TinyValue(v, 0, 3) * 0.06f, TinyValue(v, 0, 4) * 0.06f, TinyValue(v, 0, 5) * 0.06f);
  for (int j = 0; j < kJointCount; ++j) {
    float angle[3] = {0.0f, 0.0f, 0.0f};
    for (int a = 0; a < 3; ++a) {
      const bool has = j == 0 || testing_support::TinyHasDof(j, static_cast<char>('x' + a));
      if (has) angle[a] = TinyValue(v, j, a);
    }
    p.rotation[j].SetEuler(angle[0], angle[1], angle[2]);
  }
  return p;
}

inline bool SamePosture(const Posture& a, const Posture& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::string Bytes(const void* data, size_t size) {
  return std::string(static_cast<const char*>(data), size);
}

inline std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}

// Log lines equal to `text`, or starting with it when `prefix`.
inline int CountLogged(const std::string& text, bool prefix = false) {
  int n = 0;
  for (const std::string& l : LogLines())
    n += prefix ? l.compare(0, text.size(), text) == 0 : l == text;
  return n;
}

inline bool LoggedOnce(const std::string& text) { return CountLogged(text) == 1; }

// A fresh working folder with "MartialArts.asf" (30 bones pointing up, bone i
// of length i, axis 0) and the motion folder; the log is captured.
class TinyMotionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::WriteTinySkeleton([](int i) {
      return testing_support::TinyBone{{0, 1, 0}, static_cast<float>(i), {0, 0, 0}};
    }));
    LogLines().clear();
    SetLogConsoleSink([](const char* text, int) { LogLines().push_back(text); });
  }

  // Writes `text` under a fresh name into the motion folder and loads it.
  std::unique_ptr<Motion> LoadText(const std::string& text) {
    const std::string file = "t" + std::to_string(loaded_++) + ".amc";
    testing_support::WriteFile(std::string(MotionFolder) + file, text);
    return std::make_unique<Motion>(file, file, 0.06f, 0);
  }

  testing_support::ScopedWorkDir dir_;
  int loaded_ = 0;
};

}  // namespace motion_test
