#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/console_variable.h"
#include "motion/posture.h"

class Motion;
class MotionController;
class TransitionGraph;

// One outgoing transition of a frame: a target frame of the same motion and
// the pose similarity of the pair (larger is more similar).
struct GraphEdge {
  int target;
  float weight;
};

// A per-node hook; the base keeps nothing of the frame.
class NodeInfo {
 public:
  virtual ~NodeInfo() = default;
  virtual void Init(const Posture& frame);
};

// The node of one frame: its outgoing edges (generated edges in ascending
// target order, imported ones in file order) and its info, set once after
// construction and never deleted.
struct GraphNode {
  std::vector<GraphEdge> edges;
  NodeInfo* info = nullptr;
};

// Graph name -> graph. Created on first use.
std::map<std::string, TransitionGraph*>& GraphRegistry();
// Motion -> its node table (one node per frame), shared by every graph of that
// motion. Created on first use; tables are never freed.
std::map<Motion*, GraphNode*>& NodeTableMap();

// For every frame of its owner's motion, the frames playback may jump to
// without a visible break. Built completely inside the constructor: adopted
// from another graph of the same motion, imported from its ".gra" file, or
// generated from the pose metric and exported to that file (unless the
// motion's frames were parsed with errors, Motion::sound).
class TransitionGraph {
 public:
  // Names the graph (the owner's name + "_graph", made unique), registers it
  // and builds it. An empty `file` means "<name>.gra" in the working
  // directory.
  TransitionGraph(MotionController* owner, std::string file);
  // Erases the name from GraphRegistry when the entry still points here.
  virtual ~TransitionGraph();
  TransitionGraph(const TransitionGraph&) = delete;
  TransitionGraph& operator=(const TransitionGraph&) = delete;

  // Adopts the motion's registered node table, or generates one.
  virtual void GenerateGraph();
  // The frame to jump to from `frame`.
  virtual int ChooseNext(int frame) = 0;
  // Whether to leave the current stretch now (called on every update).
  virtual bool ShouldLeave() = 0;
  // Told the chosen target before the jump.
  virtual void OnTransition(int target) = 0;
  // Called at the end of every GraphUpdate; the base does nothing.
  virtual void PostUpdate();
  virtual NodeInfo* CreateNodeInfo();
  // Reads a ".gra" file into a node table (or adopts the motion's registered
  // table). False when the file cannot be read whole or does not fit the
  // motion (node count, targets outside the motion).
  virtual bool ImportGraph(const std::string& file);
  // Writes the node table as a ".gra" file; written under a temporary name
  // and renamed into place, so no short file is ever left behind.
  virtual bool ExportGraph(const std::string& file);

  // One step of the walk, after the owner advanced its frame: leave when the
  // variant says so or near the end of the current clip.
  void GraphUpdate();
  // The node of a frame; null outside the table.
  GraphNode* GetNode(int frame);

  MotionController* owner;
  // The node table (owned by NodeTableMap); null when the owner has no
  // frames.
  GraphNode* nodes;
  // graph.debug: nonzero makes GraphUpdate log its decisions.
  ConsoleVariable<int> debug;
  std::string name;
};

// Heaviest edge; leaves once the owner's current frame is 338 or later.
class FixedFrameTransitionGraph : public TransitionGraph {
 public:
  explicit FixedFrameTransitionGraph(MotionController* owner);
  int ChooseNext(int frame) override;
  bool ShouldLeave() override;
  void OnTransition(int target) override;
};

// Heaviest edge; leaves when the next number of GraphRandom() (the C
// library's rand() sequence) % period is 0: about 1 in `period` updates.
class RandomTransitionGraph : public TransitionGraph {
 public:
  RandomTransitionGraph(MotionController* owner, int period);
  int ChooseNext(int frame) override;
  bool ShouldLeave() override;
  void OnTransition(int target) override;

  int period;
};

// Heaviest edge; leaves `period` frames after landing, never later than two
// blend lengths before the end of the motion.
class TimedTransitionGraph : public TransitionGraph {
 public:
  TimedTransitionGraph(MotionController* owner, int period);
  int ChooseNext(int frame) override;
  bool ShouldLeave() override;
  void OnTransition(int target) override;

  int period;
  int targetFrame;
};

// Heaviest edge; leaves only at the cutoff near the end of a clip.
class CutoffOnlyTransitionGraph : public TransitionGraph {
 public:
  explicit CutoffOnlyTransitionGraph(MotionController* owner);
  int ChooseNext(int frame) override;
  bool ShouldLeave() override;
  void OnTransition(int target) override;
};

// How many threads GenerateGraph compares frames on, and ImportGraph and
// ExportGraph read and write numbers on: `count`, or one per processor for 0
// (the default) and below. Every count gives the same graph and file.
void SetGenerationThreads(int count);

// 1 -> FixedFrameTransitionGraph, 2 -> RandomTransitionGraph with period 175;
// 0 and every other type -> null (no graph, no file). The graph is complete
// when returned; the caller keeps it and never deletes it.
TransitionGraph* CreateTransitionGraph(int type, MotionController* owner);
