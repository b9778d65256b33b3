#pragma once

// A console reporter that, after the usual table, prints each benchmark's time
// as a ratio against the baseline of its group measured in the same run, so the
// figures compare across machines. A baseline is a benchmark whose function
// name ends in "Baseline"; its group is the function name before that suffix
// ("Lookup" for "LookupBaseline"). A benchmark belongs to the group when its
// function name begins with the group's name and its arguments end with the
// baseline's ("threads:0/metric:2" against "metric:2"). A benchmark run with
// repetitions counts by the median of its repetitions.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace bench_support {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (single || median) {
        times_.push_back({run.run_name.function_name, run.run_name.args, run.run_name.str(),
                          run.GetAdjustedRealTime()});
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const std::string suffix = "Baseline";
    const auto endsWith = [](const std::string& text, const std::string& end) {
      return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    std::printf("\nRatios against the baseline of the same run (lower is faster):\n");
    for (const Entry& entry : times_) {
      if (endsWith(entry.function, suffix)) continue;
      for (const Entry& baseline : times_) {
        if (!endsWith(baseline.function, suffix) || baseline.function.size() == suffix.size()) continue;
        const std::string group = baseline.function.substr(0, baseline.function.size() - suffix.size());
        if (entry.function.compare(0, group.size(), group) == 0 && endsWith(entry.args, baseline.args)) {
          std::printf("  %-48s %8.3f x %s (%.1f times as fast)\n", entry.name.c_str(),
                      entry.time / baseline.time, baseline.name.c_str(), baseline.time / entry.time);
        }
      }
    }
  }

 private:
  struct Entry {
    std::string function;
    std::string args;
    std::string name;
    double time;
  };
  std::vector<Entry> times_;
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
