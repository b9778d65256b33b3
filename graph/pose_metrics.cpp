// Pose similarity metrics of the motion controller: each compares the window
// of Wi frames from the source with the window of Wi frames from the target,
// joint by joint under JointWeightTable, larger meaning more similar.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/pair_scorer.h"
#include "motion/motion.h"

namespace {

// Seconds; W = this * 120 frames (TransitionFrames) is the blend length, the
// metric window and the generator's spacing. Not read here: the handle
// registers the name before "motionctrl.evaltype" whichever file initialises
// first, which keeps the order of the two in "cvar.ini".
ConsoleVariable<float> g_transitionTime("motionctrl.transition_time", 0.15f);
// Metric of EvaluateTransition: 0 joint angles, 1 joint dot products, 2 joint
// positions; any other value scores 0.0.
ConsoleVariable<int> g_evalType("motionctrl.evaltype", 2);
// The edge threshold that fits the metric last called; every metric call
// writes it.
ConsoleVariable<float> g_evalThreshold("graph.eval_threshold", 1.0f);

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

// Wi, the window in whole frames: W truncated toward zero. False when W is
// not a frame count an int can hold (negative below -1, NaN, too large).
bool metric_Window(int* window) {
  const double frames = TransitionFrames();
  if (!(frames > -1.0 && frames < 2147483648.0)) return false;
  *window = static_cast<int>(frames);
  return true;
}

// The frames that both the controller and its motion hold (0 without a
// motion).
int metric_Limit(const MotionController& controller) {
  const Motion* motion = controller.motion;
  return motion == nullptr ? 0 : std::min(controller.frameCount, motion->frameCount);
}

// True when both windows of `window` frames from `from` and `to` lie wholly
// inside the first `limit` frames.
bool metric_WindowsInside(int limit, int from, int to, int window) {
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
float metric_WeightedSum(const Frame* frames, int from, int to, int window, Term term,
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
float metric_AngleTerm(const Posture& a, const Posture& b, int j) {
  const float d = a.rotation[j].AngleTo(b.rotation[j]);
  return d * d;
}

float metric_DotTerm(const Posture& a, const Posture& b, int j) {
  const float c = a.rotation[j].Dot(b.rotation[j]);
  return (c + 1.0f) * 0.5f;
}

float metric_PositionTerm(const MarkerSet& a, const MarkerSet& b, int j) {
  const float d = Distance(a.positions[j], b.positions[j]);
  return d * d;
}

// The mean of the dot-product metric's total over Wi x 31 terms.
float metric_DotMean(float total, int window) {
  return total / static_cast<float>(static_cast<int64_t>(window) * kJointCount);
}

// The largest total whose score 1 - scale * total still reaches `threshold`:
// the score never rises as the total grows, so every larger total scores
// below it. -1 when not even a total of 0 reaches it.
float metric_ExitTotal(float scale, float threshold) {
  const auto reaches = [&](uint32_t bits) {
    float total = 0.0f;
    std::memcpy(&total, &bits, sizeof total);
    return 1.0f - scale * total >= threshold;
  };
  // Non-negative floats are ordered as their bit patterns: 0 to infinity.
  uint32_t low = 0;
  uint32_t high = 0x7f800000u;
  if (!reaches(low)) return -1.0f;
  if (reaches(high)) return std::numeric_limits<float>::infinity();
  while (high - low > 1) {
    const uint32_t middle = low + (high - low) / 2;
    (reaches(middle) ? low : high) = middle;
  }
  float total = 0.0f;
  std::memcpy(&total, &low, sizeof total);
  return total;
}

// The joints that enter the metrics (weight not 0.0), in index order.
struct metric_JointList {
  int index[kJointCount] = {};
  int count = 0;
};

constexpr metric_JointList metric_WeightedJoints() {
  metric_JointList list;
  for (int j = 1; j < kJointCount; ++j) {
    if (JointWeightTable[j] != 0.0f) list.index[list.count++] = j;
  }
  return list;
}

constexpr metric_JointList kWeighted = metric_WeightedJoints();

// Four single-precision lanes; the arithmetic on them is the same IEEE
// operation in each lane as on a float.
typedef float Lane4 __attribute__((vector_size(16)));
constexpr int kLaneGroups = (kWeighted.count + 3) / 4;
constexpr int kLanes = kLaneGroups * 4;
// The position metric's frame record: per group of four weighted joints the
// four x, then the four y, then the four z coordinates. The lanes past the
// last weighted joint hold 0.
constexpr int kPositionFloats = kLaneGroups * 12;

// The weights of the weighted joints in lane order; 0 past the last.
struct metric_LaneWeights {
  float weight[kLanes] = {};
};

constexpr metric_LaneWeights metric_WeightLanes() {
  metric_LaneWeights lanes;
  for (int l = 0; l < kWeighted.count; ++l) lanes.weight[l] = JointWeightTable[kWeighted.index[l]];
  return lanes;
}

constexpr metric_LaneWeights kLaneWeights = metric_WeightLanes();

Lane4 lane_Load(const float* from) {
  Lane4 lanes;
  std::memcpy(&lanes, from, sizeof lanes);
  return lanes;
}

Lane4 lane_Sqrt(Lane4 lanes) {
#if defined(__SSE__)
  return _mm_sqrt_ps(lanes);
#else
  for (int l = 0; l < 4; ++l) lanes[l] = std::sqrt(lanes[l]);
  return lanes;
#endif
}

// Lane l of v[s] becomes lane s of v[l].
void lane_Transpose(Lane4 v[4]) {
#if defined(__SSE__)
  _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);
#else
  Lane4 t[4];
  for (int l = 0; l < 4; ++l) {
    for (int s = 0; s < 4; ++s) t[l][s] = v[s][l];
  }
  for (int l = 0; l < 4; ++l) v[l] = t[l];
#endif
}

}  // namespace

float MotionController::EvaluateTransition(int from, int to) {
  switch (static_cast<int>(g_evalType)) {
    case 0:
      return EvalJointAngles(from, to);
    case 1:
      return EvalJointDotProducts(from, to);
    case 2:
      return EvalMarkerPositions(from, to);
    default:
      return 0.0f;
  }
}

float MotionController::EvalJointAngles(int from, int to) {
  g_evalThreshold = kAngleThreshold;
  int window = 0;
  if (!metric_Window(&window) || !metric_WindowsInside(metric_Limit(*this), from, to, window)) {
    return 0.0f;
  }
  if (motion->frames == nullptr) return 0.0f;
  return 1.0f - kAngleScale * metric_WeightedSum(motion->frames, from, to, window, metric_AngleTerm);
}

float MotionController::EvalJointDotProducts(int from, int to) {
  g_evalThreshold = kDotThreshold;
  int window = 0;
  if (!metric_Window(&window) || !metric_WindowsInside(metric_Limit(*this), from, to, window)) {
    return 0.0f;
  }
  // An empty window has no mean.
  if (window == 0 || motion->frames == nullptr) return 0.0f;
  return metric_DotMean(metric_WeightedSum(motion->frames, from, to, window, metric_DotTerm), window);
}

float MotionController::EvalMarkerPositions(int from, int to) {
  g_evalThreshold = kPositionThreshold;
  // One attempt per controller: nothing writes a missing joint-position cache
  // during the run, and retrying on every call would open the files and log
  // the failure for every candidate pair of a graph's generation.
  if (markerCache == nullptr && !markerCacheTried && motion != nullptr) {
    markerCacheTried = true;
    markerCache = motion->LoadMarkerPositions();
  }
  int window = 0;
  if (!metric_Window(&window) || !metric_WindowsInside(metric_Limit(*this), from, to, window)) {
    return 0.0f;
  }
  // Without joint positions there is nothing to compare.
  if (markerCache == nullptr) return 0.0f;
  return 1.0f - kPositionScale * metric_WeightedSum(markerCache, from, to, window, metric_PositionTerm);
}

PairScorer::PairScorer(const MotionController& controller, float threshold)
    : controller_(controller),
      metric_(Metric::kZero),
      window_(0),
      limit_(metric_Limit(controller)),
      threshold_(threshold),
      exitTotal_(std::numeric_limits<float>::infinity()) {
  // Every case in which EvaluateTransition scores each pair 0.0.
  const Motion* motion = controller.motion;
  if (!metric_Window(&window_) || motion == nullptr) return;
  switch (static_cast<int>(g_evalType)) {
    case 0:
      if (motion->frames == nullptr) return;
      metric_ = Metric::kAngles;
      exitTotal_ = metric_ExitTotal(kAngleScale, threshold);
      return;
    case 1:
      if (window_ == 0 || motion->frames == nullptr) return;
      metric_ = Metric::kDots;
      return;
    case 2:
      if (controller.markerCache == nullptr) return;
      metric_ = Metric::kPositions;
      exitTotal_ = metric_ExitTotal(kPositionScale, threshold);
      break;
    default:
      return;
  }
  positions_.assign(static_cast<size_t>(limit_) * kPositionFloats, 0.0f);
  for (int f = 0; f < limit_; ++f) {
    float* record = &positions_[static_cast<size_t>(f) * kPositionFloats];
    for (int l = 0; l < kWeighted.count; ++l) {
      const Vector3& p = controller.markerCache[f].positions[kWeighted.index[l]];
      float* group = record + (l / 4) * 12 + l % 4;
      group[0] = p.x;
      group[4] = p.y;
      group[8] = p.z;
    }
  }
}

void PairScorer::ScoreRow(int from, const int* to, int count, float* score) const {
  if (metric_ == Metric::kPositions && window_ > 0) {
    PositionScores(from, to, count, score);
    return;
  }
  for (int c = 0; c < count; ++c) score[c] = Score(from, to[c]);
}

float PairScorer::Score(int from, int to) const {
  if (metric_ == Metric::kZero || !metric_WindowsInside(limit_, from, to, window_)) return 0.0f;
  const Posture* frames = controller_.motion->frames;
  switch (metric_) {
    case Metric::kAngles:
      return 1.0f - kAngleScale * metric_WeightedSum(frames, from, to, window_, metric_AngleTerm,
                                                     exitTotal_);
    case Metric::kDots:
      return metric_DotMean(metric_WeightedSum(frames, from, to, window_, metric_DotTerm), window_);
    case Metric::kPositions:
      // An empty window (Wi = 0) compares nothing.
      return 1.0f - kPositionScale * 0.0f;
    case Metric::kZero:
      break;
  }
  return 0.0f;
}

// The position metric's scores, summed as metric_WeightedSum sums them, for
// four pairs at a time (the pair in each slot advances one window frame per
// round, and a slot takes the next pair once its own is done). The terms of
// a window frame are computed four joints at a time, then turned so that
// each lane holds one slot, and added joint after joint: every lane sums in
// the metric's order, and the four sums run side by side.
void PairScorer::PositionScores(int from, const int* to, int count, float* score) const {
  constexpr int kSlots = 4;
  constexpr int kPrefetch = 6;
  int pair[kSlots];   // the pair in the slot; -1 for none
  int frame[kSlots];  // its window frame k
  float total[kSlots];
  int next = 0;
  int busy = 0;
  const float* record = positions_.data();
  const auto take = [&](int s) {
    while (next < count && !metric_WindowsInside(limit_, from, to[next], window_)) {
      score[next++] = 0.0f;
    }
    // The first two frames of a pair taken a few pairs later.
    if (next + kPrefetch < count && metric_WindowsInside(limit_, from, to[next + kPrefetch], window_)) {
      const char* ahead = reinterpret_cast<const char*>(record + static_cast<size_t>(to[next + kPrefetch]) * kPositionFloats);
      for (int line = 0; line < 2 * kPositionFloats * 4; line += 64) __builtin_prefetch(ahead + line);
    }
    pair[s] = next < count ? next++ : -1;
    frame[s] = 0;
    total[s] = 0.0f;
    busy += pair[s] >= 0;
  };
  for (int s = 0; s < kSlots; ++s) take(s);
  while (busy > 0) {
    const float* a[kSlots];
    const float* b[kSlots];
    for (int s = 0; s < kSlots; ++s) {
      // An empty slot compares frame `from` with itself, unread.
      const int target = pair[s] >= 0 ? to[pair[s]] + frame[s] : from;
      a[s] = record + static_cast<size_t>(from + frame[s]) * kPositionFloats;
      b[s] = record + static_cast<size_t>(target) * kPositionFloats;
    }
    Lane4 partial = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int g = 0; g < kLaneGroups; ++g) {
      const Lane4 weight = lane_Load(kLaneWeights.weight + 4 * g);
      Lane4 term[kSlots];
      for (int s = 0; s < kSlots; ++s) {
        const float* p = a[s] + 12 * g;
        const float* q = b[s] + 12 * g;
        const Lane4 dx = lane_Load(p) - lane_Load(q);
        const Lane4 dy = lane_Load(p + 4) - lane_Load(q + 4);
        const Lane4 dz = lane_Load(p + 8) - lane_Load(q + 8);
        const Lane4 d = lane_Sqrt(dx * dx + dy * dy + dz * dz);
        term[s] = d * d * weight;
      }
      lane_Transpose(term);
      for (int l = 0; l < 4 && 4 * g + l < kWeighted.count; ++l) partial += term[l];
    }
    for (int s = 0; s < kSlots; ++s) {
      if (pair[s] < 0) continue;
      total[s] += partial[s];
      if (++frame[s] == window_ || total[s] > exitTotal_) {
        score[pair[s]] = 1.0f - kPositionScale * total[s];
        --busy;
        take(s);
      }
    }
  }
}
