// The Update button and the dispatch to the operation of the chosen connection.
#include <string>

#include "log/ascii.h"
#include "update/connection_names.h"
#include "update/messages.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update {

using log::EqualsIgnoringCase;

int CUpdatePrinterDlg::OnUpdate() {
  const std::optional<std::string> connection = BeginUpdate();
  return connection ? RunOperation(*connection) : kFailed;
}

std::optional<std::string> CUpdatePrinterDlg::BeginUpdate() {
  // With no connection to choose there is nothing to run or to save for it.
  if (connections_.empty())
    return std::nullopt;
  addressList_.Save();
  return ConnectionText();
}

int CUpdatePrinterDlg::RunOperation(std::string_view connection) {
  return mode_ == kModeUpdatePrinter ? SendData(connection) : GetData(connection);
}

int CUpdatePrinterDlg::CloseCode(int result) const {
  if (result == kFinished)
    return 1;
  if (result == kStopped && mode_ == kModeGetPrinterSetting)
    return storedBytes_ != 0 ? 1 : 2;
  return 0;
}

namespace {

// "Printer not found...", with the port's own account of the failure when it has one.
std::string NotFoundText(const std::string& portFailure) {
  std::string text = msg::kPrinterNotFound;
  if (!portFailure.empty())
    text += "\n" + portFailure;
  return text;
}

}  // namespace

int CUpdatePrinterDlg::SendData(std::string_view connection) {
  portFailure_.clear();
  int result;
  if (EqualsIgnoringCase(connection, kParallelName)) {
    result = SendDataParallel(connection);
  } else if (EqualsIgnoringCase(connection, kSerialName)) {
    result = SendDataSerial(connection);
  } else if (EqualsIgnoringCase(connection, kTcpIpName)) {
    // The network update reports its own failures.
    return SendDataNetwork(connection);
  } else if (EqualsIgnoringCase(connection, kUsbName)) {
    result = SendDataUSB(connection);
  } else {
    return kFailed;
  }
  // A stopped operation has shown its own message.
  if (result == kFailed) {
    prompt_.Ask(msg::kErrorTitle, NotFoundText(portFailure_), model::Buttons::kOk);
  }
  return result;
}

int CUpdatePrinterDlg::GetData(std::string_view connection) {
  portFailure_.clear();
  storedBytes_ = 0;
  int result;
  if (EqualsIgnoringCase(connection, kParallelName)) {
    result = GetDataParallel(connection);
  } else if (EqualsIgnoringCase(connection, kSerialName)) {
    result = GetDataSerial(connection);
  } else if (EqualsIgnoringCase(connection, kUsbName)) {
    result = GetDataUSB(connection);
  } else {
    return kFailed;
  }
  // A stopped operation has shown its own message.
  if (result == kFailed) {
    prompt_.Ask(msg::kErrorTitle, NotFoundText(portFailure_), model::Buttons::kOk);
  }
  return result;
}

}  // namespace pelmora::update
