// The printer operations behind the dispatch. No connection can be opened yet, so
// each one finds no printer.
#include "port/debug_log.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update {

namespace {

// Opens the operation's log scope and reports the failure every connection gives
// until it can be opened.
int NoPrinter(const char* scope) {
  log::CDebugLog log(scope);
  return kFailed;
}

}  // namespace

int CUpdatePrinterDlg::SendDataParallel(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::SendDataParallel");
}

int CUpdatePrinterDlg::SendDataSerial(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::SendDataSerial");
}

int CUpdatePrinterDlg::SendDataUSB(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::SendDataUSB");
}

int CUpdatePrinterDlg::SendDataNetwork(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::SendDataNetwork");
}

int CUpdatePrinterDlg::GetDataParallel(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::GetDataParallel");
}

int CUpdatePrinterDlg::GetDataSerial(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::GetDataSerial");
}

int CUpdatePrinterDlg::GetDataUSB(std::string_view /*connection*/) {
  return NoPrinter("CUpdatePrinterDlg::GetDataUSB");
}

}  // namespace pelmora::update
