// Transition graphs on hand-made motions: naming and table sharing, the
// generator against a plain formulation of its rules, the frames that may
// never be sources or targets, and the walk's two triggers.

#include "graph/transition_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/plain_graph.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;

// The helpers declared in graph_test_helpers.h.
namespace graph_test {

namespace {

std::vector<std::string>* g_lines = nullptr;
void CaptureLine(const char* text, int) { g_lines->push_back(text); }

// A graph that reads and writes the file it is given and never leaves.
class FileGraph : public TransitionGraph {
 public:
  FileGraph(MotionController* owner, std::string file) : TransitionGraph(owner, std::move(file)) {}
  int ChooseNext(int) override { return 0; }
  bool ShouldLeave() override { return false; }
  void OnTransition(int) override {}
};

}  // namespace

void CaptureLog(std::vector<std::string>* lines) {
  g_lines = lines;
  SetLogConsoleSink(lines != nullptr ? &CaptureLine : nullptr);
}

TransitionGraph* NewFileGraph(MotionController* owner, const std::string& file) {
  return new FileGraph(owner, file);
}

}  // namespace graph_test

using Rows = std::vector<std::vector<GraphEdge>>;

namespace {

// Every test works in a fresh folder and sees the log lines it caused.
class GraphTest : public testing::Test {
 protected:
  GraphTest() {
    // Values a previous test of the same process may have changed.
    evalType = 2;
    threshold = 1.0f;
    transitionTime = 0.15f;
    debug = 1;
    graph_test::CaptureLog(&lines);
  }
  ~GraphTest() override { graph_test::CaptureLog(nullptr); }

  int CountLines(const std::string& text) const {
    int count = 0;
    for (const std::string& line : lines) count += line == text;
    return count;
  }
  int CountPrefix(const std::string& prefix) const {
    int count = 0;
    for (const std::string& line : lines) count += line.compare(0, prefix.size(), prefix) == 0;
    return count;
  }

  ScopedWorkDir dir;
  std::vector<std::string> lines;
  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
  ConsoleVariable<int> debug{"graph.debug", 1};
};

// A clip of default postures cut at `ends` and a controller for it without a
// graph, whose joint positions sway with the frame (period about 90 frames),
// so that the position metric finds some windows alike and others not.
MotionController* SwayingClip(const std::string& name, int frames, std::vector<int> ends) {
  Motion* motion = new Motion(name, frames, 0);
  motion->segmentEnds = std::move(ends);
  MotionController* controller = motion->CreateController(0);
  controller->markerCache = new MarkerSet[frames];
  for (int f = 0; f < frames; ++f) {
    for (int j = 1; j < kJointCount; ++j) {
      controller->markerCache[f].positions[j] = Vector3(0.0f, 0.1f * std::sin(f * 0.07f + j), 0.0f);
    }
  }
  return controller;
}

// The graph's table as rows, for comparison.
Rows TableRows(TransitionGraph* graph, int n) {
  Rows rows(n);
  for (int i = 0; i < n; ++i) rows[i] = graph->GetNode(i)->edges;
  return rows;
}

// Bit-for-bit equality of targets and weights, reporting the first mismatch.
void ExpectSameRows(const Rows& actual, const Rows& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i].size(), expected[i].size()) << "node " << i;
    for (size_t e = 0; e < actual[i].size(); ++e) {
      ASSERT_EQ(actual[i][e].target, expected[i][e].target) << "node " << i << " edge " << e;
      ASSERT_EQ(std::memcmp(&actual[i][e].weight, &expected[i][e].weight, sizeof(float)), 0)
          << "node " << i << " edge " << e;
    }
  }
}

size_t EdgeCount(const Rows& rows) {
  size_t count = 0;
  for (const auto& row : rows) count += row.size();
  return count;
}

}  // namespace

