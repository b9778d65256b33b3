// The ".gra" file: exact bytes written, what the reader accepts, and the
// files it refuses (the graph is then generated and the file left alone).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;
using testing_support::WriteFile;

namespace {

class GraphFileTest : public testing::Test {
 protected:
  GraphFileTest() {
    evalType = 5;      // every pair scores 0.0 ...
    threshold = 0.0f;  // ... and becomes an edge: generation is visible
    transitionTime = 0.15f;
    graph_test::CaptureLog(&lines);
  }
  ~GraphFileTest() override { graph_test::CaptureLog(nullptr); }

  bool Logged(const std::string& text) const {
    for (const std::string& line : lines) {
      if (line == text) return true;
    }
    return false;
  }

  // A controller without a graph for a new motion of `frames` frames.
  static MotionController* NewController(const std::string& name, int frames) {
    return (new Motion(name, frames, 0))->CreateController(0);
  }

  ScopedWorkDir dir;
  std::vector<std::string> lines;
  ConsoleVariable<int> evalType{"motionctrl.evaltype", 2};
  ConsoleVariable<float> threshold{"graph.eval_threshold", 1.0f};
  ConsoleVariable<float> transitionTime{"motionctrl.transition_time", 0.15f};
};

}  // namespace

TEST_F(GraphFileTest, WritesTheExactLayout) {
  MotionController* owner = NewController("three", 3);
  TransitionGraph& graph = *graph_test::NewFileGraph(owner, "three.gra");
  EXPECT_EQ(ReadFile("three.gra"), "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n");

  graph.GetNode(0)->edges = {{2, 0.962f}, {1, 0.951f}};
  graph.GetNode(2)->edges = {{0, 0.97f}};
  ASSERT_TRUE(graph.ExportGraph("out.gra"));
  EXPECT_EQ(ReadFile("out.gra"), "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 0\r\n\r\n2 1\r\n0 0.97 \r\n");
  EXPECT_TRUE(Logged("ExportGraph: done exporting three_graph in file out.gra"));
  EXPECT_FALSE(fs::exists("out.gra.tmp"));

  // Weights as printf's "%g" writes them, integers plainly.
  const float weights[] = {1.0f,       0.953125f, 0.95312345f, 1e-5f, 0.0001f, 123456.0f,
                           1234567.0f, -2.5f,     0.0f,        -0.0f, 3.4e38f};
  graph.GetNode(1)->edges.clear();
  for (float w : weights) graph.GetNode(1)->edges.push_back({-7, w});
  ASSERT_TRUE(graph.ExportGraph("out.gra"));
  std::string line = "-7 ";
  char number[32];
  for (float w : weights) {
    std::snprintf(number, sizeof number, "%g", static_cast<double>(w));
    line += std::string(number) + " -7 ";
  }
  line.resize(line.size() - 3);
  EXPECT_EQ(ReadFile("out.gra"),
            "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 11\r\n" + line + "\r\n2 1\r\n0 0.97 \r\n");

  // A file that cannot be created: false, nothing left behind.
  EXPECT_FALSE(graph.ExportGraph("no/such/folder/x.gra"));
  EXPECT_FALSE(fs::exists("no"));
}

TEST_F(GraphFileTest, ReadsBackWhatItWroteAndAnyNumberLayout) {
  MotionController* owner = NewController("round", 80);
  TransitionGraph& graph = *graph_test::NewFileGraph(owner, "round.gra");
  GraphNode* table = graph.nodes;
  table[3].edges = {{70, 0.95312345f}, {10, 1e-7f}, {79, -1234567.0f}, {0, 1.0f}};
  table[79].edges = {{3, 0.5f}};
  ASSERT_TRUE(graph.ExportGraph("round.gra"));

  // A fresh table for the motion: the file is read, not the registered table.
  NodeTableMap().erase(owner->GetMotion());
  TransitionGraph& again = *graph_test::NewFileGraph(owner, "round.gra");
  ASSERT_NE(again.nodes, table);
  EXPECT_EQ(NodeTableMap().at(owner->GetMotion()), again.nodes);
  EXPECT_TRUE(Logged("ImportGraph: done importing round_graph1 from file round.gra"));
  for (int k = 0; k < 80; ++k) {
    const std::vector<GraphEdge>& read = again.GetNode(k)->edges;
    ASSERT_EQ(read.size(), table[k].edges.size()) << k;
    for (size_t e = 0; e < read.size(); ++e) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(table[k].edges[e].weight));
      EXPECT_EQ(read[e].target, table[k].edges[e].target);
      EXPECT_EQ(read[e].weight, std::strtof(text, nullptr)) << text;
    }
  }
  EXPECT_EQ(again.GetNode(3)->edges[0].weight, 0.953123f);

  // Bare line feeds, tabs, signs, exponents, no final line end; the indices
  // before each node are not read.
  Motion* motion = new Motion("loose", 3, 0);
  WriteFile("loose.gra", "3\n\n9 2\t2 +9.62e-1\n1 .951\n 7 0\n\n5 1\n0 97E-2");
  MotionController* loose = motion->CreateController(0);
  TransitionGraph& read = *graph_test::NewFileGraph(loose, "loose.gra");
  ASSERT_EQ(read.GetNode(0)->edges.size(), 2u);
  EXPECT_EQ(read.GetNode(0)->edges[0].target, 2);
  EXPECT_EQ(read.GetNode(0)->edges[0].weight, 0.962f);
  EXPECT_EQ(read.GetNode(0)->edges[1].target, 1);
  EXPECT_EQ(read.GetNode(0)->edges[1].weight, 0.951f);
  EXPECT_TRUE(read.GetNode(1)->edges.empty());
  ASSERT_EQ(read.GetNode(2)->edges.size(), 1u);
  EXPECT_EQ(read.GetNode(2)->edges[0].weight, 0.97f);
  EXPECT_FALSE(Logged("GenerateGraph: generating loose_graph..."));
}

