// pelmora-printer-sim: a simulated TAVEN printer on a pseudo-terminal, for tests and
// for trying the program without hardware. See SimUsage() for the command line.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "pty_runner.h"
#include "sim_options.h"

namespace {

using pelmora::sim::CCommand;
using pelmora::sim::CommandKind;

std::atomic<pelmora::sim::CPtyRunner*> gSim{nullptr};

void OnDumpSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestDump();
  }
}

void OnStopSignal(int) {
  if (pelmora::sim::CPtyRunner* sim = gSim.load()) {
    sim->RequestStop();
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

  // The handlers only set flags and wake the loop; the loop does the work.
  gSim = &sim;
  Handle(SIGUSR1, OnDumpSignal);
  Handle(SIGTERM, OnStopSignal);
  Handle(SIGINT, OnStopSignal);
  Handle(SIGHUP, OnStopSignal);
  signal(SIGPIPE, SIG_IGN);

  std::printf("%s\n", sim.DevicePath().c_str());
  std::fflush(stdout);
  sim.Run();
  gSim = nullptr;
  return 0;
}
