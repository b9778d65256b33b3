#pragma once

// Helpers of the graph tests; the functions are defined in
// transition_graph_test.cpp.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "tests/support/temp_dir.h"

namespace graph_test {

using Rows = std::vector<std::vector<GraphEdge>>;

// Log lines go to `lines` from now on; null detaches.
void CaptureLog(std::vector<std::string>* lines);
// How many of `lines` begin with `prefix` (a whole line counts too).
int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix);

// A graph (never leaving) that reads and writes `file`.
TransitionGraph* NewFileGraph(MotionController* owner, const std::string& file);

// The nodes of `graph` equal `expected`, targets and weights bit for bit.
void ExpectSameRows(TransitionGraph* graph, const Rows& expected);

// A fresh working folder and the log lines of the test. Every metric call
// scores 0.0 and meets the threshold, so every candidate pair becomes an edge
// at little cost; tests of the real metrics choose theirs.
class GraphFixture : public testing::Test {
 protected:
  GraphFixture() {
    evalType = 5;  // the library registered these names with its defaults
    threshold = 0.0f;
    CaptureLog(&lines);
  }
  ~GraphFixture() override { CaptureLog(nullptr); }
  int Count(const std::string& prefix) const { return CountPrefix(lines, prefix); }
  // The lines logged by one GraphUpdate at `frame`, joined.
  std::string Walk(TransitionGraph& graph, int frame) {
    lines.clear();
    graph.owner->currentFrame = frame;
    graph.GraphUpdate();
    std::string all;
    for (const std::string& line : lines) all += line;
    return all;
  }

  testing_support::ScopedWorkDir dir;
  std::vector<std::string> lines;
  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
  ConsoleVariable<int> debug{"graph.debug", 1};
};

}  // namespace graph_test
