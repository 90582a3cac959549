// A whole `pelmora-cli check FILE` process against a process that only splits the same
// file with the INI parser (bench_ini_parse): CPU time (user + system, from wait4) of
// each, in paired rounds whose order alternates, and the median of the per-round ratios.
//
//   bench_process_ratio [--rounds N] [--cli PROGRAM] [FILE]
//
// Without FILE the generated big model is written to a temporary file, on /dev/shm when
// it exists so that no disk is measured. --cli compares another build's program.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "big_model.h"

extern char** environ;

namespace {

struct Usage {
  double cpuSeconds = 0;
  long minorFaults = 0;
  bool ok = false;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `argv` with its output to /dev/null; ok when it exits with status 0.
Usage Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Usage result;
  int status = 0;
  rusage usage{};
  if (rc != 0 || wait4(pid, &status, 0, &usage) != pid)
    return result;
  result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.minorFaults = usage.ru_minflt;
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string TempModel() {
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = ::access("/dev/shm", W_OK) == 0  ? "/dev/shm"
                          : tmp != nullptr && *tmp != '\0' ? tmp
                                                           : "/tmp";
  std::string path = dir + "/pelmora-bench-XXXXXX.cfg";
  const int fd = ::mkstemps(path.data(), 4);
  if (fd < 0)
    return {};
  ::close(fd);
  return pelmora::bench::WriteBigModel(path) ? path : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 41;
  std::string cli = PELMORA_CLI;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--cli" && i + 1 < argc) {
      cli = argv[++i];
    } else if (file.empty() && !arg.starts_with("-")) {
      file = arg;
    } else {
      std::fprintf(stderr, "usage: bench_process_ratio [--rounds N] [--cli PROGRAM] [FILE]\n");
      return 2;
    }
  }
  const bool generated = file.empty();
  if (generated && (file = TempModel()).empty()) {
    std::fprintf(stderr, "bench_process_ratio: cannot write the generated model\n");
    return 1;
  }

  std::vector<double> cliSeconds, iniSeconds, ratios;
  std::vector<long> cliFaults, iniFaults;
  int status = 0;
  for (int round = 0; round < rounds && status == 0; ++round) {
    // Alternating which goes first cancels a drift of the machine's load within a round.
    Usage check, ini;
    if (round % 2 == 0) {
      check = Run({cli, "check", file});
      ini = Run({BENCH_INI_PARSE, file});
    } else {
      ini = Run({BENCH_INI_PARSE, file});
      check = Run({cli, "check", file});
    }
    if (!check.ok || !ini.ok || ini.cpuSeconds <= 0) {
      std::fprintf(stderr, "bench_process_ratio: a run failed (check %s, ini_parse %s)\n",
                   check.ok ? "ok" : "failed", ini.ok ? "ok" : "failed");
      status = 1;
      break;
    }
    cliSeconds.push_back(check.cpuSeconds);
    iniSeconds.push_back(ini.cpuSeconds);
    ratios.push_back(check.cpuSeconds / ini.cpuSeconds);
    cliFaults.push_back(check.minorFaults);
    iniFaults.push_back(ini.minorFaults);
  }
  if (status == 0) {
    std::printf("%s: %d paired rounds, CPU time (user + system), medians\n", file.c_str(), rounds);
    std::printf("%-18s %8.3f ms  %6ld minor faults\n", "pelmora-cli check",
                Median(cliSeconds) * 1e3, Median(cliFaults));
    std::printf("%-18s %8.3f ms  %6ld minor faults\n", "ini_parse", Median(iniSeconds) * 1e3,
                Median(iniFaults));
    std::sort(ratios.begin(), ratios.end());
    std::printf("check / ini_parse:  %.2f  (per-round ratios %.2f to %.2f; target <= 1.5)\n",
                Median(ratios), ratios.front(), ratios.back());
  }
  if (generated)
    ::unlink(file.c_str());
  return status;
}
