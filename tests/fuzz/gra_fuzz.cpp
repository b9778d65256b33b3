// Feeds arbitrary bytes as the ".gra" file of a graph over a small motion of
// 100 frames. Whatever the file holds, the graph ends with a table of 100
// nodes registered for the motion and every target a frame of it; a file that
// imports is never changed, and one that is refused is replaced by the graph
// generated in its place; and what the graph then writes reads back with the
// same targets and writes the same bytes again. No weight is ever NaN or
// infinite.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::ReadBytes;
using fuzz_support::Require;
constexpr int kFuzzFrames = 100;

// A graph that reads and writes the file it is given and never leaves.
class FuzzGraph : public TransitionGraph {
 public:
  FuzzGraph(MotionController* owner, const char* file) : TransitionGraph(owner, file) {}
  int ChooseNext(int) override { return 0; }
  bool ShouldLeave() override { return false; }
  void OnTransition(int) override {}
};

Motion* g_motion = nullptr;
MotionController* g_controller = nullptr;
bool g_importFailed = false;

// A new graph of `file` for the motion, its node table taken out of the
// registry so that the next graph reads its file (or generates) afresh; true
// when the import was refused.
bool fuzz_Graph(const char* file, FuzzGraph** graph) {
  g_importFailed = false;
  *graph = new FuzzGraph(g_controller, file);
  Require((*graph)->nodes != nullptr && NodeTableMap().at(g_motion) == (*graph)->nodes, "no table registered");
  NodeTableMap().erase(g_motion);
  return g_importFailed;
}

void fuzz_Delete(FuzzGraph* graph) {
  for (int k = 0; k < kFuzzFrames; ++k) delete graph->nodes[k].info;
  delete[] graph->nodes;
  delete graph;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::SilenceLog();
  SetLogConsoleSink([](const char* text, int) { g_importFailed |= std::strncmp(text, "GRAPH: Error importing", 22) == 0; });
  g_motion = new Motion("fuzz", kFuzzFrames, 0);
  g_controller = g_motion->CreateController(0);
  // Every pair scores 0.0 and meets the threshold: generation makes edges
  // without spending the run in the metric.
  ConsoleVariable<int>("motionctrl.evaltype", 2) = 5;
  ConsoleVariable<float>("graph.eval_threshold", 1.0f) = 0.0f;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::WriteBytes("in.gra", data, size);
  FuzzGraph *graph, *again;
  const bool refused = fuzz_Graph("in.gra", &graph);
  // Six digits survive a float, except in the subnormal range, where fewer digits are held.
  bool subnormal = false;
  for (int k = 0; k < kFuzzFrames; ++k) {
    for (const GraphEdge& edge : graph->GetNode(k)->edges) {
      Require(edge.target >= 0 && edge.target < kFuzzFrames, "target outside the motion");
      Require(std::isfinite(edge.weight), "a weight that is not finite");
      subnormal = subnormal || std::fpclassify(edge.weight) == FP_SUBNORMAL;
    }
  }
  const std::string in = ReadBytes("in.gra");
  Require(refused || in == std::string(reinterpret_cast<const char*>(data), size), "a file that imports was changed");
  Require(graph->ExportGraph("out.gra"), "cannot export");
  const std::string written = ReadBytes("out.gra");
  Require(!refused || in == written, "a refused file was not replaced by the generated graph");
  Require(!fuzz_Graph("out.gra", &again), "an exported graph does not import");
  for (int k = 0; k < kFuzzFrames; ++k) {
    const std::vector<GraphEdge> &before = graph->nodes[k].edges, &after = again->GetNode(k)->edges;
    Require(before.size() == after.size(), "edge count changed");
    for (size_t e = 0; e < before.size(); ++e) Require(before[e].target == after[e].target, "target changed");
  }
  Require(again->ExportGraph("again.gra") && (subnormal || ReadBytes("again.gra") == written),
          "export, import, export differs");
  fuzz_Delete(graph);
  fuzz_Delete(again);
  return 0;
}
