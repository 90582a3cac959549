// Runs the real pelmora-cli binary for the command-line tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

extern char** environ;

namespace cli_test {

namespace fs = std::filesystem;

inline const fs::path kSourceDir = PELMORA_SOURCE_DIR;
inline const fs::path kDataDir = kSourceDir / "tests" / "data" / "cli";

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

using pelmora::test::ReadFile;
using pelmora::test::WriteFile;

// Runs `program` with `args` and `extraEnv` added to the environment. Output
// goes to temporary files rather than pipes, so a chatty child cannot block.
// `whileRunning`, when given, is called with the child's id before it is waited for.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& extraEnv = {},
                            const std::function<void(pid_t)>& whileRunning = {}) {
  RunResult result;
  char outName[] = "/tmp/pelmora-cli-out-XXXXXX";
  char errName[] = "/tmp/pelmora-cli-err-XXXXXX";
  const int outFd = mkstemp(outName);
  const int errFd = mkstemp(errName);
  if (outFd < 0 || errFd < 0) {
    ADD_FAILURE() << "cannot create temporary files";
    return result;
  }

  std::vector<std::string> argStore{program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStore(extraEnv);
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const auto key = entry.substr(0, entry.find('=') + 1);
    const bool overridden = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const auto& x) {
      return x.compare(0, key.size(), key) == 0;
    });
    if (!overridden)
      envStore.push_back(entry);
  }
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outFd);
  close(errFd);

  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
  } else {
    if (whileRunning)
      whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
      result.exitCode = WEXITSTATUS(status);
    } else {
      ADD_FAILURE() << "pelmora-cli did not exit normally (status " << status << ")";
    }
  }
  result.out = ReadFile(outName);
  result.err = ReadFile(errName);
  fs::remove(outName);
  fs::remove(errName);
  return result;
}

inline RunResult RunCli(const std::vector<std::string>& args,
                        const std::vector<std::string>& extraEnv = {},
                        const std::function<void(pid_t)>& whileRunning = {}) {
  return RunProgram(PELMORA_CLI_PATH, args, extraEnv, whileRunning);
}

}  // namespace cli_test
