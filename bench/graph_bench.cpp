// Transition graph generation speed on real data: the motion joined from all
// ten clips of ../shared/mocap/cmu02 (12 815 frames; or the folder named by
// TAVRIN_MOCAP), with the default window and the joint-position metric. Each
// figure is also given as a ratio of times against a baseline measured in
// the same run:
//
//   GenerateBaseline  the generation rules as plain nested loops (the same
//                     metric calls and rand() draws, edges into vectors)
//   Generate          TransitionGraph::GenerateGraph
//
// items_per_second counts metric calls. Without the capture data both are
// skipped with a message.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"

namespace fs = std::filesystem;

namespace {

// A graph that never leaves; only its generator is measured.
class BenchGraph : public TransitionGraph {
 public:
  explicit BenchGraph(MotionController* owner) : TransitionGraph(owner, "bench.gra") {}
  int ChooseNext(int) override { return 0; }
  bool ShouldLeave() override { return false; }
  void OnTransition(int) override {}
};

struct BenchData {
  std::string folder;  // temporary working folder
  Motion* motion = nullptr;
  MotionController* controller = nullptr;
  BenchGraph* graph = nullptr;
  long metricCalls = 0;  // per generation
};

// Loads the ten clips as one motion in a temporary working folder, once;
// null when the data is absent.
BenchData* bench_Data() {
  static BenchData* data = []() -> BenchData* {
    const fs::path mocap =
        std::getenv("TAVRIN_MOCAP") != nullptr
            ? fs::path(std::getenv("TAVRIN_MOCAP"))
            : fs::path(__FILE__).parent_path() / ".." / ".." / "shared" / "mocap";
    std::error_code ec;
    if (!fs::is_directory(mocap / "cmu02", ec)) return nullptr;
    auto* d = new BenchData;
    std::string pattern = (fs::temp_directory_path() / "tavrin-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    d->folder = pattern;
    fs::current_path(d->folder);
    fs::create_directories(MotionFolder);
    fs::copy_file(mocap / "cmu02" / "02.asf", "MartialArts.asf");
    for (int i = 1; i <= 10; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "02_%02d.amc", i);
      fs::copy_file(mocap / "cmu02" / name, fs::path(MotionFolder) / name);
      if (i == 1) {
        d->motion = new Motion("all", name, 0.06f, 0);
      } else if (!d->motion->AppendFile(name, 0.06f)) {
        std::abort();
      }
    }
    std::printf("graph_bench: %d frames in %zu clips\n", d->motion->frameCount,
                d->motion->segmentEnds.size());
    d->controller = d->motion->CreateController(0);
    d->controller->EvaluateTransition(0, 0);  // loads the joint positions
    // A placeholder table lets the graph be built without generating; the
    // benchmarks then generate into fresh tables.
    NodeTableMap()[d->motion] = new GraphNode[d->motion->frameCount];
    d->graph = new BenchGraph(d->controller);
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

// The plain generator: nested loops straight from the rules.
std::vector<std::vector<GraphEdge>> bench_PlainGenerate(MotionController* controller, long* calls) {
  const Motion& motion = *controller->GetMotion();
  const int n = motion.frameCount;
  const double w = TransitionFrames();
  ConsoleVariable<float> threshold("graph.eval_threshold", 1.0f);
  std::vector<std::vector<GraphEdge>> rows(n);
  for (int i = 0; i < n - w; ++i) {
    if (motion.GetSegmentEnd(i) - i <= w) continue;
    int clipEnd = motion.GetSegmentEnd(0);
    int j = 0;
    while (j < n - w) {
      if (std::abs(j - i) <= 3 * w) {
        j = static_cast<int>(i + 3 * w + 1);
      } else if (clipEnd - j <= w) {
        j = clipEnd + 1;
        clipEnd = motion.GetSegmentEnd(j);
      } else {
        const float s = controller->EvaluateTransition(i, j);
        ++*calls;
        if (s >= static_cast<float>(threshold)) rows[i].push_back(GraphEdge{j, s});
        j = static_cast<int>(static_cast<float>(j) + static_cast<float>(w) +
                             static_cast<float>(std::rand() % 5));
      }
    }
  }
  return rows;
}

void bench_Report(benchmark::State& state, long calls) {
  state.SetItemsProcessed(calls * static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::to_string(calls) + " metric calls per generation");
}

void GenerateBaseline(benchmark::State& state) {
  if (bench_Skip(state)) return;
  BenchData& data = *bench_Data();
  long calls = 0;
  for (auto _ : state) {
    calls = 0;
    std::srand(1);
    auto rows = bench_PlainGenerate(data.controller, &calls);
    benchmark::DoNotOptimize(rows.data());
  }
  data.metricCalls = calls;
  bench_Report(state, calls);
}

void Generate(benchmark::State& state) {
  if (bench_Skip(state)) return;
  BenchData& data = *bench_Data();
  const int n = data.motion->frameCount;
  if (data.metricCalls == 0) {  // the baseline did not run: count untimed
    std::srand(1);
    bench_PlainGenerate(data.controller, &data.metricCalls);
  }
  size_t edges = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Unregister (and free) the previous table so that the graph generates.
    GraphNode* previous = NodeTableMap().at(data.motion);
    NodeTableMap().erase(data.motion);
    for (int k = 0; k < n; ++k) delete previous[k].info;
    delete[] previous;
    std::srand(1);
    state.ResumeTiming();
    data.graph->GenerateGraph();
    benchmark::DoNotOptimize(data.graph->nodes);
  }
  for (int k = 0; k < n; ++k) edges += data.graph->GetNode(k)->edges.size();
  state.counters["edges"] = static_cast<double>(edges);
  bench_Report(state, data.metricCalls);
}

// One generation takes seconds: a single timed run of each.
BENCHMARK(GenerateBaseline)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(Generate)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
