#include "core/stop_request.h"

#include <atomic>

namespace {

// Set from a signal handler, which may run on any thread, and read by the
// graph library's threads: a lock-free atomic is safe for both, where a
// volatile sig_atomic_t serves only a handler and its own thread.
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag must be lock-free to be set from a signal");
std::atomic<int> g_stopRequested{0};

}  // namespace

void RequestStop() { g_stopRequested.store(1, std::memory_order_relaxed); }

bool StopRequested() { return g_stopRequested.load(std::memory_order_relaxed) != 0; }
