// The simulator's USB and parallel modes: a command run with an emulated printer in its
// view of /dev and /sys, while the simulator answers for the printer.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pelmora::sim {

// Starts `command` (searched in PATH) with umockdev's preload library and the test bed
// at `root` in its environment; a sanitized command is let start with the preload
// library ahead of its runtime. Everything is built before the fork, since the
// emulation's threads may hold locks then. The child's pid, or -1 with errno set; a
// command that cannot be run exits 127.
pid_t StartDeviceCommand(const std::vector<std::string>& command, const std::string& root);

// Waits for `pid`. Each time `dumpRequested` is found set (by a signal handler installed
// without SA_RESTART, so that the wait wakes) the printer's `memory()` is written to
// `dumpPath`, and once more when the command has ended. Returns the command's exit
// status, 128 + the signal that ended it, or 1 when the wait or that last dump fails.
int WaitForDeviceCommand(pid_t pid, std::atomic<bool>& dumpRequested, const std::string& dumpPath,
                         const std::function<std::vector<std::uint8_t>()>& memory);

}  // namespace pelmora::sim
