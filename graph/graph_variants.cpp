// The graph variants: when to leave the current stretch of a clip. All of
// them jump to the heaviest edge of the current frame.
#include <climits>

#include "graph/motion_controller.h"
#include "graph/random_sequence.h"
#include "graph/transition_graph.h"

namespace {

// The frame from which FixedFrameTransitionGraph leaves.
constexpr int kFixedLeaveFrame = 338;
// RandomTransitionGraph's period as the factory creates it.
constexpr int kRandomPeriod = 175;

// The target of the first edge of greatest weight (-1.0 to beat); 0 when the
// frame has no node or no weight exceeds -1.0.
int variant_HeaviestEdge(TransitionGraph* graph, int frame) {
  float best = -1.0f;
  int target = 0;
  if (const GraphNode* node = graph->GetNode(frame)) {
    for (const GraphEdge& edge : node->edges) {
      if (edge.weight > best) {
        best = edge.weight;
        target = edge.target;
      }
    }
  }
  return target;
}

}  // namespace

FixedFrameTransitionGraph::FixedFrameTransitionGraph(MotionController* owner)
    : TransitionGraph(owner, "") {}

int FixedFrameTransitionGraph::ChooseNext(int frame) { return variant_HeaviestEdge(this, frame); }

bool FixedFrameTransitionGraph::ShouldLeave() { return owner->currentFrame >= kFixedLeaveFrame; }

void FixedFrameTransitionGraph::OnTransition(int) {}

RandomTransitionGraph::RandomTransitionGraph(MotionController* owner, int period_)
    : TransitionGraph(owner, ""), period(period_) {}

int RandomTransitionGraph::ChooseNext(int frame) { return variant_HeaviestEdge(this, frame); }

bool RandomTransitionGraph::ShouldLeave() {
  // One draw per update, also while a transition runs; a period below 1
  // never leaves (rather than dividing by zero).
  const int draw = GraphRandom().Next();
  return period >= 1 && draw % period == 0;
}

void RandomTransitionGraph::OnTransition(int) {}

TimedTransitionGraph::TimedTransitionGraph(MotionController* owner, int period_)
    : TransitionGraph(owner, ""), period(period_), targetFrame(0) {
  // The first stretch is timed as if playback had landed on frame 0.
  TimedTransitionGraph::OnTransition(0);
}

int TimedTransitionGraph::ChooseNext(int frame) { return variant_HeaviestEdge(this, frame); }

bool TimedTransitionGraph::ShouldLeave() { return owner->currentFrame >= targetFrame; }

void TimedTransitionGraph::OnTransition(int target) {
  // In double precision: neither the sum nor an odd window may overflow.
  double frame = static_cast<double>(target) + period;
  const double latest = owner->frameCount - 2.0 * TransitionFrames();
  if (frame >= latest) frame = latest;
  targetFrame = frame < INT_MIN         ? INT_MIN
                : frame >= 2147483647.0 ? INT_MAX
                                        : static_cast<int>(frame);
}

CutoffOnlyTransitionGraph::CutoffOnlyTransitionGraph(MotionController* owner)
    : TransitionGraph(owner, "") {}

int CutoffOnlyTransitionGraph::ChooseNext(int frame) { return variant_HeaviestEdge(this, frame); }

bool CutoffOnlyTransitionGraph::ShouldLeave() { return false; }

void CutoffOnlyTransitionGraph::OnTransition(int) {}

TransitionGraph* CreateTransitionGraph(int type, MotionController* owner) {
  if (owner == nullptr) return nullptr;
  switch (type) {
    case 1:
      return new FixedFrameTransitionGraph(owner);
    case 2:
      return new RandomTransitionGraph(owner, kRandomPeriod);
    default:
      return nullptr;
  }
}
