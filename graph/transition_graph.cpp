// The transition graph base: registries, construction, generation from the
// pose metric, and the per-update walk.
#include "graph/transition_graph.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/name_registry.h"
#include "core/regular_file.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"

std::map<std::string, TransitionGraph*>& GraphRegistry() {
  static auto* registry = new std::map<std::string, TransitionGraph*>;
  return *registry;
}

std::map<Motion*, GraphNode*>& NodeTableMap() {
  static auto* map = new std::map<Motion*, GraphNode*>;
  return *map;
}

// Node-table bookkeeping shared with graph_file.cpp. NodeTableMap keeps only
// the table's address; the node count of each table registered here is kept
// beside it, so that a table is never adopted by a motion of another length
// (a motion destroyed and another one built at the same address).
namespace graph_table {

namespace {

// Motion -> the table registered here for it and that table's node count.
std::map<const Motion*, std::pair<const GraphNode*, int>>& table_Sizes() {
  static auto* sizes = new std::map<const Motion*, std::pair<const GraphNode*, int>>;
  return *sizes;
}

// Every table ever registered. Tables live until the process ends, also
// after their motion is destroyed and its NodeTableMap entry dropped (graphs
// of its controllers may still hold them); this list keeps them owned.
std::vector<const GraphNode*>& table_Kept() {
  static auto* kept = new std::vector<const GraphNode*>;
  return *kept;
}

}  // namespace

// The table registered for `motion` when it fits `count` nodes, else null. A
// registered table of another node count is dropped from NodeTableMap
// (logged) so that the caller builds a fresh one; a table that was
// registered elsewhere (its count unknown) is trusted.
GraphNode* Find(Motion* motion, int count) {
  auto& map = NodeTableMap();
  auto it = map.find(motion);
  if (it == map.end()) return nullptr;
  auto size = table_Sizes().find(motion);
  if (size != table_Sizes().end() && size->second.first == it->second &&
      size->second.second != count) {
    LogPrintf("GRAPH: node table of %d nodes does not fit a motion of %d frames; rebuilt",
              size->second.second, count);
    map.erase(it);
    return nullptr;
  }
  return it->second;
}

// A table of `count` nodes (count >= 0), each node's info created by the
// graph's CreateNodeInfo and initialised with a copy of its frame.
GraphNode* Create(TransitionGraph* graph, int count) {
  GraphNode* table = new GraphNode[count];
  for (int i = 0; i < count; ++i) {
    NodeInfo* info = graph->CreateNodeInfo();
    info->Init(graph->owner->GetFrame(i));
    table[i].info = info;
  }
  return table;
}

// Frees a table that was never registered (a failed import).
void Destroy(GraphNode* table, int count) {
  for (int i = 0; i < count; ++i) delete table[i].info;
  delete[] table;
}

void Register(Motion* motion, GraphNode* table, int count) {
  NodeTableMap()[motion] = table;
  table_Sizes()[motion] = {table, count};
  table_Kept().push_back(table);
}

}  // namespace graph_table

void NodeInfo::Init(const Posture&) {}

namespace {

// The edge threshold; each metric call writes its own value here.
ConsoleVariable<float> g_evalThreshold("graph.eval_threshold", 1.0f);

// Whether the owner plays frames at all; a controller whose motion is missing
// or failed to load (node count -1) gets a graph without a table.
bool graph_HasFrames(const MotionController* owner) {
  return owner->GetMotion() != nullptr && owner->nodeCount >= 0;
}

}  // namespace

TransitionGraph::TransitionGraph(MotionController* owner_, std::string file)
    : owner(owner_), nodes(nullptr) {
  auto& registry = GraphRegistry();
  name = MakeUniqueName(registry, owner->name + "_graph");
  registry[name] = this;
  debug.Register("graph.debug", 1);

  if (file.empty()) file = name + ".gra";
  if (!graph_HasFrames(owner)) return;  // no table and no file

  // Qualified calls: the subclass part does not exist yet. A file that is
  // refused (or is no regular file) is replaced by the graph generated in its
  // place, so the generation does not run again at every start.
  std::FILE* probe = OpenRegularFile(file);
  const bool exists = probe != nullptr || errno != ENOENT;
  if (probe != nullptr) std::fclose(probe);
  if (exists) {
    if (TransitionGraph::ImportGraph(file)) return;
    LogPrintf("GRAPH: Error importing transition graph %s", name.c_str());
  }
  TransitionGraph::GenerateGraph();
  if (!TransitionGraph::ExportGraph(file)) {
    LogPrintf("GRAPH: Error exporting transition graph %s", name.c_str());
  }
}

