#include "update/network_update.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "log/ascii.h"
#include "port/deadline.h"
#include "protocol/command_stream.h"
#include "protocol/commands.h"
#include "update/connection_names.h"
#include "update/messages.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update {

namespace {

// The reply's layout: the device ID's length, high byte first, then the ID.
constexpr std::size_t kIdLengthOffset = 17;
constexpr std::size_t kIdOffset = 19;

// The temporary file of one row, removed with the object.
class CTempFile {
 public:
  CTempFile() {
    const char* dir = std::getenv("TMPDIR");
    path_ = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path_.back() != '/')
      path_ += '/';
    path_ += kNetworkTempPrefix;
    path_ += "XXXXXX";
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0)
      path_.clear();
  }
  ~CTempFile() {
    if (fd_ >= 0)
      ::close(fd_);
    if (!path_.empty())
      ::unlink(path_.c_str());
  }
  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;

  // Writes all of `bytes` and closes the file; false when it was not created or a
  // write failed.
  bool WriteAndClose(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0)
      return false;
    bool ok = true;
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }
  const std::string& Path() const { return path_; }
  std::string BaseName() const { return path_.substr(path_.rfind('/') + 1); }

 private:
  std::string path_;
  int fd_ = -1;
};

// The device ID the reply holds: empty when no byte arrived or the length is 0; a
// length reaching past the bytes received gives the bytes there are.
std::span<const std::uint8_t> DeviceIdOf(const std::vector<std::uint8_t>& reply, bool& given) {
  given = false;
  if (reply.empty())
    return {};
  // The bytes past those received read as 0, as in a zero-filled buffer.
  const auto at = [&](std::size_t i) { return i < reply.size() ? reply[i] : std::uint8_t{0}; };
  const std::size_t length = (std::size_t{at(kIdLengthOffset)} << 8) | at(kIdLengthOffset + 1);
  if (length == 0)
    return {};
  given = true;
  const std::size_t available = reply.size() > kIdOffset ? reply.size() - kIdOffset : 0;
  return {reply.data() + std::min(kIdOffset, reply.size()), std::min(length, available)};
}

// The stream the binary command file holds, with the sequences' log lines.
std::vector<std::uint8_t> CommandBytes(const log::CDebugLog& log,
                                       const model::CStatDataObj& model) {
  const protocol::CCommandStream stream(model);
  std::vector<std::uint8_t> bytes;
  if (!stream.InitCommand().empty()) {
    log.Output("Write Init Command\n");
    bytes.insert(bytes.end(), stream.InitCommand().begin(), stream.InitCommand().end());
  }
  stream.ForEachWriteCommand(
      [&](std::uint16_t, std::uint8_t, std::span<const std::uint8_t> command) {
        bytes.insert(bytes.end(), command.begin(), command.end());
      },
      protocol::CommandLog::kAsMakeWriteCommand);
  if (!stream.ResetCommand().empty()) {
    log.Output("Write Reset Command\n");
    bytes.insert(bytes.end(), stream.ResetCommand().begin(), stream.ResetCommand().end());
  }
  return bytes;
}

// Asks the user whether to update the printer, given what its reply said. kUpdated
// stands for "go on".
NetworkRowResult Confirm(const std::string& address, const std::vector<std::uint8_t>& reply,
                         const SequenceContext& context, NetworkRowDetail& detail) {
  // Rows on other threads wait: one question at a time, and the Warning dialog's
  // "Don't display" state is read and set by one row at a time.
  static std::mutex questions;
  const std::lock_guard<std::mutex> lock(questions);
  bool given = false;
  const std::span<const std::uint8_t> id = DeviceIdOf(reply, given);
  if (given) {
    if (!protocol::CheckDeviceID(context.model, id)) {
      std::vector<char> text(address.size() + 128);
      std::snprintf(text.data(), text.size(), msg::kPrinterNotFoundAt, address.c_str());
      context.prompt.Ask(msg::kErrorTitle, text.data(), model::Buttons::kOk);
      detail.reason = "another model";
      return NetworkRowResult::kFailed;
    }
    if (context.prompt.Ask(msg::kWarningTitle, msg::kSendQuestion, model::Buttons::kOkCancel) ==
        model::Answer::kCancel) {
      detail.skipped = true;
      return NetworkRowResult::kDeclined;
    }
    return NetworkRowResult::kUpdated;
  }
  const int answer = ConfirmWithoutDeviceId(context.warningUi, CWarningDlg::kModeNetwork, address);
  if (answer == CWarningDlg::kNo) {
    detail.skipped = true;
    return NetworkRowResult::kFailed;
  }
  if (answer == CWarningDlg::kCancel)
    return NetworkRowResult::kCancelAll;
  return NetworkRowResult::kUpdated;
}

}  // namespace

