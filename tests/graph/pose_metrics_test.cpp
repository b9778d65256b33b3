// The pose similarity metrics, held against plain loops written here, and
// their window rules; the graph of real capture data generated with each of
// them exactly as the plain rules say.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/graph/graph_fixture.h"
#include "tests/support/plain_graph.h"
#include "tests/support/real_clips.h"
#include "tests/support/tiny_skeleton.h"

namespace {

using namespace graph_test;

class PoseMetricsTest : public GraphFixture {};

// The metrics written out plainly (0 joint angles, 1 joint dot products, 2
// joint positions): for each window frame a partial sum of the weighted
// terms of the joints of nonzero weight, added to the total.
float Reference(int metric, const Posture* frames, const MarkerSet* markers, int from, int to, int window) {
  float total = 0.0f;
  for (int k = 0; k < window; ++k) {
    float partial = 0.0f;
    for (int j = 1; j < kJointCount; ++j) {
      if (kWeights[j] == 0.0f) continue;
      const Quaternion& a = frames[from + k].rotation[j];
      const Quaternion& b = frames[to + k].rotation[j];
      const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
      const float angle = static_cast<float>(std::acos(std::min(1.0, std::fabs(double{dot} - 0.00001))));
      const Vector3 d = markers[from + k].positions[j] - markers[to + k].positions[j];
      const float distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      const float term[3] = {angle * angle, (dot + 1.0f) * 0.5f, distance * distance};
      partial += term[metric] * kWeights[j];
    }
    total += partial;
  }
  const float score[3] = {1.0f - 0.034f * total, total / static_cast<float>(window * 31), 1.0f - 0.04f * total};
  return score[metric];
}

TEST_F(PoseMetricsTest, MetricsMatchThePlainLoopsAndWindowsMustFit) {
  MotionController& c = *SwayingClip(120);
  const Posture* frames = c.GetMotion()->frames;
  const float thresholds[3] = {0.95f, 0.464f, 0.95f};
  // Windows of 18 frames: starts 0 to 102 fit in 120 frames. 0.35 s gives
  // 0.35f * 120 = 41.99999...: windows of 41 frames, not 42.
  const int inside[][2] = {{0, 60}, {60, 0}, {13, 77}, {101, 3}, {0, 102}};
  const int outside[][2] = {{103, 0}, {0, 103}, {-1, 20}, {20, -1}, {2147483647, 0}};
  for (int metric = 0; metric < 3; ++metric) {
    evalType = metric;
    for (const auto& p : inside) {
      EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), Reference(metric, frames, c.markerCache, p[0], p[1], 18)) << metric;
    }
    for (const auto& p : outside) {
      threshold = 0.5f;
      EXPECT_EQ(c.EvaluateTransition(p[0], p[1]), 0.0f) << metric << ": " << p[0] << ", " << p[1];
      EXPECT_EQ(static_cast<float>(threshold), thresholds[metric]);  // written all the same
    }
    transitionTime = 0.35f;
    EXPECT_EQ(c.EvaluateTransition(3, 79), Reference(metric, frames, c.markerCache, 3, 79, 41)) << metric;
    EXPECT_EQ(c.EvaluateTransition(80, 0), 0.0f) << metric;
    // No window: nothing to compare (the dot products have no mean).
    transitionTime = 0.005f;
    EXPECT_EQ(c.EvaluateTransition(119, 5), metric == 1 ? 0.0f : 1.0f) << metric;
    EXPECT_EQ(c.EvaluateTransition(120, 5), 0.0f) << metric;
    transitionTime = 0.15f;
  }
}

TEST_F(PoseMetricsTest, JointPositionsWithoutACache) {
  // A motion made in memory has no ".mpos" cache: with a skeleton the
  // positions are computed from the postures, as the cache would hold them.
  evalType = 2;
  ASSERT_TRUE(testing_support::WriteTinySkeleton(testing_support::TiltedBone));
  MotionController& d = *SwayingClip(60);
  std::unique_ptr<MarkerSet[]> expected(new MarkerSet[60]);
  for (int i = 0; i < 60; ++i) expected[i].ComputeFromPosture(d.GetMotion()->frames[i]);
  delete[] d.markerCache;
  d.markerCache = nullptr;
  EXPECT_EQ(d.EvaluateTransition(10, 30), Reference(2, d.GetMotion()->frames, expected.get(), 10, 30, 18));
}

// One motion joined from two walks (02_01, 343 frames, and 02_02, 298
// frames): its graph is exactly what the plain rules give, scored by a
// controller of their own, for each metric at the default window, for the
// position metric also with a window of 11.9999993 frames (the targets step
// by 11, 12 or 13 frames alike) on three threads, and for the angle metric
// with a window of no frame (every pair scores 1.0).
TEST_F(PoseMetricsTest, RealGraphsAreExactlyWhatThePlainRulesGive) {
  TAVRIN_REQUIRE_MOCAP();
  ASSERT_TRUE(testing_support::CopyRealClips(testing_support::MocapDir(), {"02_01.amc", "02_02.amc"}));
  Motion* walks = new Motion("walks", "02_01.amc", 0.06f, 0);
  ASSERT_TRUE(walks->AppendFile("02_02.amc", 0.06f));
  MotionController* reference = walks->CreateController(0);
  const std::tuple<int, float, int> cases[] = {
      {0, 0.15f, 0}, {1, 0.15f, 0}, {2, 0.15f, 0}, {2, std::nextafter(0.1f, 0.0f), 3}, {0, 0.005f, 2}};
  for (const auto& [metric, seconds, threads] : cases) {
    evalType = metric;
    transitionTime = seconds;
    SetGenerationThreads(threads);
    NodeTableMap().erase(walks);  // generate afresh
    GraphRandom().Seed(1);
    TransitionGraph* graph = walks->CreateController(1)->GetGraph();
    std::srand(1);
    size_t calls = 0;
    const auto plain = testing_support::PlainGenerateGraph(reference, &calls);
    EXPECT_EQ(GraphRandom().Next(), std::rand());  // the same draws, as many
    ExpectRows(*graph, plain);
    // A walk repeats itself: many windows are alike.
    EXPECT_FALSE(graph->GetNode(40)->edges.empty()) << metric;
  }
  SetGenerationThreads(0);
}

}  // namespace
