#include "update/send_stream.h"

#include <algorithm>
#include <span>
#include <vector>

#include "update/printer_sequence.h"

namespace pelmora::update {

namespace {

// Commands on their way to the connection, gathered until `batchBytes` are pending (0:
// each on its own). Remembers where each pending command ends, so that a write cut
// short maps back to the command it cut.
class CCommandBatch {
 public:
  CCommandBatch(port::IConnection& connection, const log::CDebugLog& log, std::size_t batchBytes)
      : connection_(connection), log_(log), batchBytes_(batchBytes) {
    bytes_.reserve(batchBytes + protocol::kCommandBufferSize);
  }

  // Queues `command`, writing the batch once it is full; false once a write failed.
  bool Add(std::span<const std::uint8_t> command, SendStop where) {
    bytes_.insert(bytes_.end(), command.begin(), command.end());
    ends_.push_back({static_cast<std::uint32_t>(bytes_.size()), where});
    return bytes_.size() < batchBytes_ || Flush();
  }

  // Writes what is pending; false when the write failed, with FailedAt() set.
  bool Flush() {
    if (bytes_.empty())
      return true;
    std::uint32_t taken = 0;
    const bool ok =
        connection_.WriteSome(bytes_.data(), static_cast<std::uint32_t>(bytes_.size()), taken);
    if (!ok) {
      log_.Output("Write Error\n");
      // The first command not taken whole; a port that failed after taking every byte
      // is blamed on the last one.
      const auto cut = std::find_if(ends_.begin(), ends_.end(),
                                    [&](const Mark& mark) { return mark.end > taken; });
      failedAt_ = cut != ends_.end() ? cut->where : ends_.back().where;
    }
    bytes_.clear();
    ends_.clear();
    return ok;
  }

  const SendStop& FailedAt() const { return failedAt_; }

 private:
  struct Mark {
    std::uint32_t end;  // offset just past the command in bytes_
    SendStop where;
  };

  port::IConnection& connection_;
  const log::CDebugLog& log_;
  const std::size_t batchBytes_;
  std::vector<std::uint8_t> bytes_;
  std::vector<Mark> ends_;
  SendStop failedAt_{nullptr, 0};
};

}  // namespace

std::optional<SendStop> SendCommandStream(const protocol::CCommandStream& stream,
                                          port::IConnection& connection, const log::CDebugLog& log,
                                          std::size_t batchBytes) {
  // The trace shows each command's lines and then its write, and every line costs more
  // than a write of its own: with the trace on, commands go one by one.
  const bool traced = log::LogEnabled();
  CCommandBatch batch(connection, log, traced ? 0 : batchBytes);

  if (!stream.InitCommand().empty()) {
    log.Output("Write Init Command\n");
    if (!batch.Add(stream.InitCommand(), {msg::kSendFailedAtInit, 0}))
      return batch.FailedAt();
  }
  bool ok = true;
  stream.ForEachWriteCommand(
      [&](std::uint16_t address, std::uint8_t, std::span<const std::uint8_t> command) {
        ok = batch.Add(command, {msg::kSendFailedAt, address});
        return ok;
      },
      traced ? protocol::CommandLog::kAsMakeWriteCommand : protocol::CommandLog::kQuiet);
  if (!ok)
    return batch.FailedAt();
  if (!stream.ResetCommand().empty()) {
    log.Output("Write Reset Command\n");
    if (!batch.Add(stream.ResetCommand(), {msg::kSendFailedAtReset, 0}))
      return batch.FailedAt();
  }
  if (!batch.Flush())
    return batch.FailedAt();
  return std::nullopt;
}

}  // namespace pelmora::update
