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
#include "graph/random_sequence.h"
#include "motion/motion.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/plain_graph.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;

namespace graph_test {

namespace {

std::vector<std::string>* g_lines = nullptr;
void CaptureLine(const char* text, int) { g_lines->push_back(text); }

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

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines) count += line.compare(0, prefix.size(), prefix) == 0;
  return count;
}

TransitionGraph* NewFileGraph(MotionController* owner, const std::string& file) {
  return new FileGraph(owner, file);
}

void ExpectSameRows(TransitionGraph* graph, const Rows& expected) {
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::vector<GraphEdge>& row = graph->GetNode(static_cast<int>(i))->edges;
    ASSERT_EQ(row.size(), expected[i].size()) << "node " << i;
    for (size_t e = 0; e < row.size(); ++e) {
      ASSERT_TRUE(row[e].target == expected[i][e].target &&
                  std::memcmp(&row[e].weight, &expected[i][e].weight, sizeof(float)) == 0)
          << "node " << i << " edge " << e;
    }
  }
}

}  // namespace graph_test

namespace {

using GraphTest = graph_test::GraphFixture;

// A clip cut at `ends` and a controller for it without a graph, whose joint
// rotations and positions sway with the frame (period about 90 frames), so
// that every metric finds some windows alike and others not.
MotionController* SwayingClip(const std::string& name, int frames, std::vector<int> ends) {
  Motion* motion = new Motion(name, frames, 0);
  motion->segmentEnds = std::move(ends);
  MotionController* controller = motion->CreateController(0);
  controller->markerCache = new MarkerSet[frames];
  for (int f = 0; f < frames; ++f) {
    for (int j = 1; j < kJointCount; ++j) {
      const float sway = std::sin(f * 0.07f + j);
      motion->frames[f].rotation[j] = Quaternion(12.0f * sway, 0.0f, 0.0f);
      controller->markerCache[f].positions[j] = Vector3(0.0f, 0.1f * sway, 0.0f);
    }
  }
  return controller;
}

// Every edge of the graph's first `n` nodes as "source>target ".
std::string EdgeList(TransitionGraph& graph, int n) {
  std::string list;
  for (int i = 0; i < n; ++i) {
    for (const GraphEdge& edge : graph.GetNode(i)->edges) {
      list += std::to_string(i) + ">" + std::to_string(edge.target) + " ";
    }
  }
  return list;
}

}  // namespace

TEST_F(GraphTest, NamesRegistersAndSharesOneTablePerMotion) {
  Motion walk("Walk", 120, 0);
  MotionController* first = walk.CreateController(1);
  TransitionGraph* graph = first->GetGraph();
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(NodeTableMap().at(&walk), graph->nodes);
  // Frame 0's candidates: 55, one of 73 to 77 and one of 91 to 99.
  ASSERT_EQ(graph->GetNode(0)->edges.size(), 3u);
  EXPECT_EQ(graph->GetNode(0)->edges[0].target, 55);

  // A second controller adopts the table, whatever its graph type, and
  // writes its own file from it; more graphs of one controller count up
  // from 1, and a destroyed graph gives its name back.
  MotionController* second = walk.CreateController(2);
  EXPECT_EQ(second->GetGraph()->name, "walk1_graph");
  EXPECT_EQ(second->GetGraph()->nodes, graph->nodes);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), ReadFile("walk_graph.gra"));
  {
    CutoffOnlyTransitionGraph extra(first);
    TimedTransitionGraph another(first, 50);
    EXPECT_EQ(extra.name + " " + another.name, "walk_graph1 walk_graph2");
  }
  EXPECT_EQ(GraphRegistry().count("walk_graph1"), 0u);
  EXPECT_EQ(GraphRegistry().at("walk_graph"), graph);
  EXPECT_EQ(Count("GenerateGraph: generating"), 1);

  // No graph for types 0 and 3, and no file.
  EXPECT_EQ(walk.CreateController(0)->GetGraph(), nullptr);
  EXPECT_EQ(walk.CreateController(3)->GetGraph(), nullptr);
  EXPECT_FALSE(fs::exists("walk2_graph.gra") || fs::exists("walk3_graph.gra"));
}

