// Pose similarity metrics of the motion controller: each compares the window
// of Wi frames from the source with the window of Wi frames from the target,
// joint by joint under JointWeightTable, larger meaning more similar.

#include "core/console_variable.h"
#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/pose_metric_rules.h"
#include "motion/motion.h"

using pose_metric::AngleScore;
using pose_metric::AngleTerm;
using pose_metric::DotScore;
using pose_metric::DotTerm;
using pose_metric::Limit;
using pose_metric::MetricType;
using pose_metric::PositionScore;
using pose_metric::PositionTerm;
using pose_metric::WeightedSum;
using pose_metric::Window;
using pose_metric::WindowsInside;

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

}  // namespace

int pose_metric::MetricType() { return g_evalType; }

float MotionController::EvaluateTransition(int from, int to) {
  switch (MetricType()) {
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
  g_evalThreshold = pose_metric::kAngleThreshold;
  int window = 0;
  if (!Window(&window) || !WindowsInside(Limit(*this), from, to, window)) return 0.0f;
  if (motion->frames == nullptr) return 0.0f;
  return AngleScore(WeightedSum(motion->frames, from, to, window, AngleTerm));
}

float MotionController::EvalJointDotProducts(int from, int to) {
  g_evalThreshold = pose_metric::kDotThreshold;
  int window = 0;
  if (!Window(&window) || !WindowsInside(Limit(*this), from, to, window)) return 0.0f;
  // An empty window has no mean.
  if (window == 0 || motion->frames == nullptr) return 0.0f;
  return DotScore(WeightedSum(motion->frames, from, to, window, DotTerm), window);
}

float MotionController::EvalMarkerPositions(int from, int to) {
  g_evalThreshold = pose_metric::kPositionThreshold;
  // One attempt per controller: nothing writes a missing joint-position cache
  // during the run, and retrying on every call would open the files and log
  // the failure for every candidate pair of a graph's generation. Without a
  // cache (it could not be written, say) the positions are computed from the
  // postures in memory, as the cache would have held them.
  if (markerCache == nullptr && !markerCacheTried && motion != nullptr) {
    markerCacheTried = true;
    markerCache = motion->LoadMarkerPositions();
    if (markerCache == nullptr) {
      markerCache = motion->ComputeMarkerPositions();
      if (markerCache != nullptr) {
        LogPrintf("EvalMarkerPositions: joint positions of %s computed from its postures", motion->name.c_str());
      }
    }
  }
  int window = 0;
  if (!Window(&window) || !WindowsInside(Limit(*this), from, to, window)) return 0.0f;
  // Without joint positions there is nothing to compare.
  if (markerCache == nullptr) return 0.0f;
  return PositionScore(WeightedSum(markerCache, from, to, window, PositionTerm));
}
