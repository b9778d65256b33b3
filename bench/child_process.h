#pragma once

// Work measured in a process of its own: what a process starts only once
// (the engine, the GUI library) or how much memory it takes at its peak.

#include <sys/wait.h>
#include <unistd.h>

#include <type_traits>

namespace bench_support {

// Runs `work` in a child process, which returns a Result (a plain struct of
// numbers) and then ends at once, without exit handlers or the libraries'
// clean-up; the result comes back through a pipe into *result. False when
// the child could not be started or did not deliver its result.
template <class Result, class Work>
bool RunInChild(Work work, Result* result) {
  static_assert(std::is_trivially_copyable_v<Result>, "the result crosses a pipe as bytes");
  int channel[2];
  if (pipe(channel) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    const Result made = work();
    const ssize_t written = write(channel[1], &made, sizeof made);
    _exit(written == static_cast<ssize_t>(sizeof made) ? 0 : 1);
  }
  close(channel[1]);
  const bool delivered = child > 0 && read(channel[0], result, sizeof *result) == static_cast<ssize_t>(sizeof *result);
  close(channel[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return delivered;
}

}  // namespace bench_support
