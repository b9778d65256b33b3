// The ".gra" transition graph file: N on the first line, then per node a line
// "k n" and a line of n "target weight " pairs; CRLF line ends, weights with
// six significant digits. The reader takes whitespace-separated numbers.
//
// Both directions stream: the writer formats a few pieces of nodes at a time
// (one per thread) and appends them to the file; the reader takes the file a
// block at a time, splits each block into numbers on all threads, finds the
// nodes that the block holds whole, and parses their edges on all threads
// into vectors of just their size. Neither ever holds the whole text.
#include <sys/stat.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "core/log.h"
#include "core/regular_file.h"
#include "core/stop_request.h"
#include "graph/graph_threads.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"

// Defined in transition_graph.cpp.
namespace graph_table {
GraphNode* Find(Motion* motion, int count);
GraphNode* Create(TransitionGraph* graph, int count);
void Destroy(GraphNode* table, int count);
void Register(Motion* motion, GraphNode* table, int count);
// The files a graph of `motion` is made from: the skeleton, and the text and
// both caches of each of the motion's files.
std::vector<std::string> Sources(const Motion& motion);
}  // namespace graph_table

namespace {

// About this many edges' text makes one writer's piece (a megabyte or so).
constexpr size_t kPieceEdges = size_t{1} << 16;

// The reader's block; it grows only for a node whose text is longer.
constexpr size_t kBlockBytes = size_t{8} << 20;

// Appends node k's two lines. Numbers as the C locale's printf writes them:
// integers plainly, weights as "%g" (six significant digits).
void file_AppendNode(int k, const std::vector<GraphEdge>& edges, std::string* text) {
  char number[64];
  const auto put = [&](std::to_chars_result result, char after) {
    *result.ptr++ = after;
    text->append(number, result.ptr);
  };
  put(std::to_chars(number, number + sizeof number - 1, k), ' ');
  put(std::to_chars(number, number + sizeof number - 1, edges.size()), '\r');
  text->push_back('\n');
  for (const GraphEdge& edge : edges) {
    put(std::to_chars(number, number + sizeof number - 1, edge.target), ' ');
    put(std::to_chars(number, number + sizeof number - 1, static_cast<double>(edge.weight),
                      std::chars_format::general, 6),
        ' ');
  }
  text->append("\r\n");
}

// The white space of the C locale, which separates the numbers.
bool file_Space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }

// Where each number of text[begin, end) starts in the reader's block, in
// order; begin and end lie on white space or at the block's ends. A number
// ends at the next white space or at the end of what the block holds whole.
void file_Tokenize(const char* text, size_t begin, size_t end, std::vector<uint32_t>* tokens) {
  tokens->clear();
  size_t i = begin;
  bool spaceBefore = true;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a bit per byte for white space (a blank, or 9
  // to 13), and a number starts where a byte is none after one that is.
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i controls = _mm_set1_epi8('\r' - '\t');
  for (; i + 16 <= end; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i offset = _mm_sub_epi8(bytes, tab);
    const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(bytes, blank),
                                       _mm_cmpeq_epi8(_mm_min_epu8(offset, controls), offset));
    const uint32_t spaces = static_cast<uint32_t>(_mm_movemask_epi8(space));
    uint32_t starts = ~spaces & ((spaces << 1) | (spaceBefore ? 1u : 0u)) & 0xffffu;
    spaceBefore = (spaces >> 15) != 0;
    while (starts != 0) {
      tokens->push_back(static_cast<uint32_t>(i) + static_cast<uint32_t>(__builtin_ctz(starts)));
      starts &= starts - 1;
    }
  }
#endif
  for (; i < end; ++i) {
    const bool space = file_Space(text[i]);
    if (!space && spaceBefore) tokens->push_back(static_cast<uint32_t>(i));
    spaceBefore = space;
  }
}

// Whether a number read up to `at` was the whole of its text: white space or
// the end of what the block holds whole follows.
bool file_Ends(const char* at, const char* limit) { return at == limit || file_Space(*at); }

