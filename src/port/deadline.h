// Absolute deadlines on the monotonic clock. I/O loops wait until a deadline rather
// than for a duration, so a loop that wakes for a signal or a partial transfer picks
// up where it was and no wait ever ends early; all clock arithmetic lives here.
#pragma once

#include <time.h>

#include <chrono>

namespace pelmora::port {

class CDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  // The deadline `after` from `now` (a negative duration counts as 0).
  static CDeadline After(Clock::duration after, Clock::time_point now = Clock::now());
  // A deadline that never passes.
  static CDeadline Never() { return CDeadline(); }
  // The earlier of two deadlines.
  static CDeadline Earlier(const CDeadline& a, const CDeadline& b);

  bool IsNever() const { return never_; }
  bool HasPassed(Clock::time_point now = Clock::now()) const { return !never_ && now >= at_; }

  // Time left at `now`, 0 once passed; Clock::duration::max() for Never().
  Clock::duration Remaining(Clock::time_point now = Clock::now()) const;
  // Remaining() for ppoll and nanosleep, exact to the nanosecond.
  timespec RemainingTimespec(Clock::time_point now = Clock::now()) const;

 private:
  CDeadline() = default;
  explicit CDeadline(Clock::time_point at) : at_(at), never_(false) {}

  Clock::time_point at_{};
  bool never_ = true;
};

// Asks every wait below to end at once, for good: a front end's handler of SIGINT or
// SIGTERM calls it with the signal, so that the port is released and the program ends
// within a fraction of a second. Async-signal-safe.
void RequestStop(int signal) noexcept;
// The signal given to RequestStop; 0 while no stop was asked for.
int StopSignal() noexcept;

// Waits until `fd` reports one of `events` or the deadline passes, resuming after
// signals. Returns the reported events (POLLERR, POLLHUP and POLLNVAL included) or 0
// once the deadline has passed; -1 with errno when polling itself fails, and with EINTR
// once a stop has been requested.
int PollUntil(int fd, short events, const CDeadline& deadline);

// Sleeps until the deadline has passed, resuming after signals; returns early once a
// stop has been requested. Never() returns at once rather than sleeping for ever.
void SleepUntil(const CDeadline& deadline);

}  // namespace pelmora::port