TEST_F(GraphTest, NamesRegistersAndSharesOneTablePerMotion) {
  evalType = 5;      // every pair scores 0.0 ...
  threshold = 0.0f;  // ... which meets this threshold exactly
  Motion walk("Walk", 120, 0);
  MotionController* first = walk.CreateController(1);
  TransitionGraph* graph = first->GetGraph();
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->name, "walk_graph");
  EXPECT_EQ(GraphRegistry().at("walk_graph"), graph);
  EXPECT_EQ(NodeTableMap().at(&walk), graph->nodes);
  EXPECT_EQ(CountLines("GenerateGraph: generating walk_graph..."), 1);
  EXPECT_EQ(CountLines("GenerateGraph: done generating walk_graph..."), 1);
  EXPECT_EQ(CountLines("ExportGraph: done exporting walk_graph in file walk_graph.gra"), 1);
  const std::string written = ReadFile("walk_graph.gra");
  ASSERT_FALSE(written.empty());
  EXPECT_FALSE(fs::exists("walk_graph.gra.tmp"));
  // Every generated pair scored exactly the threshold and was kept: frame 0
  // has targets 55, 73 to 77 and 91 to 99.
  ASSERT_EQ(graph->GetNode(0)->edges.size(), 3u);
  EXPECT_EQ(graph->GetNode(0)->edges[0].target, 55);

  // A second controller of the motion adopts the table, whatever its graph
  // type, and writes its own file from it without generating.
  MotionController* second = walk.CreateController(2);
  EXPECT_EQ(second->name, "walk1");
  ASSERT_NE(second->GetGraph(), nullptr);
  EXPECT_EQ(second->GetGraph()->name, "walk1_graph");
  EXPECT_EQ(second->GetGraph()->nodes, graph->nodes);
  EXPECT_EQ(CountPrefix("GenerateGraph: generating"), 1);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), written);

  // More graphs of one controller count up from 1; a destroyed graph gives
  // its name back.
  {
    CutoffOnlyTransitionGraph extra(first);
    EXPECT_EQ(extra.name, "walk_graph1");
    EXPECT_EQ(extra.nodes, graph->nodes);
    TimedTransitionGraph another(first, 50);
    EXPECT_EQ(another.name, "walk_graph2");
  }
  EXPECT_EQ(GraphRegistry().count("walk_graph1"), 0u);
  EXPECT_EQ(GraphRegistry().at("walk_graph"), graph);
  EXPECT_EQ(CountPrefix("GenerateGraph: generating"), 1);

  // No graph for types 0 and 3, and no file.
  MotionController* none = walk.CreateController(0);
  MotionController* unknown = walk.CreateController(3);
  EXPECT_EQ(none->GetGraph(), nullptr);
  EXPECT_EQ(unknown->GetGraph(), nullptr);
  EXPECT_EQ(CreateTransitionGraph(0, first), nullptr);
  EXPECT_EQ(CreateTransitionGraph(3, first), nullptr);
  EXPECT_EQ(CreateTransitionGraph(-1, first), nullptr);
  EXPECT_FALSE(fs::exists("walk2_graph.gra"));
  EXPECT_FALSE(fs::exists("walk3_graph.gra"));
}

TEST_F(GraphTest, GeneratorMatchesThePlainRulesBitForBit) {
  // Two clips of 500 and 400 frames, with the default window and with a
  // shorter one whose product with 120 is not a whole number.
  for (float seconds : {0.15f, 0.1f}) {
    SCOPED_TRACE(seconds);
    transitionTime = seconds;
    MotionController* controller =
        SwayingClip(seconds == 0.15f ? "sway" : "short", 900, {500, 900});
    std::srand(1);
    FixedFrameTransitionGraph graph(controller);
    const int next = std::rand();
    const Rows generated = TableRows(&graph, 900);

    std::srand(1);
    size_t calls = 0;
    const Rows plain = testing_support::PlainGenerateGraph(controller, &calls);
    EXPECT_EQ(std::rand(), next);  // the same number of draws
    ExpectSameRows(generated, plain);
    // Some windows are alike (about a third), the others are not.
    EXPECT_GT(EdgeCount(plain), calls / 5);
    EXPECT_LT(EdgeCount(plain), calls / 2);
  }
}

