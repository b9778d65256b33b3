// The pose similarity metrics, held against plain reference loops written
// here, and their window rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_skeleton.h"

using testing_support::MocapDir;

namespace {

// The per-joint weights, written out again here joint by joint.
const float kWeights[kJointCount] = {
    0.0f,  // root
    0.6f,  0.9f, 0.4f, 0.25f, 0.0f,                     // left leg
    0.6f,  0.9f, 0.4f, 0.25f, 0.0f,                     // right leg
    0.7f,  0.6f, 0.6f, 0.8f,  0.7f, 0.6f,               // spine, neck, head
    0.9f,  0.85f, 0.7f, 0.3f, 0.0f, 0.6f, 0.9f,         // left arm
    0.85f, 0.7f, 0.3f, 0.0f,  0.0f, 0.0f, 0.0f};        // right arm

// A fresh folder and handles on the cells the metrics read and write.
class PoseMetricsTest : public testing::Test {
 protected:
  testing_support::ScopedWorkDir dir;
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
};

// A motion of `frames` frames and a controller on it whose joint-position
// cache is filled directly; frame i, joint j: angles and positions that vary
// with both, so no two frames are alike. The root and the joints of weight 0
// lie so far apart that their squared distance overflows: a metric that does
// not skip them turns NaN.
struct Clip {
  explicit Clip(int frames) : motion(std::make_unique<Motion>("clip", frames, 0)) {
    controller = std::make_unique<MotionController>(motion.get(), 0, 1.0f);
    controller->markerCache = new MarkerSet[frames];
    for (int i = 0; i < frames; ++i) {
      for (int j = 0; j < kJointCount; ++j) {
        motion->frames[i].rotation[j] =
            Quaternion(std::sin(i * 0.37f + j) * 40.0f, std::cos(i * 0.11f * j) * 30.0f, j * 1.5f);
        controller->markerCache[i].positions[j] =
            kWeights[j] == 0.0f ? Vector3(i * 2e28f, -50.0f, 3.0f * i)
                                : Vector3(std::sin(i * 0.05f + j), 0.1f * j + std::cos(i * 0.07f),
                                          0.02f * i - 0.3f * j);
      }
    }
  }
  std::unique_ptr<Motion> motion;
  std::unique_ptr<MotionController> controller;
};

// The metrics written out plainly: for each window frame a partial sum of
// term(k, j) * weight over the weighted joints, added to the total.
template <typename Term>
float WeightedSum(int window, Term term) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (kWeights[j] != 0.0f) partial += term(k, j) * kWeights[j];
    }
    total += partial;
  }
  return total;
}

float Dot(const Quaternion& a, const Quaternion& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

float ReferenceAngles(const Posture* frames, int from, int to, int window) {
  auto term = [&](int k, int j) {
    const float dot = Dot(frames[from + k].rotation[j], frames[to + k].rotation[j]);
    const float d = static_cast<float>(std::acos(std::min(1.0, std::fabs(double{dot} - 0.00001))));
    return d * d;
  };
  return 1.0f - 0.034f * WeightedSum(window, term);
}

float ReferenceDots(const Posture* frames, int from, int to, int window) {
  auto term = [&](int k, int j) {
    return (Dot(frames[from + k].rotation[j], frames[to + k].rotation[j]) + 1.0f) * 0.5f;
  };
  return WeightedSum(window, term) / static_cast<float>(window * 31);
}

float ReferencePositions(const MarkerSet* markers, int from, int to, int window) {
  auto term = [&](int k, int j) {
    const Vector3& a = markers[from + k].positions[j];
    const Vector3& b = markers[to + k].positions[j];
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    return d * d;
  };
  return 1.0f - 0.04f * WeightedSum(window, term);
}

}  // namespace

TEST_F(PoseMetricsTest, MetricsMatchThePlainLoops) {
  Clip f(120);
  MotionController& c = *f.controller;
  const int pairs[][2] = {{0, 60}, {60, 0}, {13, 77}, {101, 3}, {0, 102}};
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(a);
    evalType = 0;
    EXPECT_EQ(c.EvaluateTransition(a, b), ReferenceAngles(f.motion->frames, a, b, 18));
    EXPECT_EQ(static_cast<float>(threshold), 0.95f);
    evalType = 1;
    EXPECT_EQ(c.EvaluateTransition(a, b), ReferenceDots(f.motion->frames, a, b, 18));
    EXPECT_EQ(static_cast<float>(threshold), 0.464f);
    evalType = 2;
    EXPECT_EQ(c.EvaluateTransition(a, b), ReferencePositions(c.markerCache, a, b, 18));
    EXPECT_EQ(static_cast<float>(threshold), 0.95f);
  }
  // Other types score 0.0 and leave the threshold alone.
  for (int type : {3, -1}) {
    threshold = 0.123f;
    evalType = type;
    EXPECT_EQ(c.EvaluateTransition(5, 5), 0.0f);
    EXPECT_EQ(static_cast<float>(threshold), 0.123f);
  }
}

TEST_F(PoseMetricsTest, EqualFrames) {
  Clip f(60);
  MotionController& c = *f.controller;
  // Identity rotations, whose dot product is exactly 1: acos(0.99999) for each
  // weighted joint, 14.4 in all per window frame.
  for (int i = 0; i < 60; ++i) f.motion->frames[i] = Posture();
  EXPECT_NEAR(c.EvalJointAngles(7, 7), 1.0 - 0.034 * 18 * 14.4 * (1.0 - 0.99999) * 2, 1e-5);
  EXPECT_NEAR(c.EvalJointDotProducts(7, 7), 14.4 / 31.0, 1e-6);
  EXPECT_EQ(c.EvalMarkerPositions(7, 7), 1.0f);
}

