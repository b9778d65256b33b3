#pragma once

// The rules the pose similarity metrics share with the pair scorer: the joint
// weights, the constants of the three metrics, the window, and the weighted
// sum in its fixed order. Internal to the graph library.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "motion/skeleton.h"

namespace pose_metric {

// Per-joint weights in BoneNameTable order. The root (0) and every joint of
// weight 0.0 never enter a metric; joints 1 to 30 add up to 14.4.
constexpr float JointWeightTable[kJointCount] = {
    0.0f, 0.6f, 0.9f,  0.4f, 0.25f, 0.0f, 0.6f, 0.9f, 0.4f,  0.25f, 0.0f,
    0.7f, 0.6f, 0.6f,  0.8f, 0.7f,  0.6f, 0.9f, 0.85f, 0.7f, 0.3f,  0.0f,
    0.6f, 0.9f, 0.85f, 0.7f, 0.3f,  0.0f, 0.0f, 0.0f,  0.0f};

constexpr float kAngleScale = 0.034f;
constexpr float kAngleThreshold = 0.95f;
constexpr float kDotThreshold = 0.464f;
constexpr float kPositionScale = 0.04f;
constexpr float kPositionThreshold = 0.95f;

// motionctrl.evaltype: 0 joint angles, 1 joint dot products, 2 joint
// positions; any other value scores 0.0.
int MetricType();

// Wi, the window in whole frames: W truncated toward zero. False when W is
// not a frame count an int can hold (negative below -1, NaN, too large).
inline bool Window(int* window) {
  const double frames = TransitionFrames();
  if (!(frames > -1.0 && frames < 2147483648.0)) return false;
  *window = static_cast<int>(frames);
  return true;
}

// The frames that both the controller and its motion hold (0 without a
// motion).
inline int Limit(const MotionController& controller) {
  const Motion* motion = controller.motion;
  return motion == nullptr ? 0 : std::min(controller.frameCount, motion->frameCount);
}

// True when both windows of `window` frames from `from` and `to` lie wholly
// inside the first `limit` frames.
inline bool WindowsInside(int limit, int from, int to, int window) {
  if (from < 0 || to < 0 || from >= limit || to >= limit) return false;
  return from <= limit - window && to <= limit - window;
}

// The metrics' sum over the window: for each frame k, the weighted terms of
// joints 1 to 30 (weight 0.0 skipped) summed in single precision into a
// partial sum, which is then added to the total. term(a, b, j) is a joint's
// unweighted term between frame from + k and frame to + k. Summing stops
// early once the total exceeds `exitTotal`; the terms are never negative, so
// the full total would too.
template <class Frame, class Term>
float WeightedSum(const Frame* frames, int from, int to, int window, Term term,
                  float exitTotal = std::numeric_limits<float>::infinity()) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    const Frame& a = frames[from + k];
    const Frame& b = frames[to + k];
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (JointWeightTable[j] == 0.0f) continue;
      partial += term(a, b, j) * JointWeightTable[j];
    }
    total += partial;
    if (total > exitTotal) break;
  }
  return total;
}

// The unweighted terms of the three metrics.
inline float AngleTerm(const Posture& a, const Posture& b, int j) {
  const float d = a.rotation[j].AngleTo(b.rotation[j]);
  return d * d;
}

inline float DotTerm(const Posture& a, const Posture& b, int j) {
  const float c = a.rotation[j].Dot(b.rotation[j]);
  return (c + 1.0f) * 0.5f;
}

inline float PositionTerm(const MarkerSet& a, const MarkerSet& b, int j) {
  const float d = Distance(a.positions[j], b.positions[j]);
  return d * d;
}

// The scores from a window's total.
inline float AngleScore(float total) { return 1.0f - kAngleScale * total; }
inline float PositionScore(float total) { return 1.0f - kPositionScale * total; }
// The mean over Wi x 31 terms.
inline float DotScore(float total, int window) {
  return total / static_cast<float>(static_cast<int64_t>(window) * kJointCount);
}

}  // namespace pose_metric
