#include "port/deadline.h"

#include <poll.h>
#include <sys/prctl.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <chrono>

namespace pelmora::port {

namespace {

// A signal handler writes it, so it must be a lock-free atomic.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// No wait lasts longer than this in one go, so a stop requested just before a wait
// began is still seen soon.
constexpr std::chrono::milliseconds kStopCheckInterval{100};

}  // namespace

void RequestStop(int signal) noexcept {
  stopSignal.store(signal, std::memory_order_relaxed);
}

int StopSignal() noexcept {
  return stopSignal.load(std::memory_order_relaxed);
}

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
    if (StopSignal() != 0) {
      errno = EINTR;
      return -1;
    }
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
    const timespec left = CDeadline::Earlier(deadline, CDeadline::After(kStopCheckInterval, now))
                              .RemainingTimespec(now);
    const int ready = ppoll(&entry, 1, &left, nullptr);
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
  // The kernel may fire a sleep up to the thread's timer slack late (50 us by
  // default); read-back waits add up over thousands of bytes, so ask for a fine
  // slack while sleeping and sleep to the absolute time, never to a relative one
  // that a signal would restart from scratch.
  const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack > 1)
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  for (;;) {
    const CDeadline::Clock::time_point now = CDeadline::Clock::now();
    if (deadline.HasPassed(now) || StopSignal() != 0) {
      break;
    }
    // steady_clock is CLOCK_MONOTONIC here, so its time point is the absolute time.
    const CDeadline next = CDeadline::Earlier(deadline, CDeadline::After(kStopCheckInterval, now));
    const auto at = std::chrono::duration_cast<std::chrono::nanoseconds>(
        (now + next.Remaining(now)).time_since_epoch());
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(at.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(at.count() % 1000000000);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
  }
  if (slack > 1)
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
}

}  // namespace pelmora::port
