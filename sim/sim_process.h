// Runs pelmora-printer-sim as a child process: the real peer for tests of the
// connections and sequences. The child ends with its parent.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::sim {

class CSimProcess {
 public:
  CSimProcess() = default;
  // Kills the child if it still runs.
  ~CSimProcess();
  CSimProcess(const CSimProcess&) = delete;
  CSimProcess& operator=(const CSimProcess&) = delete;

  // Starts `program` with `args` (after the program name) and waits up to 10 s for the
  // first line it prints: the terminal path (or a network printer's first endpoint). False with
  // `error` (and the child stopped) otherwise.
  bool Start(const std::string& program, const std::vector<std::string>& args, std::string& error);

  const std::string& DevicePath() const { return devicePath_; }

  // The next line the child prints after the first (waiting up to 10 s), without its
  // line end: a network printer names one endpoint per line.
  bool NextLine(std::string& line, std::string& error);

  // Asks the child for a dump to `dumpPath` (the path it was started with after
  // --dump), waits up to 10 s for the file and reads it into `memory` (64 KiB).
  bool Dump(const std::string& dumpPath, std::vector<std::uint8_t>& memory, std::string& error);

  // Asks the child to end (it writes its --dump file on the way out) and waits.
  // Returns its exit status, or -1 when it was not running or did not exit normally.
  int Stop();

  // Ends the child at once, without the dump and the wait for a quiet line that Stop
  // gives: for a test done with the printer, which would only wait for it.
  void Kill();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string devicePath_;
  std::string pending_;  // output read after the last line taken
};

}  // namespace pelmora::sim
