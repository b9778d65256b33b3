// Transition graphs on hand-made motions: naming and table sharing, the
// generator at the bounds of its rules (the metrics' exactness on real data
// is in pose_metrics_test.cpp), motions without frames, the walk's two
// triggers, and the ".gra" file (the fuzz target reads arbitrary files and
// round-trips what it writes).
#include "graph/transition_graph.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "tests/graph/graph_fixture.h"
#include "tests/support/plain_graph.h"
#include "tests/support/read_rights.h"
#include "tests/support/tiny_skeleton.h"

namespace {

using namespace graph_test;

// AMC text of `frames` frames for the tiny skeleton, every angle swaying.
std::string SwayingAmc(int frames) {
  return testing_support::TinyAmcText(":DEGREES\n", frames,
                                      [](int f, int j, int a) { return std::sin(f * 0.1 + j + a); });
}

class GraphTest : public GraphFixture {
 protected:
  // The line logged by one update of the graph's owner (playing, the clock
  // standing still) at `frame`, "" when none, " and more" after it when
  // there were several.
  static std::string Walk(TransitionGraph& graph, int frame) {
    g_lines.clear();
    graph.owner->graph = &graph;
    graph.owner->currentFrame = frame;
    graph.owner->Update();
    return g_lines.empty() ? "" : g_lines.back() + (g_lines.size() > 1 ? " and more" : "");
  }
};

TEST_F(GraphTest, NamesRegistersAndSharesOneTablePerMotion) {
  Motion* walk = new Motion("Walk", 120, 0);
  TransitionGraph* graph = walk->CreateController(1)->GetGraph();
  EXPECT_EQ(graph->name + std::to_string(graph->GetNode(0)->edges.size()), "walk_graph3");  // 55, 73-77, 91-99
  // Later controllers adopt the table, whatever their graph type: a missing
  // file is written from it, of an existing one only the node count is read.
  WriteFile("walk2_graph.gra", "120 this is not a graph");
  MotionController* second = walk->CreateController(2);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), ReadFile("walk_graph.gra"));
  for (MotionController* later : {second, walk->CreateController(1)}) EXPECT_EQ(later->GetGraph()->nodes, graph->nodes);
  EXPECT_EQ(Count("GenerateGraph: generating") + Count("GRAPH: Error importing"), 1);
  // Types 0 and 3 make no graph (both null).
  EXPECT_EQ(walk->CreateController(0)->GetGraph(), walk->CreateController(3)->GetGraph());
}

TEST_F(GraphTest, GeneratorFollowsThePlainRulesToTheirBounds) {
  // Two clips of 500 and 400 frames, every pair an edge (type 5), and the
  // whole window of 0.25 s (W = 30): the exclusion zone of 90 frames, the
  // clip ends and the last sources meet their bounds exactly.
  transitionTime = 0.25f;
  // On one thread the walk and the comparisons take turns over a few blocks;
  // on more they run side by side: the same graph.
  for (int threads : {1, 2, 0}) {
    SetGenerationThreads(threads);
    MotionController* controller = SwayingClip(900, {500, 900});
    GraphRandom().Seed(1);
    FixedFrameTransitionGraph graph(controller);
    std::srand(1);
    size_t calls = 0;
    ExpectRows(graph, testing_support::PlainGenerateGraph(controller, &calls));
    EXPECT_EQ(GraphRandom().Next(), std::rand());  // the same draws, as many
    // The last source of each clip leaves its window and one frame more (469
    // and 869; 870 lies no longer below N - W), the first of the second clip
    // is 501 (not 500), and the first target above source 200 lies past its
    // exclusion zone: 291.
    for (int i : {469, 470, 500, 501, 869, 870}) EXPECT_EQ(graph.GetNode(i)->edges.empty(), i % 10 == 0) << i;
    int above = 0;
    for (const GraphEdge& edge : graph.GetNode(200)->edges) above = above == 0 && edge.target > 200 ? edge.target : above;
    EXPECT_EQ(above, 291);
    EXPECT_EQ(graph.GetNode(900), graph.GetNode(-1));  // outside the table: both null
  }
  SetGenerationThreads(0);
  // A window that is not positive, or longer than any motion: no edges.
  for (float never : {-0.004f, 1e30f}) {
    transitionTime = never;
    TransitionGraph& none = *SwayingClip(300)->GetMotion()->CreateController(1)->GetGraph();
    EXPECT_EQ(none.GetNode(0)->edges.size() + none.GetNode(150)->edges.size(), 0u) << never;
  }
}

