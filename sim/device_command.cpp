#include "device_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "fake_printer.h"

extern char** environ;

namespace pelmora::sim {

namespace {

constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

// `front` and `back` joined by ':', leaving out one that is null or empty.
std::string ColonList(const char* front, const char* back) {
  std::string list = front != nullptr ? front : "";
  if (back != nullptr && *back != '\0') {
    if (!list.empty())
      list += ':';
    list += back;
  }
  return list;
}

}  // namespace

pid_t StartDeviceCommand(const std::vector<std::string>& command, const std::string& root) {
  std::vector<std::string> env = {
      // The emulation's library in front of any the command already preloads.
      "LD_PRELOAD=" + ColonList(kPreloadLibrary, std::getenv("LD_PRELOAD")), "UMOCKDEV_DIR=" + root,
      // A sanitized command would refuse to start with a library loaded before its runtime.
      "ASAN_OPTIONS=" + ColonList(std::getenv("ASAN_OPTIONS"), "verify_asan_link_order=0")};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (!text.starts_with("LD_PRELOAD=") && !text.starts_with("UMOCKDEV_DIR=") &&
        !text.starts_with("ASAN_OPTIONS="))
      env.emplace_back(text);
  }
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execvpe(argv[0], argv.data(), envp.data());
    static constexpr char kFailed[] = "pelmora-printer-sim: cannot run the command\n";
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
    _exit(127);
  }
  return pid;
}

int WaitForDeviceCommand(pid_t pid, std::atomic<bool>& dumpRequested, const std::string& dumpPath,
                         const std::function<std::vector<std::uint8_t>()>& memory) {
  int status = 0;
  for (;;) {
    if (waitpid(pid, &status, 0) == pid)
      break;
    if (errno != EINTR)
      return 1;
    if (dumpRequested.exchange(false) && !dumpPath.empty())
      WriteDumpFile(dumpPath, memory());
  }
  int result = 1;
  if (WIFEXITED(status))
    result = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result = 128 + WTERMSIG(status);
  if (!dumpPath.empty() && !WriteDumpFile(dumpPath, memory()))
    return result != 0 ? result : 1;
  return result;
}

}  // namespace pelmora::sim