TEST_F(GraphTest, GeneratorMatchesThePlainRulesBitForBit) {
  // Two clips of 500 and 400 frames; each metric, with the default window or
  // shorter ones whose product with 120 is not a whole number (11.9999993:
  // the targets step by 11, 12 or 13 frames alike; 12.0000002; 0.6: windows
  // of no frame, every pair scores 1.0), on one thread or on several.
  const struct {
    int metric;
    float seconds;
    int threads;
  } cases[] = {{2, 0.15f, 1}, {2, std::nextafter(0.1f, 0.0f), 3}, {0, 0.15f, 4},
               {1, 0.1f, 1},  {0, 0.005f, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.metric << ", " << c.seconds << " s, " << c.threads);
    evalType = c.metric;
    transitionTime = c.seconds;
    SetGenerationThreads(c.threads);
    MotionController* controller = SwayingClip("sway", 900, {500, 900});
    GraphRandom().Seed(1);
    FixedFrameTransitionGraph graph(controller);
    std::srand(1);
    size_t calls = 0;
    const graph_test::Rows plain = testing_support::PlainGenerateGraph(controller, &calls);
    EXPECT_EQ(GraphRandom().Next(), std::rand());  // the same draws, as many
    graph_test::ExpectSameRows(&graph, plain);
    // Some windows are alike, the others are not.
    size_t edges = 0;
    for (const auto& row : plain) edges += row.size();
    EXPECT_TRUE(c.seconds < 0.01f ? edges == calls : edges > calls / 5 && edges < calls / 2)
        << edges << " of " << calls;
  }
  SetGenerationThreads(0);
}

TEST_F(GraphTest, SourcesAndTargetsStayClearOfClipEnds) {
  CutoffOnlyTransitionGraph graph(SwayingClip("clips", 900, {500, 900}));
  for (int i = 0; i < 900; ++i) {
    const std::vector<GraphEdge>& edges = graph.GetNode(i)->edges;
    EXPECT_EQ(!edges.empty(), i <= 481 || (i >= 501 && i <= 881)) << "frame " << i;
    for (size_t e = 0; e < edges.size(); ++e) {
      const int j = edges[e].target;
      EXPECT_TRUE(std::abs(j - i) > 54 && !(j >= 482 && j <= 500) && j < 882) << i << " to " << j;
      if (e == 0) continue;
      const int previous = edges[e - 1].target;
      EXPECT_GT(j, previous);
      // Within one clip and on one side of the source, targets lie W to W + 4
      // frames apart.
      if ((j < 500) == (previous < 500) && (j < i) == (previous < i)) {
        EXPECT_TRUE(j - previous >= 18 && j - previous <= 22) << previous << ", " << j;
      }
    }
  }
  EXPECT_EQ(graph.GetNode(900), nullptr);
  EXPECT_EQ(graph.GetNode(-1), nullptr);
}

