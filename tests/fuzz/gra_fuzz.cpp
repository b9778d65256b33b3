// Feeds arbitrary bytes as the ".gra" file of a graph over a small motion of
// 100 frames. Whatever the file holds, the graph ends with a table of 100
// nodes registered for the motion and every target a frame of it; a file that
// imports is never changed, and one that is refused is replaced by the graph
// generated in its place; and what the graph then writes reads back without
// error and writes the same bytes again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kFuzzFrames = 100;

using fuzz_support::Require;

std::string fuzz_ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

void fuzz_Sink(const char* text, int) {
  if (std::strncmp(text, "GRAPH: Error importing", 22) == 0) g_importFailed = true;
}

void fuzz_FreeTable(GraphNode* table) {
  for (int k = 0; k < kFuzzFrames; ++k) delete table[k].info;
  delete[] table;
}

// Unregisters and frees the motion's table, so that the next graph reads its
// file (or generates) afresh.
void fuzz_DropTable() {
  auto it = NodeTableMap().find(g_motion);
  if (it == NodeTableMap().end()) return;
  GraphNode* table = it->second;
  NodeTableMap().erase(it);
  fuzz_FreeTable(table);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::SilenceLog();
  SetLogConsoleSink(&fuzz_Sink);
  g_motion = new Motion("fuzz", kFuzzFrames, 0);
  g_controller = g_motion->CreateController(0);
  // Every pair scores 0.0 and meets the threshold: generation makes edges
  // without spending the run in the metric.
  ConsoleVariable<int>("motionctrl.evaltype", 2) = 5;
  ConsoleVariable<float>("graph.eval_threshold", 1.0f) = 0.0f;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_DropTable();
  fuzz_support::WriteBytes("in.gra", data, size);
  g_importFailed = false;
  auto* graph = new FuzzGraph(g_controller, "in.gra");
  const bool refused = g_importFailed;
  Require(graph->nodes != nullptr, "no table");
  Require(NodeTableMap().at(g_motion) == graph->nodes, "table not registered");
  for (int k = 0; k < kFuzzFrames; ++k) {
    for (const GraphEdge& edge : graph->GetNode(k)->edges) {
      Require(edge.target >= 0 && edge.target < kFuzzFrames, "target outside the motion");
    }
  }
  const std::string in = fuzz_ReadBytes("in.gra");
  Require(refused || in == std::string(reinterpret_cast<const char*>(data), size),
          "a file that imports was changed");

  // What the graph writes reads back whole, with the same targets, and
  // writes the same bytes again (six digits survive a float, except in the
  // subnormal range, where fewer digits are held).
  bool subnormal = false;
  for (int k = 0; k < kFuzzFrames; ++k) {
    for (const GraphEdge& edge : graph->GetNode(k)->edges) {
      subnormal = subnormal || std::fpclassify(edge.weight) == FP_SUBNORMAL;
    }
  }
  Require(graph->ExportGraph("out.gra"), "cannot export");
  const std::string written = fuzz_ReadBytes("out.gra");
  Require(!refused || in == written, "a refused file was not replaced by the generated graph");
  GraphNode* first = graph->nodes;
  NodeTableMap().erase(g_motion);
  g_importFailed = false;
  auto* again = new FuzzGraph(g_controller, "out.gra");
  Require(!g_importFailed, "an exported graph does not import");
  for (int k = 0; k < kFuzzFrames; ++k) {
    const std::vector<GraphEdge>& before = first[k].edges;
    const std::vector<GraphEdge>& after = again->GetNode(k)->edges;
    Require(before.size() == after.size(), "edge count changed");
    for (size_t e = 0; e < before.size(); ++e) {
      Require(before[e].target == after[e].target, "target changed");
    }
  }
  fuzz_FreeTable(first);
  Require(again->ExportGraph("again.gra"), "cannot export again");
  Require(subnormal || fuzz_ReadBytes("again.gra") == written, "export, import, export differs");
  delete again;
  delete graph;
  return 0;
}
