// The command line of pelmora-printer-sim, parsed apart from the program so that tests
// can build an in-process printer from the same arguments they would pass to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fake_printer.h"
#include "parallel_emulation.h"

namespace pelmora::sim {

struct CSimCommandLine {
  std::string modelPath;  // the model definition (or saved configuration) file
  CSimOptions options;
  bool initFromModel = false;  // memory starts as the file's current image, not zeros
  std::string memoryPath;      // memory starts from this dump file
  std::string dumpPath;        // --dump
  std::string linkPath;        // --link
  bool verbose = false;
  bool help = false;
  bool version = false;
  // Network mode: one printer per address (--network, --fleet), all alike, each with
  // its own memory; empty for the serial mode.
  std::vector<std::string> networkAddresses;
  std::uint16_t ftpPort = 21;    // 0: any free port
  std::uint16_t udpPort = 3289;  // 0: any free port
  // The program and its arguments after "--", run with an emulated printer attached:
  // a USB printer (--usb) or one on the parallel port /dev/parport0 (--parallel).
  bool usb = false;
  bool parallel = false;
  CParallelPrinterOptions parallelOptions;
  std::vector<std::string> command;
};

// The dump file of the printer at `address`: `dumpPath` with every "%a" replaced by
// the address.
std::string DumpPathFor(const std::string& dumpPath, const std::string& address);

// The usage text, for --help and after a usage error.
std::string SimUsage();

// Parses the arguments after the program name. False with `error` for an unknown
// option, a missing or malformed value, or a missing model file argument (unless
// --help was given).
bool ParseSimCommandLine(const std::vector<std::string>& args, CSimCommandLine& out,
                         std::string& error);

// Loads the model file at `path` into `model`. False with the reader's message.
bool LoadSimModel(const std::string& path, model::CStatDataObj& model, std::string& error);

// Fills the printer's memory as --init-from-model and --memory ask, in that order.
// False with `error` when the dump file cannot be read.
bool InitSimMemory(const CSimCommandLine& line, const model::CStatDataObj& model,
                   CFakePrinter& printer, std::string& error);

}  // namespace pelmora::sim