TEST_F(GraphTest, MotionsWithoutFramesGetEmptyGraphsAndNoFile) {
  // A motion whose file is missing (frame count -1), no motion, a motion
  // destroyed under its controller, a loaded motion of no frames (an empty
  // table and a file of one line): nothing is read, nothing said.
  Motion* gone = new Motion("gone", 400, 0);
  MotionController orphan(nullptr, 2, 1.0f);
  TransitionGraph* graphs[] = {(new Motion("ghost", "missing.amc", 0.06f, 0))->CreateController(1)->GetGraph(),
                               orphan.GetGraph(), gone->CreateController(1)->GetGraph(),
                               (new Motion("empty", 0, 0))->CreateController(1)->GetGraph()};
  delete gone;
  for (TransitionGraph* graph : graphs) {
    EXPECT_EQ(graph->GetNode(0), nullptr);
    graph->owner->Update();
    if (graph != graphs[3]) graph->GraphUpdate();
  }
  EXPECT_EQ(Count("GraphUpdate"), 0);
  EXPECT_FALSE(fs::exists("ghost_graph.gra"));
  EXPECT_EQ(ReadFile("empty_graph.gra"), "0\r\n");
  EXPECT_EQ(CreateTransitionGraph(1, nullptr), nullptr);
  // The motion grows after its table was made (frames joined later): the
  // next graph makes a table of its own.
  Motion* grow = new Motion("grow", 100, 0);
  GraphNode* before = grow->CreateController(1)->GetGraph()->nodes;
  delete[] grow->frames;
  grow->frames = new Posture[200];
  grow->frameCount = 200;
  grow->segmentEnds = {100, 200};
  TransitionGraph& after = *grow->CreateController(1)->GetGraph();
  EXPECT_NE(after.nodes, before);
  EXPECT_FALSE(after.GetNode(150)->edges.empty());
}

