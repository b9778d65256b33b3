// Pose similarity metrics of the motion controller: each compares the window
// of Wi frames from the source with the window of Wi frames from the target,
// joint by joint under JointWeightTable, larger meaning more similar.

#include <algorithm>
#include <cstdint>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
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

// True when both windows of `window` frames from `from` and `to` lie wholly
// inside the frames that the controller and its motion both hold.
bool metric_WindowsInside(const MotionController& controller, int from, int to, int window) {
  const Motion* motion = controller.motion;
  if (motion == nullptr) return false;
  const int limit = std::min(controller.frameCount, motion->frameCount);
  if (from < 0 || to < 0 || from >= limit || to >= limit) return false;
  return from <= limit - window && to <= limit - window;
}

// The metrics' sum over the window: for each frame k, the weighted terms of
// joints 1 to 30 (weight 0.0 skipped) summed in single precision into a
// partial sum, which is then added to the total. term(a, b, j) is a joint's
// unweighted term between frame from + k and frame to + k.
template <class Frame, class Term>
float metric_WeightedSum(const Frame* frames, int from, int to, int window, Term term) {
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
  }
  return total;
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
  if (!metric_Window(&window) || !metric_WindowsInside(*this, from, to, window)) return 0.0f;
  if (motion->frames == nullptr) return 0.0f;
  const float total = metric_WeightedSum(motion->frames, from, to, window,
                                         [](const Posture& a, const Posture& b, int j) {
                                           const float d = a.rotation[j].AngleTo(b.rotation[j]);
                                           return d * d;
                                         });
  return 1.0f - kAngleScale * total;
}

float MotionController::EvalJointDotProducts(int from, int to) {
  g_evalThreshold = kDotThreshold;
  int window = 0;
  if (!metric_Window(&window) || !metric_WindowsInside(*this, from, to, window)) return 0.0f;
  // An empty window has no mean.
  if (window == 0 || motion->frames == nullptr) return 0.0f;
  const float total = metric_WeightedSum(motion->frames, from, to, window,
                                         [](const Posture& a, const Posture& b, int j) {
                                           const float c = a.rotation[j].Dot(b.rotation[j]);
                                           return (c + 1.0f) * 0.5f;
                                         });
  return total / static_cast<float>(static_cast<int64_t>(window) * kJointCount);
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
  if (!metric_Window(&window) || !metric_WindowsInside(*this, from, to, window)) return 0.0f;
  // Without joint positions there is nothing to compare.
  if (markerCache == nullptr) return 0.0f;
  const float total = metric_WeightedSum(markerCache, from, to, window,
                                         [](const MarkerSet& a, const MarkerSet& b, int j) {
                                           const float d = Distance(a.positions[j], b.positions[j]);
                                           return d * d;
                                         });
  return 1.0f - kPositionScale * total;
}
