#pragma once

// The transition graph generation rules written out as plainly as possible,
// the reference the graph tests compare the generator with and the baseline
// the graph benchmark times it against. Header only: it needs the graph
// library, which only the programs that include it link.

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"

namespace testing_support {

// Every frame that lies below N - W with more than W frames left in its clip
// is a source; the targets start at 0, jump over the 3 W frames around the
// source and the last W frames (and the segment end) of each clip, and step
// W to W + 4 frames by rand() after every comparison. W is
// motionctrl.transition_time (seconds, a float) times 120 in double
// precision; a pair becomes an edge when its score reaches
// graph.eval_threshold. `calls` counts the metric calls (added to, not
// reset). Returns one row of edges per frame of the controller's motion.
inline std::vector<std::vector<GraphEdge>> PlainGenerateGraph(MotionController* controller, size_t* calls) {
  const Motion& motion = *controller->GetMotion();
  const int n = motion.frameCount;
  const double w = static_cast<float>(ConsoleVariable<float>("motionctrl.transition_time", 0.15f)) * 120.0;
  const float threshold = ConsoleVariable<float>("graph.eval_threshold", 1.0f);
  std::vector<std::vector<GraphEdge>> rows(n);
  for (int i = 0; i < n - w; ++i) {
    if (motion.GetSegmentEnd(i) - i <= w) continue;
    for (int j = 0, clipEnd = motion.GetSegmentEnd(0); j < n - w;) {
      if (std::abs(j - i) <= 3 * w) {
        j = static_cast<int>(i + 3 * w + 1);
      } else if (clipEnd - j <= w) {
        j = clipEnd + 1;
        clipEnd = motion.GetSegmentEnd(j);
      } else {
        const float s = controller->EvaluateTransition(i, j);
        ++*calls;
        if (s >= threshold) rows[i].push_back(GraphEdge{j, s});
        j = static_cast<int>(static_cast<float>(j) + static_cast<float>(w) + static_cast<float>(std::rand() % 5));
      }
    }
  }
  return rows;
}

}  // namespace testing_support
