// The simulated printer on an emulated parallel port: /dev/parport0 in a umockdev test
// bed, answering the ppdev calls a host makes as the kernel's driver would, with a
// CFakePrinter behind it.
//
// A process that opens the device must run with the umockdev preload library
// (LD_PRELOAD=libumockdev-preload.so.0) and the test bed's UMOCKDEV_DIR, which creating
// the test bed sets in this process's environment. One test bed per process; the
// emulation answers on umockdev's own thread while the host blocks in its calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fake_printer.h"

namespace pelmora::sim {

// How the printer on the parallel port behaves beyond CSimOptions.
struct CParallelPrinterOptions {
  // False: the printer knows no IEEE 1284 at all; every negotiation fails (EIO), so it
  // gives no device ID and cannot send replies back.
  bool ieee1284 = true;
  // False: the printer refuses the device ID mode (ENXIO) but still sends replies.
  bool deviceIdMode = true;
  // The device ID's two length bytes come in the wrong (little-endian) order.
  bool swappedIdLength = false;
};

class CParallelEmulation {
 public:
  static constexpr const char* kDevicePath = "/dev/parport0";

  CParallelEmulation(const model::CStatDataObj& model, CSimOptions options,
                     CParallelPrinterOptions parallel = {});
  // Removes the test bed.
  ~CParallelEmulation();
  CParallelEmulation(const CParallelEmulation&) = delete;
  CParallelEmulation& operator=(const CParallelEmulation&) = delete;

  // Before Start only: the printer itself, to load its memory or observe it.
  CFakePrinter& Printer();

  // Creates the test bed with kDevicePath and starts answering. False with `error`.
  bool Start(std::string& error);
  // The test bed's root, the UMOCKDEV_DIR of a child process.
  std::string RootDir() const;

  // Copies taken under the lock, safe while a host talks to the printer.
  std::vector<std::uint8_t> MemorySnapshot() const;
  CSimCounters CountersSnapshot() const;

  // The printer and the driver's state, shared with umockdev's thread.
  struct CState;

 private:
  std::unique_ptr<CState> state_;
};

}  // namespace pelmora::sim
