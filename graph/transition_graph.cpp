// The transition graph base: registries, construction, generation from the
// pose metric, and the per-update walk.
#include "graph/transition_graph.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/name_registry.h"
#include "core/regular_file.h"
#include "core/stop_request.h"
#include "graph/graph_threads.h"
#include "graph/motion_controller.h"
#include "graph/pair_scorer.h"
#include "graph/random_sequence.h"
#include "motion/motion.h"

std::map<std::string, TransitionGraph*>& GraphRegistry() {
  static auto* registry = new std::map<std::string, TransitionGraph*>;
  return *registry;
}

std::map<Motion*, GraphNode*>& NodeTableMap() {
  static auto* map = new std::map<Motion*, GraphNode*>;
  return *map;
}

// Node-table bookkeeping, and the files a graph is made from, shared with
// graph_file.cpp. NodeTableMap keeps only the table's address; the node
// count of each table registered here is kept beside it, so that a table is
// never adopted by a motion of another length (a motion destroyed and
// another one built at the same address).
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

// The skeleton, and the text and both caches of each of the motion's files.
std::vector<std::string> Sources(const Motion& motion) {
  std::vector<std::string> sources = {kDefaultSkeletonFile};
  for (const std::string& path : motion.resourceNames) {
    sources.push_back(path);
    for (const char* extension : {".bin", ".mpos"}) {
      const std::string cache = MotionCacheName(path, extension);
      if (!cache.empty()) sources.push_back(cache);
    }
  }
  return sources;
}

}  // namespace graph_table

void NodeInfo::Init(const Posture&) {}

namespace {

// The edge threshold; each metric call writes its own value here.
ConsoleVariable<float> g_evalThreshold("graph.eval_threshold", 1.0f);

// Threads that evaluate candidate pairs; 0: one per processor.
int g_generationThreads = 0;

// Whether the owner plays frames at all; a controller whose motion is missing
// or failed to load (node count -1) gets a graph without a table.
bool graph_HasFrames(const MotionController* owner) {
  return owner->GetMotion() != nullptr && owner->nodeCount >= 0;
}

// A block of consecutive source rows and their candidate targets, in the
// order the rules visit them.
struct graph_RowBlock {
  std::vector<int> sources;
  // Row r's targets are targets[first[r]] to targets[first[r + 1] - 1].
  std::vector<size_t> first;
  std::vector<int> targets;
};

// Rows per block: a block is scanned in tens of microseconds and compared in
// hundreds.
constexpr int kRowsPerBlock = 16;

// The walk over the sources and targets of an n-frame motion with a window
// of w frames (w >= 0), which draws one number from `random` after every
// candidate pair, a block of rows at a time. Which pairs are candidates does
// not depend on any score, so the walk may run ahead of the comparisons.
class graph_Scan {
 public:
  graph_Scan(const Motion& motion, int n, double w, RandomSequence* random)
      : motion_(motion),
        w_(w),
        step_(static_cast<float>(w)),
        random_(random),
        i_(0),
        srcEnd_(motion.GetSegmentEnd(0)) {
    // The rules' tests on whole frames: f < n - w, |j - i| <= 3 w and
    // end - f <= w hold exactly when f < end_, |j - i| <= near_ and
    // end - f <= tail_ (limited to n, past which every such test is
    // settled). w >= n leaves no source.
    const auto whole = [n](double frames) { return frames < n ? static_cast<int>(frames) : n; };
    end_ = n - w > 0.0 ? whole(std::ceil(n - w)) : 0;
    near_ = whole(std::floor(3.0 * w));
    tail_ = whole(std::floor(w));
    // For the usual windows NextTarget(j, r) is j plus a whole step of each
    // r for every target of the motion; when it is, the walk adds the step.
    // Only with targets (then w < n) is every step a frame count.
    wholeSteps_ = end_ > 0;
    for (int r = 0; r < 5 && wholeSteps_; ++r) steps_[r] = NextTarget(0, r);
    for (int j = 1; j < end_ && wholeSteps_; ++j) {
      for (int r = 0; r < 5; ++r) wholeSteps_ = wholeSteps_ && NextTarget(j, r) - j == steps_[r];
    }
  }

