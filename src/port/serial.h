// The connection to a printer on a serial port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "log/debug_log.h"
#include "log/settings.h"
#include "port/connection.h"
#include "port/serial_settings.h"

namespace pelmora::port {

// The device behind a port name: a name with a '/' is taken as the device path itself,
// any other ("COM1") goes through the settings file's port map. Empty when the name
// maps to nothing.
std::string ResolvePortName(const log::CSettings& settings, std::string_view name);

// The output rate, in bit/s, that the serial device at path `device` is set to, as the
// kernel keeps it (also a rate without a Bnnn constant). Opens the device read-only
// without waiting for carrier and without making it the controlling terminal, and
// closes it again. Nothing when `device` is empty, cannot be opened, or is no terminal.
std::optional<std::uint32_t> DeviceBaudRate(const std::string& device);

// The 11-byte device ID request: ESC, SOH, "@TJL ID", CR, LF.
inline constexpr std::uint8_t kSerialDeviceIdRequest[] = {0x1B, 0x01, '@', 'T',  'J', 'L',
                                                          ' ',  'I',  'D', 0x0D, 0x0A};

// A serial port opened exclusively: a lock that every CSerial honours (root included)
// plus the terminal's exclusive mode against other programs. The line is raw from the
// open on. All I/O is bounded by the time-outs of CSerialTimeOuts; every operation logs
// under "CSerial::<operation>" and reports failures as false with errno in the log line
// where the platform error code would stand.
//
// Calling order: Open, SetState, SetTimeOuts, GetDeviceID, then Write and Read.
class CSerial final : public IConnection {
 public:
  // Port names resolve through the built-in defaults ("COM1" is /dev/ttyS0).
  CSerial();
  // Port names resolve through `settings`, which must outlive the object.
  explicit CSerial(const log::CSettings& settings);
  ~CSerial() override;
  CSerial(const CSerial&) = delete;
  CSerial& operator=(const CSerial&) = delete;

  // Opens the port for reading and writing, exclusively, makes the line raw and drops
  // bytes received before. An object already open closes its port first. On failure
  // logs "CreateFile Failed : %d" with errno (EBUSY when the port is taken, ENOTTY when
  // the device is no terminal) and returns false.
  bool Open(const std::string& portName);

  // Sets speed, data bits, parity and stop bits; everything else the port has (flow
  // control included) stays. Every rate of kDialogBaudRates works where the device can
  // do it; the rate is read back. Fails with "GetCommState Failed : %d" when the
  // settings cannot be read and "SetCommState Failed : %d" when they cannot be applied
  // (EINVAL for 1.5 stop bits with 6 to 8 data bits, and for a rate the device refuses).
  bool SetState(const CLineSettings& settings);

  // The waits that Open, SetTimeOuts, GetDeviceID and Close use from then on; the
  // defaults of CSerialWaits until set.
  void SetWaits(const CSerialWaits& waits) { waits_ = waits; }

  // Sets the time-outs for `baudRate`: the byte-gap interval of ByteGapInterval, 500 ms
  // per read, and 10 ms per byte plus 500 ms per write (the waits' values). Fails with
  // "GetCommTimeouts Failed : %d" when the port no longer answers, and with
  // "SetCommTimeouts Failed : %d" (EINVAL) for a rate of 0.
  bool SetTimeOuts(std::uint32_t baudRate);

  // Writes kSerialDeviceIdRequest, waits 50 ms and reads the answer as Read does. An
  // answer that fills the buffer is followed by whatever else comes before the line
  // falls silent for the byte-gap interval (within the read time-out): that is read and
  // dropped, so that it cannot be taken for the first reply.
  // Logs "WriteFile Failed : %d" or "ReadFile Failed : %d" on failure.
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override;

  // Returns once the port has taken every byte: no waiting for the line to send them.
  // Logs "WriteFile Failed : %d" on a failure, and
  // "Error : Data Length : %d, Write Length : %d" when the write time-out passes first.
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override;
  // Write, telling how many bytes the port took before a failure or the write time-out
  // (10 ms per byte of `count` plus 500 ms, as for any write).
  bool WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) override;

  // Reads until the buffer is full, the read time-out has passed, or no byte has come
  // for the byte-gap interval after the last one. Logs "ReadFile Failed : %d" on a
  // failure (EIO once the device has gone).
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override;

  // Waits for the bytes still queued to leave, bounded by their line time (or the write
  // time-out, if longer) plus 500 ms, discards what is left then, and closes the port.
  void Close() override;

  bool IsOpen() const override { return fd_ >= 0; }
  ConnectionError LastError() const override { return lastError_; }
  int LastErrno() const override { return lastErrno_; }

  const CSerialTimeOuts& TimeOuts() const { return timeOuts_; }
  // The device file descriptor while open, else -1; for reading the line's state.
  int NativeHandle() const { return fd_; }

 private:
  // Both return 0 or an errno value; the operations log.
  int WriteAll(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written);
  int ReadAvailable(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& received);
  void Fail(ConnectionError error, int errnoValue);
  // Logs "<call> Failed : <errno>" in `log`, records the failure and returns false.
  bool Failed(const log::CDebugLog& log, const char* call, int error);
  void DrainBounded();
  void DiscardIncoming();

  const log::CSettings* settings_;
  int fd_ = -1;
  std::uint32_t baudRate_ = 0;  // as set by SetState; 0 before
  CSerialTimeOuts timeOuts_;
  CSerialWaits waits_;
  ConnectionError lastError_ = ConnectionError::kNone;
  int lastErrno_ = 0;
};

}  // namespace pelmora::port
