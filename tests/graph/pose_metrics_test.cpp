// The pose similarity metrics, held against plain reference loops written
// here, and their window rules.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"

using testing_support::MocapDir;
using testing_support::ScopedWorkDir;

namespace {

// The per-joint weights, written out again here joint by joint.
const float kWeights[kJointCount] = {
    0.0f,  // root
    0.6f,  0.9f, 0.4f, 0.25f, 0.0f,                     // left leg
    0.6f,  0.9f, 0.4f, 0.25f, 0.0f,                     // right leg
    0.7f,  0.6f, 0.6f, 0.8f,  0.7f, 0.6f,               // spine, neck, head
    0.9f,  0.85f, 0.7f, 0.3f, 0.0f, 0.6f, 0.9f,         // left arm
    0.85f, 0.7f, 0.3f, 0.0f,  0.0f, 0.0f, 0.0f};        // right arm

const int kZeroWeightJoints[] = {5, 10, 21, 27, 28, 29, 30};

// Handles on the cells the metrics read and write.
struct Settings {
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
};

// Frame i, joint j: Euler angles that vary with both, so no two frames are
// alike; joint positions likewise.
void FillFrame(Posture* posture, MarkerSet* markers, int i) {
  for (int j = 1; j < kJointCount; ++j) {
    posture->rotation[j] =
        Quaternion(std::sin(i * 0.37f + j) * 40.0f, std::cos(i * 0.11f * j) * 30.0f, j * 1.5f);
    markers->positions[j] =
        Vector3(std::sin(i * 0.05f + j), 0.1f * j + std::cos(i * 0.07f), 0.02f * i - 0.3f * j);
  }
}

// A motion of `frames` frames and a controller on it whose joint-position
// cache is filled directly.
struct Fixture {
  explicit Fixture(int frames) : motion(std::make_unique<Motion>("clip", frames, 0)) {
    controller = std::make_unique<MotionController>(motion.get(), 0, 1.0f);
    controller->markerCache = new MarkerSet[frames];
    for (int i = 0; i < frames; ++i) FillFrame(&motion->frames[i], &controller->markerCache[i], i);
  }
  std::unique_ptr<Motion> motion;
  std::unique_ptr<MotionController> controller;
};

// The three metrics written out plainly: for each window frame a partial sum
// over the weighted joints, added to the total.
float ReferenceAngles(const Posture* frames, int from, int to, int window) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (kWeights[j] == 0.0f) continue;
      const Quaternion& a = frames[from + k].rotation[j];
      const Quaternion& b = frames[to + k].rotation[j];
      const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
      const float d = static_cast<float>(std::acos(std::fabs(std::fabs(double{dot}) - 0.00001)));
      partial += d * d * kWeights[j];
    }
    total += partial;
  }
  return 1.0f - 0.034f * total;
}

float ReferenceDots(const Posture* frames, int from, int to, int window) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (kWeights[j] == 0.0f) continue;
      const Quaternion& a = frames[from + k].rotation[j];
      const Quaternion& b = frames[to + k].rotation[j];
      const float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
      partial += (c + 1.0f) * 0.5f * kWeights[j];
    }
    total += partial;
  }
  return total / static_cast<float>(window * 31);
}

float ReferencePositions(const MarkerSet* markers, int from, int to, int window) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (kWeights[j] == 0.0f) continue;
      const Vector3& a = markers[from + k].positions[j];
      const Vector3& b = markers[to + k].positions[j];
      const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
      const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
      partial += d * d * kWeights[j];
    }
    total += partial;
  }
  return 1.0f - 0.04f * total;
}

}  // namespace

TEST(PoseMetricsTest, MetricsMatchThePlainLoops) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(120);
  MotionController& c = *f.controller;
  const int pairs[][2] = {{0, 60}, {60, 0}, {13, 77}, {101, 3}, {40, 41}, {0, 102}};
  for (const auto& p : pairs) {
    settings.evalType = 0;
    EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), ReferenceAngles(f.motion->frames, p[0], p[1], 18));
    EXPECT_EQ(static_cast<float>(settings.threshold), 0.95f);
    settings.evalType = 1;
    EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), ReferenceDots(f.motion->frames, p[0], p[1], 18));
    EXPECT_EQ(static_cast<float>(settings.threshold), 0.464f);
    settings.evalType = 2;
    EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), ReferencePositions(c.markerCache, p[0], p[1], 18));
    EXPECT_EQ(static_cast<float>(settings.threshold), 0.95f);
  }
}