TEST_F(GraphTest, VariantsLeaveByTheirRulesAndEveryGraphNearTheEndOfAClip) {
  MotionController* controller = SwayingClip(900, {400, 900});
  FixedFrameTransitionGraph fixed(controller);
  // Ties go to the earlier edge; a weight must beat -1.0.
  fixed.GetNode(338)->edges = {{10, 0.5f}, {50, 0.97f}, {20, 0.97f}, {40, 0.7f}};
  fixed.GetNode(337)->edges = {{30, -0.5f}};
  fixed.GetNode(339)->edges = {{60, -1.0f}};
  EXPECT_EQ(fixed.ChooseNext(337) + fixed.ChooseNext(339) + fixed.ChooseNext(900), 30);
  EXPECT_EQ(Walk(fixed, 337), "");
  EXPECT_EQ(Walk(fixed, 338), "GraphUpdate: Attempting normal transition: (338 to 50)");
  EXPECT_EQ(controller->currentFrame, 50);
  // While the jump blends, neither trigger starts another one.
  EXPECT_EQ(Walk(fixed, 338), "");
  controller->transitioning = true;
  EXPECT_EQ(Walk(fixed, 390), "");
  // The cutoff: within 2 W (36.0000014) frames of the end of the clip;
  // frames past the last source have no edges.
  CutoffOnlyTransitionGraph cutoff(controller);
  const std::pair<int, const char*> walks[] = {{363, ""},
                                               {364, "GraphUpdate: Attempting cutoff transition: (364 to 0)"},
                                               {382, "GraphUpdate: no valid transitions on frame 382"},
                                               {400, "GraphUpdate: no valid transitions on frame 400"},
                                               {401, ""},
                                               {863, ""},
                                               {864, "GraphUpdate: Attempting cutoff transition: (864 to 0)"}};
  for (const auto& [frame, logged] : walks) {
    controller->transitioning = false;
    EXPECT_EQ(Walk(cutoff, frame), logged);
  }
  // The window is read at every update: 0.25 s is W = 30, 2 W = 60 frames.
  transitionTime = 0.25f;
  EXPECT_EQ(Walk(cutoff, 339), "");
  EXPECT_NE(Walk(cutoff, 340), "");
  // graph.debug 0 silences the walk but not the jump.
  debug = 0;
  controller->transitioning = false;
  EXPECT_EQ(Walk(cutoff, 399), "");  // no edges there
  EXPECT_EQ(Walk(fixed, 338), "");
  EXPECT_EQ(controller->currentFrame, 50);
  // The random graph draws one number per update: leaving when it is a
  // multiple of its period; a period below 1 never leaves.
  EXPECT_TRUE(RandomTransitionGraph(controller, 1).ShouldLeave());
  EXPECT_FALSE(RandomTransitionGraph(controller, 0).ShouldLeave());
  // The timed graph leaves `period` frames after landing, but never later
  // than 2 W before the end of the motion (400 - 60 with W = 30 still).
  TimedTransitionGraph timed(SwayingClip(400), 100);
  timed.OnTransition(241);
  EXPECT_EQ(timed.targetFrame, 340);
}

TEST_F(GraphTest, FilesHoldTheExactLayout) {
  FileGraph& graph = *new FileGraph((new Motion("three", 3, 0))->CreateController(0), "three.gra");
  EXPECT_EQ(ReadFile("three.gra"), "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n");
  // Weights as printf's "%g" writes them, integers plainly.
  graph.GetNode(0)->edges = {{2, 0.962f}, {1, 0.951f}};
  graph.GetNode(1)->edges = {{-7, 1.0f},      {-7, 0.95312345f}, {-7, 1e-5f}, {-7, 0.0001f},
                             {-7, 123456.0f}, {-7, 1234567.0f},  {-7, -0.0f}};
  graph.GetNode(2)->edges = {{0, 0.97f}};
  ASSERT_TRUE(graph.ExportGraph("out.gra"));
  EXPECT_EQ(ReadFile("out.gra"),
            "3\r\n0 2\r\n2 0.962 1 0.951 \r\n1 7\r\n"
            "-7 1 -7 0.953123 -7 1e-05 -7 0.0001 -7 123456 -7 1.23457e+06 -7 -0 \r\n2 1\r\n0 0.97 \r\n");
}

// A file made before the motion's text or caches or the skeleton last
// changed (or were replaced) describes other frames: the graph is generated
// again and written over it. A file made after all of them is imported.
TEST_F(GraphTest, AFileOlderThanWhatItWasMadeFromIsGeneratedAgain) {
  ASSERT_TRUE(testing_support::WriteTinySkeleton());
  WriteFile("data/motions/fresh.amc", testing_support::TinyAmcText(":DEGREES\n", 80, [](int f, int j, int a) {
              return std::sin(f * 0.1 + j + a);
            }));
  Motion* motion = new Motion("fresh", "fresh.amc", 0.06f, 0);
  ASSERT_EQ(motion->frameCount, 80);
  std::string empty = "80\r\n";
  for (int k = 0; k < 80; ++k) empty += std::to_string(k) + " 0\r\n\r\n";
  for (const char* changed : {"", "data/motions/fresh.amc", "data/motions/fresh.bin", "data/motions/fresh.mpos",
                              "MartialArts.asf"}) {
    WriteFile("fresh.gra", empty);
    if (*changed != 0) fs::last_write_time(changed, fs::file_time_type::clock::now() + std::chrono::minutes(1));
    NodeTableMap().erase(motion);
    g_lines.clear();
    FileGraph& graph = *new FileGraph(motion->CreateController(0), "fresh.gra");
    const bool stale = *changed != 0;
    EXPECT_EQ(Count("GRAPH: fresh.gra is older than the motion or skeleton it was made from; " + graph.name +
                    " is made again"), stale) << changed;
    EXPECT_EQ(graph.GetNode(0)->edges.empty() && ReadFile("fresh.gra") == empty, !stale) << changed;
    if (stale) fs::last_write_time(changed, fs::file_time_type::clock::now() - std::chrono::minutes(1));
  }
}

