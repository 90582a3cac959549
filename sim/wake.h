// Requests to a runner's loop from another thread or a signal handler.
#pragma once

#include <unistd.h>

#include <atomic>

namespace pelmora::sim {

// Sets `flag` and writes `byte` to the loop's wake-up pipe (when open), so that a loop
// waiting in poll sees the request at once. Async-signal-safe.
inline void RaiseAndWake(std::atomic<bool>& flag, int wakeWrite, char byte) {
  flag.store(true);
  if (wakeWrite >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
  }
}

}  // namespace pelmora::sim