TEST_F(GraphFileTest, ALaterGraphReadsOnlyTheNodeCount) {
  Motion walk("walk", 100, 0);
  MotionController* first = walk.CreateController(1);
  const std::string written = ReadFile("walk_graph.gra");
  // The second controller's file exists but holds something else entirely.
  WriteFile("walk1_graph.gra", "100 this is not a graph");
  MotionController* second = walk.CreateController(2);
  EXPECT_EQ(second->GetGraph()->nodes, first->GetGraph()->nodes);
  EXPECT_FALSE(Logged("GRAPH: Error importing transition graph walk1_graph"));
  EXPECT_EQ(ReadFile("walk1_graph.gra"), "100 this is not a graph");
  EXPECT_TRUE(second->GetGraph()->ImportGraph("walk_graph.gra"));
  EXPECT_FALSE(second->GetGraph()->ImportGraph("missing.gra"));
}

TEST_F(GraphFileTest, RefusedFilesAreKeptAndTheGraphIsGenerated) {
  const std::vector<std::pair<const char*, std::string>> bad = {
      {"empty", ""},
      {"words", "three\r\n"},
      {"mid_edge_line", "3\r\n0 2\r\n2 0.962 1"},
      {"mid_weight_pair", "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 0\r\n\r\n2 1\r\n0 "},
      {"short_of_nodes", "3\r\n0 0\r\n\r\n1 0\r\n\r\n"},
      {"more_nodes", "4\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n3 0\r\n\r\n"},
      {"fewer_nodes", "2\r\n0 0\r\n\r\n1 0\r\n\r\n"},
      {"target_past_end", "3\r\n0 1\r\n3 0.9 \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"negative_target", "3\r\n0 0\r\n\r\n1 1\r\n-1 0.9 \r\n2 0\r\n\r\n"},
      {"negative_count", "3\r\n0 -1\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"huge_count", "3\r\n0 2147483647\r\n1 1 \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"count_overflow", "3\r\n0 99999999999\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"not_a_weight", "3\r\n0 1\r\n1 nan \r\n1 0\r\n\r\n2 0\r\n\r\n"},
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    lines.clear();
    const std::string file = std::string(name) + ".gra";
    WriteFile(file, bytes);
    // Every file is meant for a motion of 3 frames.
    MotionController* owner = NewController(name, 3);
    TransitionGraph& graph = *graph_test::NewFileGraph(owner, file);
    EXPECT_TRUE(Logged("GRAPH: Error importing transition graph " + graph.name));
    EXPECT_TRUE(Logged("GenerateGraph: generating " + graph.name + "..."));
    EXPECT_EQ(NodeTableMap().at(owner->GetMotion()), graph.nodes);
    EXPECT_EQ(ReadFile(file), bytes);  // left alone, not exported over
    EXPECT_FALSE(fs::exists(file + ".tmp"));
  }
}

TEST_F(GraphFileTest, AGraphThatCannotBeWrittenIsUsedAllTheSame) {
  MotionController* owner = NewController("unwritten", 80);
  TransitionGraph& graph = *graph_test::NewFileGraph(owner, "missing_folder/unwritten.gra");
  EXPECT_TRUE(Logged("GRAPH: Error exporting transition graph unwritten_graph"));
  ASSERT_NE(graph.nodes, nullptr);
  EXPECT_FALSE(graph.GetNode(0)->edges.empty());
  EXPECT_FALSE(fs::exists("missing_folder"));

  // A file in the way of the temporary name's rename: the old file stays.
  fs::create_directory("taken.gra");
  EXPECT_FALSE(graph.ExportGraph("taken.gra"));
  EXPECT_TRUE(fs::is_directory("taken.gra"));
  EXPECT_FALSE(fs::exists("taken.gra.tmp"));
}