// A skeleton dated ahead of the clock (an archive unpacked from another
// time zone): the caches and the graph made from it are read at the next
// start, not made again, and the skeleton keeps its time.
TEST_F(GraphTest, AGraphMadeFromASourceDatedAheadIsImportedAtTheNextStart) {
  ASSERT_TRUE(testing_support::WriteTinySkeleton());
  WriteFile("data/motions/ahead.amc", SwayingAmc(80));
  const auto tomorrow = fs::file_time_type::clock::now() + std::chrono::hours(24);
  fs::last_write_time("MartialArts.asf", tomorrow);
  for (int start = 0; start < 2; ++start) {
    g_lines.clear();
    FileGraph graph((new Motion("ahead", "ahead.amc", 0.06f, 0))->CreateController(0), "ahead.gra");
    EXPECT_FALSE(graph.GetNode(0)->edges.empty());
    EXPECT_EQ(Count("Done Loading Motion data/motions/ahead.bin parsed as binary..."), start);
    EXPECT_EQ(Count("GenerateGraph: generating"), 1 - start);
    EXPECT_EQ(Count("ImportGraph: done importing " + graph.name + " from file ahead.gra"), start);
  }
  EXPECT_EQ(fs::last_write_time("MartialArts.asf"), tomorrow);
}

// Frames parsed with errors (a clip cut short, alone or joined to a good
// one), or with a skeleton that did not load whole, serve the run with a
// graph, but no graph file is written from them: a good file of an earlier
// start (of the whole clip's 80 frames) stays as it was, byte for byte.
TEST_F(GraphTest, NoFileIsWrittenFromFramesParsedWithErrors) {
  ASSERT_TRUE(testing_support::WriteTinySkeleton());
  const std::string clip = SwayingAmc(80);
  for (const char* name : {"good", "bare"}) WriteFile("data/motions/" + std::string(name) + ".amc", clip);
  WriteFile("data/motions/cut.amc", clip.substr(0, clip.rfind('\n', clip.size() - 2) + 1));
  std::string good = "80\r\n";
  for (int k = 0; k < 80; ++k) good += std::to_string(k) + " 0\r\n\r\n";
  WriteFile("cut.gra", good);
  WriteFile("bare.gra", good.substr(0, 20));  // short, so not imported
  // Good text and skeleton: the file is written as ever.
  const FileGraph whole((new Motion("good", "good.amc", 0.06f, 0))->CreateController(0), "good.gra");
  EXPECT_TRUE(fs::exists("good.gra"));
  Motion* joined = new Motion("joined", "good.amc", 0.06f, 0);
  ASSERT_TRUE(joined->AppendFile("cut.amc", 0.06f));
  Motion* cut = new Motion("cut", "cut.amc", 0.06f, 0);
  const std::string asf = ReadFile("MartialArts.asf");
  WriteFile("MartialArts.asf", asf.substr(0, asf.find(":hierarchy")));
  ForgetDefaultSkeletons();
  Motion* bare = new Motion("bare", "bare.amc", 0.06f, 0);
  ASSERT_EQ(cut->frameCount + bare->frameCount + joined->frameCount, 79 + 80 + 159);
  for (Motion* motion : {joined, cut, bare}) {
    g_lines.clear();
    const std::string file = motion->name + ".gra", before = ReadFile(file);
    FileGraph graph(motion->CreateController(0), file);
    EXPECT_FALSE(graph.GetNode(0)->edges.empty()) << file;
    EXPECT_EQ(Count("GRAPH: " + graph.name + " was made from a motion or skeleton with errors; it is not saved"), 1);
    EXPECT_EQ(ReadFile(file), before) << file;
  }
  EXPECT_FALSE(fs::exists("joined.gra"));
}