TEST_F(PoseMetricsTest, WindowsOutsideTheMotionScoreZero) {
  Clip f(60);
  // Windows of 18 frames: starts 0 to 42 fit in 60 frames.
  const int bad[][2] = {{43, 0}, {0, 43}, {-1, 20}, {20, -1}, {2147483647, 0}};
  for (int type = 0; type < 3; ++type) {
    evalType = type;
    for (const auto& p : bad) {
      threshold = 0.5f;
      EXPECT_EQ(f.controller->EvaluateTransition(p[0], p[1]), 0.0f)
          << type << ": " << p[0] << ", " << p[1];
      EXPECT_NE(static_cast<float>(threshold), 0.5f);  // written all the same
    }
    EXPECT_NE(f.controller->EvaluateTransition(42, 0), 0.0f) << type;
  }
}

TEST_F(PoseMetricsTest, WindowLengthIsTruncatedFromTheDoubleProduct) {
  {
    // 0.35f * 120 = 41.99999... -> 41 frames, not 42.
    transitionTime = 0.35f;
    Clip f(100);
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
  Clip f(30);
  MotionController& c = *f.controller;
  // Wi = 0: nothing to compare.
  transitionTime = 0.005f;
  EXPECT_EQ(c.EvalJointAngles(29, 5), 1.0f);
  EXPECT_EQ(c.EvalMarkerPositions(29, 5), 1.0f);
  EXPECT_EQ(c.EvalJointDotProducts(29, 5), 0.0f);
  EXPECT_EQ(c.EvalJointAngles(30, 5), 0.0f);
  // A window no frame count can hold, or a negative one, scores 0.0.
  for (float seconds : {-1.0f, 1e30f, std::nanf("")}) {
    transitionTime = seconds;
    for (int type = 0; type < 3; ++type) {
      evalType = type;
      EXPECT_EQ(c.EvaluateTransition(0, 0), 0.0f) << seconds;
    }
  }
}

int g_loadFailures = 0;
void CountLoadFailures(const char* text, int) {
  if (std::string(text).rfind("LoadMarkerPositions:", 0) == 0) ++g_loadFailures;
}

TEST_F(PoseMetricsTest, PositionsMetricWithoutJointPositions) {
  // A motion made in memory has no ".mpos" cache: nothing loads, and a failed
  // load is tried once, not again for every pair a graph generation asks for.
  auto motion = std::make_unique<Motion>("clip", 60, 0);
  MotionController controller(motion.get(), 0, 1.0f);
  SetLogConsoleSink(CountLoadFailures);
  for (int from = 0; from < 20; ++from) EXPECT_EQ(controller.EvalMarkerPositions(from, 30), 0.0f);
  SetLogConsoleSink(nullptr);
  EXPECT_EQ(g_loadFailures, 1);
  EXPECT_EQ(controller.markerCache, nullptr);
  // Frames are still read for the rotation metrics.
  EXPECT_EQ(controller.EvalJointAngles(0, 30), ReferenceAngles(motion->frames, 0, 30, 18));
  // A controller without a motion scores 0.0 everywhere.
  MotionController none(nullptr, 0, 1.0f);
  for (int type = 0; type < 3; ++type) {
    evalType = type;
    EXPECT_EQ(none.EvaluateTransition(0, 0), 0.0f);
  }
}

TEST_F(PoseMetricsTest, PositionsAreComputedFromThePosturesWithoutACache) {
  // A skeleton, but no ".mpos" (a motion made in memory, or one whose cache
  // could not be written): the positions are those the cache would hold.
  ASSERT_TRUE(testing_support::WriteTinySkeleton(testing_support::TiltedBone));
  Clip clip(60);
  delete[] clip.controller->markerCache;
  clip.controller->markerCache = nullptr;
  std::unique_ptr<MarkerSet[]> expected(new MarkerSet[60]);
  for (int i = 0; i < 60; ++i) expected[i].ComputeFromPosture(clip.motion->frames[i]);
  const float value = clip.controller->EvaluateTransition(10, 30);
  ASSERT_NE(clip.controller->markerCache, nullptr);
  EXPECT_EQ(value, ReferencePositions(expected.get(), 10, 30, 18));
  EXPECT_LT(value, 1.0f);
}

TEST_F(PoseMetricsTest, PositionsComeFromTheMotionsCacheOnce) {
  TAVRIN_REQUIRE_MOCAP();
  ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {"02_03.amc"}));
  auto motion = std::make_unique<Motion>("run", "02_03.amc", 0.06f, 0);
  ASSERT_EQ(motion->frameCount, 173);
  MotionController controller(motion.get(), 0, 1.0f);
  const float value = controller.EvaluateTransition(10, 100);
  const MarkerSet* loaded = controller.markerCache;
  ASSERT_NE(loaded, nullptr);
  // The positions of each frame's posture, computed here.
  std::unique_ptr<MarkerSet[]> expected(new MarkerSet[173]);
  for (int i = 0; i < 173; ++i) expected[i].ComputeFromPosture(motion->frames[i]);
  EXPECT_EQ(value, ReferencePositions(expected.get(), 10, 100, 18));
  EXPECT_LT(value, 1.0f);
  EXPECT_EQ(controller.EvaluateTransition(40, 40), 1.0f);
  EXPECT_EQ(controller.markerCache, loaded);
}
