// A connection straight to a simulated printer in the same process, without a line:
// a fake for tests of code that talks through port::IConnection. Bytes reach the
// printer the moment they are written and its answers are readable at once; time is not
// simulated (a reply delay is ignored), so timing faults need the simulator on a
// terminal.
#pragma once

#include <cstdint>
#include <vector>

#include "fake_printer.h"
#include "port/connection.h"

namespace pelmora::sim {

class CSimConnection final : public port::IConnection {
 public:
  // Open from the start; `printer` must outlive the connection.
  explicit CSimConnection(CFakePrinter& printer) : printer_(printer) {}

  bool IsOpen() const override { return open_; }
  // Sends the serial device ID request and reads what the printer answers.
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override;
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override;
  // Everything the printer has answered so far, as far as the buffer holds.
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override;
  void Close() override { open_ = false; }
  port::ConnectionError LastError() const override { return lastError_; }
  int LastErrno() const override { return open_ ? 0 : EBADF; }

 private:
  void Take(std::uint32_t count, const std::uint8_t* bytes);

  CFakePrinter& printer_;
  bool open_ = true;
  std::vector<std::uint8_t> inbox_;  // answered, not yet read
  port::ConnectionError lastError_ = port::ConnectionError::kNone;
};

}  // namespace pelmora::sim
