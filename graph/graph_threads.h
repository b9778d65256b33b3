#pragma once

// The threads that the graph library spreads its work over: generation,
// and the reading and writing of ".gra" files.

#include <functional>

// How many threads: the count given to SetGenerationThreads, or one per
// processor.
int GraphThreads();

// Runs task(0) to task(count - 1), each once, task(0) on this thread and the
// others on threads of their own, and returns when all are done. A task
// whose thread cannot be started runs on this thread after task(0).
void RunTasks(int count, const std::function<void(int)>& task);
