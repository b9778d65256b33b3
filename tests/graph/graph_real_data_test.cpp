// The transition graph of real capture data: one motion joined from two walks
// (02_01, 343 frames, and 02_02, 298 frames), generated, written, read back,
// shared, and played.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/random_sequence.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/plain_graph.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"

using testing_support::MocapDir;
using testing_support::ReadFile;

namespace {

constexpr int kFrames = 343 + 298;
constexpr int kSecondClip = 343;
const double kW = static_cast<double>(0.15f) * 120.0;

// Works in a fresh folder holding the subject's skeleton and the two walks;
// the motion "walk" joins them.
class RealGraphTest : public testing::Test {
 protected:
  void SetUp() override {
    if (MocapDir().empty()) return;
    dir = std::make_unique<testing_support::ScopedWorkDir>();
    ASSERT_TRUE(testing_support::CopyRealClips(MocapDir(), {"02_01.amc", "02_02.amc"}));
    graph_test::CaptureLog(&lines);
    platform::ManualClock::Install(100.0);
    walk = new Motion("walk", "02_01.amc", 0.06f, 0);
    ASSERT_TRUE(walk->AppendFile("02_02.amc", 0.06f));
    ASSERT_EQ(walk->frameCount, kFrames);
    ASSERT_EQ(walk->segmentEnds, (std::vector<int>{kSecondClip, kFrames}));
  }
  void TearDown() override {
    graph_test::CaptureLog(nullptr);
    platform::ManualClock::Uninstall();
  }
  int Count(const std::string& prefix) const { return graph_test::CountPrefix(lines, prefix); }

  std::unique_ptr<testing_support::ScopedWorkDir> dir;
  std::vector<std::string> lines;
  Motion* walk = nullptr;
};

// Angle in radians between two rotations (either sign of a quaternion).
double RotationAngle(const Quaternion& a, const Quaternion& b) {
  const double dot = std::fabs(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                               static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w);
  return 2.0 * std::acos(std::min(1.0, dot));
}

}  // namespace

TEST_F(RealGraphTest, GeneratesExactlyWhatTheRulesSay) {
  TAVRIN_REQUIRE_MOCAP();
  ConsoleVariable<int> evalType("motionctrl.evaltype", 2);
  TransitionGraph* graph = nullptr;
  for (int metric : {0, 1, 2}) {
    SCOPED_TRACE(metric);
    evalType = metric;
    NodeTableMap().erase(walk);  // generate afresh
    GraphRandom().Seed(1);
    graph = walk->CreateController(1)->GetGraph();
    ASSERT_NE(graph, nullptr);
    std::srand(1);
    size_t calls = 0;
    const graph_test::Rows plain =
        testing_support::PlainGenerateGraph(walk->CreateController(0), &calls);
    EXPECT_EQ(GraphRandom().Next(), std::rand());
    graph_test::ExpectSameRows(graph, plain);
  }
  EXPECT_EQ(Count("GenerateGraph: generating walk"), 3);

  // The guarantees, checked on their own on the positions metric's graph.
  const float threshold = ConsoleVariable<float>("graph.eval_threshold", 1.0f);
  EXPECT_EQ(threshold, 0.95f);
  size_t edges = 0;
  int sources = 0;
  for (int i = 0; i < kFrames; ++i) {
    const std::vector<GraphEdge>& row = graph->GetNode(i)->edges;
    edges += row.size();
    sources += !row.empty();
    EXPECT_TRUE(row.empty() || (walk->GetSegmentEnd(i) - i > kW && i != kSecondClip)) << i;
    for (size_t e = 0; e < row.size(); ++e) {
      const int j = row[e].target;
      EXPECT_TRUE(std::abs(j - i) > 3 * kW && walk->GetSegmentEnd(j) - j > kW && j != kSecondClip &&
                  row[e].weight >= threshold && (e == 0 || j > row[e - 1].target))
          << i << " to " << j;
    }
  }
  // A walk repeats itself: most of its frames find similar ones.
  EXPECT_GT(sources, kFrames * 3 / 4);
  EXPECT_GT(edges, 1500u);
}

