// The simulated printer on a pseudo-terminal: a host opens the terminal's device as it
// would a serial port and talks to a CFakePrinter at the other end.
//
// In-process use (a test on a thread of its own):
//   CPtyRunner sim(model, options);
//   if (!sim.Open(error)) ...;
//   sim.Start();  ... open sim.DevicePath() ...;  sim.Stop();
//   sim.MemorySnapshot();
// The program pelmora-printer-sim runs the same loop on its main thread; tests that
// want a real peer spawn it with CSimProcess.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_printer.h"

namespace pelmora::sim {

class CPtyRunner {
 public:
  CPtyRunner(const model::CStatDataObj& model, CSimOptions options);
  // Stops the thread, if any, removes the link and closes the terminal.
  ~CPtyRunner();
  CPtyRunner(const CPtyRunner&) = delete;
  CPtyRunner& operator=(const CPtyRunner&) = delete;

  // Before Open or Start only: the printer itself, to load its memory or observe it.
  CFakePrinter& Printer() { return printer_; }

  // Where the memory goes on RequestDump and when Run ends (written to a temporary
  // name and renamed, so a reader never sees half a file); empty: nowhere.
  void SetDumpPath(std::string path) { dumpPath_ = std::move(path); }

  // Opens a raw pseudo-terminal and, when `linkPath` is not empty, points a symbolic
  // link there at its device (replacing an older link, never a file). False with
  // `error` when that fails.
  bool Open(std::string& error, const std::string& linkPath = {});
  // The terminal device a host opens, e.g. "/dev/pts/3".
  const std::string& DevicePath() const { return devicePath_; }

  // Serves the line until RequestStop. Before a dump and before returning it takes in
  // the bytes still arriving, until the line has been quiet for 50 ms.
  void Run();
  // Both are async-signal-safe: a signal handler may call them.
  void RequestStop();
  void RequestDump();

  // Run on a thread of its own; Stop asks it to end and waits.
  void Start();
  void Stop();

  // Copies taken under the lock, safe while Run goes on.
  std::vector<std::uint8_t> MemorySnapshot() const;
  CSimCounters CountersSnapshot() const;

 private:
  struct CScheduled {
    std::chrono::steady_clock::time_point due;
    CFakePrinter::Answer bytes;
  };

  void Settle();
  void TakeInput();
  void Schedule(std::vector<CFakePrinter::Answer>& answers);
  void WriteDump();

  CFakePrinter printer_;
  mutable std::mutex mutex_;  // guards printer_ while Run goes on
  std::string dumpPath_;
  std::string devicePath_;
  std::string linkPath_;
  int master_ = -1;
  int slave_ = -1;  // held open so the line does not hang up between hosts
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> dumpRequested_{false};
  std::thread thread_;

  std::vector<CScheduled> scheduled_;   // answers not yet due, in order
  std::vector<std::uint8_t> outgoing_;  // due bytes the line has not taken yet
  std::chrono::steady_clock::time_point lastDue_{};
};

}  // namespace pelmora::sim
