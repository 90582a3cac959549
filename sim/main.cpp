// pelmora-printer-sim: a simulated TAVEN printer on a pseudo-terminal, simulated printers
// on a TCP/IP network, or a printer on an emulated USB or parallel port for one command,
// for tests and for trying the program without hardware.
// See SimUsage() for the command line.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device_bed.h"
#include "device_command.h"
#include "net_runner.h"
#include "parallel_emulation.h"
#include "pty_runner.h"
#include "sim_options.h"
#include "usb_emulation.h"

namespace {

using pelmora::sim::CCommand;
using pelmora::sim::CommandKind;

std::atomic<pelmora::sim::CPtyRunner*> gSim{nullptr};
std::atomic<pelmora::sim::CNetRunner*> gNet{nullptr};
// USB and parallel modes: the command's process, and the dump requests its wait loop
// picks up.
std::atomic<pid_t> gCommand{0};
std::atomic<bool> gDeviceDump{false};

void OnDumpSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestDump();
  }
  if (pelmora::sim::CNetRunner* net = gNet.load()) {
    net->RequestDump();
  }
  gDeviceDump = true;
}

void OnStopSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestStop();
  }
  if (pelmora::sim::CNetRunner* net = gNet.load()) {
    net->RequestStop();
  }
  // The command ends first; the program follows once it has.
  if (const pid_t command = gCommand.load(); command > 0) {
    kill(command, SIGTERM);
  }
}

void Trace(const CCommand& command) {
  switch (command.kind) {
    case CommandKind::kDeviceId:
      std::fprintf(stderr, "device ID request\n");
      break;
    case CommandKind::kInit:
      std::fprintf(stderr, "initialise\n");
      break;
    case CommandKind::kReset:
      std::fprintf(stderr, "reset\n");
      break;
    case CommandKind::kWrite:
      std::fprintf(stderr, "write %04X = %02X\n", command.address, command.data);
      break;
    case CommandKind::kRead:
      std::fprintf(stderr, "read %04X\n", command.address);
      break;
  }
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void HandleSignals() {
  // The handlers only set flags and wake the loop; the loop does the work.
  Handle(SIGUSR1, OnDumpSignal);
  Handle(SIGTERM, OnStopSignal);
  Handle(SIGINT, OnStopSignal);
  Handle(SIGHUP, OnStopSignal);
  signal(SIGPIPE, SIG_IGN);
}

// The FTP server script: beside the program in a build tree, in share/pelmora once
// installed.
std::string FtpServerScript() {
  std::string self(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
  self.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::string folder = self.substr(0, self.rfind('/') + 1);
  std::string beside = folder + "sim_ftp_server.py";
  if (access(beside.c_str(), R_OK) == 0) {
    return beside;
  }
  return folder + "../share/pelmora/sim_ftp_server.py";
}

int RunNetwork(const pelmora::sim::CSimCommandLine& line,
               const pelmora::model::CStatDataObj& model) {
  pelmora::sim::CNetRunner net(model, line.options);
  std::string error;
  for (const std::string& address : line.networkAddresses) {
    pelmora::sim::CFakePrinter& printer =
        net.AddPrinter(address, pelmora::sim::DumpPathFor(line.dumpPath, address));
    if (!pelmora::sim::InitSimMemory(line, model, printer, error)) {
      std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
      return 1;
    }
    if (line.verbose) {
      printer.SetObserver(Trace);
    }
  }
  gNet = &net;
  HandleSignals();
  if (!net.Open(line.udpPort, line.ftpPort, FtpServerScript(), error)) {
    gNet = nullptr;
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  for (std::size_t i = 0; i < net.PrinterCount(); ++i) {
    std::printf("%s\n", net.Endpoint(i).c_str());
  }
  std::fflush(stdout);
  const bool served = net.Run();
  gNet = nullptr;
  return served ? 0 : 1;
}

// Starts line.command and waits for it (see WaitForDeviceCommand); 1 when it cannot be
// started.
int RunDeviceCommand(const pelmora::sim::CSimCommandLine& line, const std::string& root,
                     const std::function<std::vector<std::uint8_t>()>& memory) {
  // Without SA_RESTART, so that the wait wakes for a dump request.
  HandleSignals();
  const pid_t pid = pelmora::sim::StartDeviceCommand(line.command, root);
  if (pid < 0) {
    std::perror("pelmora-printer-sim: fork");
    return 1;
  }
  gCommand = pid;
  const int status = pelmora::sim::WaitForDeviceCommand(pid, gDeviceDump, line.dumpPath, memory);
  gCommand = 0;
  return status;
}

// Fails with a message when `ok` is false.
bool Report(bool ok, const std::string& error) {
  if (!ok)
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
  return ok;
}

int RunParallel(const pelmora::sim::CSimCommandLine& line,
                const pelmora::model::CStatDataObj& model) {
  pelmora::sim::CParallelEmulation emulation(model, line.options, line.parallelOptions);
  std::string error;
  if (!Report(pelmora::sim::InitSimMemory(line, model, emulation.Printer(), error), error))
    return 1;
  if (line.verbose)
    emulation.Printer().SetObserver(Trace);
  if (!Report(emulation.Start(error), error))
    return 1;
  return RunDeviceCommand(line, emulation.RootDir(),
                          [&emulation] { return emulation.MemorySnapshot(); });
}

// A USB printer at bus 1, device 2 (/dev/bus/usb/001/002).
int RunUsb(const pelmora::sim::CSimCommandLine& line, const pelmora::model::CStatDataObj& model) {
  pelmora::sim::CDeviceBed bed;
  pelmora::sim::CUsbEmulation usb(bed);
  auto printer = std::make_unique<pelmora::sim::CFakePrinter>(model, line.options);
  std::string error;
  if (!Report(pelmora::sim::InitSimMemory(line, model, *printer, error), error))
    return 1;
  if (line.verbose)
    printer->SetObserver(Trace);
  pelmora::sim::CEmulatedUsbPrinter* device =
      usb.Add(pelmora::sim::CUsbDeviceLayout{}, std::move(printer), error);
  if (!Report(device != nullptr, error))
    return 1;
  return RunDeviceCommand(line, bed.RootDir(), [device] { return device->MemorySnapshot(); });
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  pelmora::sim::CSimCommandLine line;
  std::string error;
  if (!pelmora::sim::ParseSimCommandLine(args, line, error)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n\n%s", error.c_str(),
                 pelmora::sim::SimUsage().c_str());
    return 2;
  }
  if (line.help) {
    std::fputs(pelmora::sim::SimUsage().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::puts("pelmora-printer-sim " PELMORA_VERSION);
    return 0;
  }

  pelmora::model::CStatDataObj model;
  if (!pelmora::sim::LoadSimModel(line.modelPath, model, error)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  if (!line.networkAddresses.empty()) {
    return RunNetwork(line, model);
  }
  if (line.usb) {
    return RunUsb(line, model);
  }
  if (line.parallel) {
    return RunParallel(line, model);
  }
  pelmora::sim::CPtyRunner sim(model, line.options);
  if (!pelmora::sim::InitSimMemory(line, model, sim.Printer(), error)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  if (line.verbose) {
    sim.Printer().SetObserver(Trace);
  }
  sim.SetDumpPath(line.dumpPath);
  if (!sim.Open(error, line.linkPath)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }

  gSim = &sim;
  HandleSignals();

  std::printf("%s\n", sim.DevicePath().c_str());
  std::fflush(stdout);
  sim.Run();
  gSim = nullptr;
  return 0;
}
