// The ".gra" file: exact bytes written, what the reader accepts, and the
// files it refuses (the graph is then generated and the file left alone).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

using GraphFileTest = graph_test::GraphFixture;

// A controller without a graph for a new motion of `frames` frames.
MotionController* NewController(const std::string& name, int frames) {
  return (new Motion(name, frames, 0))->CreateController(0);
}

}  // namespace

TEST_F(GraphFileTest, WritesTheExactLayout) {
  TransitionGraph& graph = *graph_test::NewFileGraph(NewController("three", 3), "three.gra");
  EXPECT_EQ(ReadFile("three.gra"), "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n");

  // Weights as printf's "%g" writes them, integers plainly.
  graph.GetNode(0)->edges = {{2, 0.962f}, {1, 0.951f}};
  graph.GetNode(1)->edges = {{-7, 1.0f},      {-7, 0.95312345f}, {-7, 1e-5f}, {-7, 0.0001f},
                             {-7, 123456.0f}, {-7, 1234567.0f},  {-7, -0.0f}};
  graph.GetNode(2)->edges = {{0, 0.97f}};
  ASSERT_TRUE(graph.ExportGraph("out.gra"));
  EXPECT_EQ(ReadFile("out.gra"),
            "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 7\r\n"
            "-7 1 -7 0.953123 -7 1e-05 -7 0.0001 -7 123456 -7 1.23457e+06 -7 -0 \r\n"
            "2 1\r\n0 0.97 \r\n");
  EXPECT_EQ(Count("ExportGraph: done exporting three_graph in file out.gra"), 1);
  EXPECT_FALSE(fs::exists("out.gra.tmp"));

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
  EXPECT_EQ(Count("ImportGraph: done importing round_graph1 from file round.gra"), 1);
  // Written again, the table read gives the same bytes.
  ASSERT_TRUE(again.ExportGraph("again.gra"));
  EXPECT_EQ(ReadFile("again.gra"), ReadFile("round.gra"));
  EXPECT_EQ(again.GetNode(3)->edges[0].weight, 0.953123f);

  // Bare line feeds, tabs, signs, exponents, no final line end; the indices
  // before each node are not read.
  WriteFile("loose.gra", "3\n\n9 2\t2 +9.62e-1\n1 .951\n 7 0\n\n5 1\n0 97E-2");
  TransitionGraph& read = *graph_test::NewFileGraph(NewController("loose", 3), "loose.gra");
  graph_test::ExpectSameRows(&read, {{{2, 0.962f}, {1, 0.951f}}, {}, {{0, 0.97f}}});
  EXPECT_EQ(Count("GenerateGraph: generating loose_graph"), 0);
}

TEST_F(GraphFileTest, ALaterGraphReadsOnlyTheNodeCount) {
  Motion walk("walk", 100, 0);
  MotionController* first = walk.CreateController(1);
  // The second controller's file exists but holds something else entirely.
  WriteFile("walk1_graph.gra", "100 this is not a graph");
  MotionController* second = walk.CreateController(2);
  EXPECT_EQ(second->GetGraph()->nodes, first->GetGraph()->nodes);
  EXPECT_EQ(Count("GRAPH: Error importing"), 0);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), "100 this is not a graph");
  EXPECT_TRUE(second->GetGraph()->ImportGraph("walk_graph.gra"));
  EXPECT_FALSE(second->GetGraph()->ImportGraph("missing.gra"));
}

TEST_F(GraphFileTest, RefusedFilesAreReplacedByTheGeneratedGraph) {
  // Every file is meant for a motion of 3 frames.
  const std::vector<std::pair<const char*, std::string>> bad = {
      {"empty", ""},
      {"mid_weight_pair", "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 0\r\n\r\n2 1\r\n0 "},
      {"more_nodes", "4\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n3 0\r\n\r\n"},
      {"target_past_end", "3\r\n0 1\r\n3 0.9 \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"negative_target", "3\r\n0 0\r\n\r\n1 1\r\n-1 0.9 \r\n2 0\r\n\r\n"},
      {"negative_count", "3\r\n0 -1\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"huge_count", "3\r\n0 2147483647\r\n1 1 \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"not_a_weight", "3\r\n0 1\r\n1 nan \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"fifo", ""},  // would block an open
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    lines.clear();
    const std::string file = std::string(name) + ".gra";
    if (std::string(name) == "fifo") {
      ASSERT_EQ(mkfifo(file.c_str(), 0666), 0);
    } else {
      WriteFile(file, bytes);
    }
    MotionController* owner = NewController(name, 3);
    TransitionGraph& graph = *graph_test::NewFileGraph(owner, file);
    EXPECT_EQ(Count("GRAPH: Error importing transition graph " + graph.name), 1);
    EXPECT_EQ(Count("ImportGraph: done importing " + graph.name + " from file " + file), 0);
    EXPECT_EQ(Count("GenerateGraph: generating " + graph.name + "..."), 1);
    EXPECT_EQ(NodeTableMap().at(owner->GetMotion()), graph.nodes);
    // Written back: the next start reads it instead of generating again.
    EXPECT_EQ(ReadFile(file), "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n");
  }
}

TEST_F(GraphFileTest, AGraphThatCannotBeWrittenIsUsedAllTheSame) {
  TransitionGraph& graph =
      *graph_test::NewFileGraph(NewController("unwritten", 80), "missing_folder/unwritten.gra");
  EXPECT_EQ(Count("GRAPH: Error exporting transition graph unwritten_graph"), 1);
  ASSERT_NE(graph.nodes, nullptr);
  EXPECT_FALSE(graph.GetNode(0)->edges.empty());
  EXPECT_FALSE(fs::exists("missing_folder"));

  // A file in the way of the temporary name's rename: the old file stays.
  fs::create_directory("taken.gra");
  EXPECT_FALSE(graph.ExportGraph("taken.gra"));
  EXPECT_TRUE(fs::is_directory("taken.gra"));
  EXPECT_FALSE(fs::exists("taken.gra.tmp"));
}

TEST_F(GraphFileTest, AGraphMadeWithoutJointPositionsIsNotSaved) {
  // The position metric, an in-memory motion (no ".mpos") and no skeleton to
  // compute its joint positions with: every pair scores 0.
  evalType = 2;
  threshold = 1.0f;
  TransitionGraph& graph = *graph_test::NewFileGraph(NewController("blind", 80), "blind.gra");
  ASSERT_NE(graph.nodes, nullptr);
  EXPECT_EQ(Count("GRAPH: blind_graph was generated without joint positions; it is not saved"), 1);
  EXPECT_FALSE(fs::exists("blind.gra"));
}
