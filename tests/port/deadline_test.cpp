#include "port/deadline.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace pelmora::port {
namespace {

using namespace std::chrono_literals;
using Clock = CDeadline::Clock;

const Clock::time_point kT0 = Clock::time_point() + 1000s;

TEST(Deadline, PassesExactlyAtItsTime) {
  const CDeadline d = CDeadline::After(100ms, kT0);
  EXPECT_FALSE(d.HasPassed(kT0));
  EXPECT_FALSE(d.HasPassed(kT0 + 99ms));
  EXPECT_TRUE(d.HasPassed(kT0 + 100ms));
  EXPECT_EQ(d.Remaining(kT0 + 30ms), 70ms);
  EXPECT_EQ(d.Remaining(kT0 + 150ms), Clock::duration::zero());
  EXPECT_TRUE(CDeadline::After(-5ms, kT0).HasPassed(kT0));
}

TEST(Deadline, NeverNeverPasses) {
  const CDeadline never = CDeadline::Never();
  EXPECT_TRUE(never.IsNever());
  EXPECT_FALSE(never.HasPassed(Clock::time_point::max()));
  EXPECT_EQ(never.Remaining(kT0), Clock::duration::max());
  // A duration too long to add saturates to Never instead of wrapping into the past.
  EXPECT_TRUE(CDeadline::After(Clock::duration::max(), kT0).IsNever());
}

TEST(Deadline, EarlierPicksTheFirstAndIgnoresNever) {
  const CDeadline a = CDeadline::After(10ms, kT0);
  const CDeadline b = CDeadline::After(20ms, kT0);
  const CDeadline never = CDeadline::Never();
  EXPECT_EQ(CDeadline::Earlier(a, b).Remaining(kT0), 10ms);
  EXPECT_EQ(CDeadline::Earlier(b, a).Remaining(kT0), 10ms);
  EXPECT_EQ(CDeadline::Earlier(never, b).Remaining(kT0), 20ms);
  EXPECT_EQ(CDeadline::Earlier(b, never).Remaining(kT0), 20ms);
  EXPECT_TRUE(CDeadline::Earlier(never, never).IsNever());
}

TEST(Deadline, TimespecIsExact) {
  const CDeadline d = CDeadline::After(2s + 345678901ns, kT0);
  const timespec left = d.RemainingTimespec(kT0 + 1ns);
  EXPECT_EQ(left.tv_sec, 2);
  EXPECT_EQ(left.tv_nsec, 345678900);
  const timespec none = d.RemainingTimespec(kT0 + 3s);
  EXPECT_EQ(none.tv_sec, 0);
  EXPECT_EQ(none.tv_nsec, 0);
}

TEST(Deadline, WaitsNeverEndEarly) {
  const CDeadline sleep = CDeadline::After(30ms);
  SleepUntil(sleep);
  EXPECT_TRUE(sleep.HasPassed());

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const CDeadline quiet = CDeadline::After(30ms);
  EXPECT_EQ(PollUntil(fds[0], POLLIN, quiet), 0);
  EXPECT_TRUE(quiet.HasPassed());

  // Ready before the deadline: at once; ready after it has passed: still seen.
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  EXPECT_EQ(PollUntil(fds[0], POLLIN, CDeadline::Never()), POLLIN);
  EXPECT_EQ(PollUntil(fds[0], POLLIN, CDeadline::After(-1ms)), POLLIN);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace pelmora::port
