#pragma once

#include <vector>

class MotionController;

// Scores many pairs of frames of one controller's motion, from any number of
// threads at once, with the metric that MotionController::EvaluateTransition
// would use for them: every value is bit for bit what EvaluateTransition
// returns for the pair. It has none of EvaluateTransition's side effects
// (writing graph.eval_threshold, loading the joint-position cache): call
// EvaluateTransition once before constructing it. It reads the settings
// (motionctrl.evaltype, motionctrl.transition_time) and copies the frames it
// compares when constructed; later changes do not reach it.
class PairScorer {
 public:
  // `threshold`: the edge threshold that Reaches compares scores with.
  PairScorer(const MotionController& controller, float threshold);

  // Scores the pairs (from, to[c]), c = 0 to count - 1, into score[c]. A
  // score that reaches the threshold is EvaluateTransition(from, to[c]); any
  // other lies below the threshold too, but may differ from it: a pair of the
  // joint-angle or joint-position metric stops being summed once its running
  // total can no longer reach the threshold (the terms are never negative).
  void ScoreRow(int from, const int* to, int count, float* score) const;

  // Whether a score reaches the threshold.
  bool Reaches(float score) const { return score >= threshold_; }

 private:
  enum class Metric { kZero, kAngles, kDots, kPositions };

  float Score(int from, int to) const;
  void PositionScores(int from, const int* to, int count, float* score) const;

  const MotionController& controller_;
  Metric metric_;
  // Wi, the window in whole frames.
  int window_;
  // Pairs must start below this frame with their window inside it.
  int limit_;
  float threshold_;
  // A running total above this scores below the threshold.
  float exitTotal_;
  // The joint positions of the weighted joints, frame after frame, as the
  // position metric's inner loop reads them.
  std::vector<float> positions_;
};
