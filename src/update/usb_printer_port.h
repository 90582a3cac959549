// The USB connection's part of the send and read-back sequences: the USB printers found
// are opened one after another until one of them is a printer of the model.
#pragma once

#include <string>

#include "port/usb.h"
#include "update/printer_sequence.h"

namespace pelmora::update {

class CUsbPrinterPort final : public IPrinterPort {
 public:
  static const PrinterPortTraits kTraits;

  // Finds the USB printers at once; `driverName` is the model's printer driver.
  explicit CUsbPrinterPort(const std::string& driverName, const port::CUsbWaits& waits = {})
      : usb_(driverName, waits) {}
  ~CUsbPrinterPort() override { usb_.Release(); }
  CUsbPrinterPort(const CUsbPrinterPort&) = delete;
  CUsbPrinterPort& operator=(const CUsbPrinterPort&) = delete;

  const PrinterPortTraits& Traits() const override { return kTraits; }
  // The first call logs "Device Count : %d". Each call opens the next device in index
  // order, skipping those that do not open; when none is left it logs
  // "Device Not Found" (unless there were none at all) and gives nullptr.
  port::IConnection* OpenNext(const log::CDebugLog& log) override;
  // When no device could be opened: that there is no USB printer, or why the first
  // one that failed did not open (with the group to join when permission was denied).
  // When some opened but none was taken: which ones were asked.
  std::string OpenFailure() const override;

  const port::CUsb& Usb() const { return usb_; }

 private:
  port::CUsb usb_;
  int next_ = 0;
  bool counted_ = false;
  bool reportedEnd_ = false;
  std::string asked_;     // the devices opened, "BBB/DDD, ..."
  int failedIndex_ = -1;  // the first device that did not open
  int failedErrno_ = 0;
};

}  // namespace pelmora::update
