// Transition graph generation speed on real data: the motion joined from all
// ten clips of ../shared/mocap/cmu02 (12 815 frames; or the folder named by
// TAVRIN_MOCAP), with the default window, for the joint-position metric (2,
// the default) and the joint-angle metric (0). Each figure is also given as a
// ratio of times against a baseline measured in the same run:
//
//   GenerateBaseline/metric:m     the generation rules as plain nested loops
//                                 (one metric call per candidate pair, the C
//                                 library's rand(), edges into vectors)
//   Generate/threads:t/metric:m   TransitionGraph::GenerateGraph on t threads
//                                 (0: one per processor)
//
// Generate fails when its edges differ in any bit from the baseline's.
// items_per_second counts candidate pairs. Without the capture data all are
// skipped with a message.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_folders.h"
#include "bench/bench_graph.h"
#include "bench/ratio_reporter.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/random_sequence.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "tests/support/plain_graph.h"
#include "tests/support/real_clips.h"

namespace fs = std::filesystem;

namespace {

using bench_support::BenchGraph;

struct BenchData {
  std::string folder;  // temporary working folder
  Motion* motion = nullptr;
  MotionController* controller = nullptr;
  BenchGraph* graph = nullptr;
  // Per metric: the baseline's edges and its number of metric calls.
  std::vector<std::vector<GraphEdge>> plain[3];
  size_t metricCalls[3] = {};
};

// Loads the ten clips as one motion in a temporary working folder, once;
// null when the data is absent.
BenchData* bench_Data() {
  static BenchData* data = []() -> BenchData* {
    const fs::path mocap = bench_support::MocapFolder();
    if (!bench_support::HasCmu02(mocap)) return nullptr;
    auto* d = new BenchData;
    d->folder = bench_support::MakeTempFolder();
    if (d->folder.empty()) std::abort();
    fs::current_path(d->folder);
    const std::vector<std::string> clips = bench_support::Cmu02Clips();
    if (!testing_support::CopyRealClips(mocap.string(), clips)) std::abort();
    d->motion = new Motion("all", clips[0], 0.06f, 0);
    for (size_t i = 1; i < clips.size(); ++i) {
      if (!d->motion->AppendFile(clips[i], 0.06f)) std::abort();
    }
    std::printf("graph_bench: %d frames in %zu clips\n", d->motion->frameCount,
                d->motion->segmentEnds.size());
    d->controller = d->motion->CreateController(0);
    // A placeholder table lets the graph be built without generating; the
    // benchmarks then generate into fresh tables.
    NodeTableMap()[d->motion] = new GraphNode[d->motion->frameCount];
    d->graph = new BenchGraph(d->controller, "bench.gra");
    std::atexit([] { fs::remove_all(bench_Data()->folder); });
    return d;
  }();
  return data;
}

bool bench_Skip(benchmark::State& state) {
  if (bench_Data() != nullptr) return false;
  state.SkipWithError("real capture data (../shared/mocap/cmu02) is absent; benchmark skipped");
  return true;
}

void bench_Report(benchmark::State& state, size_t calls) {
  state.SetItemsProcessed(static_cast<int64_t>(calls) * static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::to_string(calls) + " candidate pairs");
}

// The plain generation with `metric`, its edges and calls kept for the
// comparison with the program's generator.
void bench_Plain(int metric) {
  BenchData& data = *bench_Data();
  ConsoleVariable<int>("motionctrl.evaltype", 2) = metric;
  // The plain rules read the threshold before their first call: one call
  // sets this metric's own (it would else be the previous metric's).
  data.controller->EvaluateTransition(0, 0);
  std::srand(1);
  data.metricCalls[metric] = 0;
  data.plain[metric] = testing_support::PlainGenerateGraph(data.controller, &data.metricCalls[metric]);
}

void GenerateBaseline(benchmark::State& state) {
  if (bench_Skip(state)) return;
  const int metric = static_cast<int>(state.range(0));
  for (auto _ : state) bench_Plain(metric);
  bench_Report(state, bench_Data()->metricCalls[metric]);
}

void Generate(benchmark::State& state) {
  if (bench_Skip(state)) return;
  BenchData& data = *bench_Data();
  const int metric = static_cast<int>(state.range(1));
  if (data.metricCalls[metric] == 0) bench_Plain(metric);  // the baseline did not run: untimed
  ConsoleVariable<int>("motionctrl.evaltype", 2) = metric;
  SetGenerationThreads(static_cast<int>(state.range(0)));
  const int n = data.motion->frameCount;
  for (auto _ : state) {
    state.PauseTiming();
    // Unregister (and free) the previous table so that the graph generates.
    GraphNode* previous = NodeTableMap().at(data.motion);
    NodeTableMap().erase(data.motion);
    for (int k = 0; k < n; ++k) delete previous[k].info;
    delete[] previous;
    GraphRandom().Seed(1);
    state.ResumeTiming();
    data.graph->GenerateGraph();
    benchmark::DoNotOptimize(data.graph->nodes);
  }
  size_t edges = 0;
  for (int k = 0; k < n; ++k) {
    const std::vector<GraphEdge>& row = data.graph->GetNode(k)->edges;
    const std::vector<GraphEdge>& plain = data.plain[metric][k];
    edges += row.size();
    if (row.size() != plain.size() ||
        (!row.empty() && std::memcmp(row.data(), plain.data(), row.size() * sizeof row[0]) != 0)) {
      state.SkipWithError(("edges of frame " + std::to_string(k) + " differ from the plain rules'").c_str());
      return;
    }
  }
  state.counters["edges"] = static_cast<double>(edges);
  bench_Report(state, data.metricCalls[metric]);
}

// A plain generation takes seconds: one timed run of each. The program's
// generator counts by the median of five.
BENCHMARK(GenerateBaseline)
    ->ArgName("metric")
    ->Arg(2)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(Generate)
    ->ArgNames({"threads", "metric"})
    ->ArgsProduct({{0, 1}, {2, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
