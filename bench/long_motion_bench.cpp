// The transition graph of one long motion: the walk of tools/make_sample_data
// repeated as one clip of 30 000 frames (TAVRIN_LONG_FRAMES sets another
// count; 100 000 is about 14 minutes at 120 frames per second), as users
// join long takes. Its graph is large (a walk repeats itself: many windows
// are alike), which is what bounds a start's memory and time. Each figure is
// the time of one step and the peak resident memory that step adds, both
// measured in a child process of its own, with ratios against a baseline of
// the same run:
//
//   GenerateBaseline   TransitionGraph::GenerateGraph on one thread
//   Generate/threads:0 the same on one thread per processor; fails when its
//                      edges differ in any bit from the one-thread graph's
//   ImportBaseline     reading the ".gra" file's bytes alone, in blocks
//   Import             TransitionGraph::ImportGraph of that file
//   ExportBaseline     writing as many bytes to a new file, in blocks, synced
//   Export             TransitionGraph::ExportGraph
//
// Counters: peak_MB, what the step adds to the process's peak resident
// memory; graph_MB, the graph's own size in memory (nodes, their infos and
// edges); peak_per_graph, the two divided. The files live in a temporary
// folder that is removed at the end; nothing large is kept.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_folders.h"
#include "bench/bench_graph.h"
#include "bench/child_process.h"
#include "bench/ratio_reporter.h"
#include "core/regular_file.h"
#include "graph/motion_controller.h"
#include "graph/random_sequence.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "motion/skeleton.h"

namespace fs = std::filesystem;

namespace {

using bench_support::BenchGraph;

struct LongData {
  std::string folder;
  Motion* motion = nullptr;
  BenchGraph* graph = nullptr;  // generated on all threads, exported to long.gra
  uint64_t fileBytes = 0;
};

// The sample walk's frames repeated `frames` times over, renumbered, as one
// AMC file; false when the walk cannot be read or the file written.
bool bench_WriteLongClip(const std::string& walkFile, const std::string& longFile, int frames) {
  std::ifstream in(walkFile);
  std::string line;
  std::vector<std::string> header;
  std::vector<std::string> bodies;  // one per frame: its bone lines
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (header.size() < 3) {
      header.push_back(line);
    } else if (line.find_first_not_of("0123456789") == std::string::npos) {
      bodies.emplace_back();
    } else if (!bodies.empty()) {
      bodies.back() += line + "\n";
    }
  }
  if (bodies.empty()) return false;
  std::ofstream out(longFile, std::ios::binary);
  for (const std::string& h : header) out << h << "\n";
  for (int f = 0; f < frames; ++f) out << f + 1 << "\n" << bodies[static_cast<size_t>(f) % bodies.size()];
  return static_cast<bool>(out.flush());
}

// The graph's own size: nodes, their infos and their edges' storage.
double bench_GraphBytes(const TransitionGraph& graph, int n) {
  double bytes = static_cast<double>(n) * (sizeof(GraphNode) + sizeof(NodeInfo));
  for (int k = 0; k < n; ++k) bytes += static_cast<double>(graph.nodes[k].edges.capacity() * sizeof(GraphEdge));
  return bytes;
}

LongData* bench_Data() {
  static LongData* data = []() -> LongData* {
    auto* d = new LongData;
    d->folder = bench_support::MakeTempFolder();
    if (d->folder.empty() || !bench_support::MakeSampleData(d->folder)) return nullptr;
    std::atexit([] { fs::remove_all(bench_Data()->folder); });
    fs::current_path(d->folder);
    ForgetDefaultSkeletons();  // the next use reads the sample skeleton
    const char* count = std::getenv("TAVRIN_LONG_FRAMES");
    const int frames = count != nullptr && std::atoi(count) > 0 ? std::atoi(count) : 30000;
    if (!bench_WriteLongClip("data/motions/walk.amc", "data/motions/long.amc", frames)) return nullptr;
    d->motion = new Motion("long", "long.amc", 0.06f, 0);
    if (d->motion->frameCount != frames) return nullptr;
    MotionController* controller = d->motion->CreateController(0);
    SetGenerationThreads(0);
    GraphRandom().Seed(1);
    d->graph = new BenchGraph(controller, "long.gra");  // generates and writes long.gra
    std::error_code ec;
    d->fileBytes = fs::file_size("long.gra", ec);
    if (ec || d->graph->nodes == nullptr) return nullptr;
    std::printf("long_motion_bench: %d frames, a graph file of %.1f MB\n", frames, d->fileBytes / 1e6);
    return d;
  }();
  return data;
}

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 when absent.
double bench_Status(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atof(line.c_str() + key.size()) * 1024.0;
  }
  return 0.0;
}