TransitionGraph::~TransitionGraph() {
  auto& registry = GraphRegistry();
  auto it = registry.find(name);
  if (it != registry.end() && it->second == this) registry.erase(it);
}

void TransitionGraph::GenerateGraph() {
  if (!graph_HasFrames(owner)) {
    nodes = nullptr;
    return;
  }
  Motion* motion = owner->GetMotion();
  const int n = owner->nodeCount;
  if (GraphNode* shared = graph_table::Find(motion, n)) {
    nodes = shared;
    return;
  }
  nodes = graph_table::Create(this, n);
  graph_table::Register(motion, nodes, n);

  LogPrintf("GenerateGraph: generating %s...", name.c_str());
  // W is read afresh at each comparison, as the blend and the walk read it. A
  // window that is not positive would walk the targets backwards for ever:
  // such a graph keeps its nodes without edges.
  if (TransitionFrames() >= 0.0) {
    int srcEnd = motion->GetSegmentEnd(0);
    int i = 0;
    while (i < n - TransitionFrames()) {
      if (srcEnd - i <= TransitionFrames()) {
        // The source's window does not fit its clip with a frame to spare.
        i = srcEnd + 1;
        srcEnd = motion->GetSegmentEnd(i);
        continue;
      }
      std::vector<GraphEdge>& edges = nodes[i].edges;
      int tgtEnd = motion->GetSegmentEnd(0);
      int j = 0;
      while (j < n - TransitionFrames()) {
        if (std::abs(j - i) <= 3.0 * TransitionFrames()) {
          j = static_cast<int>(i + 3.0 * TransitionFrames() + 1.0);
          continue;
        }
        if (tgtEnd - j <= TransitionFrames()) {
          j = tgtEnd + 1;
          tgtEnd = motion->GetSegmentEnd(j);
          continue;
        }
        const float s = owner->EvaluateTransition(i, j);
        // The metric has just written its own threshold.
        if (s >= static_cast<float>(g_evalThreshold)) {
          edges.push_back(GraphEdge{j, s});
        }
        const float step = static_cast<float>(TransitionFrames());
        const float r = static_cast<float>(std::rand() % 5);
        j = static_cast<int>(static_cast<float>(j) + step + r);
      }
      ++i;
    }
  }
  LogPrintf("GenerateGraph: done generating %s...", name.c_str());
}

void TransitionGraph::PostUpdate() {}

NodeInfo* TransitionGraph::CreateNodeInfo() { return new NodeInfo; }

GraphNode* TransitionGraph::GetNode(int frame) {
  if (nodes == nullptr || frame < 0 || frame >= owner->nodeCount) return nullptr;
  return &nodes[frame];
}

void TransitionGraph::GraphUpdate() {
  const bool leave = ShouldLeave();
  // Without a table or a motion (one destroyed under its controller) there
  // is nothing to walk, and nothing of the motion is read.
  if (nodes != nullptr && graph_HasFrames(owner)) {
    const int frame = owner->currentFrame;
    const double framesLeft = static_cast<double>(owner->GetMotion()->GetSegmentEnd(frame)) - frame;
    const bool cutoff = framesLeft <= 2.0 * TransitionFrames();
    if ((leave || cutoff) && !owner->IsTransitioning()) {
      GraphNode* node = GetNode(frame);
      if (node == nullptr || node->edges.empty()) {
        if (debug != 0) LogPrintf("GraphUpdate: no valid transitions on frame %d", frame);
      } else {
        const int target = ChooseNext(frame);
        if (debug != 0) {
          if (leave) {
            LogPrintf("GraphUpdate: Attempting normal transition: (%d to %d)", frame, target);
          } else {
            LogPrintf("GraphUpdate: Attempting cutoff transition: (%d to %d)", frame, target);
          }
        }
        OnTransition(target);
        owner->StartTransition(target);
      }
    }
  }
  PostUpdate();
}
