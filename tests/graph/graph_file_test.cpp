// The ".gra" file as a stream: graphs larger than the reader's block written
// and read on any number of threads, the number forms the reader takes and
// refuses, and a stop asked for while graphs are read, generated or written.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/stop_request.h"
#include "tests/graph/graph_fixture.h"

namespace {

using namespace graph_test;

class GraphFileTest : public GraphFixture {
 protected:
  ~GraphFileTest() override { SetGenerationThreads(0); }

  // A graph of `frames` frames without edges whose file is `file`; its
  // table is taken out of the registry, so that ImportGraph reads files.
  static FileGraph& Unregistered(const std::string& name, int frames) {
    FileGraph& graph = *new FileGraph((new Motion(name, frames, 0))->CreateController(0), name + ".gra");
    NodeTableMap().erase(graph.owner->GetMotion());
    return graph;
  }
};

TEST_F(GraphFileTest, LargeGraphsRoundTripThroughEveryBlockAndThreadCount) {
  // 3 000 nodes of up to 400 edges, weights over many magnitudes and both
  // signs: about 9 MB of text, more than one block of the reader and many
  // pieces of the writer.
  const int n = 3000;
  FileGraph& graph = *new FileGraph((new Motion("large", n, 0))->CreateController(0), "large_first.gra");
  std::ostringstream text;
  text.imbue(std::locale::classic());
  std::vector<std::vector<GraphEdge>> read(n);  // what a stream reads back
  text << n << "\r\n";
  uint32_t state = 12345;
  std::ostringstream one;
  one.imbue(std::locale::classic());
  std::istringstream back;
  back.imbue(std::locale::classic());
  for (int k = 0; k < n; ++k) {
    std::vector<GraphEdge>& edges = graph.GetNode(k)->edges;
    edges.clear();
    const int count = (k * 37) % 401;
    text << k << ' ' << count << "\r\n";
    for (int e = 0; e < count; ++e) {
      state = state * 1664525u + 1013904223u;
      const float weight = std::ldexp(static_cast<float>(state >> 8) / 16777216.0f, static_cast<int>(state % 60) - 40) *
                           (state & 128 ? -1.0f : 1.0f);
      edges.push_back(GraphEdge{static_cast<int>(state % n), weight});
      one.str("");
      one << weight;
      text << edges.back().target << ' ' << one.str() << ' ';
      back.clear();
      back.str(one.str());
      read[k].push_back(GraphEdge{edges.back().target, 0.0f});
      back >> read[k].back().weight;
    }
    text << "\r\n";
  }
  ASSERT_GT(text.str().size(), size_t{8} << 20);  // the reader's block
  GraphNode* written = graph.nodes;
  for (int threads : {1, 3, 0}) {
    SetGenerationThreads(threads);
    graph.nodes = written;
    ASSERT_TRUE(graph.ExportGraph("large.gra")) << threads;
    ASSERT_EQ(ReadFile("large.gra"), text.str()) << threads;
    NodeTableMap().erase(graph.owner->GetMotion());
    ASSERT_TRUE(graph.ImportGraph("large.gra")) << threads;
    ASSERT_NE(graph.nodes, written);
    ExpectRows(graph, read);
  }
}

TEST_F(GraphFileTest, NumbersAreReadAsAStreamReadsThem) {
  // Three frames; the edges that the files that import hold, as "target:bits".
  const float tiny = 0.0f;
  const struct {
    const char* name;
    std::string text;
    bool imports;
  } cases[] = {
      {"bare_line_feeds_and_tabs", "3\n0\t1\n2 0.5\n1 0\n\n2 0\n", true},
      {"signs_and_forms", "+3 7 2 +2 .5 1 5e-1 -1 0 2 1 0 -1e-50 trailing words", true},
      {"infinity", "3 0 1 2 inf 1 0 2 0", false},
      {"not_a_number", "3 0 1 2 nan 1 0 2 0", false},
      {"beyond_a_float", "3 0 1 2 1e39 1 0 2 0", false},
      {"hexadecimal", "3 0 1 2 0x1p-1 1 0 2 0", false},
      {"two_signs", "3 0 1 +-2 0.5 1 0 2 0", false},
      {"fraction_for_a_count", "3 0 1.5 2 0.5 1 0 2 0", false},
      {"negative_count", "3 0 -1 1 0 2 0", false},
      {"count_past_the_end", "3 0 2000000000 1 0.5", false},
      {"short", "3 0 2 2 0.5 1", false},
      {"empty", "", false},
  };
  FileGraph& graph = Unregistered("numbers", 3);
  for (const auto& c : cases) {
    WriteFile(c.name, c.text);
    EXPECT_EQ(graph.ImportGraph(c.name), c.imports) << c.name;
    NodeTableMap().erase(graph.owner->GetMotion());
  }
  ASSERT_TRUE(graph.ImportGraph("signs_and_forms"));
  ExpectRows(graph, {{{2, 0.5f}, {1, 0.5f}}, {}, {{0, -tiny}}});
  EXPECT_TRUE(std::signbit(graph.GetNode(2)->edges[0].weight));
}

// The graph file "kept.gra": three nodes without edges.
constexpr char kKeptGraph[] = "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n";

// Runs `work` in a child process, since a stop cannot be taken back; the
// test fails unless it returns true. The child starts in the program's first
// working folder: `work` runs in a folder of its own that holds "kept.gra",
// removed before the child ends.
void graphfile_InStopChild(bool (*work)()) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string folder = (fs::temp_directory_path() / "tavrin-stop-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) std::exit(2);
        fs::current_path(folder);
        CloseLogFile();
        WriteFile("kept.gra", kKeptGraph);
        const bool ok = work();
        SetLogConsoleSink(nullptr);
        CloseLogFile();
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(GraphFileTest, AStopLeavesNothingHalfMade) {
  graphfile_InStopChild([] {
    RequestStop();
    // A file that exists is not imported and nothing is generated in its
    // place; a missing one is generated no further and not written.
    FileGraph kept((new Motion("kept", 3, 0))->CreateController(0), "kept.gra");
    FileGraph fresh((new Motion("fresh", 400, 0))->CreateController(0), "fresh.gra");
    fresh.GetNode(0)->edges.push_back(GraphEdge{200, 1.0f});
    const bool ok = kept.nodes == nullptr && Count("GenerateGraph: generating kept") == 0 &&
                    Count("GRAPH: a stop was asked for; fresh_graph is not saved") == 1 &&
                    fresh.GetNode(100)->edges.empty() && !fresh.ExportGraph("fresh.gra") &&
                    !fs::exists("fresh.gra") && ReadFile("kept.gra") == kKeptGraph;
    bool leftovers = false;
    for (const auto& entry : fs::directory_iterator(".")) {
      leftovers |= entry.path().filename().string().find(".tmp") != std::string::npos;
    }
    return ok && !leftovers;
  });
}

// A signal may be handled on any of the program's threads: here a thread of
// its own asks for the stop once the generation has begun, while the graph
// threads run, and the import and the export after it read the stop with no
// other ordering between the two threads. The flags between the threads are
// relaxed on purpose: they order nothing, so ThreadSanitizer sees the stop
// itself as the only link (the sanitizer run of the test command).
TEST_F(GraphFileTest, AStopFromAnotherThreadDuringGenerationEndsIt) {
  graphfile_InStopChild([] {
    SetGenerationThreads(4);
    static std::atomic<bool> begun{false};
    static std::atomic<bool> asked{false};
    std::thread signalThread([] {
      while (!begun.load(std::memory_order_relaxed)) std::this_thread::yield();
      RequestStop();
      asked.store(true, std::memory_order_relaxed);
    });
    SetLogConsoleSink([](const char* text, int) {
      g_lines.push_back(text);
      if (std::string(text).rfind("GenerateGraph: generating big", 0) != 0) return;
      begun.store(true, std::memory_order_relaxed);
      while (!asked.load(std::memory_order_relaxed)) std::this_thread::yield();
    });
    FileGraph big((new Motion("big", 2000, 0))->CreateController(0), "big.gra");
    FileGraph kept((new Motion("kept", 3, 0))->CreateController(0), "kept.gra");
    const bool ok = Count("GenerateGraph: big_graph: a stop was asked for") == 1 &&
                    Count("GRAPH: a stop was asked for; big_graph is not saved") == 1 && !fs::exists("big.gra") &&
                    kept.nodes == nullptr && !big.ExportGraph("big.gra") && !fs::exists("big.gra") &&
                    ReadFile("kept.gra") == kKeptGraph;
    signalThread.join();
    return ok;
  });
}

}  // namespace
