// Updating a fleet of simulated network printers with pelmora-cli send: 200 printers on
// loopback addresses, all answering or a quarter silent, at several --jobs. Reports the
// wall time of each run and the CLI's own CPU time (user + system, from the child's
// resource usage) per printer. Run by hand:
//   bench_fleet [--jobs N]... [--answering-only | --silent-only]
// Without --jobs it runs 1, 16 and 64; --jobs 1 with silent printers takes over 100 s.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim_process.h"

extern char** environ;

namespace {

using pelmora::sim::CSimProcess;

constexpr int kFleet = 200;
constexpr int kSilent = kFleet / 4;
constexpr double kTargetSeconds = 10;
constexpr double kTargetMsPerPrinter = 5;
const std::string kModel = std::string(PELMORA_SOURCE_DIR) + "/examples/model/tl450.cfg";

// Starts a fleet of `count` printers from `base` and collects their rows.
bool StartFleet(CSimProcess& sim, const std::string& base, int count, bool silent,
                std::vector<std::string>& rows) {
  std::vector<std::string> args = {kModel,       "--fleet", base, std::to_string(count),
                                   "--ftp-port", "0"};
  if (silent)
    args.emplace_back("--no-device-id");
  std::string error;
  if (!sim.Start(PELMORA_PRINTER_SIM, args, error)) {
    std::fprintf(stderr, "bench_fleet: %s\n", error.c_str());
    return false;
  }
  std::string line = sim.DevicePath();
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !sim.NextLine(line, error)) {
      std::fprintf(stderr, "bench_fleet: %s\n", error.c_str());
      return false;
    }
    std::istringstream in(line);  // "ADDR udp:PORT ftp:PORT"
    std::string address;
    std::string udp;
    std::string ftp;
    in >> address >> udp >> ftp;
    rows.push_back("ftp://" + address + ":" + ftp.substr(4));
  }
  return true;
}

struct RunStats {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  int updated = 0;
  int exitCode = -1;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs pelmora-cli send on the rows of `listPath` with `jobs`; its standard output goes
// to `outPath`, its messages to /dev/null.
bool RunCli(const std::string& listPath, const std::string& outPath, int jobs, RunStats& stats) {
  const std::string jobText = std::to_string(jobs);
  std::vector<std::string> store = {PELMORA_CLI,      "send",   kModel,  "--connection", "TCP/IP",
                                    "--address-list", listPath, "--yes", "--jobs",       jobText};
  std::vector<char*> argv;
  for (std::string& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::fprintf(stderr, "bench_fleet: cannot start %s: %s\n", argv[0], std::strerror(rc));
    return false;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid)
    return false;
  stats.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stats.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  stats.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream out(outPath);
  for (std::string line; std::getline(out, line);)
    stats.updated += line.size() > 8 && line.compare(line.size() - 8, 8, "\tupdated") == 0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> jobs;
  bool answering = true;
  bool silent = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--jobs" && i + 1 < argc) {
      jobs.push_back(std::atoi(argv[++i]));
    } else if (arg == "--answering-only") {
      silent = false;
    } else if (arg == "--silent-only") {
      answering = false;
    } else {
      std::fprintf(stderr, "usage: bench_fleet [--jobs N]... [--answering-only|--silent-only]\n");
      return 2;
    }
  }
  if (jobs.empty())
    jobs = {1, 16, 64};

  char dir[] = "/tmp/bench-fleet-XXXXXX";
  if (mkdtemp(dir) == nullptr)
    return 1;
  const std::string folder = dir;
  CSimProcess answeringSim;
  CSimProcess silentSim;
  std::vector<std::string> answeringRows;
  std::vector<std::string> silentRows;
  if (!StartFleet(answeringSim, "127.0.0.2", kFleet, false, answeringRows) ||
      !StartFleet(silentSim, "127.0.1.2", kSilent, true, silentRows))
    return 1;

  int failures = 0;
  std::printf("%-16s %5s %8s %10s %14s %s\n", "printers", "jobs", "updated", "wall (s)",
              "cpu/printer", "target");
  for (const bool withSilent : {false, true}) {
    if ((withSilent && !silent) || (!withSilent && !answering))
      continue;
    // A quarter silent: the first 150 answering printers, then the 50 silent ones.
    std::vector<std::string> rows = answeringRows;
    if (withSilent) {
      rows.resize(kFleet - kSilent);
      rows.insert(rows.end(), silentRows.begin(), silentRows.end());
    }
    const std::string listPath = folder + "/IPAddress.lst";
    {
      std::ofstream list(listPath, std::ios::binary);
      for (const std::string& row : rows) list << '"' << row << "\",\"\"\r\n";
    }
    for (const int n : jobs) {
      RunStats stats;
      if (!RunCli(listPath, folder + "/out.txt", n, stats))
        return 1;
      const double msPerPrinter = stats.cpuSeconds * 1000 / kFleet;
      const bool met = stats.updated == kFleet && msPerPrinter < kTargetMsPerPrinter &&
                       (!withSilent || n == 1 || stats.wallSeconds < kTargetSeconds);
      failures += met ? 0 : 1;
      std::printf("%-16s %5d %8d %10.2f %11.2f ms %s\n",
                  withSilent ? "150 + 50 silent" : "200 answering", n, stats.updated,
                  stats.wallSeconds, msPerPrinter, met ? "met" : "MISSED");
      std::fflush(stdout);
    }
  }
  std::filesystem::remove_all(folder);
  return failures == 0 ? 0 : 1;
}
