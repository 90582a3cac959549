// The send and read-back sequences, written once for every connection that takes the
// printer's commands one by one (parallel, serial, USB). What differs between the
// connections (finding, opening and preparing the port, a few log lines) comes from an
// IPrinterPort; the device ID check, the questions, the commands and the replies live
// here, so every connection sends the same bytes and asks the same questions.
//
// The sequences need no window: message boxes go through model::IUserPrompt, the
// Warning dialog through IWarningUi and the progress window through IProgressUi. They
// block for their whole run (port time-outs and read waits), so a front end with a
// window runs them on a thread of their own and passes these calls to its window
// thread; the calls come strictly one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "log/debug_log.h"
#include "model/stat_data_obj.h"
#include "model/user_prompt.h"
#include "port/connection.h"
#include "update/progress_dlg.h"
#include "update/warning_dlg.h"

namespace pelmora::update {

namespace msg {
inline constexpr const char* kSendQuestion = "Send data to printer?";
inline constexpr const char* kGetQuestion = "Get printer setting?";
// Formats with the address as four upper-case hex digits.
inline constexpr const char* kSendFailedAt = "Send data failed.\nAddress = 0x%04X";
inline constexpr const char* kGetFailedAt = "Get data failed.\nAddress = 0x%04X";
inline constexpr const char* kAnalyzeFailedAt = "Failed in analyze of data.\nAddress = 0x%04X";
// A send that stopped at the command framing the settings rather than at an address.
inline constexpr const char* kSendFailedAtInit = "Send data failed.\nInitialise command";
inline constexpr const char* kSendFailedAtReset = "Send data failed.\nReset command";
}  // namespace msg

// The read wait when the definition file gives none (or 0), in milliseconds.
inline constexpr std::uint32_t kDefaultReadWaitMs = 50;

// What sets one connection's sequences apart from the others'.
struct PrinterPortTraits {
  const char* name;         // the connection name the operations answer to, e.g. "Serial"
  const char* sendScope;    // log scope of the send, e.g. "CUpdatePrinterDlg::SendDataSerial"
  const char* getScope;     // log scope of the read-back
  const char* readWaitKey;  // key of the read wait in the section "Printer", e.g. "ReadWait2"
  // The send logs "ERROR : ModelID not found" when the printer is another model.
  bool logsModelMismatch;
  // Several devices are asked in turn: one whose device ID cannot be read, is empty or
  // names another model is closed and the next one opened (there is no Warning dialog
  // then), and the confirmed device must still be open after the question.
  bool triesEveryDevice;
};

// How a connection reaches its printer: the only code a connection adds to the
// sequences. The object is created for one sequence; its destructor releases whatever
// it holds, on every way out.
class IPrinterPort {
 public:
  virtual ~IPrinterPort() = default;
  virtual const PrinterPortTraits& Traits() const = 0;

  // Opens and prepares the next device to ask for its device ID, logging into the
  // sequence's scope `log` what the connection logs there. nullptr when no further
  // device can be opened, which ends the sequence with 0. A connection with one port
  // opens it on the first call; the sequences call again only when triesEveryDevice.
  // The connection returned stays the port's; the sequence closes it when done.
  virtual port::IConnection* OpenNext(const log::CDebugLog& log) = 0;

  // Why OpenNext found no device, as one line for the user naming the device and the
  // cause; empty when the connection cannot tell or nothing failed.
  virtual std::string OpenFailure() const { return {}; }
};

// What a sequence works on and whom it asks, apart from its port. All borrowed.
struct SequenceContext {
  model::CStatDataObj& model;
  model::IUserPrompt& prompt;  // the "Warning" questions and the "Error" messages
  IWarningUi& warningUi;
  IProgressUi& progressUi;
  // When given, the read-back counts here the bytes it stored into the current image.
  std::size_t* storedBytes = nullptr;
};

// Results: 0 failed (no port, no device ID, another model: the caller tells the user),
// 1 finished, 2 cancelled by the user, 3 stopped on an error already shown to the user.
//
// Send: checks `connection` against the port's name (ignoring case; 0 when it differs),
// finds and confirms the printer, then writes the initialise command, one write command
// per known byte of the current image in address order and the reset command. A write
// that fails or is cut short ends the send at once with 3: it is logged ("Write Error")
// and shown with the address (or the command) where it stopped, and nothing more is
// written, since a command after a cut one would reach the printer as garbage. The
// configuration is not changed.
int RunSendSequence(std::string_view connection, IPrinterPort& port,
                    const SequenceContext& context);

// Read-back: as the send up to the confirmation; then for every known byte of the
// current image a read command, the read wait (never shorter), the reply, and the byte
// it holds stored into the current image, with the progress window counting every
// address visited. A write, read or reply failure is reported once with its address and
// ends the reading with 3, keeping the bytes read before it.
int RunGetSequence(std::string_view connection, IPrinterPort& port, const SequenceContext& context);

// The read wait of a connection in milliseconds: the integer `key` of the section
// "Printer" of the file at `path` (the private-profile lookup of log::CIniFile),
// kDefaultReadWaitMs when the file, the section or the key is missing or the value is 0
// or negative.
std::uint32_t ReadWaitMs(const std::string& path, std::string_view key);

// The length of `bytes` as text: up to the first zero byte, never past the end.
int TextLength(std::span<const std::uint8_t> bytes);

}  // namespace pelmora::update