TEST_F(RealGraphTest, FileRoundTripAndSharedTable) {
  TAVRIN_REQUIRE_MOCAP();
  MotionController* first = walk->CreateController(1);
  GraphNode* generated = first->GetGraph()->nodes;
  const std::string written = ReadFile("walk_graph.gra");
  ASSERT_EQ(written.compare(0, 5, "641\r\n"), 0);

  // Read back into a fresh table and written again: the same bytes.
  NodeTableMap().erase(walk);
  TransitionGraph& imported = *graph_test::NewFileGraph(first, "walk_graph.gra");
  ASSERT_NE(imported.nodes, generated);
  ASSERT_TRUE(imported.ExportGraph("again.gra"));
  EXPECT_EQ(ReadFile("again.gra"), written);

  // A second controller adopts the registered table and writes its own file
  // from it, without generating.
  MotionController* second = walk->CreateController(1);
  EXPECT_EQ(second->name, "walk1");
  EXPECT_EQ(second->GetGraph()->nodes, imported.nodes);
  EXPECT_EQ(Count("GenerateGraph: generating"), 1);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), written);
}

// Plays the graph with simulated time: every shown frame and every blended
// frame of the old clip lies inside the motion, each blend lies between the
// two clips' rotations, and the root does not move sideways at a jump.
TEST_F(RealGraphTest, PlaysTheGraph) {
  TAVRIN_REQUIRE_MOCAP();
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    MotionController* controller = walk->CreateController(type);
    ASSERT_NE(controller->GetGraph(), nullptr);
    int transitions = 0;
    int blended = 0;
    float largestJump = 0.0f;  // target's recorded root to the shown one
    Vector3 shown = controller->GetPosture().root;
    bool wasTransitioning = false;
    for (int update = 0; update < 3000; ++update) {
      platform::ManualClock::Advance((1 + update % 8) / 240.0);  // 30 to 240 per second
      controller->Update();
      const int frame = controller->currentFrame;
      ASSERT_GE(frame, 0);
      ASSERT_LT(frame, kFrames);
      const Posture& out = controller->GetPosture();
      const int jumpFrame = controller->transitionFrame;
      if (controller->IsTransitioning() && !wasTransitioning) {
        ++transitions;
        EXPECT_EQ(frame, jumpFrame);
        // Exactly where it was shown, at the target frame's own height.
        EXPECT_NEAR(out.root.x, shown.x, 1e-4) << controller->previousFrame << " to " << frame;
        EXPECT_NEAR(out.root.z, shown.z, 1e-4) << controller->previousFrame << " to " << frame;
        const Vector3& recorded = walk->frames[frame].root;
        largestJump = std::max(largestJump, std::hypot(recorded.x - shown.x, recorded.z - shown.z));
      }
      // Blended: a running transition, or one that ended in this update
      // without a loop wrap.
      if ((controller->IsTransitioning() || wasTransitioning) && frame >= jumpFrame) {
        ++blended;
        const int old = controller->previousFrame + (frame - jumpFrame);
        const Posture& from = walk->frames[std::min(old, kFrames - 1)];
        const Posture& to = walk->frames[frame];
        for (int j = 1; j < kJointCount; ++j) {
          const double whole = RotationAngle(from.rotation[j], to.rotation[j]);
          const double parts = RotationAngle(from.rotation[j], out.rotation[j]) +
                               RotationAngle(out.rotation[j], to.rotation[j]);
          ASSERT_NEAR(parts, whole, 3e-3) << "frame " << frame << " joint " << j;
        }
      }
      wasTransitioning = controller->IsTransitioning();
      shown = out.root;
    }
    EXPECT_GT(transitions, 5);
    EXPECT_GT(blended, 5 * transitions);
    EXPECT_GT(largestJump, 0.1f);  // the check above is not trivially met
  }
}
