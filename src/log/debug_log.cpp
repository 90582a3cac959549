#include "log/debug_log.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace pelmora::log {

namespace {

constexpr std::uint32_t kChannels = 3;
constexpr const char* kLogFileName = "VORSETTA.LOG";

// Process-wide state. Everything that logs runs on the user-interface thread; the
// flag and the counters are atomic only so that a stray call from another thread
// cannot tear them, not to order lines between threads.
std::atomic<bool> gEnabled{false};
std::array<std::atomic<std::uint32_t>, kChannels> gDepth{};
std::atomic<TickSource> gTickSource{nullptr};
std::string gLogFilePath;  // empty: the default under the state folder

std::uint32_t ChannelIndex(std::uint32_t channel) {
  return channel < kChannels ? channel : 0;
}

bool IsAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (IsAbsolute(home)) {
    return home;
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      IsAbsolute(found->pw_dir)) {
    return found->pw_dir;
  }
  return {};
}

std::string DefaultLogFilePath() {
  std::string stateHome;
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (IsAbsolute(xdg)) {
    stateHome = xdg;
  } else {
    // A relative XDG_STATE_HOME is invalid and must be ignored.
    const std::string home = HomeFolder();
    if (home.empty()) {
      return {};
    }
    stateHome = home + "/.local/state";
  }
  return stateHome + "/pelmora/" + kLogFileName;
}

// Creates every missing folder above `path`, owner-only as the state folder
// should be.
void MakeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return;
    }
  }
}

int OpenLogFile(const std::string& path) {
  // O_NOFOLLOW: a symbolic link planted at the log path must not redirect our
  // writes. O_NONBLOCK keeps a FIFO there from blocking the open; anything but a
  // regular file is refused below, and so is a hard link, which would let whoever
  // planted it have our lines land in a file of theirs as a symbolic link would.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  int fd = open(path.c_str(), kFlags, 0600);
  if (fd < 0 && errno == ENOENT) {
    MakeParentFolders(path);
    fd = open(path.c_str(), kFlags, 0600);
  }
  if (fd < 0) {
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1) {
    close(fd);
    return -1;
  }
  return fd;
}

// Appends the stamp "%010u: " to `line`. A 32-bit number has at most ten digits,
// so the stamp is always exactly ten digits wide.
void AppendStamp(std::string& line, std::uint32_t ticks) {
  char digits[10];
  for (int i = 9; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + ticks % 10);
    ticks /= 10;
  }
  line.append(digits, sizeof digits);
  line.append(": ");
}

void AppendFormatted(std::string& line, const char* format, va_list args) {
  char local[512];
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(local, sizeof local, format, copy);
  va_end(copy);
  if (length < 0) {
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof local) {
    line.append(local, static_cast<std::size_t>(length));
    return;
  }
  // Long messages (a device ID dump, say) are written whole, not cut.
  std::string large(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(large.data(), large.size(), format, args);
  large.resize(static_cast<std::size_t>(length));
  line += large;
}

void WriteLine(std::uint32_t channel, const char* format, va_list args) {
  if (!gEnabled.load(std::memory_order_relaxed)) {
    return;
  }
  // Logging must never fail the traced operation: a line that cannot even be
  // built (out of memory) is dropped like one that cannot be written.
  std::string path;
  std::string line;
  try {
    path = LogFilePath();
    const TickSource source = gTickSource.load(std::memory_order_relaxed);
    AppendStamp(line, source != nullptr ? source() : TickCount());
    line.append(2 * static_cast<std::size_t>(gDepth[channel].load(std::memory_order_relaxed)), ' ');
    AppendFormatted(line, format, args);
  } catch (...) {
    return;
  }
  if (path.empty()) {
    return;
  }

  const int fd = OpenLogFile(path);
  if (fd < 0) {
    return;
  }
  // One write per line, so the line lands in the file in one piece; a short
  // write is dropped like any other failure.
  while (write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
  }
  close(fd);
}

void WriteLineF(std::uint32_t channel, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void WriteLineF(std::uint32_t channel, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(channel, format, args);
  va_end(args);
}

}  // namespace

void EnableLog(bool enabled) {
  gEnabled.store(enabled, std::memory_order_relaxed);
}

bool LogEnabled() {
  return gEnabled.load(std::memory_order_relaxed);
}

std::string LogFilePath() {
  return gLogFilePath.empty() ? DefaultLogFilePath() : gLogFilePath;
}

void SetLogFilePath(std::string path) {
  gLogFilePath = std::move(path);
}

std::uint32_t TickCount() {
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
    return 0;
  }
  const auto millis = static_cast<std::uint64_t>(now.tv_sec) * 1000U +
                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
  return static_cast<std::uint32_t>(millis);  // wraps like the 32-bit tick count
}

void SetTickSource(TickSource source) {
  gTickSource.store(source, std::memory_order_relaxed);
}

CDebugLog::CDebugLog(const char* scope, std::uint32_t channel) : channel_(ChannelIndex(channel)) {
  // The heading is written at the outer depth; the scope's own lines one deeper.
  WriteLineF(channel_, "\n");
  WriteLineF(channel_, "---\n");
  if (scope != nullptr) {
    WriteLineF(channel_, "%s\n", scope);
  }
  gDepth[channel_].fetch_add(1, std::memory_order_relaxed);
}

CDebugLog::~CDebugLog() {
  gDepth[channel_].fetch_sub(1, std::memory_order_relaxed);
}

void CDebugLog::Output(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  WriteLine(channel_, format, args);
  va_end(args);
}

}  // namespace pelmora::log
