#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "child_process.h"
#include "fake_printer.h"

namespace pelmora::sim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kPatience{10};

}  // namespace

CSimProcess::~CSimProcess() {
  Kill();
}

bool CSimProcess::Start(const std::string& program, const std::vector<std::string>& args,
                        std::string& error) {
  Stop();
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = -1;
  int output = -1;
  if (!SpawnWithOutputPipe(argv, pid, output, error))
    return false;
  pid_ = pid;
  output_ = output;

  // The first line of the child's output is the terminal's path.
  std::string line;
  if (!NextLine(line, error)) {
    error = program + ": " + error;
    Stop();
    return false;
  }
  devicePath_ = line;
  return true;
}

bool CSimProcess::NextLine(std::string& line, std::string& error) {
  const Clock::time_point limit = Clock::now() + kPatience;
  while (pending_.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
    pollfd entry{output_, POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&entry, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    char chunk[256];
    const ssize_t n = ready > 0 ? ::read(output_, chunk, sizeof chunk) : 0;
    if (n <= 0) {
      error = ready == 0 ? "printed no line in time" : "ended without printing a line";
      return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t end = pending_.find('\n');
  line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return true;
}

bool CSimProcess::Dump(const std::string& dumpPath, std::vector<std::uint8_t>& memory,
                       std::string& error) {
  if (pid_ <= 0) {
    error = "the simulator is not running";
    return false;
  }
  // The simulator renames a finished file into place, so its appearance means done.
  ::unlink(dumpPath.c_str());
  if (kill(pid_, SIGUSR1) != 0) {
    error = std::string("kill: ") + std::strerror(errno);
    return false;
  }
  const Clock::time_point limit = Clock::now() + kPatience;
  struct stat info {};
  while (stat(dumpPath.c_str(), &info) != 0) {
    if (Clock::now() >= limit) {
      error = "no dump appeared at " + dumpPath;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream in(dumpPath, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  memory.assign(CFakePrinter::kMemorySize, 0);
  return ParseDump(text, memory, error);
}

int CSimProcess::Stop() {
  if (output_ >= 0) {
    ::close(output_);
    output_ = -1;
  }
  if (pid_ <= 0) {
    return -1;
  }
  // SIGTERM lets it write its dump; one that does not end in time is killed.
  kill(pid_, SIGTERM);
  int status = 0;
  const Clock::time_point limit = Clock::now() + kPatience;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      break;
    }
    if (Clock::now() >= limit) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  pid_ = -1;
  devicePath_.clear();
  pending_.clear();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CSimProcess::Kill() {
  if (output_ >= 0) {
    ::close(output_);
    output_ = -1;
  }
  if (pid_ <= 0) {
    return;
  }
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  devicePath_.clear();
  pending_.clear();
}

}  // namespace pelmora::sim
