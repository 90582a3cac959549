#include "pty_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "wake.h"

namespace pelmora::sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A command that a longer one could still extend is taken after this much quiet.
constexpr milliseconds kIdleAfter{20};
// Before a dump and at the end: the line counts as done after this much quiet...
constexpr milliseconds kSettleQuiet{50};
// ...or after this long in all, should a host never stop sending.
constexpr milliseconds kSettleLimit{2000};

std::string ErrnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

timespec ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) {
    d = Clock::duration::zero();
  }
  const auto secs = std::chrono::duration_cast<std::chrono::seconds>(d);
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(secs.count());
  ts.tv_nsec =
      static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(d - secs).count());
  return ts;
}

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// Moves the answers that are due by `now` to the bytes for the line.
template <typename Scheduled>
void TakeDue(std::vector<Scheduled>& scheduled, std::vector<std::uint8_t>& outgoing,
             Clock::time_point now) {
  std::size_t due = 0;
  while (due < scheduled.size() && scheduled[due].due <= now) {
    outgoing.insert(outgoing.end(), scheduled[due].bytes.begin(), scheduled[due].bytes.end());
    ++due;
  }
  scheduled.erase(scheduled.begin(), scheduled.begin() + static_cast<std::ptrdiff_t>(due));
}

// Writes as much of `outgoing` as the line takes.
void WriteOut(int fd, std::vector<std::uint8_t>& outgoing) {
  while (!outgoing.empty()) {
    const ssize_t n = ::write(fd, outgoing.data(), outgoing.size());
    if (n <= 0) {
      break;  // the host's input buffer is full: wait for room
    }
    outgoing.erase(outgoing.begin(), outgoing.begin() + n);
  }
}

// When the loop must wake without input: at the idle time or when the first
// answer falls due, whichever comes first; never when there is neither.
template <typename Scheduled>
std::optional<Clock::time_point> WakeAt(std::optional<Clock::time_point> idleAt,
                                        const std::vector<Scheduled>& scheduled) {
  if (!scheduled.empty() && (!idleAt || scheduled.front().due < *idleAt)) {
    return scheduled.front().due;
  }
  return idleAt;
}

// Empties the wake-up pipe.
void Drain(int fd) {
  char drain[64];
  while (::read(fd, drain, sizeof drain) > 0) {
  }
}

}  // namespace

CPtyRunner::CPtyRunner(const model::CStatDataObj& model, CSimOptions options)
    : printer_(model, std::move(options)) {}

CPtyRunner::~CPtyRunner() {
  Stop();
  if (!linkPath_.empty()) {
    ::unlink(linkPath_.c_str());
  }
  CloseFd(slave_);
  CloseFd(master_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
}

bool CPtyRunner::Open(std::string& error, const std::string& linkPath) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = ErrnoText("cannot open a pseudo-terminal");
    return false;
  }
  char name[256];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = ErrnoText("cannot name the pseudo-terminal");
    return false;
  }
  devicePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    error = ErrnoText("cannot open the pseudo-terminal's device");
    return false;
  }
  // A printer line passes bytes as they are; a fresh terminal would echo them and
  // translate line ends.
  termios t{};
  if (tcgetattr(slave_, &t) != 0) {
    error = ErrnoText("cannot read the terminal settings");
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  if (tcsetattr(slave_, TCSANOW, &t) != 0) {
    error = ErrnoText("cannot make the terminal raw");
    return false;
  }
  int wake[2];
  if (fcntl(master_, F_SETFL, O_NONBLOCK) != 0 || pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = ErrnoText("cannot set up the line");
    return false;
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];

  if (!linkPath.empty()) {
    struct stat info {};
    if (lstat(linkPath.c_str(), &info) == 0) {
      if (!S_ISLNK(info.st_mode)) {
        error = linkPath + " exists and is no symbolic link";
        return false;
      }
      ::unlink(linkPath.c_str());
    }
    if (symlink(name, linkPath.c_str()) != 0) {
      error = ErrnoText(("cannot link " + linkPath).c_str());
      return false;
    }
    linkPath_ = linkPath;
  }
  return true;
}

