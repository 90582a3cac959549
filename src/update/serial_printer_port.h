// The serial connection's part of the send and read-back sequences: "COM1" opened and
// prepared with the line settings chosen in the Update Printer dialog.
#pragma once

#include <string>
#include <utility>

#include "log/settings.h"
#include "port/serial.h"
#include "port/serial_settings.h"
#include "update/printer_sequence.h"

namespace pelmora::update {

class CSerialPrinterPort final : public IPrinterPort {
 public:
  static constexpr const char* kPortName = "COM1";
  static const PrinterPortTraits kTraits;

  // `settings` maps the port name to its device; `line` is what SetState applies.
  CSerialPrinterPort(log::CSettings settings, const port::CLineSettings& line,
                     const port::CSerialWaits& waits = {})
      : settings_(std::move(settings)), line_(line), serial_(settings_) {
    serial_.SetWaits(waits);
  }

  const PrinterPortTraits& Traits() const override { return kTraits; }
  // Open, SetState, SetTimeOuts with the baud rate; each failure is logged by
  // CSerial, and gives nullptr. The one port is opened once; later calls give nullptr.
  port::IConnection* OpenNext(const log::CDebugLog& log) override;
  // "Cannot open /dev/ttyS0 (COM1): ..." or "Cannot set up ...", with the group that
  // grants access when permission was denied.
  std::string OpenFailure() const override { return failure_; }

 private:
  log::CSettings settings_;  // before serial_, which keeps a pointer to it
  port::CLineSettings line_;
  port::CSerial serial_;
  bool opened_ = false;
  std::string failure_;
};

}  // namespace pelmora::update