// A sign "+" is allowed, as a stream reads numbers; it moves `begin` past
// it. False for "+" before another sign.
bool file_SkipPlus(const char** begin, const char* limit) {
  if (*begin == limit || **begin != '+') return true;
  ++*begin;
  return *begin == limit || **begin != '-';
}

// The number that starts at `begin` (and ends before white space or
// `limit`) as a decimal int, as a stream reads one: false for anything else
// or a value out of the int's range.
bool file_ParseInt(const char* begin, const char* limit, int* value) {
  if (!file_SkipPlus(&begin, limit) || begin == limit) return false;
  const std::from_chars_result result = std::from_chars(begin, limit, *value);
  return result.ec == std::errc() && file_Ends(result.ptr, limit);
}

// The number that starts at `begin` as a decimal float, correctly rounded as
// a stream reads one: false for anything else (infinities, NaN,
// hexadecimal) or a value beyond the float's range; one too small for it
// reads as zero of its sign.
bool file_ParseFloat(const char* begin, const char* limit, float* value) {
  if (!file_SkipPlus(&begin, limit) || begin == limit) return false;
  const char lead = begin[*begin == '-' && begin + 1 != limit ? 1 : 0];
  if (!((lead >= '0' && lead <= '9') || lead == '.')) return false;
  const std::from_chars_result result = std::from_chars(begin, limit, *value);
  if (!file_Ends(result.ptr, limit)) return false;
  if (result.ec == std::errc()) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  long double wide = 0.0L;
  const std::from_chars_result again = std::from_chars(begin, limit, wide);
  if (!file_Ends(again.ptr, limit) || again.ec != std::errc() || !(std::fabs(wide) < 1.0L)) return false;
  *value = std::signbit(wide) ? -0.0f : 0.0f;
  return true;
}

// A node that the reader's block holds whole: its frame, its first edge's
// token and its edge count.
struct file_Node {
  int frame;
  size_t token;
  int edges;
};

// The first fault of a range of nodes, in file order.
struct file_Fault {
  bool found = false;
  size_t node = 0;      // index in the block's list of nodes
  bool range = false;   // a target outside the motion (else a malformed number)
  int target = 0;
};

}  // namespace

bool TransitionGraph::ExportGraph(const std::string& file) {
  // No motion data (or a motion destroyed under its controller): nothing to
  // keep.
  if (nodes == nullptr || owner->GetMotion() == nullptr || owner->nodeCount < 0) return false;
  const int n = owner->nodeCount;
  // Written beside the file and renamed into place, so that an interrupted
  // run never leaves a short graph file that the next run would import.
  AtomicFile writer(file);
  if (!writer.Open()) return false;
  // Dated no earlier than what it is made from, so that a source dated ahead
  // of the clock does not make it count as older at the next start.
  writer.MadeFrom(graph_table::Sources(*owner->GetMotion()));
  bool ok = writer.Write(std::to_string(n) + "\r\n");
  const int threads = GraphThreads();
  std::vector<std::string> pieces(static_cast<size_t>(threads));
  std::vector<int> bounds(static_cast<size_t>(threads) + 1);
  int k = 0;
  while (ok && k < n) {
    // A stop leaves no file: the temporary one is removed.
    if (StopRequested()) return false;
    int count = 0;
    bounds[0] = k;
    while (count < threads && k < n) {
      for (size_t size = 0; k < n && size < kPieceEdges; ++k) size += nodes[k].edges.size() + 2;
      bounds[static_cast<size_t>(++count)] = k;
    }
    RunOnThreads(count, [&](int p) {
      std::string& piece = pieces[static_cast<size_t>(p)];
      piece.clear();
      for (int q = bounds[static_cast<size_t>(p)]; q < bounds[static_cast<size_t>(p) + 1]; ++q) {
        file_AppendNode(q, nodes[q].edges, &piece);
      }
    });
    for (int p = 0; p < count && ok; ++p) ok = writer.Write(pieces[static_cast<size_t>(p)]);
  }
  if (!ok || !writer.Commit()) return false;
  LogPrintf("ExportGraph: done exporting %s in file %s", name.c_str(), file.c_str());
  return true;
}

