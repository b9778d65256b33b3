#pragma once

// Helpers of the graph tests, defined in transition_graph_test.cpp.

#include <string>
#include <vector>

#include "graph/motion_controller.h"
#include "graph/transition_graph.h"

namespace graph_test {

// Log lines go to `lines` from now on; null detaches.
void CaptureLog(std::vector<std::string>* lines);

// A graph (never leaving) that reads and writes `file`.
TransitionGraph* NewFileGraph(MotionController* owner, const std::string& file);

}  // namespace graph_test
