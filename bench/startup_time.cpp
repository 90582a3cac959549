// Start-up time of the desktop program: from starting the process to its
// start dialog on the screen, for a number of runs.
//
//   bench_startup_time [--runs N] [PROGRAM [WORKING_FOLDER]]
//
// Defaults: the program and examples/ of this build. The platform is the one
// QT_QPA_PLATFORM names (offscreen when unset). A run ends when the start
// dialog has saved its screenshot (PELMORA_SCREENSHOT_DIR), which it does on
// the first pass of its event loop after showing; the time therefore includes
// encoding one small PNG and is an upper bound.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTimeoutMs = 20000;
constexpr const char* kShot = "start_choose.png";

// One run: milliseconds until the start dialog was shown, or a negative
// number when it did not show in time.
double RunOnce(const std::string& program, const std::string& folder, const fs::path& shots) {
  fs::remove(shots / kShot);
  const int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, shots.c_str(), IN_CLOSE_WRITE) < 0) {
    std::perror("inotify");
    std::exit(1);
  }

  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    // Qt's notices would interleave with the results.
    if (const int null = open("/dev/null", O_WRONLY); null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execl(program.c_str(), program.c_str(), folder.c_str(), static_cast<char*>(nullptr));
    std::perror("exec");
    _exit(127);
  }

  double elapsed = -1;
  char events[4096];
  while (true) {
    const auto waited = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    pollfd fd{watch, POLLIN, 0};
    if (waited > kTimeoutMs || poll(&fd, 1, kTimeoutMs - static_cast<int>(waited)) <= 0)
      break;
    const ssize_t n = read(watch, events, sizeof events);
    bool done = false;
    for (ssize_t i = 0; i < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + i);
      if (event->len > 0 && std::strcmp(event->name, kShot) == 0)
        done = true;
      i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    if (done) {
      elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(watch);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      args.emplace_back(argv[i]);
    }
  }
  const std::string program = args.size() > 0 ? args[0] : PELMORA_PROGRAM;
  const std::string folder = args.size() > 1 ? args[1] : PELMORA_EXAMPLES_DIR;

  const fs::path shots = fs::temp_directory_path() / ("pelmora-start-" + std::to_string(getpid()));
  fs::create_directories(shots);
  setenv("PELMORA_SCREENSHOT_DIR", shots.c_str(), 1);
  setenv("QT_QPA_PLATFORM", getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "offscreen", 1);
  // Neither the log nor this machine's settings take part.
  setenv("PELMORA_SETTINGS", "", 1);

  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = RunOnce(program, folder, shots);
    if (ms < 0) {
      std::fprintf(stderr, "run %d: the start dialog did not show within %d ms\n", i + 1,
                   kTimeoutMs);
      fs::remove_all(shots);
      return 1;
    }
    times.push_back(ms);
  }
  fs::remove_all(shots);

  const double first = times.front();
  std::sort(times.begin(), times.end());
  std::printf(
      "start dialog shown (%s, %d runs): first %.1f ms, min %.1f ms, median %.1f ms, "
      "max %.1f ms\n",
      getenv("QT_QPA_PLATFORM"), runs, first, times.front(), times[times.size() / 2], times.back());
  return 0;
}
