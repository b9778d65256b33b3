// The transition graph of real capture data: one motion joined from two walks
// (02_01, 343 frames, and 02_02, 298 frames), generated, written, read back,
// shared, and played.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "tests/graph/graph_test_helpers.h"
#include "tests/support/plain_graph.h"
#include "tests/support/real_clips.h"
#include "tests/support/temp_dir.h"

using testing_support::MocapDir;
using testing_support::ReadFile;
using testing_support::ScopedWorkDir;

namespace {

constexpr int kFrames = 343 + 298;
constexpr int kSecondClip = 343;

// Works in a fresh folder holding the subject's skeleton as "MartialArts.asf"
// and the two walks in the motion folder; the motion "walk" joins them.
class RealGraphTest : public testing::Test {
 protected:
  void SetUp() override {
    if (MocapDir().empty()) return;
    dir = std::make_unique<ScopedWorkDir>();
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

  int CountPrefix(const std::string& prefix) const {
    int count = 0;
    for (const std::string& line : lines) count += line.compare(0, prefix.size(), prefix) == 0;
    return count;
  }

  std::unique_ptr<ScopedWorkDir> dir;
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
  std::srand(1);
  MotionController* controller = walk->CreateController(1);
  const int next = std::rand();
  TransitionGraph* graph = controller->GetGraph();
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(CountPrefix("GenerateGraph: generating walk_graph..."), 1);

  std::srand(1);
  size_t calls = 0;
  const std::vector<std::vector<GraphEdge>> plain =
      testing_support::PlainGenerateGraph(walk->CreateController(0), &calls);
  EXPECT_EQ(std::rand(), next);
  const double w = static_cast<double>(0.15f) * 120.0;
  const float threshold = ConsoleVariable<float>("graph.eval_threshold", 1.0f);
  EXPECT_EQ(threshold, 0.95f);
  size_t edges = 0;
  int sources = 0;
  for (int i = 0; i < kFrames; ++i) {
    const std::vector<GraphEdge>& row = graph->GetNode(i)->edges;
    ASSERT_EQ(row.size(), plain[i].size()) << "frame " << i;
    edges += row.size();
    sources += !row.empty();
    if (!row.empty()) {
      EXPECT_GT(walk->GetSegmentEnd(i) - i, w) << "source " << i;
      EXPECT_NE(i, kSecondClip);
    }
    for (size_t e = 0; e < row.size(); ++e) {
      const GraphEdge& edge = row[e];
      EXPECT_EQ(edge.target, plain[i][e].target) << i;
      EXPECT_EQ(std::memcmp(&edge.weight, &plain[i][e].weight, sizeof(float)), 0) << i;
      EXPECT_GT(std::abs(edge.target - i), 3 * w) << i << " to " << edge.target;
      EXPECT_GT(walk->GetSegmentEnd(edge.target) - edge.target, w) << i << " to " << edge.target;
      EXPECT_NE(edge.target, kSecondClip);
      EXPECT_GE(edge.weight, threshold);
      if (e > 0) {
        EXPECT_GT(edge.target, row[e - 1].target);
      }
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

  // Read back into a fresh table: same targets, weights to six digits.
  NodeTableMap().erase(walk);
  TransitionGraph& imported = *graph_test::NewFileGraph(first, "walk_graph.gra");
  ASSERT_NE(imported.nodes, generated);
  EXPECT_EQ(CountPrefix("GenerateGraph: generating"), 1);
  for (int k = 0; k < kFrames; ++k) {
    const std::vector<GraphEdge>& read = imported.GetNode(k)->edges;
    ASSERT_EQ(read.size(), generated[k].edges.size()) << k;
    for (size_t e = 0; e < read.size(); ++e) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(generated[k].edges[e].weight));
      EXPECT_EQ(read[e].target, generated[k].edges[e].target) << k;
      EXPECT_EQ(read[e].weight, std::strtof(text, nullptr)) << k;
    }
  }

  // A second controller adopts the registered table and writes its own
  // file from it, without generating.
  MotionController* second = walk->CreateController(1);
  EXPECT_EQ(second->name, "walk1");
  EXPECT_EQ(second->GetGraph()->nodes, imported.nodes);
  EXPECT_EQ(CountPrefix("GenerateGraph: generating"), 1);
  EXPECT_EQ(ReadFile("walk1_graph.gra"), written);
}

// Plays the graph with simulated time: every shown frame and every blended
// frame of the old clip lies inside the motion, each blend lies between the
// two clips' rotations, and the root does not move sideways at a jump.
TEST_F(RealGraphTest, PlaysTheGraph) {
  TAVRIN_REQUIRE_MOCAP();
  ConsoleVariable<int> debug("graph.debug", 1);
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    MotionController* controller = walk->CreateController(type);
    ASSERT_NE(controller->GetGraph(), nullptr);
    const double w = static_cast<double>(0.15f) * 120.0;
    int transitions = 0;
    int blended = 0;
    float largestJump = 0.0f;  // target's recorded root to the shown one
    Vector3 shown = controller->GetPosture().root;
    bool wasTransitioning = false;
    for (int update = 0; update < 3000; ++update) {
      // 30 to 240 updates per second.
      platform::ManualClock::Advance((1 + update % 8) / 240.0);
      controller->Update();
      const int frame = controller->currentFrame;
      ASSERT_GE(frame, 0);
      ASSERT_LT(frame, kFrames);
      const Posture& out = controller->GetPosture();
      const bool started = controller->IsTransitioning() && !wasTransitioning;
      const bool blending = controller->IsTransitioning() || started ||
                            (wasTransitioning && frame >= controller->transitionFrame &&
                             frame - controller->transitionFrame >= w);
      if (started) {
        ++transitions;
        EXPECT_EQ(frame, controller->transitionFrame);
        // Exactly where it was shown, at the target frame's own height.
        EXPECT_NEAR(out.root.x, shown.x, 1e-4)
            << "jump " << controller->previousFrame << " to " << frame;
        EXPECT_NEAR(out.root.z, shown.z, 1e-4)
            << "jump " << controller->previousFrame << " to " << frame;
        const Vector3& recorded = walk->frames[frame].root;
        largestJump = std::max(largestJump, std::hypot(recorded.x - shown.x, recorded.z - shown.z));
      }
      if (blending && frame >= controller->transitionFrame) {
        ++blended;
        const int old = controller->previousFrame + (frame - controller->transitionFrame);
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
