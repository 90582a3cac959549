#include "update/printer_sequence.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "log/ascii.h"
#include "log/ini_file.h"
#include "port/deadline.h"
#include "protocol/command_stream.h"
#include "protocol/commands.h"
#include "update/messages.h"
#include "update/send_stream.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update {

namespace {

using Buffer = std::array<std::uint8_t, protocol::kCommandBufferSize>;
constexpr std::uint32_t kLastAddress = 0xFFFF;

enum class Purpose { kSend, kGet };

// The device the sequence talks to; closed on every way out of the sequence.
class COpenDevice {
 public:
  COpenDevice() = default;
  ~COpenDevice() { Close(); }
  COpenDevice(const COpenDevice&) = delete;
  COpenDevice& operator=(const COpenDevice&) = delete;

  void Take(port::IConnection* connection) {
    // A port that opens its devices through one connection object hands back the
    // same object, which is open on the next device by then.
    if (connection != connection_)
      Close();
    connection_ = connection;
  }
  void Close() {
    if (connection_ != nullptr)
      connection_->Close();
    connection_ = nullptr;
  }
  port::IConnection* operator->() const { return connection_; }
  port::IConnection& operator*() const { return *connection_; }
  explicit operator bool() const { return connection_ != nullptr; }

 private:
  port::IConnection* connection_ = nullptr;
};

// Shows `format` with the address as its argument (a format without one ignores it).
void ShowError(model::IUserPrompt& prompt, const char* format, std::uint32_t address) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(address & 0xFFFF));
  prompt.Ask(msg::kErrorTitle, text, model::Buttons::kOk);
}

enum class DeviceId { kNone, kEmpty, kOfModel, kOfOther };

// Asks the open device for its ID, and tells what it gave.
DeviceId ReadDeviceId(const log::CDebugLog& log, const COpenDevice& device,
                      const model::CStatDataObj& model) {
  Buffer id{};
  auto length = static_cast<std::uint32_t>(id.size());
  if (!device->GetDeviceID(id.data(), length))
    return DeviceId::kNone;
  log.Output("DeviceID : %.*s\n", TextLength({id.data(), length}), id.data());
  log.Output("DeviceID Len : %d\n", static_cast<int>(length));
  if (length == 0)
    return DeviceId::kEmpty;
  return protocol::CheckDeviceID(model, {id.data(), length}) ? DeviceId::kOfModel
                                                             : DeviceId::kOfOther;
}

// Opens devices until one gives a device ID of the model (or, on a connection with a
// single port, gives none). Returns kFinished with `device` open and `hasId` telling
// whether it gave an ID, or kFailed.
int FindPrinter(const log::CDebugLog& log, IPrinterPort& port, const SequenceContext& context,
                Purpose purpose, COpenDevice& device, bool& hasId) {
  const PrinterPortTraits& traits = port.Traits();
  for (;;) {
    device.Take(port.OpenNext(log));
    if (!device)
      return kFailed;
    const DeviceId id = ReadDeviceId(log, device, context.model);
    if (id == DeviceId::kOfModel) {
      hasId = true;
      return kFinished;
    }
    if (traits.triesEveryDevice)
      continue;
    if (id == DeviceId::kEmpty) {
      hasId = false;
      return kFinished;  // no ID to check: the Warning dialog decides
    }
    if (id == DeviceId::kOfOther && purpose == Purpose::kSend && traits.logsModelMismatch)
      log.Output("ERROR : ModelID not found\n");
    return kFailed;
  }
}

// Asks the user whether to go on with the printer found: kFinished or kCancelled.
int ConfirmPrinter(const SequenceContext& context, Purpose purpose, bool hasId) {
  if (hasId) {
    const char* question = purpose == Purpose::kSend ? msg::kSendQuestion : msg::kGetQuestion;
    if (context.prompt.Ask(msg::kWarningTitle, question, model::Buttons::kOkCancel) ==
        model::Answer::kCancel)
      return kCancelled;
    return kFinished;
  }
  // Only an explicit Yes (or an earlier "Don't display") goes on to an
  // unverified printer.
  const int answer = ConfirmWithoutDeviceId(context.warningUi, CWarningDlg::kModeConnection);
  if (answer != CWarningDlg::kYes && answer != kWarningNotShown)
    return kCancelled;
  return kFinished;
}

// Finds the printer, then asks the user. Returns kFinished with `device` open and
// confirmed, or the sequence's result.
int FindAndConfirmPrinter(const log::CDebugLog& log, IPrinterPort& port,
                          const SequenceContext& context, Purpose purpose, COpenDevice& device) {
  bool hasId = false;
  const int found = FindPrinter(log, port, context, purpose, device, hasId);
  if (found != kFinished)
    return found;
  const int confirmed = ConfirmPrinter(context, purpose, hasId);
  if (confirmed != kFinished)
    return confirmed;
  if (port.Traits().triesEveryDevice && !device->IsOpen()) {
    log.Output("Device Not Open\n");
    return kFailed;
  }
  return kFinished;
}

}  // namespace

