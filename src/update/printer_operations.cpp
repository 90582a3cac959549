// The printer operations behind the dispatch. Parallel, serial and USB run the shared
// sequences over CParallel, CSerial and CUsb, TCP/IP the network update.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/debug_log.h"
#include "update/connection_settings.h"
#include "update/network_update.h"
#include "update/parallel_printer_port.h"
#include "update/printer_sequence.h"
#include "update/serial_printer_port.h"
#include "update/update_printer_dlg.h"
#include "update/usb_printer_port.h"

namespace pelmora::update {

namespace {

// What the network update's progress window shows before the printer's address.
constexpr std::string_view kProgressPrinterLine = "IP Address : ";

// Opens the operation's log scope and reports the failure of a connection that cannot
// be opened.
int NoPrinter(const char* scope) {
  log::CDebugLog log(scope);
  return kFailed;
}

}  // namespace

int CUpdatePrinterDlg::SendDataParallel(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CParallelPrinterPort::kTraits.sendScope);
  CParallelPrinterPort port(ConnectionSettings(), OsVersion());
  const int result = RunSendSequence(connection, port, {*Model(), Prompt(), Ui(), Ui()});
  portFailure_ = port.OpenFailure();
  return result;
}

int CUpdatePrinterDlg::SendDataSerial(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CSerialPrinterPort::kTraits.sendScope);
  CSerialPrinterPort port(ConnectionSettings(), LineSettings(), SerialWaits());
  const int result = RunSendSequence(connection, port, {*Model(), Prompt(), Ui(), Ui()});
  portFailure_ = port.OpenFailure();
  return result;
}

int CUpdatePrinterDlg::SendDataUSB(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CUsbPrinterPort::kTraits.sendScope);
  CUsbPrinterPort port(Model()->DriverName(), UsbWaits());
  const int result = RunSendSequence(connection, port, {*Model(), Prompt(), Ui(), Ui()});
  portFailure_ = port.OpenFailure();
  return result;
}

int CUpdatePrinterDlg::SendDataNetwork(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(kNetworkUpdateScope);
  std::vector<std::string> addresses;
  addresses.reserve(Rows().size());
  for (const CIPAddressEntry& row : Rows()) addresses.push_back(row.ipAddress);
  if (addresses.empty())
    return RunNetworkUpdate(connection, addresses, {*Model(), Prompt(), Ui(), Ui()},
                            NetworkWaits());
  // One step a printer: the bar is empty while the first one is updated and full at the
  // end, after the last.
  const std::size_t end = std::min<std::size_t>(addresses.size() + 1, 0xFFFF);
  const std::unique_ptr<IProgress> progress =
      Ui().OpenNetworkProgress(static_cast<std::uint32_t>(end));
  const int result = RunNetworkUpdate(
      connection, addresses, {*Model(), Prompt(), Ui(), Ui()}, NetworkWaits(),
      [&progress](std::size_t index, const std::string& address) {
        progress->SetPrinterLine(std::string(kProgressPrinterLine) + address);
        progress->SetPos(static_cast<int>(std::min<std::size_t>(index + 1, 0xFFFF)));
      });
  progress->SetPos(static_cast<int>(end));
  progress->Close();
  return result;
}

int CUpdatePrinterDlg::GetDataParallel(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CParallelPrinterPort::kTraits.getScope);
  CParallelPrinterPort port(ConnectionSettings(), OsVersion());
  const int result =
      RunGetSequence(connection, port, {*Model(), Prompt(), Ui(), Ui(), &storedBytes_});
  portFailure_ = port.OpenFailure();
  return result;
}

int CUpdatePrinterDlg::GetDataSerial(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CSerialPrinterPort::kTraits.getScope);
  CSerialPrinterPort port(ConnectionSettings(), LineSettings(), SerialWaits());
  const int result =
      RunGetSequence(connection, port, {*Model(), Prompt(), Ui(), Ui(), &storedBytes_});
  portFailure_ = port.OpenFailure();
  return result;
}

int CUpdatePrinterDlg::GetDataUSB(std::string_view connection) {
  if (Model() == nullptr)
    return NoPrinter(CUsbPrinterPort::kTraits.getScope);
  CUsbPrinterPort port(Model()->DriverName(), UsbWaits());
  const int result =
      RunGetSequence(connection, port, {*Model(), Prompt(), Ui(), Ui(), &storedBytes_});
  portFailure_ = port.OpenFailure();
  return result;
}

}  // namespace pelmora::update
