// The update of printers on a TCP/IP network: for each address, the UDP device ID query,
// the questions, the command stream in a temporary file and its FTP upload.
//
// Like the send sequences it needs no window (questions through model::IUserPrompt and
// IWarningUi) and blocks for the query's wait and the transfer of every printer.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "log/debug_log.h"
#include "port/network.h"
#include "update/printer_sequence.h"

namespace pelmora::update {

namespace msg {
// Formats with the row's address.
inline constexpr const char* kPrinterNotFoundAt =
    "Printer not found. Check printer description or IP Address.\nIP Address : %s";
}  // namespace msg

inline constexpr const char* kNetworkUpdateScope = "CUpdatePrinterDlg::SendDataNetwork";
// How the temporary file's name begins.
inline constexpr const char* kNetworkTempPrefix = "~Sd";

// How one printer's update ended.
enum class NetworkRowResult {
  kUpdated,    // the command stream was uploaded
  kFailed,     // bad address, another model, No in the Warning dialog, no upload
  kDeclined,   // Cancel at "Send data to printer?": the previous outcome stands
  kCancelAll,  // Cancel in the Warning dialog: no further printer is updated
};

// Why a row was not updated, for a front end that reports each printer on its own.
struct NetworkRowDetail {
  // The user passed the printer over: Cancel at "Send data to printer?" or No in the
  // Warning dialog.
  bool skipped = false;
  // A short account of a failure ("another model", "upload failed", ...).
  std::string reason;
};

// Updates the printer at one address row, logging into `log`. The temporary file lives
// in $TMPDIR (else /tmp) and is gone when this returns, whatever happened. `detail`,
// when given, gets why the row was not updated. Rows may run on several threads at
// once; their questions are then asked one at a time.
NetworkRowResult UpdateNetworkPrinter(const log::CDebugLog& log, const std::string& address,
                                      const SequenceContext& context,
                                      const port::CNetworkWaits& waits,
                                      NetworkRowDetail* detail = nullptr);

// Told of each row as its update begins: its position among the rows and its text.
using NetworkRowObserver = std::function<void(std::size_t index, const std::string& address)>;

// The whole update: 0 when `connection` is not "TCP/IP" (ignoring case) or there is no
// address; else each row in order, then 1 when the last outcome that counts (Cancel at
// "Send data to printer?" leaves the one before it) was an upload, 2 when it was not or
// the user cancelled in the Warning dialog. `onRow`, when given, is called before each
// row on the calling thread.
int RunNetworkUpdate(std::string_view connection, std::span<const std::string> addresses,
                     const SequenceContext& context, const port::CNetworkWaits& waits,
                     const NetworkRowObserver& onRow = {});

}  // namespace pelmora::update
