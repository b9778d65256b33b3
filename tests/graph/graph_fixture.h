#pragma once

// The fixture of the graph tests: handles on the console variables the graph
// library reads, the test's log lines, a manual clock standing still,
// hand-made clips, and the registries left as the test found them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/console_variable.h"
#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/random_sequence.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"

namespace graph_test {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

// The per-joint weights of the pose metrics, written out again.
constexpr float kWeights[kJointCount] = {0,    0.6f, 0.9f, 0.4f,  0.25f, 0,    0.6f, 0.9f, 0.4f, 0.25f, 0,
                                         0.7f, 0.6f, 0.6f, 0.8f,  0.7f,  0.6f, 0.9f, 0.85f, 0.7f, 0.3f, 0,
                                         0.6f, 0.9f, 0.85f, 0.7f, 0.3f,  0,    0,    0,    0};

// A graph (never leaving) that reads and writes `file`.
class FileGraph : public TransitionGraph {
 public:
  FileGraph(MotionController* owner, std::string file) : TransitionGraph(owner, std::move(file)) {}
  int ChooseNext(int) override { return 0; }
  bool ShouldLeave() override { return false; }
  void OnTransition(int) override {}
};

// A node's edges as "target:weight ", each weight as the integer of its bits.
inline std::string Row(const std::vector<GraphEdge>& edges) {
  std::string row;
  for (const GraphEdge& e : edges) {
    uint32_t bits;
    std::memcpy(&bits, &e.weight, sizeof bits);
    row += std::to_string(e.target) + ":" + std::to_string(bits) + " ";
  }
  return row;
}

// The nodes of `graph` hold `rows`, targets and weights bit for bit.
inline void ExpectRows(TransitionGraph& graph, const std::vector<std::vector<GraphEdge>>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(Row(graph.GetNode(int(i))->edges), Row(rows[i])) << "node " << i;
}

// A new motion of `frames` frames cut at `ends` (one clip when empty) and a
// controller without a graph for it, with its joint-position cache filled
// in. Joint rotations and positions sway with the frame (a period of about
// 90 frames), so that every metric finds some windows alike and others not;
// the joints of weight 0 lie so far apart that a metric that does not skip
// them turns NaN.
inline MotionController* SwayingClip(int frames, std::vector<int> ends = {}) {
  Motion* motion = new Motion("sway", frames, 0);
  if (!ends.empty()) motion->segmentEnds = std::move(ends);
  MotionController* controller = motion->CreateController(0);
  controller->markerCache = new MarkerSet[frames];
  for (int f = 0; f < frames; ++f) {
    for (int j = 1; j < kJointCount; ++j) {
      const float sway = std::sin(f * 0.07f + j);
      motion->frames[f].rotation[j] = Quaternion(12.0f * sway, 3.0f * j, 40.0f * sway * sway);
      controller->markerCache[f].positions[j] =
          kWeights[j] == 0.0f ? Vector3(f * 2e28f, 0.0f, 0.0f)
                              : Vector3(0.05f * sway, 0.1f * sway * sway, 0.02f * std::cos(f * 0.05f + j));
    }
  }
  return controller;
}

// The log lines of the running test.
inline std::vector<std::string> g_lines;

// Every pair scores 0.0 (metric type 5) and meets the threshold 0, so every
// candidate pair becomes an edge at little cost; tests of the metrics choose
// theirs. What a test makes stays registered until the program ends (as in
// the system), so each test names its motions apart from the others'.
class GraphFixture : public testing::Test {
 protected:
  GraphFixture() {
    evalType = 5;
    threshold = 0.0f;
    g_lines.clear();
    SetLogConsoleSink([](const char* text, int) { g_lines.push_back(text); });
    platform::ManualClock::Install(0.0);
  }
  // Log lines that begin with `prefix`.
  static int Count(const std::string& prefix) {
    int count = 0;
    for (const std::string& line : g_lines) count += line.rfind(prefix, 0) == 0;
    return count;
  }

  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
  ConsoleVariable<int> debug{"graph.debug", 1};
};

}  // namespace graph_test