int TextLength(std::span<const std::uint8_t> bytes) {
  if (bytes.empty())
    return 0;  // an empty span may have no data pointer, which memchr must not get
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const std::size_t n =
      zero != nullptr
          ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data())
          : bytes.size();
  return static_cast<int>(n);
}

std::uint32_t ReadWaitMs(const std::string& path, std::string_view key) {
  std::uint32_t wait = kDefaultReadWaitMs;
  if (const std::optional<log::CIniFile> file = log::CIniFile::Load(path))
    wait = file->GetInt("Printer", key, static_cast<std::int32_t>(kDefaultReadWaitMs));
  // The lookup gives a negative number in two's complement; as a wait it would last
  // for weeks per byte, so it counts as 0 does.
  return wait == 0 || static_cast<std::int32_t>(wait) < 0 ? kDefaultReadWaitMs : wait;
}

int RunSendSequence(std::string_view connection, IPrinterPort& port,
                    const SequenceContext& context) {
  const PrinterPortTraits& traits = port.Traits();
  log::CDebugLog log(traits.sendScope);
  if (!log::EqualsIgnoringCase(connection, traits.name))
    return kFailed;

  COpenDevice device;
  if (const int found = FindAndConfirmPrinter(log, port, context, Purpose::kSend, device);
      found != kFinished)
    return found;

  // The stream the binary command file holds, command by command, back to back. The
  // first write that fails ends it: the printer may hold part of that command, and the
  // next one would run into it.
  const protocol::CCommandStream stream(context.model);
  if (const std::optional<SendStop> stop = SendCommandStream(stream, *device, log)) {
    device.Close();
    ShowError(context.prompt, stop->format, stop->address);
    return kStopped;
  }
  device.Close();
  return kFinished;
}

int RunGetSequence(std::string_view connection, IPrinterPort& port,
                   const SequenceContext& context) {
  const PrinterPortTraits& traits = port.Traits();
  log::CDebugLog log(traits.getScope);
  if (!log::EqualsIgnoringCase(connection, traits.name))
    return kFailed;

  COpenDevice device;
  if (const int found = FindAndConfirmPrinter(log, port, context, Purpose::kGet, device);
      found != kFinished)
    return found;

  model::CStatDataObj& config = context.model;
  const std::chrono::milliseconds wait(ReadWaitMs(config.FilePath(), traits.readWaitKey));
  std::unique_ptr<IProgress> progress = context.progressUi.OpenProgress(config.GetImageSize());

  // Every address from the first one counts a step, gaps and unknown bytes included,
  // and so does the probe that finds the end.
  int step = 0;
  int result = kFinished;
  std::size_t stored = 0;
  Buffer command{};
  Buffer reply{};
  for (std::uint32_t address = config.GetFirstAddress(); address <= kLastAddress; ++address) {
    std::uint8_t current = 0;
    const std::uint32_t status = config.ReadBytes(address, {&current, 1});
    progress->SetPos(++step);
    if (status == model::kReadOutOfBlocks)
      break;
    if (status != model::kReadOk)
      continue;

    command.fill(0);
    std::uint32_t length = 0;
    std::uint32_t width = 0;
    std::uint32_t order = 0;
    const auto address16 = static_cast<std::uint16_t>(address);
    if (!protocol::MakeReadCommand(config, address16, command, length, width, order) || length == 0)
      continue;
    if (!device->Write(command.data(), length)) {
      log.Output("Write Error\n");
      progress->Close();
      ShowError(context.prompt, msg::kSendFailedAt, address);
      result = kStopped;
      break;
    }

    // The printer needs the wait to answer; the deadline keeps it from ending early.
    port::SleepUntil(port::CDeadline::After(wait));

    reply.fill(0);
    std::uint32_t received = static_cast<std::uint32_t>(reply.size());
    const bool read = device->Read(reply.data(), received);
    log.Output("Reply Data : %.*s\n", TextLength(reply), reply.data());
    if (!read) {
      log.Output("Read Error\n");
      progress->Close();
      ShowError(context.prompt, msg::kGetFailedAt, address);
      result = kStopped;
      break;
    }
    std::uint8_t data = 0;
    if (!protocol::AnalyzeReadData(config, address16, width, order, {reply.data(), received},
                                   data)) {
      log.Output("Analyze Error\n");
      progress->Close();
      ShowError(context.prompt, msg::kAnalyzeFailedAt, address);
      result = kStopped;
      break;
    }
    config.WriteBytes(address, std::span<const std::uint8_t>(&data, 1), model::kWriteCopy);
    ++stored;
  }
  progress->Close();
  progress.reset();
  device.Close();
  if (context.storedBytes != nullptr)
    *context.storedBytes = stored;
  return result;
}

}  // namespace pelmora::update
