// pelmora-printer-sim: a simulated TAVEN printer on a pseudo-terminal, simulated printers
// on a TCP/IP network, or a simulated USB printer for one command, for tests and for
// trying the program without hardware.
// See SimUsage() for the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "net_runner.h"
#include "pty_runner.h"
#include "sim_options.h"
#include "usb_runner.h"

namespace {

using pelmora::sim::CCommand;
using pelmora::sim::CommandKind;

std::atomic<pelmora::sim::CPtyRunner*> gSim{nullptr};
std::atomic<pelmora::sim::CNetRunner*> gNet{nullptr};

void OnDumpSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestDump();
  }
  if (pelmora::sim::CNetRunner* net = gNet.load()) {
    net->RequestDump();
  }
}

void OnStopSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestStop();
  }
  if (pelmora::sim::CNetRunner* net = gNet.load()) {
    net->RequestStop();
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

// The FTP server script lies beside the program.
std::string FtpServerScript() {
  std::string self(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
  self.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return self.substr(0, self.rfind('/') + 1) + "sim_ftp_server.py";
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

  pelmora::model::CStatDataObj model;
  if (!pelmora::sim::LoadSimModel(line.modelPath, model, error)) {
    std::fprintf(stderr, "pelmora-printer-sim: %s\n", error.c_str());
    return 1;
  }
  if (!line.networkAddresses.empty()) {
    return RunNetwork(line, model);
  }
  if (line.usb) {
    return pelmora::sim::RunUsbCommand(line, model, line.verbose ? Trace : nullptr);
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
