#include "core/stop_request.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

}  // namespace

void RequestStop() { g_stopRequested = 1; }

bool StopRequested() { return g_stopRequested != 0; }
