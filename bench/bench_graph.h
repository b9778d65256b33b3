#pragma once

// The transition graph the benchmarks build: one that never leaves its clip,
// so that only its generation and its ".gra" file are measured.

#include <string>

#include "graph/transition_graph.h"

namespace bench_support {

// Imports `file` or generates the graph (and writes `file`) on construction.
class BenchGraph : public TransitionGraph {
 public:
  BenchGraph(MotionController* owner, const std::string& file) : TransitionGraph(owner, file) {}
  int ChooseNext(int) override { return 0; }
  bool ShouldLeave() override { return false; }
  void OnTransition(int) override {}
};

}  // namespace bench_support
