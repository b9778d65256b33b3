// The pose metrics for many pairs at once. Each frame of the motion becomes a
// record of the weighted joints' values, four joints to a group of lanes.
// Four pairs run side by side, each in a slot of its own: per round every
// slot compares one window frame, the terms of four joints at a time; the
// terms are then turned so that each lane holds one slot, and added joint
// after joint. So every pair's sum is formed in the metric's own order, and a
// slot whose pair is done takes the next pair.

#include "graph/pair_scorer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "graph/motion_controller.h"
#include "graph/pose_metric_rules.h"
#include "motion/motion.h"

namespace {

using pose_metric::JointWeightTable;

// Four single-precision lanes; each operation on them is the same IEEE
// operation in each lane as on one float. LaneMask holds a comparison's
// result per lane (all bits set for true).
typedef float Lane4 __attribute__((vector_size(16)));
typedef int32_t LaneMask __attribute__((vector_size(16)));

// The joints that enter the metrics (weight not 0.0), in index order.
struct scorer_JointList {
  int index[kJointCount] = {};
  int count = 0;
};

constexpr scorer_JointList scorer_WeightedJoints() {
  scorer_JointList list;
  for (int j = 1; j < kJointCount; ++j) {
    if (JointWeightTable[j] != 0.0f) list.index[list.count++] = j;
  }
  return list;
}

constexpr scorer_JointList kWeighted = scorer_WeightedJoints();
constexpr int kGroups = (kWeighted.count + 3) / 4;

// The weights of the weighted joints in lane order; 0 past the last.
struct scorer_LaneWeights {
  float weight[kGroups * 4] = {};
};

constexpr scorer_LaneWeights scorer_Weights() {
  scorer_LaneWeights lanes;
  for (int l = 0; l < kWeighted.count; ++l) lanes.weight[l] = JointWeightTable[kWeighted.index[l]];
  return lanes;
}

constexpr scorer_LaneWeights kLaneWeights = scorer_Weights();

// Pairs compared side by side.
constexpr int kSlots = 4;

Lane4 lane_Load(const float* from) {
  Lane4 lanes;
  std::memcpy(&lanes, from, sizeof lanes);
  return lanes;
}

// The lanes with their sign bits cleared.
Lane4 lane_Abs(Lane4 lanes) {
  LaneMask bits;
  std::memcpy(&bits, &lanes, sizeof bits);
  bits &= 0x7fffffff;
  std::memcpy(&lanes, &bits, sizeof lanes);
  return lanes;
}

// The lanes that are greater than 0; 0 in the others (NaN included).
Lane4 lane_Positive(Lane4 lanes) {
  LaneMask bits;
  std::memcpy(&bits, &lanes, sizeof bits);
  bits &= lanes > 0.0f;
  std::memcpy(&lanes, &bits, sizeof lanes);
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

// The joint-position record of a frame: per group the four x, the four y,
// then the four z coordinates. Terms: d * d * w with d the distance, as
// PositionTerm.
struct scorer_PositionTerms {
  static constexpr int kGroupFloats = 12;

  static void Fill(const Vector3& p, float* lane) {
    lane[0] = p.x;
    lane[4] = p.y;
    lane[8] = p.z;
  }

  Lane4 operator()(const float* a, const float* b, Lane4 weight) const {
    const Lane4 dx = lane_Load(a) - lane_Load(b);
    const Lane4 dy = lane_Load(a + 4) - lane_Load(b + 4);
    const Lane4 dz = lane_Load(a + 8) - lane_Load(b + 8);
    const Lane4 d = lane_Sqrt(dx * dx + dy * dy + dz * dz);
    return d * d * weight;
  }
};

// The rotation record of a frame: per group the four x, y, z, then w
// components. The dot product is Quaternion::Dot's, in its order.
struct scorer_Rotations {
  static constexpr int kGroupFloats = 16;

  static void Fill(const Quaternion& q, float* lane) {
    lane[0] = q.x;
    lane[4] = q.y;
    lane[8] = q.z;
    lane[12] = q.w;
  }

  static Lane4 Dot(const float* a, const float* b) {
    return lane_Load(a) * lane_Load(b) + lane_Load(a + 4) * lane_Load(b + 4) +
           lane_Load(a + 8) * lane_Load(b + 8) + lane_Load(a + 12) * lane_Load(b + 12);
  }
};

// Terms (c + 1) * 0.5 * w, as DotTerm.
struct scorer_DotTerms : scorer_Rotations {
  Lane4 operator()(const float* a, const float* b, Lane4 weight) const {
    return (Dot(a, b) + 1.0f) * 0.5f * weight;
  }
};

// Lower bounds of the joint-angle terms d * d * w, without any acos. As in
// AngleTerm, d is acos(c) rounded to float, c = |a - 0.00001| (at most 1) and
// a = |dot|. For every c in [-1, 1], acos(c) = 2 asin(sqrt((1 - c) / 2)) >=
// sqrt(2 (1 - c)), as asin(x) >= x; and 1 - c exceeds K - a (K = 0.99998)
// by 0.00001 or more. With the C library's acos well within 2^-30 of the true value,
// the float roundings of acos and of its square lose less than 2^-21, while
// the bound's own roundings stay below the 2^-18 that the factor
// 2 (1 - 2^-18) gives away: max(0, (K - a) * 2 (1 - 2^-18)) <= d * d as
// rounded. Rounding keeps order, so the weighted bounds summed in the
// metric's order never exceed the metric's sums.
struct scorer_AngleBounds : scorer_Rotations {
  static constexpr float kBelowOne = 0.99998f;
  static constexpr float kTwice = 2.0f - 1.0f / 131072.0f;

  Lane4 operator()(const float* a, const float* b, Lane4 weight) const {
    return lane_Positive((kBelowOne - lane_Abs(Dot(a, b))) * kTwice) * weight;
  }
};

// What every slot round needs.
struct scorer_Run {
  const float* records;
  int recordFloats;
  int limit;
  int window;
  // A pair whose total exceeds this is done.
  float exitTotal;
};

// total[c] := the sum of terms(frame from + k, frame to[c] + k) over the
// window frames k in the metric's order, for every pair whose windows lie
// inside the first `limit` frames (others are skipped); a pair stops once its
// total exceeds exitTotal. run.window must be at least 1.
template <class Terms>
void scorer_Totals(const Terms& terms, const scorer_Run& run, int from, const int* to, int count,
                   float* total) {
  // A pair is taken this many pairs before its slot needs it, and its first
  // frames are fetched then.
  constexpr int kAhead = 6;
  const auto record = [&](int frame) {
    return run.records + static_cast<size_t>(frame) * static_cast<size_t>(run.recordFloats);
  };
  const auto inside = [&](int c) {
    return pose_metric::WindowsInside(run.limit, from, to[c], run.window);
  };
  int pair[kSlots];   // -1: the slot is empty
  int frame[kSlots];  // window frame k of the slot's pair
  float sum[kSlots];
  int next = 0;
  int busy = 0;
  const auto take = [&](int s) {
    while (next < count && !inside(next)) ++next;
    const int ahead = next + kAhead;
    if (ahead < count && inside(ahead)) {
      const char* bytes = reinterpret_cast<const char*>(record(to[ahead]));
      const int size = 2 * run.recordFloats * static_cast<int>(sizeof(float));
      for (int offset = 0; offset < size; offset += 64) __builtin_prefetch(bytes + offset);
    }
    pair[s] = next < count ? next++ : -1;
    frame[s] = 0;
    sum[s] = 0.0f;
    busy += pair[s] >= 0;
  };
  for (int s = 0; s < kSlots; ++s) take(s);
  while (busy > 0) {
    const float* a[kSlots];
    const float* b[kSlots];
    for (int s = 0; s < kSlots; ++s) {
      // An empty slot compares frame `from` with itself, unread.
      a[s] = record(from + frame[s]);
      b[s] = pair[s] >= 0 ? record(to[pair[s]] + frame[s]) : a[s];
    }
    Lane4 partial = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int g = 0; g < kGroups; ++g) {
      const Lane4 weight = lane_Load(kLaneWeights.weight + 4 * g);
      const int offset = g * Terms::kGroupFloats;
      Lane4 term[kSlots];
      for (int s = 0; s < kSlots; ++s) term[s] = terms(a[s] + offset, b[s] + offset, weight);
      lane_Transpose(term);
      for (int l = 0; l < 4 && 4 * g + l < kWeighted.count; ++l) partial += term[l];
    }
    for (int s = 0; s < kSlots; ++s) {
      if (pair[s] < 0) continue;
      sum[s] += partial[s];
      if (++frame[s] == run.window || sum[s] > run.exitTotal) {
        total[pair[s]] = sum[s];
        --busy;
        take(s);
      }
    }
  }
}

// One record per frame of the first `limit` frames: the values value(f, j)
// of the weighted joints j in lane order, each group laid out as
// Fill(value, lane) places it; lanes past the last joint hold 0.
template <class Layout, class Value>
std::vector<float> scorer_Records(int limit, Value value) {
  constexpr int kFloats = kGroups * Layout::kGroupFloats;
  std::vector<float> records(static_cast<size_t>(limit) * kFloats, 0.0f);
  for (int f = 0; f < limit; ++f) {
    float* record = &records[static_cast<size_t>(f) * kFloats];
    for (int l = 0; l < kWeighted.count; ++l) {
      Layout::Fill(value(f, kWeighted.index[l]), record + (l / 4) * Layout::kGroupFloats + l % 4);
    }
  }
  return records;
}

// The largest total whose score still reaches `threshold`: the score never
// rises as the total grows, so every larger total scores below it. -1 when
// not even a total of 0 reaches it.
template <class Score>
float scorer_ExitTotal(Score score, float threshold) {
  const auto reaches = [&](uint32_t bits) {
    float total = 0.0f;
    std::memcpy(&total, &bits, sizeof total);
    return score(total) >= threshold;
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

}  // namespace

PairScorer::PairScorer(const MotionController& controller, float threshold)
    : controller_(controller),
      metric_(Metric::kZero),
      window_(0),
      limit_(pose_metric::Limit(controller)),
      threshold_(threshold),
      exitTotal_(std::numeric_limits<float>::infinity()),
      recordFloats_(0) {
  // Every case in which EvaluateTransition scores each pair 0.0 stays kZero.
  const Motion* motion = controller.motion;
  if (!pose_metric::Window(&window_) || motion == nullptr) return;
  const auto rotation = [&](int f, int j) -> const Quaternion& { return motion->frames[f].rotation[j]; };
  switch (pose_metric::MetricType()) {
    case 0:
      if (motion->frames == nullptr) return;
      metric_ = Metric::kAngles;
      exitTotal_ = scorer_ExitTotal(pose_metric::AngleScore, threshold);
      records_ = scorer_Records<scorer_Rotations>(limit_, rotation);
      recordFloats_ = kGroups * scorer_Rotations::kGroupFloats;
      break;
    case 1:
      if (window_ == 0 || motion->frames == nullptr) return;
      metric_ = Metric::kDots;
      records_ = scorer_Records<scorer_Rotations>(limit_, rotation);
      recordFloats_ = kGroups * scorer_Rotations::kGroupFloats;
      break;
    case 2:
      if (controller.markerCache == nullptr) return;
      metric_ = Metric::kPositions;
      exitTotal_ = scorer_ExitTotal(pose_metric::PositionScore, threshold);
      records_ = scorer_Records<scorer_PositionTerms>(
          limit_, [&](int f, int j) -> const Vector3& { return controller.markerCache[f].positions[j]; });
      recordFloats_ = kGroups * scorer_PositionTerms::kGroupFloats;
      break;
    default:
      break;
  }
}

void PairScorer::ScoreRow(int from, const int* to, int count, float* score) const {
  // Pairs outside the motion score 0.0, as do all pairs of a kZero metric.
  for (int c = 0; c < count; ++c) score[c] = 0.0f;
  if (metric_ == Metric::kZero) return;
  if (window_ == 0) {
    // Nothing to compare: a total of 0 for the two metrics that have one.
    for (int c = 0; c < count; ++c) {
      if (pose_metric::WindowsInside(limit_, from, to[c], 0)) score[c] = 1.0f;
    }
    return;
  }
  scorer_Run run{records_.data(), recordFloats_, limit_, window_, exitTotal_};
  const auto inside = [&](int c) { return pose_metric::WindowsInside(limit_, from, to[c], window_); };
  switch (metric_) {
    case Metric::kPositions:
      scorer_Totals(scorer_PositionTerms(), run, from, to, count, score);
      for (int c = 0; c < count; ++c) {
        if (inside(c)) score[c] = pose_metric::PositionScore(score[c]);
      }
      break;
    case Metric::kDots:
      run.exitTotal = std::numeric_limits<float>::infinity();
      scorer_Totals(scorer_DotTerms(), run, from, to, count, score);
      for (int c = 0; c < count; ++c) {
        if (inside(c)) score[c] = pose_metric::DotScore(score[c], window_);
      }
      break;
    case Metric::kAngles:
      // The bounds settle almost every pair; the few that may reach the
      // threshold are summed exactly.
      scorer_Totals(scorer_AngleBounds(), run, from, to, count, score);
      for (int c = 0; c < count; ++c) {
        if (!inside(c)) continue;
        const float total =
            score[c] > exitTotal_
                ? score[c]
                : pose_metric::WeightedSum(controller_.motion->frames, from, to[c], window_,
                                           pose_metric::AngleTerm, exitTotal_);
        score[c] = pose_metric::AngleScore(total);
      }
      break;
    case Metric::kZero:
      break;
  }
}
