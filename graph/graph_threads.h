#pragma once

// The threads that the graph library spreads its work over: generation,
// and the reading and writing of ".gra" files.

#include <functional>

// How many threads: the count given to SetGenerationThreads, or one per
// processor.
int GraphThreads();

// Runs job(0) to job(count - 1), each once, job(0) on this thread and the
// others on threads of their own, and returns when all are done. A job whose
// thread cannot be started runs on this thread after job(0).
void RunOnThreads(int count, const std::function<void(int)>& job);