TEST(PoseMetricsTest, EqualFrames) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(60);
  MotionController& c = *f.controller;
  // Identity rotations, whose dot product is exactly 1: acos(0.99999) for each
  // weighted joint, 14.4 in all per window frame.
  for (int i = 0; i < 60; ++i) f.motion->frames[i] = Posture();
  const float d = static_cast<float>(std::acos(0.99999));
  float total = 0.0f;
  for (int k = 0; k < 18; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) partial += d * d * kWeights[j];
    total += partial;
  }
  EXPECT_EQ(c.EvalJointAngles(7, 7), 1.0f - 0.034f * total);
  EXPECT_NEAR(c.EvalJointAngles(7, 7), 0.99982, 1e-5);
  EXPECT_NEAR(c.EvalJointDotProducts(7, 7), 14.4 / 31.0, 1e-6);
  EXPECT_GT(c.EvalJointDotProducts(7, 7), 0.464f);
  EXPECT_EQ(c.EvalMarkerPositions(7, 7), 1.0f);
}

TEST(PoseMetricsTest, SymmetricInTheTwoFrames) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(100);
  MotionController& c = *f.controller;
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    for (int a = 0; a <= 80; a += 7) {
      for (int b = 3; b <= 80; b += 11) {
        EXPECT_EQ(c.EvaluateTransition(a, b), c.EvaluateTransition(b, a)) << type;
      }
    }
  }
}

TEST(PoseMetricsTest, RootAndZeroWeightJointsNeverMatter) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(100);
  MotionController& c = *f.controller;
  float before[3];
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    before[type] = c.EvaluateTransition(10, 70);
  }
  for (int i = 0; i < 100; ++i) {
    Posture& posture = f.motion->frames[i];
    posture.root = Vector3(i * 3.0f, -i * 1.0f, 7.0f);
    posture.rotation[0] = Quaternion(i * 11.0f, i * -5.0f, 80.0f);
    for (int j : kZeroWeightJoints) {
      posture.rotation[j] = Quaternion(i * 13.0f, 170.0f - i, i * 7.0f);
      // So far apart that their squared distance overflows: skipped, they
      // cannot turn the sum into NaN.
      c.markerCache[i].positions[j] = Vector3(i * 2e28f, -50.0f, 3.0f * i);
    }
    c.markerCache[i].positions[0] = Vector3(-9.0f, i * 1.0f, 4.0f);
  }
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    EXPECT_EQ(c.EvaluateTransition(10, 70), before[type]) << type;
  }
  // A weighted joint does matter.
  f.motion->frames[12].rotation[2] = Quaternion(90.0f, 0.0f, 0.0f);
  c.markerCache[12].positions[2] = Vector3(5.0f, 5.0f, 5.0f);
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    EXPECT_NE(c.EvaluateTransition(10, 70), before[type]) << type;
  }
}

TEST(PoseMetricsTest, OtherEvalTypesScoreZeroAndKeepTheThreshold) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(60);
  for (int type : {5, -1, 3}) {
    settings.threshold = 0.123f;
    settings.evalType = type;
    EXPECT_EQ(f.controller->EvaluateTransition(0, 30), 0.0f);
    EXPECT_EQ(f.controller->EvaluateTransition(5, 5), 0.0f);
    EXPECT_EQ(static_cast<float>(settings.threshold), 0.123f);
  }
}

TEST(PoseMetricsTest, WindowsOutsideTheMotionScoreZero) {
  ScopedWorkDir dir;
  Settings settings;
  Fixture f(60);
  MotionController& c = *f.controller;
  // Windows of 18 frames: starts 0 to 42 fit in 60 frames.
  const int bad[][2] = {{43, 0},  {0, 43},  {59, 10}, {60, 0},  {0, 60},
                        {-1, 20}, {20, -1}, {-1000000, 5}, {2147483647, 0}, {0, 2147483647}};
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    for (const auto& p : bad) {
      settings.threshold = 0.5f;
      EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), 0.0f) << type << ": " << p[0] << ", " << p[1];
      // Written also when the call scores 0.0.
      EXPECT_NE(static_cast<float>(settings.threshold), 0.5f);
    }
    EXPECT_NE(c.EvaluateTransition(42, 0), 0.0f) << type;
  }
}

