// The ".gra" transition graph file: N on the first line, then per node a line
// "k n" and a line of n "target weight " pairs; CRLF line ends, weights with
// six significant digits. The reader takes whitespace-separated numbers.
#include <locale>
#include <sstream>
#include <string>

#include "core/log.h"
#include "core/regular_file.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"

// Defined in transition_graph.cpp.
namespace graph_table {
GraphNode* Find(Motion* motion, int count);
GraphNode* Create(TransitionGraph* graph, int count);
void Destroy(GraphNode* table, int count);
void Register(Motion* motion, GraphNode* table, int count);
}  // namespace graph_table

bool TransitionGraph::ExportGraph(const std::string& file) {
  // No motion data (or a motion destroyed under its controller): nothing to
  // keep.
  if (nodes == nullptr || owner->GetMotion() == nullptr || owner->nodeCount < 0) return false;
  const int n = owner->nodeCount;
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << n << "\r\n";
  for (int k = 0; k < n; ++k) {
    const std::vector<GraphEdge>& edges = nodes[k].edges;
    out << k << ' ' << edges.size() << "\r\n";
    for (const GraphEdge& edge : edges) out << edge.target << ' ' << edge.weight << ' ';
    out << "\r\n";
  }
  // Written beside the file and renamed into place, so that an interrupted
  // run never leaves a short graph file that the next run would import.
  AtomicFile writer(file);
  if (!writer.Open() || !writer.Write(out.str()) || !writer.Commit()) return false;
  LogPrintf("ExportGraph: done exporting %s in file %s", name.c_str(), file.c_str());
  return true;
}

bool TransitionGraph::ImportGraph(const std::string& file) {
  std::string text;
  if (!ReadRegularFile(file, &text)) return false;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  Motion* motion = owner->GetMotion();
  const int n = owner->nodeCount;
  if (motion == nullptr || n < 0) return false;  // no frames to cover

  int count = 0;
  in >> count;
  // The first graph of a motion registered the table; this file's content
  // does not matter then.
  if (GraphNode* shared = graph_table::Find(motion, n)) {
    nodes = shared;
    return true;
  }
  if (!in.fail() && count != n) {
    LogPrintf("ImportGraph: %s holds %d nodes but %s has %d frames", file.c_str(), count,
              name.c_str(), n);
    return false;
  }

  GraphNode* table = nullptr;
  if (!in.fail()) {
    table = graph_table::Create(this, n);
    for (int k = 0; k < n && !in.fail(); ++k) {
      int index = 0;
      int edgeCount = 0;
      in >> index >> edgeCount;
      if (edgeCount < 0) in.setstate(std::ios::failbit);
      for (int e = 0; e < edgeCount && !in.fail(); ++e) {
        GraphEdge edge{0, 0.0f};
        in >> edge.target >> edge.weight;
        if (in.fail()) break;
        if (edge.target < 0 || edge.target >= n) {
          LogPrintf("ImportGraph: %s: node %d has target %d outside 0 to %d", file.c_str(), k,
                    edge.target, n - 1);
          graph_table::Destroy(table, n);
          return false;
        }
        table[k].edges.push_back(edge);
      }
    }
  }
  if (in.fail()) {
    if (table != nullptr) graph_table::Destroy(table, n);
    return false;
  }
  LogPrintf("ImportGraph: done importing %s from file %s", name.c_str(), file.c_str());
  graph_table::Register(motion, table, n);
  nodes = table;
  return true;
}
