#include "usb_runner.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device_bed.h"
#include "usb_emulation.h"

namespace pelmora::sim {

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

// In the child: the bed's environment on top of ours, then the command.
[[noreturn]] void ExecCommand(const std::vector<std::string>& command, const std::string& root) {
  // The command must not outlive the printer it talks to.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  const char* preload = std::getenv("LD_PRELOAD");
  const std::string preloads =
      preload != nullptr && *preload != '\0' ? std::string(kPreload) + ":" + preload : kPreload;
  setenv("LD_PRELOAD", preloads.c_str(), 1);
  setenv("UMOCKDEV_DIR", root.c_str(), 1);
  // A sanitized command would refuse to start with a library loaded before its runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions = std::string(asan != nullptr && *asan != '\0' ? asan : "") +
                                  (asan != nullptr && *asan != '\0' ? ":" : "") +
                                  "verify_asan_link_order=0";
  setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  std::fprintf(stderr, "pelmora-printer-sim: cannot run %s\n", argv[0]);
  _exit(127);
}

int ExitStatus(int status) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return 1;
}

}  // namespace

int RunUsbCommand(const CSimCommandLine& line, const model::CStatDataObj& model,
                  const std::function<void(const CCommand&)>& observer) {
  CDeviceBed bed;
  CUsbEmulation usb(bed);
  auto printer = std::make_unique<CFakePrinter>(model, line.options);
  std::string error;
  if (!InitSimMemory(line, model, *printer, error)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  if (observer)
    printer->SetObserver(observer);
  CEmulatedUsbPrinter* device = usb.Add(CUsbDeviceSpec{}, std::move(printer), error);
  if (device == nullptr) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("pelmora-printer-sim: fork");
    return 1;
  }
  if (pid == 0)
    ExecCommand(line.command, bed.RootDir());
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!line.dumpPath.empty() && !WriteDumpFile(line.dumpPath, device->MemorySnapshot()))
    return 1;
  return ExitStatus(status);
}

}  // namespace pelmora::sim
