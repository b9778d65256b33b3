#pragma once

#include <vector>

class MotionController;

// Scores many pairs of frames of one controller's motion, from any number of
// threads at once, with the metric that MotionController::EvaluateTransition
// would use for them: every score that reaches the threshold is bit for bit
// the value EvaluateTransition returns for the pair. It has none of
// EvaluateTransition's side effects (writing graph.eval_threshold, loading
// the joint-position cache): call EvaluateTransition once before
// constructing it. It reads the settings (motionctrl.evaltype,
// motionctrl.transition_time) when constructed and copies the values it
// compares; the joint-angle metric also reads the motion's frames, so the
// controller and its motion must outlive it unchanged.
class PairScorer {
 public:
  // `threshold`: the edge threshold that scores are compared with.
  PairScorer(const MotionController& controller, float threshold);

  // Scores the pairs (from, to[c]), c = 0 to count - 1, into score[c]. A
  // score that reaches the threshold is EvaluateTransition(from, to[c]);
  // every other score lies below the threshold, as that value does, but may
  // differ from it: a pair is no longer summed once its running total (or a
  // lower bound of it) shows that it cannot reach the threshold.
  void ScoreRow(int from, const int* to, int count, float* score) const;

  // Whether a score reaches the threshold.
  bool Reaches(float score) const { return score >= threshold_; }

 private:
  enum class Metric { kZero, kAngles, kDots, kPositions };

  const MotionController& controller_;
  Metric metric_;
  // Wi, the window in whole frames.
  int window_;
  // Pairs start below this frame with their windows inside it.
  int limit_;
  float threshold_;
  // A total above this scores below the threshold.
  float exitTotal_;
  // One record per frame: the compared values of the weighted joints, laid
  // out for the inner loop (see pair_scorer.cpp).
  std::vector<float> records_;
  int recordFloats_;
};