bool TransitionGraph::ImportGraph(const std::string& file) {
  std::FILE* in = OpenRegularFile(file);
  if (in == nullptr) return false;
  struct stat info;
  const uint64_t fileSize = fstat(fileno(in), &info) == 0 ? static_cast<uint64_t>(info.st_size) : UINT64_MAX;
  Motion* motion = owner->GetMotion();
  const int n = owner->nodeCount;
  if (motion == nullptr || n < 0) {  // no frames to cover
    std::fclose(in);
    return false;
  }

  // A small file is read in one block of its own size, on as many threads
  // as it has megabytes.
  const uint64_t perThread = uint64_t{1} << 20;
  const int threads =
      static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(GraphThreads()), fileSize / perThread + 1));
  std::vector<char> block(fileSize < kBlockBytes ? static_cast<size_t>(fileSize) + 4096 : kBlockBytes);
  size_t filled = 0;     // bytes in the block
  uint64_t consumed = 0;  // bytes of the file before the block
  bool eof = false;
  bool readError = false;
  std::vector<std::vector<uint32_t>> pieces(static_cast<size_t>(threads));
  std::vector<uint32_t> tokens;
  std::vector<file_Node> whole;
  std::vector<size_t> bounds(static_cast<size_t>(threads) + 1);
  std::vector<file_Fault> faults(static_cast<size_t>(threads));
  GraphNode* table = nullptr;
  bool counted = false;  // N has been read
  int k = 0;             // the next node to read
  bool ok = true;
  while (ok) {
    if (StopRequested()) {
      ok = false;
      break;
    }
    while (!eof && filled < block.size()) {
      const size_t got = std::fread(block.data() + filled, 1, block.size() - filled, in);
      filled += got;
      if (got == 0) {
        readError = std::ferror(in) != 0;
        eof = true;
      }
    }
    if (readError) {
      ok = false;
      break;
    }
    // The numbers that end inside the block: up to its last white space,
    // unless the file ends there.
    size_t usable = filled;
    if (!eof) {
      while (usable > 0 && !file_Space(block[usable - 1])) --usable;
      if (usable == 0) {  // one number longer than the block
        block.resize(block.size() * 2);
        continue;
      }
    }
    const char* text = block.data();
    RunOnThreads(threads, [&](int p) {
      // Piece q starts at the first white space from q / threads of the way
      // on, so no number is cut.
      const auto edge = [&](int q) {
        if (q == 0) return size_t{0};
        size_t at = usable * static_cast<size_t>(q) / static_cast<size_t>(threads);
        while (at < usable && !file_Space(text[at])) ++at;
        return at;
      };
      file_Tokenize(text, edge(p), edge(p + 1), &pieces[static_cast<size_t>(p)]);
    });
    tokens.clear();
    for (const std::vector<uint32_t>& piece : pieces) tokens.insert(tokens.end(), piece.begin(), piece.end());
    const char* const numbersEnd = text + usable;

    size_t t = 0;
    if (!counted && tokens.empty() && !eof) {  // white space alone so far
      std::memmove(block.data(), block.data() + usable, filled - usable);
      filled -= usable;
      consumed += usable;
      continue;
    }
    if (!counted) {
      int count = 0;
      const bool read = !tokens.empty() && file_ParseInt(text + tokens[0], numbersEnd, &count);
      // The first graph of a motion registered the table; this file's content
      // does not matter then.
      if (GraphNode* shared = graph_table::Find(motion, n)) {
        std::fclose(in);
        nodes = shared;
        return true;
      }
      if (!read) {
        ok = false;
        break;
      }
      if (count != n) {
        LogPrintf("ImportGraph: %s holds %d nodes but %s has %d frames", file.c_str(), count,
                  name.c_str(), n);
        ok = false;
        break;
      }
      counted = true;
      t = 1;
      table = graph_table::Create(this, n);
    }

    // The nodes the block holds whole; a malformed header ends the file's
    // reading after them.
    whole.clear();
    bool headerFault = false;
    while (k + static_cast<int>(whole.size()) < n && t + 2 <= tokens.size()) {
      int index = 0;
      int edges = 0;
      const bool indexRead = file_ParseInt(text + tokens[t], numbersEnd, &index);
      if (!indexRead || !file_ParseInt(text + tokens[t + 1], numbersEnd, &edges) || edges < 0) {
        headerFault = true;
        break;
      }
      const uint64_t needed = 2 * static_cast<uint64_t>(edges);
      if (needed > tokens.size() - t - 2) {
        // Each edge takes four bytes at least ("0 0 "): a count that the
        // rest of the file cannot hold is a short file.
        const uint64_t left = (filled - tokens[t + 1]) +
                              (fileSize > consumed + filled ? fileSize - consumed - filled : 0);
        if (4 * static_cast<uint64_t>(edges) > left + 1) headerFault = true;
        break;
      }
      whole.push_back(file_Node{k + static_cast<int>(whole.size()), t + 2, edges});
      t += 2 + static_cast<size_t>(needed);
    }

    // Their edges, parsed on all threads, each thread a run of nodes with
    // about as many numbers as the others.
    const size_t total = t;
    bounds[0] = 0;
    for (size_t p = 1, node = 0; p <= static_cast<size_t>(threads); ++p) {
      const size_t goal = total * p / static_cast<size_t>(threads);
      while (node < whole.size() && whole[node].token < goal) ++node;
      bounds[p] = p == static_cast<size_t>(threads) ? whole.size() : node;
    }
    RunOnThreads(threads, [&](int p) {
      file_Fault& fault = faults[static_cast<size_t>(p)];
      fault = file_Fault();
      for (size_t w = bounds[static_cast<size_t>(p)]; w < bounds[static_cast<size_t>(p) + 1]; ++w) {
        std::vector<GraphEdge>& edges = table[whole[w].frame].edges;
        edges.reserve(static_cast<size_t>(whole[w].edges));
        for (int e = 0; e < whole[w].edges; ++e) {
          const size_t at = whole[w].token + 2 * static_cast<size_t>(e);
          GraphEdge edge{0, 0.0f};
          if (!file_ParseInt(text + tokens[at], numbersEnd, &edge.target) ||
              !file_ParseFloat(text + tokens[at + 1], numbersEnd, &edge.weight)) {
            fault = file_Fault{true, w, false, 0};
            return;
          }
          if (edge.target < 0 || edge.target >= n) {
            fault = file_Fault{true, w, true, edge.target};
            return;
          }
          edges.push_back(edge);
        }
      }
    });
    for (const file_Fault& fault : faults) {
      if (!fault.found) continue;
      if (fault.range) {
        LogPrintf("ImportGraph: %s: node %d has target %d outside 0 to %d", file.c_str(),
                  whole[fault.node].frame, fault.target, n - 1);
      }
      ok = false;
      break;
    }
    k += static_cast<int>(whole.size());
    if (!ok || headerFault) {
      ok = false;
      break;
    }
    if (k == n) break;  // what follows the last node is not read
    if (eof) {          // the file ends before its last node
      ok = false;
      break;
    }
    // What is not yet read whole moves to the front of the block.
    const size_t keep = t < tokens.size() ? tokens[t] : usable;
    std::memmove(block.data(), block.data() + keep, filled - keep);
    filled -= keep;
    consumed += keep;
    if (filled == block.size()) block.resize(block.size() * 2);  // a node longer than the block
  }
  std::fclose(in);
  if (!ok) {
    if (table != nullptr) graph_table::Destroy(table, n);
    return false;
  }
  LogPrintf("ImportGraph: done importing %s from file %s", name.c_str(), file.c_str());
  graph_table::Register(motion, table, n);
  nodes = table;
  return true;
}
