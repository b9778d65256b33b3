#pragma once

// A console reporter that, after the usual table, prints each benchmark's time
// as a ratio against the baseline of its group measured in the same run, so the
// figures compare across machines. A benchmark's group is the part of its
// name before the first '/'; the baseline of a group is the benchmark whose
// name (before any '/') ends in "Baseline", e.g. "LookupBaseline" for
// "Lookup...". Groups are matched by the text before "Baseline".

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench_support {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      times_.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::map<std::string, double> baselines;
    for (const auto& [name, time] : times_) {
      const std::string base = name.substr(0, name.find('/'));
      const std::string suffix = "Baseline";
      if (base.size() > suffix.size() &&
          base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
        baselines[base.substr(0, base.size() - suffix.size()) + name.substr(base.size())] = time;
      }
    }
    std::printf("\nRatios against the baseline of the same run (lower is faster):\n");
    for (const auto& [name, time] : times_) {
      for (const auto& [prefix, baseline] : baselines) {
        const std::string group = prefix.substr(0, prefix.find('/'));
        const std::string args = prefix.substr(group.size());
        if (name.compare(0, group.size(), group) == 0 &&
            name.size() >= args.size() &&
            name.compare(name.size() - args.size(), args.size(), args) == 0 &&
            name.find("Baseline") == std::string::npos) {
          std::printf("  %-48s %8.3f x %s\n", name.c_str(), time / baseline,
                      (group + "Baseline" + args).c_str());
        }
      }
    }
  }

 private:
  std::vector<std::pair<std::string, double>> times_;
};

// Runs every registered benchmark with the ratio reporter.
inline int RunWithRatios(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench_support