// Caches and a graph file that cannot be read, even by the superuser: each is
// logged with the reason and made again, readable this time, so the next
// start reads them.
TEST_F(GraphTest, UnreadableCachesAndFilesAreLoggedAndReplacedByReadableOnes) {
  ASSERT_TRUE(testing_support::WriteTinySkeleton());
  WriteFile("data/motions/sealed.amc", SwayingAmc(80));
  const FileGraph first((new Motion("sealed", "sealed.amc", 0.06f, 0))->CreateController(0), "sealed.gra");
  testing_support::ReadRightsDropped dropped;
  if (!dropped.Work()) TAVRIN_SKIP_TEST("files of mode 000 stay readable here");
  const std::string files[] = {"data/motions/sealed.bin", "data/motions/sealed.mpos", "sealed.gra"};
  for (const std::string& file : files) ASSERT_EQ(chmod(file.c_str(), 0), 0);
  for (int start = 0; start < 2; ++start) {
    g_lines.clear();
    FileGraph graph((new Motion("sealed", "sealed.amc", 0.06f, 0))->CreateController(0), "sealed.gra");
    for (const std::string& file : files) {
      const std::string function = file == "sealed.gra" ? "GRAPH: " : "LoadMotion: ";
      EXPECT_EQ(Count(function + file + " cannot be read: Permission denied; it is not used"), 1 - start) << file;
      struct stat info = {};
      EXPECT_TRUE(stat(file.c_str(), &info) == 0 && (info.st_mode & 0777) == 0400) << file;
    }
    EXPECT_EQ(Count("Done Loading Motion data/motions/sealed.bin parsed as binary...") + Count("ImportGraph: done"),
              2 * start);
  }
}

TEST_F(GraphTest, RefusedFilesAreReplacedAndSomeGraphsAreNotWritten) {
  // Every file is meant for a motion of 3 frames: the graph generated in its
  // place is written over it, so the next start reads it.
  const std::pair<const char*, std::string> bad[] = {
      {"more_nodes", "4\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n3 0\r\n\r\n"},
      {"fewer_nodes", "2\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"target_past_end", "3\r\n0 1\r\n3 0.9 \r\n1 0\r\n\r\n2 0\r\n\r\n"},
      {"negative_target", "3\r\n0 0\r\n\r\n1 1\r\n-1 0.9 \r\n2 0\r\n\r\n"},
      {"fifo", ""},  // would block an open
  };
  for (const auto& [name, bytes] : bad) {
    const std::string file = std::string(name) + ".gra";
    if (file == "fifo.gra") {
      ASSERT_EQ(mkfifo(file.c_str(), 0666), 0);
    } else {
      WriteFile(file, bytes);
    }
    g_lines.clear();
    FileGraph& graph = *new FileGraph((new Motion(name, 3, 0))->CreateController(0), file);
    EXPECT_EQ(Count("GRAPH: Error importing transition graph " + graph.name), 1) << name;
    EXPECT_EQ(ReadFile(file), "3\r\n0 0\r\n\r\n1 0\r\n\r\n2 0\r\n\r\n") << name;
  }
  // The position metric, an in-memory motion (no ".mpos") and no skeleton to
  // compute its joint positions with: every pair scores 0, and such a graph
  // is not saved, or later starts would trust it.
  evalType = 2;
  EXPECT_NE(FileGraph((new Motion("blind", 80, 0))->CreateController(0), "blind.gra").nodes, nullptr);
  EXPECT_EQ(Count("GRAPH: blind_graph was generated without joint positions; it is not saved"), 1);
  EXPECT_FALSE(fs::exists("blind.gra"));
}

}  // namespace