TEST_F(GraphTest, SourcesAndTargetsStayClearOfClipEnds) {
  evalType = 5;
  threshold = 0.0f;  // every candidate pair becomes an edge
  MotionController* controller = SwayingClip("clips", 900, {500, 900});
  CutoffOnlyTransitionGraph graph(controller);
  const double w = 0.15f * 120.0;
  for (int i = 0; i < 900; ++i) {
    const std::vector<GraphEdge>& edges = graph.GetNode(i)->edges;
    const bool source = i <= 481 || (i >= 501 && i <= 881);
    EXPECT_EQ(!edges.empty(), source) << "frame " << i;
    for (size_t e = 0; e < edges.size(); ++e) {
      const int j = edges[e].target;
      EXPECT_GT(std::abs(j - i), 3 * w) << i << " to " << j;
      EXPECT_FALSE(j >= 482 && j <= 500) << i << " to " << j;
      EXPECT_LT(j, 882) << i;
      EXPECT_EQ(edges[e].weight, 0.0f);
      if (e == 0) continue;
      const int previous = edges[e - 1].target;
      EXPECT_GT(j, previous);
      // Within one clip and on one side of the source, targets lie 18 to 22
      // frames apart.
      if ((j < 500) == (previous < 500) && (j < i) == (previous < i)) {
        EXPECT_GE(j - previous, 18);
        EXPECT_LE(j - previous, 22);
      }
    }
  }
  EXPECT_EQ(graph.GetNode(900), nullptr);
  EXPECT_EQ(graph.GetNode(-1), nullptr);
}

TEST_F(GraphTest, ShortestMotionsWithEdges) {
  evalType = 5;
  threshold = 0.0f;
  {
    // 73 frames: no pair lies far enough apart; no random number is drawn.
    MotionController* controller = SwayingClip("m73", 73, {73});
    std::srand(1);
    const int first = std::rand();
    std::srand(1);
    CutoffOnlyTransitionGraph graph(controller);
    for (int i = 0; i < 73; ++i) EXPECT_TRUE(graph.GetNode(i)->edges.empty()) << i;
    EXPECT_EQ(std::rand(), first);
  }
  {
    // 74 frames: 0 -> 55 and 55 -> 0 only, one draw each.
    MotionController* controller = SwayingClip("m74", 74, {74});
    std::srand(1);
    std::rand();
    std::rand();
    const int third = std::rand();
    std::srand(1);
    CutoffOnlyTransitionGraph graph(controller);
    for (int i = 0; i < 74; ++i) {
      const std::vector<GraphEdge>& edges = graph.GetNode(i)->edges;
      if (i == 0 || i == 55) {
        ASSERT_EQ(edges.size(), 1u) << i;
        EXPECT_EQ(edges[0].target, 55 - i);
      } else {
        EXPECT_TRUE(edges.empty()) << i;
      }
    }
    EXPECT_EQ(std::rand(), third);
  }
  {
    // A window that is not positive gives nodes without edges, at once.
    transitionTime = -0.2f;
    MotionController* controller = SwayingClip("backwards", 300, {300});
    CutoffOnlyTransitionGraph graph(controller);
    for (int i = 0; i < 300; ++i) EXPECT_TRUE(graph.GetNode(i)->edges.empty()) << i;
  }
}