  // The next rows into `block`, which is emptied first (its memory kept);
  // false when no row is left.
  bool Next(graph_RowBlock* block) {
    // A copy the compiler can keep close at hand in the loop below.
    RandomSequence random = *random_;
    block->sources.clear();
    block->first.clear();
    block->targets.clear();
    bool any = false;
    while (i_ < end_ && block->sources.size() < kRowsPerBlock) {
      if (srcEnd_ - i_ <= tail_) {
        // The source's window does not fit its clip with a frame to spare.
        i_ = srcEnd_ + 1;
        srcEnd_ = motion_.GetSegmentEnd(i_);
        continue;
      }
      any = true;
      block->sources.push_back(i_);
      block->first.push_back(block->targets.size());
      int tgtEnd = motion_.GetSegmentEnd(0);
      int j = 0;
      while (j < end_) {
        if (std::abs(j - i_) <= near_) {
          j = static_cast<int>(i_ + 3.0 * w_ + 1.0);
          continue;
        }
        if (tgtEnd - j <= tail_) {
          j = tgtEnd + 1;
          tgtEnd = motion_.GetSegmentEnd(j);
          continue;
        }
        block->targets.push_back(j);
        const int r = random.Next() % 5;
        j = wholeSteps_ ? j + steps_[r] : NextTarget(j, r);
      }
      ++i_;
    }
    if (any) block->first.push_back(block->targets.size());
    *random_ = random;
    return any;
  }

 private:
  // The target after j: trunc(j + W + r), r the draw modulo 5.
  int NextTarget(int j, int r) const {
    return static_cast<int>(static_cast<float>(j) + step_ + static_cast<float>(r));
  }

  const Motion& motion_;
  const double w_;
  // W rounded to single precision.
  const float step_;
  RandomSequence* random_;
  int end_;
  int near_;
  int tail_;
  int steps_[5] = {};
  bool wholeSteps_;
  int i_;
  int srcEnd_;
};

// Compares the block's pairs and gives each source's node the pairs that
// reach the threshold, in candidate order, in a vector of just their size.
// `scores` and `row` are scratch space.
void graph_EvaluateBlock(const graph_RowBlock& block, const PairScorer& scorer, GraphNode* nodes,
                         std::vector<float>* scores, std::vector<GraphEdge>* row) {
  for (size_t r = 0; r < block.sources.size(); ++r) {
    const int i = block.sources[r];
    const int* targets = block.targets.data() + block.first[r];
    const int count = static_cast<int>(block.first[r + 1] - block.first[r]);
    scores->resize(static_cast<size_t>(count));
    scorer.ScoreRow(i, targets, count, scores->data());
    row->clear();
    for (int c = 0; c < count; ++c) {
      if (scorer.Reaches((*scores)[c])) row->push_back(GraphEdge{targets[c], (*scores)[c]});
    }
    if (!row->empty()) nodes[i].edges.assign(row->begin(), row->end());
  }
}

// Blocks per thread that the walk may fill before the comparisons have taken
// them: the walk never runs further ahead, whatever the motion's length.
constexpr int kBlocksPerThread = 4;

// Builds the edges of an n-frame motion's nodes with a window of w frames
// (w >= 0); false when a stop was asked for (the edges are then partly
// made). This thread walks the candidate pairs into a fixed set of blocks
// and queues them; one thread per processor compares queued blocks, each
// block on one thread, and hands them back for the walk to fill again. The
// walk costs a small part of a comparison, so this thread mostly waits for a
// block to fill. With one thread (or none to be had besides this one) this
// thread compares a queued block itself whenever no block is free. Once the
// walk is done it compares what is left with the others. The first pair is
// compared through EvaluateTransition, which writes the metric's threshold
// and loads what the metric reads, as a run of such calls would; a
// PairScorer then gives the same scores for all pairs, on any thread.
bool graph_Generate(MotionController* owner, const Motion& motion, int n, double w, GraphNode* nodes) {
  graph_Scan scan(motion, n, w, &GraphRandom());
  // No more threads than blocks of rows.
  const int threads = std::min(GraphThreads(), n / kRowsPerBlock + 1);
  std::vector<graph_RowBlock> blocks(static_cast<size_t>(kBlocksPerThread * threads + 1));
  // Rows without targets have nothing to compare.
  bool more = true;
  while ((more = scan.Next(&blocks[0])) && blocks[0].targets.empty()) {
    if (StopRequested()) return false;
  }
  if (!more) return true;  // no pair to compare
  const graph_RowBlock& firstPairs = blocks[0];
  size_t row = 0;
  while (firstPairs.first[row + 1] == 0) ++row;
  owner->EvaluateTransition(firstPairs.sources[row], firstPairs.targets[0]);
  const PairScorer scorer(*owner, g_evalThreshold);

  std::mutex mutex;
  std::condition_variable queued;    // a block was queued, or the walk ended
  std::condition_variable returned;  // a block came back to `spare`
  std::deque<graph_RowBlock*> queue = {&blocks[0]};
  std::vector<graph_RowBlock*> spare;
  for (size_t b = 1; b < blocks.size(); ++b) spare.push_back(&blocks[b]);
  bool walked = false;
  std::atomic<bool> stopped{false};
  const auto compare = [&](graph_RowBlock* block, std::vector<float>* scores, std::vector<GraphEdge>* edges) {
    if (!stopped.load(std::memory_order_relaxed)) graph_EvaluateBlock(*block, scorer, nodes, scores, edges);
    const std::lock_guard<std::mutex> lock(mutex);
    spare.push_back(block);
    returned.notify_one();
  };
  const auto work = [&](int) {
    std::vector<float> scores;
    std::vector<GraphEdge> edges;
    for (;;) {
      graph_RowBlock* block = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex);
        queued.wait(lock, [&] { return !queue.empty() || walked; });
        if (queue.empty()) return;
        block = queue.front();
        queue.pop_front();
      }
      compare(block, &scores, &edges);
    }
  };
  std::vector<std::thread> helpers;
  for (int t = threads > 1 ? 0 : 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work, t);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: fewer do the work
    }
  }
  std::vector<float> scores;
  std::vector<GraphEdge> edges;
  for (;;) {
    if (StopRequested()) {
      stopped = true;
      break;
    }
    graph_RowBlock* block = nullptr;
    graph_RowBlock* mine = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex);
      returned.wait(lock, [&] { return !spare.empty() || (helpers.empty() && !queue.empty()); });
      if (!spare.empty()) {
        block = spare.back();
        spare.pop_back();
      } else {
        mine = queue.front();
        queue.pop_front();
      }
    }
    if (mine != nullptr) {
      compare(mine, &scores, &edges);
      continue;
    }
    if (!scan.Next(block)) {
      const std::lock_guard<std::mutex> lock(mutex);
      spare.push_back(block);
      break;
    }
    {
      const std::lock_guard<std::mutex> lock(mutex);
      queue.push_back(block);
    }
    queued.notify_one();
  }
  {
    const std::lock_guard<std::mutex> lock(mutex);
    walked = true;
  }
  queued.notify_all();
  work(0);
  for (std::thread& helper : helpers) helper.join();
  return !stopped;
}

