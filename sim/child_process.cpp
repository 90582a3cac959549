#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelmora::sim {

bool SpawnWithOutputPipe(const std::vector<std::string>& argv, pid_t& pid, int& output,
                         std::string& error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> storage = argv;
  std::vector<char*> args;
  args.reserve(storage.size() + 1);
  for (std::string& arg : storage) {
    args.push_back(arg.data());
  }
  args.push_back(nullptr);
  const pid_t parent = getpid();

  pid = fork();
  if (pid < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    // The child must not outlive its parent, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
      _exit(127);
    }
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
    }
    dup2(fds[1], STDOUT_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  ::close(fds[1]);
  output = fds[0];
  return true;
}

}  // namespace pelmora::sim