struct StepResult {
  double seconds = -1.0;
  double peakBytes = 0.0;   // added to the peak resident memory
  double graphBytes = 0.0;  // the graph's own size, when the step has one
  bool differs = false;
};

// Runs `step` in a child process: its time and the peak resident memory it
// adds. The child starts its peak from what it holds (Linux 4.0 and later
// reset the peak through /proc/self/clear_refs).
StepResult bench_InChild(const std::function<void(StepResult*)>& step) {
  StepResult result;
  const bool delivered = bench_support::RunInChild(
      [&step] {
        StepResult made;
        std::ofstream("/proc/self/clear_refs") << "5";
        const double before = bench_Status("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        step(&made);
        made.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        made.peakBytes = bench_Status("VmHWM") - before;
        return made;
      },
      &result);
  if (!delivered) result.seconds = -1.0;
  return result;
}

void bench_Run(benchmark::State& state, const std::function<void(StepResult*)>& step) {
  LongData* data = bench_Data();
  if (data == nullptr) {
    state.SkipWithError("cannot make the long clip from the sample data");
    return;
  }
  StepResult last;
  for (auto _ : state) {
    last = bench_InChild(step);
    if (last.seconds < 0.0 || last.differs) {
      state.SkipWithError(last.differs ? "edges differ from the one-thread graph's" : "the step failed");
      return;
    }
    state.SetIterationTime(last.seconds);
  }
  state.counters["peak_MB"] = last.peakBytes / 1e6;
  if (last.graphBytes > 0.0) {
    state.counters["graph_MB"] = last.graphBytes / 1e6;
    state.counters["peak_per_graph"] = last.peakBytes / last.graphBytes;
  }
}

// A fresh graph of the motion in place of the registered one (which stays
// the reference), generated on `threads`.
void bench_Generate(benchmark::State& state, int threads) {
  bench_Run(state, [threads](StepResult* result) {
    LongData& data = *bench_Data();
    const GraphNode* reference = data.graph->nodes;
    NodeTableMap().erase(data.motion);
    SetGenerationThreads(threads);
    GraphRandom().Seed(1);
    data.graph->GenerateGraph();
    const int n = data.motion->frameCount;
    result->graphBytes = bench_GraphBytes(*data.graph, n);
    for (int k = 0; k < n && !result->differs; ++k) {
      const std::vector<GraphEdge>& a = reference[k].edges;
      const std::vector<GraphEdge>& b = data.graph->nodes[k].edges;
      result->differs = a.size() != b.size() ||
                        (!a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) != 0);
    }
  });
}

void GenerateBaseline(benchmark::State& state) { bench_Generate(state, 1); }
void Generate(benchmark::State& state) { bench_Generate(state, static_cast<int>(state.range(0))); }

void ImportBaseline(benchmark::State& state) {
  bench_Run(state, [](StepResult*) {
    std::FILE* in = OpenRegularFile("long.gra");
    std::vector<char> block(size_t{16} << 20);
    while (in != nullptr && std::fread(block.data(), 1, block.size(), in) == block.size()) {
    }
    if (in != nullptr) std::fclose(in);
  });
}

void Import(benchmark::State& state) {
  bench_Run(state, [](StepResult* result) {
    LongData& data = *bench_Data();
    NodeTableMap().erase(data.motion);
    if (!data.graph->ImportGraph("long.gra")) _exit(1);
    result->graphBytes = bench_GraphBytes(*data.graph, data.motion->frameCount);
  });
}

void ExportBaseline(benchmark::State& state) {
  bench_Run(state, [](StepResult*) {
    AtomicFile out("copy.gra");
    const std::vector<char> block(size_t{16} << 20, ' ');
    bool ok = out.Open();
    for (uint64_t left = bench_Data()->fileBytes; ok && left > 0;) {
      const uint64_t size = left < block.size() ? left : block.size();
      ok = out.Write(block.data(), size);
      left -= size;
    }
    if (!ok || !out.Commit()) _exit(1);
  });
}

void Export(benchmark::State& state) {
  bench_Run(state, [](StepResult*) {
    if (!bench_Data()->graph->ExportGraph("copy.gra")) _exit(1);
  });
}

BENCHMARK(GenerateBaseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Generate)->ArgName("threads")->Arg(0)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ImportBaseline)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Import)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ExportBaseline)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Export)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
