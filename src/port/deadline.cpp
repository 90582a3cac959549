#include "port/deadline.h"

#include <poll.h>

#include <cerrno>

namespace pelmora::port {

CDeadline CDeadline::After(Clock::duration after, Clock::time_point now) {
  if (after < Clock::duration::zero()) {
    after = Clock::duration::zero();
  }
  // Saturate rather than wrap for absurd durations.
  if (after > Clock::time_point::max() - now) {
    return Never();
  }
  return CDeadline(now + after);
}

CDeadline CDeadline::Earlier(const CDeadline& a, const CDeadline& b) {
  if (a.never_) {
    return b;
  }
  if (b.never_) {
    return a;
  }
  return a.at_ <= b.at_ ? a : b;
}

CDeadline::Clock::duration CDeadline::Remaining(Clock::time_point now) const {
  if (never_) {
    return Clock::duration::max();
  }
  return now >= at_ ? Clock::duration::zero() : at_ - now;
}

timespec CDeadline::RemainingTimespec(Clock::time_point now) const {
  using std::chrono::duration_cast;
  using std::chrono::nanoseconds;
  using std::chrono::seconds;
  const Clock::duration left = Remaining(now);
  const seconds whole = duration_cast<seconds>(left);
  timespec result{};
  result.tv_sec = static_cast<time_t>(whole.count());
  result.tv_nsec = static_cast<long>(duration_cast<nanoseconds>(left - whole).count());
  return result;
}

int PollUntil(int fd, short events, const CDeadline& deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const CDeadline::Clock::time_point now = CDeadline::Clock::now();
    if (deadline.HasPassed(now)) {
      // One last look without waiting, so bytes that are already there are not missed
      // for want of time.
      const int ready = poll(&entry, 1, 0);
      if (ready < 0 && errno == EINTR) {
        continue;
      }
      return ready > 0 ? entry.revents : ready;
    }
    const timespec left = deadline.RemainingTimespec(now);
    const int ready = ppoll(&entry, 1, deadline.IsNever() ? nullptr : &left, nullptr);
    if (ready > 0) {
      return entry.revents;
    }
    if (ready < 0 && errno != EINTR) {
      return -1;
    }
    // A time-out or a signal: the loop checks the clock again.
  }
}

void SleepUntil(const CDeadline& deadline) {
  if (deadline.IsNever()) {
    return;
  }
  for (;;) {
    const CDeadline::Clock::time_point now = CDeadline::Clock::now();
    if (deadline.HasPassed(now)) {
      return;
    }
    const timespec left = deadline.RemainingTimespec(now);
    nanosleep(&left, nullptr);
  }
}

}  // namespace pelmora::port
