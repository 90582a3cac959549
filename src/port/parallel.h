// The connection to a printer on a parallel port, through the kernel's ppdev driver.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "log/debug_log.h"
#include "log/settings.h"
#include "port/connection.h"

namespace pelmora::port {

// The ppdev device behind a parallel port name: a name with a '/' is the device path
// itself; any other ("LPT1") goes through the settings file's port map, where a port
// number N stands for /dev/parportN and anything with a '/' for a device path. Empty
// when the name maps to nothing usable.
std::string ResolveParallelPort(const log::CSettings& settings, std::string_view name);

// How long the parallel connection waits, in milliseconds. The defaults suit a printer;
// tests shorten them.
struct CParallelWaits {
  std::uint32_t writeConstantMs = 1000;  // a write may take this long ...
  std::uint32_t writePerByteMs = 10;     // ... plus this much per byte
  std::uint32_t readTotalMs = 500;       // the longest a reply or a device ID may take
  std::uint32_t readGapMs = 20;          // silence after some bytes ends a read early
  std::uint32_t pollStepMs = 1;          // between tries while the port has nothing
};

// A parallel port claimed for this object alone while it is open: a lock that every
// CParallel honours (root included) plus the driver's exclusive claim, which keeps every
// other user of the port out. Writes go out in compatibility mode; the device ID and
// replies come back in nibble mode. Every transfer is bounded by CParallelWaits, so a
// printer that stalls or cannot talk back ends as a failure, never as a hang.
//
// Every operation logs under "CParallel::<operation>" and reports failures as false,
// with errno in the log line where the platform error code would stand.
// Calling order: Open, SetTimeOuts, GetDeviceID, then Write and Read.
class CParallel final : public IConnection {
 public:
  // `versionCode` is the operating-system version code: it decides what SetTimeOuts
  // does and whether a printer without a device ID counts as one with an empty ID.
  // Port names resolve through the built-in defaults ("LPT1" is /dev/parport0).
  explicit CParallel(int versionCode);
  // Port names resolve through `settings`, which must outlive the object.
  CParallel(int versionCode, const log::CSettings& settings);
  ~CParallel() override;
  CParallel(const CParallel&) = delete;
  CParallel& operator=(const CParallel&) = delete;

  // Opens the port for reading and writing and claims it exclusively. An object already
  // open closes its port first. On failure logs "CreateFile Failed : %d" with errno
  // (EBUSY when another program or object holds the port) and returns false.
  bool Open(const std::string& portName);

  // For version codes 1 to 3 the waits become the short ones of those systems; every
  // other code keeps them. False only when the port is not open.
  bool SetTimeOuts();

  // The waits used from then on; the defaults until set.
  void SetWaits(const CParallelWaits& waits) { waits_ = waits; }
  const CParallelWaits& Waits() const { return waits_; }

  // Reads the printer's IEEE 1284 device ID, without its two length bytes, and returns
  // the port to compatibility mode. When the printer refuses the device ID (no IEEE 1284,
  // or not that mode) logs "DeviceIoControl Failed : %d" and gives length 0: true for
  // version codes 4 to 6, false for the others; version codes outside 1 to 6 log
  // "DeviceIoControl Not Support" and fail. A port failure is false for every code.
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override;

  // Sends all bytes in compatibility mode within the write wait. Logs
  // "WriteFile Failed : %d" on a failure and "Error : Data Length : %d, Write Length : %d"
  // when the printer stops taking bytes.
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override;
  // Write, telling how many bytes the printer took before a failure or the write wait.
  bool WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) override;

  // Reads the printer's reply in nibble mode until the buffer is full, the read wait has
  // passed, or the printer has fallen silent after sending. A printer that cannot send
  // back fails at once with "ReadFile Failed : %d".
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override;

  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  ConnectionError LastError() const override { return lastError_; }
  int LastErrno() const override { return lastErrno_; }

  int VersionCode() const { return versionCode_; }

 private:
  // Return 0 or an errno value; the operations log.
  int Negotiate(int mode);
  int ReadBounded(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& received,
                  std::uint32_t totalMs);
  void BackToCompatibility();
  bool Failed(const log::CDebugLog& log, const char* call, int error);
  bool NotOpen();

  const log::CSettings* settings_;
  int versionCode_;
  int fd_ = -1;
  CParallelWaits waits_;
  ConnectionError lastError_ = ConnectionError::kNone;
  int lastErrno_ = 0;
};

}  // namespace pelmora::port