void CPtyRunner::RequestStop() {
  RaiseAndWake(stopRequested_, wakeWrite_, 's');
}

void CPtyRunner::RequestDump() {
  RaiseAndWake(dumpRequested_, wakeWrite_, 'd');
}

void CPtyRunner::Start() {
  thread_ = std::thread([this] { Run(); });
}

void CPtyRunner::Stop() {
  if (thread_.joinable()) {
    RequestStop();
    thread_.join();
  }
}

std::vector<std::uint8_t> CPtyRunner::MemorySnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::span<const std::uint8_t> memory = printer_.Memory();
  return {memory.begin(), memory.end()};
}

CSimCounters CPtyRunner::CountersSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return printer_.Counters();
}

void CPtyRunner::Schedule(std::vector<CFakePrinter::Answer>& answers) {
  const Clock::time_point now = Clock::now();
  for (CFakePrinter::Answer& answer : answers) {
    // Answers leave in the order of their requests, however late each one is.
    lastDue_ = std::max(now + printer_.Options().replyDelay, lastDue_);
    scheduled_.push_back({lastDue_, std::move(answer)});
  }
  answers.clear();
}

void CPtyRunner::TakeInput() {
  std::uint8_t chunk[4096];
  std::vector<CFakePrinter::Answer> answers;
  for (;;) {
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) {
      return;  // EAGAIN: all taken; EIO: no host (cannot happen while slave_ is open)
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      printer_.Receive(std::span<const std::uint8_t>(chunk, static_cast<std::size_t>(n)), answers);
    }
    Schedule(answers);
  }
}

void CPtyRunner::Settle() {
  const Clock::time_point limit = Clock::now() + kSettleLimit;
  for (;;) {
    pollfd entry{master_, POLLIN, 0};
    const timespec quiet = ToTimespec(kSettleQuiet);
    const int ready = ppoll(&entry, 1, &quiet, nullptr);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready <= 0 || (entry.revents & POLLIN) == 0 || Clock::now() >= limit) {
      break;
    }
    TakeInput();
  }
  std::vector<CFakePrinter::Answer> answers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    printer_.Idle(answers);
  }
  Schedule(answers);
}

void CPtyRunner::WriteDump() {
  if (dumpPath_.empty()) {
    return;
  }
  std::vector<std::uint8_t> memory;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    memory.assign(printer_.Memory().begin(), printer_.Memory().end());
  }
  WriteDumpFile(dumpPath_, memory);
}

void CPtyRunner::Run() {
  std::optional<Clock::time_point> idleAt;
  while (!stopRequested_.load()) {
    // Answers that are due go to the line, as far as it takes them.
    Clock::time_point now = Clock::now();
    TakeDue(scheduled_, outgoing_, now);
    WriteOut(master_, outgoing_);

    const std::optional<Clock::time_point> wakeAt = WakeAt(idleAt, scheduled_);
    pollfd fds[2] = {
        {master_, static_cast<short>(POLLIN | (outgoing_.empty() ? 0 : POLLOUT)), 0},
        {wakeRead_, POLLIN, 0},
    };
    const timespec timeout = ToTimespec(wakeAt ? *wakeAt - now : Clock::duration::zero());
    if (ppoll(fds, 2, wakeAt ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) {
      std::fprintf(stderr, "pelmora-printer-sim: %s\n", ErrnoText("poll").c_str());
      break;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      Drain(wakeRead_);
    }
    if (dumpRequested_.exchange(false)) {
      Settle();
      WriteDump();
    }
    if ((fds[0].revents & POLLIN) != 0) {
      TakeInput();
      std::lock_guard<std::mutex> lock(mutex_);
      idleAt.reset();
      if (printer_.HasPendingInput()) {
        idleAt = Clock::now() + kIdleAfter;
      }
    }
    if (idleAt && Clock::now() >= *idleAt) {
      idleAt.reset();
      std::vector<CFakePrinter::Answer> answers;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        printer_.Idle(answers);
      }
      Schedule(answers);
    }
  }
  Settle();
  WriteDump();
}

}  // namespace pelmora::sim