// Whether the graph file `file` may no longer match what the motion's graph
// is made from: the text or either cache of any of its files, or the
// skeleton, was modified or replaced after the file was written.
bool graph_FileIsStale(const std::string& file, const Motion& motion) {
  for (const std::string& source : graph_table::Sources(motion)) {
    if (ChangedSince(file, source)) return true;
  }
  return false;
}

}  // namespace

void SetGenerationThreads(int count) { g_generationThreads = count > 0 ? count : 0; }

int GraphThreads() {
  return g_generationThreads > 0 ? g_generationThreads
                                 : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void RunOnThreads(int count, const std::function<void(int)>& job) {
  if (count <= 0) return;
  std::vector<std::thread> others;
  int started = 1;
  for (; started < count; ++started) {
    try {
      others.emplace_back(job, started);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: this one runs the rest
    }
  }
  job(0);
  for (int t = started; t < count; ++t) job(t);
  for (std::thread& other : others) other.join();
}

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
  // place, so the generation does not run again at every start; so is one
  // made before the motion or the skeleton last changed.
  std::FILE* probe = OpenRegularFile(file);
  if (probe == nullptr) LogUnreadable("GRAPH", file);
  const bool exists = probe != nullptr || errno != ENOENT;
  if (probe != nullptr) std::fclose(probe);
  if (exists && graph_FileIsStale(file, *owner->GetMotion())) {
    LogPrintf("GRAPH: %s is older than the motion or skeleton it was made from; %s is made again",
              file.c_str(), name.c_str());
  } else if (exists) {
    if (TransitionGraph::ImportGraph(file)) return;
    if (StopRequested()) return;  // the import was cut short: the program closes
    LogPrintf("GRAPH: Error importing transition graph %s", name.c_str());
  }
  TransitionGraph::GenerateGraph();
  // A generation cut short by a stop leaves a partial graph: it serves no
  // later start.
  if (StopRequested()) {
    LogPrintf("GRAPH: a stop was asked for; %s is not saved", name.c_str());
    return;
  }
  // Frames parsed with errors, or with a skeleton that did not load whole,
  // are cached by no one: the graph serves this run, and the file (a good
  // one of an earlier start, or none) stays as it is.
  if (!owner->GetMotion()->sound) {
    LogPrintf("GRAPH: %s was made from a motion or skeleton with errors; it is not saved", name.c_str());
    return;
  }
  // The position metric without joint positions (no cache, and no skeleton to
  // compute them with) scores every pair 0: such a graph serves this run but
  // is not saved, or later starts would trust it.
  if (owner->markerCacheTried && owner->markerCache == nullptr) {
    LogPrintf("GRAPH: %s was generated without joint positions; it is not saved", name.c_str());
    return;
  }
  // A stop during the writing leaves no file, and is no error.
  if (!TransitionGraph::ExportGraph(file) && !StopRequested()) {
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
  // W is read once: nothing changes it while the graph generates. A window
  // that is not positive would walk the targets backwards for ever: such a
  // graph keeps its nodes without edges.
  const double w = TransitionFrames();
  if (w >= 0.0 && !graph_Generate(owner, *motion, n, w, nodes)) {
    LogPrintf("GenerateGraph: %s: a stop was asked for; generation ends unfinished", name.c_str());
    return;
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
