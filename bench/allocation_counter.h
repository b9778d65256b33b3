#pragma once

// Counts the program's heap allocations: linking allocation_counter.cpp
// replaces the global operator new (and new[]) by one that counts each call.

namespace bench_support {

// Calls of operator new and new[] since the program started.
long AllocationCount();

}  // namespace bench_support