NetworkRowResult UpdateNetworkPrinter(const log::CDebugLog& log, const std::string& address,
                                      const SequenceContext& context,
                                      const port::CNetworkWaits& waits, NetworkRowDetail* detail) {
  NetworkRowDetail unused;
  NetworkRowDetail& why = detail != nullptr ? *detail : unused;
  // Checked before any traffic: a row that names no FTP server on an IPv4 host is
  // never queried nor uploaded to.
  const std::optional<port::CNetworkAddress> target = port::ParseNetworkAddress(address, waits);
  if (!target) {
    why.reason = "not a usable address";
    return NetworkRowResult::kFailed;
  }

  std::vector<std::uint8_t> reply;
  switch (port::QueryDeviceId(*target, waits, reply)) {
    case port::QueryResult::kAnswered:
      break;
    case port::QueryResult::kStopped:
      why.reason = "stopped";
      return NetworkRowResult::kFailed;
    case port::QueryResult::kSocketFailed:
    case port::QueryResult::kConnectFailed:
      why.reason = "cannot query the device ID";
      return NetworkRowResult::kFailed;
  }
  log.Output("Reply : %.*s\n", TextLength(reply), reinterpret_cast<const char*>(reply.data()));

  if (const NetworkRowResult go = Confirm(address, reply, context, why);
      go != NetworkRowResult::kUpdated)
    return go;

  CTempFile file;
  if (!file.WriteAndClose(CommandBytes(log, context.model))) {
    why.reason = "cannot write the temporary file";
    return NetworkRowResult::kFailed;
  }

  std::string error;
  switch (port::FtpUpload(*target, file.Path(), file.BaseName(), waits, error)) {
    case port::UploadResult::kUploaded:
      return NetworkRowResult::kUpdated;
    case port::UploadResult::kNoConnection:
      why.reason = "cannot connect: " + error;
      if (!error.empty())
        context.prompt.Ask(msg::kErrorTitle, error, model::Buttons::kOk);
      return NetworkRowResult::kFailed;
    case port::UploadResult::kFailed:
      break;
  }
  log.Output("Write Error\n");
  why.reason = "upload failed";
  return NetworkRowResult::kFailed;
}

int RunNetworkUpdate(std::string_view connection, std::span<const std::string> addresses,
                     const SequenceContext& context, const port::CNetworkWaits& waits,
                     const NetworkRowObserver& onRow) {
  const log::CDebugLog log(kNetworkUpdateScope);
  if (!log::EqualsIgnoringCase(connection, kTcpIpName) || addresses.empty())
    return kFailed;
  bool updated = false;
  for (std::size_t index = 0; index < addresses.size(); ++index) {
    const std::string& address = addresses[index];
    // A front end asked to end the run (a signal): no further printer is started.
    if (port::StopSignal() != 0)
      return kCancelled;
    if (onRow)
      onRow(index, address);
    switch (UpdateNetworkPrinter(log, address, context, waits)) {
      case NetworkRowResult::kUpdated:
        updated = true;
        break;
      case NetworkRowResult::kFailed:
        updated = false;
        break;
      case NetworkRowResult::kDeclined:
        break;
      case NetworkRowResult::kCancelAll:
        return kCancelled;
    }
  }
  return updated ? kFinished : kCancelled;
}

}  // namespace pelmora::update