TEST_F(GraphTest, MotionsWithoutFramesGetEmptyGraphsAndNoFile) {
  // A motion whose file is missing fails to load (frame count -1).
  Motion ghost("ghost", "missing.amc", 0.06f, 0);
  ASSERT_EQ(ghost.frameCount, -1);
  MotionController* controller = ghost.CreateController(1);
  TransitionGraph* graph = controller->GetGraph();
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->nodes, nullptr);
  EXPECT_EQ(graph->GetNode(0), nullptr);
  EXPECT_EQ(NodeTableMap().count(&ghost), 0u);
  EXPECT_FALSE(fs::exists("ghost_graph.gra"));
  lines.clear();
  graph->GraphUpdate();  // reads nothing, says nothing
  controller->Update();
  EXPECT_TRUE(lines.empty());

  MotionController orphan(nullptr, 2, 1.0f);
  ASSERT_NE(orphan.GetGraph(), nullptr);
  EXPECT_EQ(orphan.GetGraph()->nodes, nullptr);
  orphan.GetGraph()->GraphUpdate();

  // A motion destroyed under its controller is read no more.
  Motion* gone = new Motion("gone", 400, 0);
  MotionController* left = gone->CreateController(1);
  delete gone;
  left->currentFrame = 390;
  left->GetGraph()->GraphUpdate();
  left->Update();
  EXPECT_EQ(left->GetGraph()->GetNode(0), nullptr);
  EXPECT_EQ(CreateTransitionGraph(1, nullptr), nullptr);

  // A loaded motion of no frames: an empty table and a file of one line.
  Motion empty("empty", 0, 0);
  MotionController* none = empty.CreateController(1);
  EXPECT_EQ(none->GetGraph()->GetNode(0), nullptr);
  EXPECT_EQ(ReadFile("empty_graph.gra"), "0\r\n");
  none->Update();
}

TEST_F(GraphTest, ATableIsNeverAdoptedByAMotionOfAnotherLength) {
  evalType = 5;
  threshold = 0.0f;
  Motion* motion = new Motion("grow", 100, 0);
  MotionController* before = motion->CreateController(1);
  ASSERT_NE(before->GetGraph()->nodes, nullptr);
  // The motion grows after its table was made (frames joined later).
  delete[] motion->frames;
  motion->frames = new Posture[200];
  motion->frameCount = 200;
  motion->segmentEnds = {100, 200};
  MotionController* after = motion->CreateController(1);
  EXPECT_NE(after->GetGraph()->nodes, before->GetGraph()->nodes);
  EXPECT_EQ(NodeTableMap().at(motion), after->GetGraph()->nodes);
  ASSERT_NE(after->GetGraph()->GetNode(199), nullptr);
  EXPECT_FALSE(after->GetGraph()->GetNode(150)->edges.empty());
  EXPECT_EQ(
      CountLines("GRAPH: node table of 100 nodes does not fit a motion of 200 frames; rebuilt"), 1);
  EXPECT_EQ(CountLines("GenerateGraph: generating grow1_graph..."), 1);
}

TEST_F(GraphTest, FixedFrameLeavesFrom338ToTheHeaviestEdge) {
  MotionController* controller = SwayingClip("fixed", 400, {400});
  FixedFrameTransitionGraph graph(controller);
  // Ties go to the earlier edge.
  graph.GetNode(338)->edges = {{10, 0.5f}, {50, 0.97f}, {20, 0.97f}, {40, 0.7f}};
  graph.GetNode(337)->edges = {{30, 0.99f}};
  graph.GetNode(339)->edges = {{60, -2.0f}};
  EXPECT_EQ(graph.ChooseNext(338), 50);
  EXPECT_EQ(graph.ChooseNext(339), 0);  // no weight above -1.0
  EXPECT_EQ(graph.ChooseNext(400), 0);  // outside the table

  lines.clear();
  controller->currentFrame = 337;
  graph.GraphUpdate();
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(controller->currentFrame, 337);

  controller->currentFrame = 338;
  graph.GraphUpdate();
  EXPECT_EQ(lines,
            std::vector<std::string>{"GraphUpdate: Attempting normal transition: (338 to 50)"});
  EXPECT_EQ(controller->currentFrame, 50);
  EXPECT_TRUE(controller->IsTransitioning());

  // While the jump blends, neither trigger starts another one.
  lines.clear();
  controller->currentFrame = 338;
  graph.GraphUpdate();
  controller->currentFrame = 390;  // also within the cutoff
  graph.GraphUpdate();
  EXPECT_TRUE(lines.empty());

  // Below 338 and far from the end, no attempt.
  controller->transitioning = false;
  controller->currentFrame = 200;
  graph.GraphUpdate();
  EXPECT_TRUE(lines.empty());

  // graph.debug 0 silences the walk but not the jump.
  debug = 0;
  controller->currentFrame = 338;
  graph.GraphUpdate();
  controller->transitioning = false;
  controller->currentFrame = 395;
  graph.GraphUpdate();
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(controller->currentFrame, 395);
  controller->transitioning = false;
  controller->currentFrame = 338;
  graph.GraphUpdate();
  EXPECT_EQ(controller->currentFrame, 50);
  EXPECT_TRUE(lines.empty());
}

