// The commands of pelmora-cli, apart from command-line parsing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "update/connection_names.h"

namespace pelmora::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// The user refused a question of a printer operation.
inline constexpr int kExitCancelled = 3;

// Loads `path` as the start dialog would; prints the load message on `err` on failure.
int RunCheck(const std::string& path, std::FILE* out, std::FILE* err);

// Loads `path` and prints one line per item: PAGE, NAME, TEXT and STATE, tab-separated.
int RunShow(const std::string& path, std::FILE* out, std::FILE* err);

// Lists `<workdir>/model` (`settings` false) or `<workdir>/setting` as the start
// dialog does: FILE, PRINTER and DESCRIPTION per row, tab-separated.
int RunList(bool settings, const std::string& workdir, std::FILE* out, std::FILE* err);

// Writes the binary command file of `path`'s current image to `outPath`, or to `out`
// when `outPath` is "-".
int RunBin(const std::string& path, const std::string& outPath, std::FILE* out, std::FILE* err);

struct EditOptions {
  std::string file;
  std::vector<std::pair<std::string, std::string>> sets;  // item name, value, in order
  bool show = false;
  std::string binPath;  // empty: no binary file; "-": standard output
  std::string saveAs;
  bool hasSaveAs = false;  // --save-as was given (an empty name is refused, not ignored)
  std::string description;
  bool hasDescription = false;
  bool overwrite = false;
  std::string workdir = ".";
};

// Applies the edits, then shows, writes the binary file and saves as asked.
int RunEdit(const EditOptions& options, std::FILE* out, std::FILE* err);

// A send or read-back over a connection, as the Update Printer dialog runs it.
struct TransferOptions {
  std::string file;
  std::string connection = update::kSerialName;
  // Serial line settings, as the dialog's controls take them; no baud rate means the
  // dialog's choice (the rate COM1 is set to when the list has it, else 256000).
  std::optional<std::uint32_t> baudRate;
  int parity = 0;    // 0 Off, 1 Odd, 2 Even
  int byteSize = 8;  // 8 or 7
  int stopBits = 0;  // 0 one, 1 one and a half, 2 two
  // The device "COM1" (Serial) or "LPT1" (Parallel) stands for in this run; empty: the
  // settings file's.
  std::string device;
  bool assumeYes = false;
  // Send only, not over TCP/IP: read the printer back afterwards and compare.
  bool verify = false;
  // TCP/IP only: the address rows in order, the known-printer list file whose rows
  // follow them, how many printers are updated at once and the device ID wait.
  std::vector<std::string> addresses;
  std::string addressList;
  unsigned jobs = 1;
  std::uint32_t waitMs = 2000;
  // Read-back only: save the updated configuration as Save As does.
  std::string saveAs;
  bool hasSaveAs = false;
  std::string description;
  bool hasDescription = false;
  bool overwrite = false;
  std::string workdir = ".";
};

// Sends FILE's current image to the printer. Exit 0 when the send finished, 1 when no
// printer was found, the send stopped on a failed write (or the file did not load), 3
// when a question was refused, 128 + the signal when SIGINT or SIGTERM ended it. Over
// TCP/IP one line per printer goes to `out` (see RunSendNetwork). With `verify` the
// printer is then read back: each item that differs from what was sent goes to `out` as
// PAGE, NAME, SENT and READ (tab-separated), and the exit is 1 when any does.
int RunSend(const TransferOptions& options, std::FILE* out, std::FILE* err);

// Reads the printer's settings into FILE's current image, prints the show lines of the
// result and saves it when asked. Exit statuses as RunSend's; a read-back that stopped
// on an error prints and saves nothing.
int RunGet(const TransferOptions& options, std::FILE* out, std::FILE* err);

}  // namespace pelmora::cli
