// Console variable lookups: the registry trie against an ordered map of the
// same names (the baseline). The console looks names up on every typed command
// and tab completion; file-scope handles look up once each at start.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "core/name_trie.h"

namespace {

std::vector<std::string> bench_names() {
  const char* areas[] = {"gl", "camera", "motionctrl", "graph", "world", "console", "keyboard", "mouse"};
  const char* leaves[] = {"nearclip", "farclip", "hdist", "vdist", "speed", "transition_time",
                          "eval_threshold", "draw_ground"};
  std::vector<std::string> names;
  for (const char* area : areas) {
    for (const char* leaf : leaves) names.push_back(std::string(area) + "." + leaf);
  }
  return names;
}

void LookupTrie(benchmark::State& state) {
  const std::vector<std::string> names = bench_names();
  NameTrie trie;
  for (const std::string& name : names) trie.Insert(name, nullptr);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(trie.FindLeaf(names[i]));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(LookupTrie);

void LookupBaseline(benchmark::State& state) {
  const std::vector<std::string> names = bench_names();
  std::map<std::string, int> map;
  for (const std::string& name : names) map[name] = 0;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(names[i]));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(LookupBaseline);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