TEST(PoseMetricsTest, WindowLengthIsTruncatedFromTheDoubleProduct) {
  ScopedWorkDir dir;
  Settings settings;
  {
    // 0.35f * 120 = 41.99999... -> 41 frames, not 42.
    settings.transitionTime = 0.35f;
    Fixture f(100);
    MotionController& c = *f.controller;
    // Frames 0..40 and 50..90 equal: only frame 41 (and 91) differ.
    for (int k = 0; k < 50; ++k) {
      f.motion->frames[50 + k] = f.motion->frames[k];
      c.markerCache[50 + k] = c.markerCache[k];
    }
    c.markerCache[91].positions[3].x += 1.0f;
    f.motion->frames[91].rotation[3] = Quaternion(50.0f, 0.0f, 0.0f);
    EXPECT_EQ(c.EvalMarkerPositions(0, 50), 1.0f);
    EXPECT_EQ(c.EvalJointAngles(0, 50), ReferenceAngles(f.motion->frames, 0, 0, 41));
    EXPECT_EQ(c.EvalJointDotProducts(0, 50), ReferenceDots(f.motion->frames, 0, 0, 41));
    EXPECT_NE(c.EvalMarkerPositions(1, 51), 1.0f);
    EXPECT_NE(c.EvalMarkerPositions(59, 0), 0.0f);  // 59 + 41 = 100 fits
    EXPECT_EQ(c.EvalMarkerPositions(60, 0), 0.0f);
  }
  {
    // Wi = 0: nothing to compare.
    settings.transitionTime = 0.005f;
    Fixture f(30);
    MotionController& c = *f.controller;
    for (int a : {0, 13, 29}) {
      EXPECT_EQ(c.EvalJointAngles(a, 5), 1.0f);
      EXPECT_EQ(c.EvalMarkerPositions(a, 5), 1.0f);
      EXPECT_EQ(c.EvalJointDotProducts(a, 5), 0.0f);
    }
    EXPECT_EQ(c.EvalJointAngles(30, 5), 0.0f);
    EXPECT_EQ(c.EvalMarkerPositions(5, 30), 0.0f);
  }
  {
    // A window no frame count can hold, or a negative one, scores 0.0.
    Fixture f(30);
    for (float seconds : {-1.0f, 1e30f, std::nanf("")}) {
      settings.transitionTime = seconds;
      for (int type = 0; type < 3; ++type) {
        settings.evalType = type;
        EXPECT_EQ(f.controller->EvaluateTransition(0, 0), 0.0f) << seconds;
      }
    }
  }
}

TEST(PoseMetricsTest, PositionsMetricWithoutJointPositions) {
  ScopedWorkDir dir;
  Settings settings;
  // A motion made in memory has no ".mpos" cache: nothing loads.
  auto motion = std::make_unique<Motion>("clip", 60, 0);
  MotionController controller(motion.get(), 0, 1.0f);
  EXPECT_EQ(controller.EvalMarkerPositions(0, 30), 0.0f);
  EXPECT_EQ(controller.markerCache, nullptr);
  EXPECT_EQ(static_cast<float>(settings.threshold), 0.95f);
  // Frames are still read for the rotation metrics.
  EXPECT_EQ(controller.EvalJointAngles(0, 30), ReferenceAngles(motion->frames, 0, 30, 18));
  // A controller without a motion scores 0.0 everywhere.
  MotionController none(nullptr, 0, 1.0f);
  for (int type = 0; type < 3; ++type) {
    settings.evalType = type;
    EXPECT_EQ(none.EvaluateTransition(0, 0), 0.0f);
  }
}

TEST(PoseMetricsTest, PositionsComeFromTheMotionsCacheOnce) {
  TAVRIN_REQUIRE_MOCAP();
  ScopedWorkDir dir;
  Settings settings;
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {"02_03.amc"}));
  auto motion = std::make_unique<Motion>("run", "02_03.amc", 0.06f, 0);
  ASSERT_EQ(motion->frameCount, 173);
  MotionController controller(motion.get(), 0, 1.0f);
  const float value = controller.EvaluateTransition(10, 100);
  ASSERT_NE(controller.markerCache, nullptr);
  const MarkerSet* loaded = controller.markerCache;
  // The positions of each frame's posture, computed here.
  std::unique_ptr<MarkerSet[]> expected(new MarkerSet[173]);
  for (int i = 0; i < 173; ++i) expected[i].ComputeFromPosture(motion->frames[i]);
  EXPECT_EQ(value, ReferencePositions(expected.get(), 10, 100, 18));
  EXPECT_LT(value, 1.0f);
  EXPECT_EQ(controller.EvaluateTransition(100, 10), value);
  EXPECT_EQ(controller.markerCache, loaded);
  EXPECT_EQ(controller.EvaluateTransition(40, 40), 1.0f);
}
