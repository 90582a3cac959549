#include "update/serial_printer_port.h"

#include <cerrno>
#include <system_error>

#include "port/open_error.h"
#include "update/connection_names.h"

namespace pelmora::update {

namespace {

// Serial devices are usually group-owned by this group, which grants their use.
constexpr const char* kSerialGroup = "dialout";

}  // namespace

const PrinterPortTraits CSerialPrinterPort::kTraits = {
    kSerialName,
    "CUpdatePrinterDlg::SendDataSerial",
    "CUpdatePrinterDlg::GetDataSerial",
    "ReadWait2",
    /*logsModelMismatch=*/true,
    /*triesEveryDevice=*/false,
};

port::IConnection* CSerialPrinterPort::OpenNext(const log::CDebugLog& /*log*/) {
  if (opened_)
    return nullptr;
  opened_ = true;
  const std::string device = port::ResolvePortName(settings_, kPortName);
  const std::string named = device + " (" + kPortName + ")";
  if (device.empty())
    failure_ = port::NoDeviceSetMessage("device", kPortName, settings_);
  if (!serial_.Open(kPortName)) {
    if (!device.empty())
      failure_ = "Cannot open " + named + ": " +
                 port::DescribeOpenError(device, serial_.LastErrno(), kSerialGroup) + ".";
    return nullptr;
  }
  if (!serial_.SetState(line_) || !serial_.SetTimeOuts(line_.baudRate)) {
    const int error = serial_.LastErrno();
    failure_ = "Cannot set up " + named + ": " +
               (error == EINVAL ? std::string("the port does not take these line settings")
                                : std::generic_category().message(error)) +
               ".";
    serial_.Close();
    return nullptr;
  }
  return &serial_;
}

}  // namespace pelmora::update
