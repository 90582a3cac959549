#include "update/serial_printer_port.h"

namespace pelmora::update {

const PrinterPortTraits CSerialPrinterPort::kTraits = {
    "Serial",
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
  if (!serial_.Open(kPortName))
    return nullptr;
  if (!serial_.SetState(line_) || !serial_.SetTimeOuts(line_.baudRate)) {
    serial_.Close();
    return nullptr;
  }
  return &serial_;
}

}  // namespace pelmora::update
