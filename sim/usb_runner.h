// The simulator's USB mode: a command run with an emulated USB printer attached.
#pragma once

#include <functional>

#include "fake_printer.h"
#include "sim_options.h"

namespace pelmora::sim {

// Attaches a USB printer of `model` (bus 1, device 2, protocol 2) with the memory and
// behaviour `line` asks for, runs line.usbCommand with umockdev's preload library and
// UMOCKDEV_DIR in its environment, waits for it, writes line.dumpPath (when given) and
// returns the command's exit status (128 + the signal when a signal ended it; 127 when
// it could not be started; 1, after a message on standard error, when the printer
// could not be attached). `observer`, when set, sees every command the printer takes.
int RunUsbCommand(const CSimCommandLine& line, const model::CStatDataObj& model,
                  const std::function<void(const CCommand&)>& observer);

}  // namespace pelmora::sim