TEST_F(GraphTest, CutoffNearTheEndOfEachClip) {
  evalType = 5;
  threshold = 0.0f;
  MotionController* controller = SwayingClip("cutoff", 900, {500, 900});
  CutoffOnlyTransitionGraph graph(controller);
  auto attempt = [&](int frame) {
    lines.clear();
    controller->transitioning = false;
    controller->currentFrame = frame;
    graph.GraphUpdate();
    return lines;
  };
  EXPECT_TRUE(attempt(463).empty());  // 37 frames before the segment end
  EXPECT_EQ(attempt(464),
            std::vector<std::string>{"GraphUpdate: Attempting cutoff transition: (464 to 0)"});
  EXPECT_EQ(controller->currentFrame, 0);
  EXPECT_EQ(attempt(481).size(), 1u);
  for (int frame : {482, 490, 500}) {
    EXPECT_EQ(attempt(frame),
              std::vector<std::string>{"GraphUpdate: no valid transitions on frame " +
                                       std::to_string(frame)});
    EXPECT_EQ(controller->currentFrame, frame);
  }
  EXPECT_TRUE(attempt(501).empty());
  EXPECT_TRUE(attempt(863).empty());
  EXPECT_EQ(attempt(864).size(), 1u);
  EXPECT_EQ(attempt(899),
            std::vector<std::string>{"GraphUpdate: no valid transitions on frame 899"});

  // A longer window moves the cutoff: 0.2 s is W = 24.0000004, 2 W = 48.
  transitionTime = 0.2f;
  EXPECT_TRUE(attempt(451).empty());
  EXPECT_EQ(attempt(452).size(), 1u);
}

TEST_F(GraphTest, RandomAndTimedLeaving) {
  evalType = 5;
  MotionController* controller = SwayingClip("leave", 400, {400});
  RandomTransitionGraph random(controller, 175);
  // One draw per call.
  std::srand(7);
  int expected = 0;
  for (int k = 0; k < 17500; ++k) expected += std::rand() % 175 == 0;
  std::srand(7);
  int leaves = 0;
  for (int k = 0; k < 17500; ++k) leaves += random.ShouldLeave();
  EXPECT_EQ(leaves, expected);
  EXPECT_GT(leaves, 50);
  EXPECT_LT(leaves, 150);
  RandomTransitionGraph never(controller, 0);
  EXPECT_FALSE(never.ShouldLeave());

  // Timed: period frames after landing, never after frameCount - 2 W
  // (400 - 36.0000014, truncated: 363).
  TimedTransitionGraph timed(controller, 100);
  controller->currentFrame = 99;
  EXPECT_FALSE(timed.ShouldLeave());
  controller->currentFrame = 100;
  EXPECT_TRUE(timed.ShouldLeave());
  timed.OnTransition(50);
  EXPECT_EQ(timed.targetFrame, 150);
  timed.OnTransition(263);
  EXPECT_EQ(timed.targetFrame, 363);
  timed.OnTransition(264);
  EXPECT_EQ(timed.targetFrame, 363);
  timed.OnTransition(300);
  EXPECT_EQ(timed.targetFrame, 363);
  CutoffOnlyTransitionGraph cutoff(controller);
  controller->currentFrame = 1000;
  EXPECT_FALSE(cutoff.ShouldLeave());
}