TEST_F(GraphTest, ShortestMotionsWithEdges) {
  // 73 frames: no pair lies far enough apart; 74: one pair.
  CutoffOnlyTransitionGraph m73(SwayingClip("m73", 73, {73}));
  EXPECT_EQ(EdgeList(m73, 73), "");
  CutoffOnlyTransitionGraph m74(SwayingClip("m74", 74, {74}));
  EXPECT_EQ(EdgeList(m74, 74), "0>55 55>0 ");
  // A window that is not positive, or longer than any motion, gives nodes
  // without edges, at once.
  for (float seconds : {-0.2f, 1e30f}) {
    transitionTime = seconds;
    CutoffOnlyTransitionGraph graph(SwayingClip("odd", 300, {300}));
    EXPECT_EQ(EdgeList(graph, 300), "") << seconds;
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
  EXPECT_EQ(Walk(*graph, 0), "");  // reads nothing, says nothing
  controller->Update();

  MotionController orphan(nullptr, 2, 1.0f);
  ASSERT_NE(orphan.GetGraph(), nullptr);
  EXPECT_EQ(orphan.GetGraph()->nodes, nullptr);
  orphan.GetGraph()->GraphUpdate();
  EXPECT_EQ(CreateTransitionGraph(1, nullptr), nullptr);

  // A motion destroyed under its controller is read no more.
  Motion* gone = new Motion("gone", 400, 0);
  MotionController* left = gone->CreateController(1);
  delete gone;
  EXPECT_EQ(Walk(*left->GetGraph(), 390), "");
  left->Update();
  EXPECT_EQ(left->GetGraph()->GetNode(0), nullptr);

  // A loaded motion of no frames: an empty table and a file of one line.
  Motion empty("empty", 0, 0);
  MotionController* none = empty.CreateController(1);
  EXPECT_EQ(none->GetGraph()->GetNode(0), nullptr);
  EXPECT_EQ(ReadFile("empty_graph.gra"), "0\r\n");
  none->Update();
}

TEST_F(GraphTest, ATableIsNeverAdoptedByAMotionOfAnotherLength) {
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
  EXPECT_FALSE(after->GetGraph()->GetNode(150)->edges.empty());
  EXPECT_EQ(Count("GRAPH: node table of 100 nodes does not fit a motion of 200 frames; rebuilt"),
            1);
  EXPECT_EQ(Count("GenerateGraph: generating grow1_graph..."), 1);
}

TEST_F(GraphTest, FixedFrameLeavesFrom338ToTheHeaviestEdge) {
  MotionController* controller = SwayingClip("fixed", 400, {400});
  FixedFrameTransitionGraph graph(controller);
  // Ties go to the earlier edge; a weight must beat -1.0.
  graph.GetNode(338)->edges = {{10, 0.5f}, {50, 0.97f}, {20, 0.97f}, {40, 0.7f}};
  graph.GetNode(337)->edges = {{30, 0.99f}};
  graph.GetNode(339)->edges = {{60, -2.0f}};
  EXPECT_EQ(graph.ChooseNext(339), 0);
  EXPECT_EQ(graph.ChooseNext(400), 0);  // outside the table
  EXPECT_EQ(Walk(graph, 337), "");
  EXPECT_EQ(controller->currentFrame, 337);
  EXPECT_EQ(Walk(graph, 338), "GraphUpdate: Attempting normal transition: (338 to 50)");
  EXPECT_EQ(controller->currentFrame, 50);
  // While the jump blends, neither trigger starts another one (390 is also
  // within the cutoff).
  EXPECT_EQ(Walk(graph, 338), "");
  EXPECT_EQ(Walk(graph, 390), "");
  // graph.debug 0 silences the walk but not the jump.
  debug = 0;
  controller->transitioning = false;
  EXPECT_EQ(Walk(graph, 395), "");  // no edges there
  EXPECT_EQ(Walk(graph, 338), "");
  EXPECT_EQ(controller->currentFrame, 50);
}

TEST_F(GraphTest, CutoffNearTheEndOfEachClip) {
  MotionController* controller = SwayingClip("cutoff", 900, {500, 900});
  CutoffOnlyTransitionGraph graph(controller);
  auto attempt = [&](int frame) {
    controller->transitioning = false;
    return Walk(graph, frame);
  };
  EXPECT_EQ(attempt(463), "");  // 37 frames before the segment end
  EXPECT_EQ(attempt(464), "GraphUpdate: Attempting cutoff transition: (464 to 0)");
  EXPECT_EQ(controller->currentFrame, 0);
  EXPECT_NE(attempt(481), "");
  for (int frame : {482, 500, 899}) {
    EXPECT_EQ(attempt(frame),
              "GraphUpdate: no valid transitions on frame " + std::to_string(frame));
    EXPECT_EQ(controller->currentFrame, frame);
  }
  EXPECT_EQ(attempt(501), "");
  EXPECT_EQ(attempt(863), "");
  EXPECT_NE(attempt(864), "");
  // A longer window moves the cutoff: 0.2 s is W = 24.0000004, 2 W = 48.
  transitionTime = 0.2f;
  EXPECT_EQ(attempt(451), "");
  EXPECT_NE(attempt(452), "");
}

TEST_F(GraphTest, RandomAndTimedLeaving) {
  MotionController* controller = SwayingClip("leave", 400, {400});
  RandomTransitionGraph random(controller, 175);
  // One draw per call, from the sequence of the C library's rand().
  std::srand(7);
  int expected = 0;
  for (int k = 0; k < 17500; ++k) expected += std::rand() % 175 == 0;
  GraphRandom().Seed(7);
  int leaves = 0;
  for (int k = 0; k < 17500; ++k) leaves += random.ShouldLeave();
  EXPECT_EQ(leaves, expected);
  EXPECT_FALSE(RandomTransitionGraph(controller, 0).ShouldLeave());

  // Timed: period frames after landing, never after frameCount - 2 W
  // (400 - 36.0000014, truncated: 363).
  TimedTransitionGraph timed(controller, 100);
  controller->currentFrame = 99;
  EXPECT_FALSE(timed.ShouldLeave());
  controller->currentFrame = 100;
  EXPECT_TRUE(timed.ShouldLeave());
  const int landings[][2] = {{50, 150}, {263, 363}, {264, 363}};
  for (const auto& [target, leave] : landings) {
    timed.OnTransition(target);
    EXPECT_EQ(timed.targetFrame, leave) << target;
  }
  controller->currentFrame = 1000;
  EXPECT_FALSE(CutoffOnlyTransitionGraph(controller).ShouldLeave());
}
