#include "update/usb_printer_port.h"

#include <cerrno>
#include <system_error>

#include "update/connection_names.h"

namespace pelmora::update {

namespace {

// USB printer nodes are group-owned by this group on the usual distributions.
constexpr const char* kUsbPrinterGroup = "lp";

}  // namespace

const PrinterPortTraits CUsbPrinterPort::kTraits = {
    kUsbName,
    "CUpdatePrinterDlg::SendDataUSB",
    "CUpdatePrinterDlg::GetDataUSB",
    "ReadWait3",
    /*logsModelMismatch=*/false,
    /*triesEveryDevice=*/true,
};

port::IConnection* CUsbPrinterPort::OpenNext(const log::CDebugLog& log) {
  if (!counted_) {
    counted_ = true;
    log.Output("Device Count : %d\n", usb_.DeviceCount());
  }
  while (next_ < usb_.DeviceCount()) {
    const int index = next_++;
    if (usb_.Open(index)) {
      asked_ += (asked_.empty() ? "" : ", ") + port::UsbDeviceName(usb_.Device(index));
      return &usb_;
    }
    if (failedIndex_ < 0) {
      failedIndex_ = index;
      failedErrno_ = usb_.LastErrno();
    }
  }
  if (usb_.DeviceCount() > 0 && !reportedEnd_) {
    reportedEnd_ = true;
    log.Output("Device Not Found\n");
  }
  return nullptr;
}

std::string CUsbPrinterPort::OpenFailure() const {
  if (!asked_.empty())
    return "No USB printer of this model answered (asked: " + asked_ + ").";
  if (usb_.DeviceCount() == 0 && failedIndex_ < 0)
    return "No USB printer was found.";
  if (failedIndex_ < 0)
    return {};
  const std::string named =
      "Cannot open USB printer " + port::UsbDeviceName(usb_.Device(failedIndex_)) + ": ";
  switch (failedErrno_) {
    case EACCES:
    case EPERM:
      return named + "permission denied; only root and members of the group " + kUsbPrinterGroup +
             " may use it.";
    case EBUSY:
      return named + "it is held by another program (the print spooler may be printing).";
    case ENODEV:
    case ENOENT:
      return named + "the device is no longer present.";
    default:
      return named + std::generic_category().message(failedErrno_) + ".";
  }
}

}  // namespace pelmora::update
