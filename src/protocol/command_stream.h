// The byte stream that updates a printer: the initialise command, one write command for
// every known byte of the current image in ascending address order, and the reset
// command. The binary command file, the send sequences and the network update all take
// it from here, so that it is the same byte for byte whichever way it leaves.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/stat_data_obj.h"
#include "protocol/commands.h"
#include "protocol/write_template.h"

namespace pelmora::protocol {

namespace detail {
// Calls visit(args...); a visit that returns bool asks to go on with true.
template <class Visit, class... Args>
bool VisitAndGoOn(Visit& visit, Args&&... args) {
  if constexpr (std::is_same_v<std::invoke_result_t<Visit&, Args...>, bool>) {
    return visit(std::forward<Args>(args)...);
  } else {
    visit(std::forward<Args>(args)...);
    return true;
  }
}
}  // namespace detail

// Calls visit(address, byte) for every byte that a one-byte ReadBytes of the current image
// reads successfully, taking the addresses from GetFirstAddress() upwards and stopping
// past the last block or after 0xFFFF. Gaps and unknown (`xx`) bytes are passed over.
// A visit that returns bool ends the walk by returning false.
//
// Same bytes, same order as reading address by address, also when blocks are unsorted
// or overlap, but in time linear in the image: a one-byte read at an address is decided
// by the first block in list order that ends above it (the byte is in that block, or the
// address lies in a gap before it), and as the address grows that block can only move
// further down the list.
template <class Visit>
void ForEachKnownByte(const model::CStatDataObj& model, Visit&& visit) {
  constexpr std::uint32_t kAddressEnd = 0x10000;
  const std::vector<model::CDataBlock>& blocks = model.CurrentImage().Blocks();
  std::uint32_t address = model.GetFirstAddress();
  std::size_t k = 0;
  while (address < kAddressEnd) {
    while (k < blocks.size() && blocks[k].End() <= address) ++k;
    if (k == blocks.size())
      return;  // past the last block
    const model::CDataBlock& block = blocks[k];
    address = std::max<std::uint32_t>(address, block.address);  // over a gap
    const std::uint32_t end = std::min(block.End(), kAddressEnd);
    for (; address < end; ++address) {
      const std::uint32_t j = address - block.address;
      if (block.IsKnown(j) &&
          !detail::VisitAndGoOn(visit, static_cast<std::uint16_t>(address), block.bytes[j]))
        return;
    }
  }
}

// Whether a walk over the write commands also traces each one as MakeWriteCommand does.
enum class CommandLog {
  kQuiet,               // the binary command file: nothing logged per command
  kAsMakeWriteCommand,  // the send sequences and the network update
};

// The stream of one model. Takes the model's commands when constructed and reads its
// current image at every walk; the model must outlive the object.
class CCommandStream {
 public:
  explicit CCommandStream(const model::CStatDataObj& model);

  // The commands that frame the writes; empty when the model defines none.
  std::span<const std::uint8_t> InitCommand() const { return init_; }
  std::span<const std::uint8_t> ResetCommand() const { return reset_; }
  const CWriteTemplate& WriteTemplate() const { return write_; }

  // Calls visit(address, data, command) for each write command, in stream order, with
  // `command` valid for the call only. No calls when the model has no write template.
  // A visit that returns bool ends the walk by returning false.
  // With CommandLog::kAsMakeWriteCommand each known byte also leaves MakeWriteCommand's
  // scope and lines in the log, template or not, as a sequence that builds its
  // commands one by one leaves them.
  template <class Visit>
  void ForEachWriteCommand(Visit&& visit, CommandLog log = CommandLog::kQuiet) const {
    if (log == CommandLog::kAsMakeWriteCommand) {
      ForEachKnownByte(model_, [&](std::uint16_t address, std::uint8_t data) {
        std::array<std::uint8_t, kCommandBufferSize> command{};
        std::uint32_t length = 0;
        if (!MakeWriteCommand(model_, address, data, command, length) || length == 0)
          return true;
        return detail::VisitAndGoOn(visit, address, data,
                                    std::span<const std::uint8_t>(command.data(), length));
      });
      return;
    }
    if (write_.Empty())
      return;
    std::array<std::uint8_t, CWriteTemplate::kMaxPaddedSize> command;
    const std::span<const std::uint8_t> built(command.data(), write_.Size());
    ForEachKnownByte(model_, [&](std::uint16_t address, std::uint8_t data) {
      write_.BuildPadded(address, data, command.data());
      return detail::VisitAndGoOn(visit, address, data, built);
    });
  }

  // The whole stream: initialise command, write commands, reset command.
  std::vector<std::uint8_t> Build() const;

 private:
  const model::CStatDataObj& model_;
  std::vector<std::uint8_t> init_;
  std::vector<std::uint8_t> reset_;
  CWriteTemplate write_;
};

// CCommandStream(model).Build().
std::vector<std::uint8_t> BuildCommandStream(const model::CStatDataObj& model);

// Replaces the file at `path` by one holding `bytes`, as a save does: a temporary file
// beside it, every write checked, synced, renamed over it (through a symbolic link to
// the file it names). False when `path` is a folder or no regular file (refused before
// anything is written), or when creating, writing or renaming fails, with `error`
// saying which and why; the previous file, if any, is then left as it was.
bool WriteCommandFile(const std::string& path, std::span<const std::uint8_t> bytes,
                      std::string& error);

// The binary command file: the model's stream written to `path` by WriteCommandFile.
bool WriteBinaryFile(const model::CStatDataObj& model, const std::string& path, std::string& error);

}  // namespace pelmora::protocol
