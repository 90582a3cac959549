// A fake TAVEN printer without a line: it takes the bytes a host sends, applies the
// commands it recognises to its 64 KiB settings memory and says what it answers.
// The runners (CPtyRunner on a pseudo-terminal, CSimConnection in process) move the
// bytes; this class holds the printer's behaviour and its fault switches.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_matcher.h"
#include "model/stat_data_obj.h"

namespace pelmora::sim {

// How the printer behaves. The defaults make a well-behaved printer of the model.
struct CSimOptions {
  // The device ID; nullopt gives "MFG:TAVEN;MDL:<the model's first name>;".
  std::optional<std::string> deviceId;
  bool answerDeviceId = true;  // false: the device ID request gets no answer
  bool answerReads = true;     // false: read commands get no answer
  // A read of this address gets a reply whose data digits are not hexadecimal.
  std::optional<std::uint16_t> badReplyAt;
  // A write of this address is taken but not stored, as a read-only setting would be.
  std::optional<std::uint16_t> ignoreWriteAt;
  // Every answer leaves this much later than its request (answers keep their order).
  std::chrono::milliseconds replyDelay{0};
};

// What the printer has received, for tests and the trace.
struct CSimCounters {
  std::uint64_t deviceIdRequests = 0;
  std::uint64_t inits = 0;
  std::uint64_t resets = 0;
  std::uint64_t writes = 0;
  std::uint64_t reads = 0;
  std::uint64_t strayBytes = 0;  // bytes that started no command and were dropped
};

class CFakePrinter {
 public:
  static constexpr std::size_t kMemorySize = 0x10000;
  using Answer = std::vector<std::uint8_t>;

  // Learns the commands from the model's templates; the memory starts zero-filled.
  CFakePrinter(const model::CStatDataObj& model, CSimOptions options);

  // Copies every known byte of the model's current image (its saved data, or else its
  // factory data) into memory.
  void LoadImage(const model::CStatDataObj& model);

  // Takes bytes from the line and appends the answers they call for, in order.
  void Receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& answers);
  // No byte has come for a while: a command that a longer pattern could still have
  // extended is taken as it stands.
  void Idle(std::vector<Answer>& answers);
  // True while received bytes wait for the rest of a command.
  bool HasPendingInput() const { return !pending_.empty(); }

  std::span<const std::uint8_t> Memory() const { return memory_; }
  std::span<std::uint8_t> Memory() { return memory_; }
  const CSimCounters& Counters() const { return counters_; }
  const CSimOptions& Options() const { return options_; }
  // The device ID text sent in answer to the request.
  const std::string& DeviceId() const { return deviceId_; }

  // Called for every command recognised (for a trace); none by default.
  void SetObserver(std::function<void(const CCommand&)> observer) {
    observer_ = std::move(observer);
  }

  // The reply to a read of `address` holding `data`: "@BDC PS\r\n", "EE:", the address
  // as the read template implies (2 hex digits for a template with the low byte only,
  // else 4 in the template's byte order), the data as 2 hex digits, ";" and a NUL.
  Answer ReadReply(std::uint16_t address, std::uint8_t data) const;

 private:
  void Consume(bool idle, std::vector<Answer>& answers);
  void Execute(const CCommand& command, std::vector<Answer>& answers);

  CSimOptions options_;
  CCommandMatcher matcher_;
  std::string deviceId_;
  bool fourDigitAddress_ = false;
  bool highByteFirst_ = false;
  std::vector<std::uint8_t> memory_;
  std::vector<std::uint8_t> pending_;
  CSimCounters counters_;
  std::function<void(const CCommand&)> observer_;
};

// The memory as text: one line per 32 bytes, "AAAA:" and the bytes as upper-case hex.
std::string FormatDump(std::span<const std::uint8_t> memory);

// Reads such text into `memory` (which must hold 64 KiB); lines may hold any number of
// bytes, blank lines are skipped, hex digits in either case. False with `error` naming
// the line when a line is malformed or runs past 0xFFFF.
bool ParseDump(std::string_view text, std::span<std::uint8_t> memory, std::string& error);

// Writes FormatDump(memory) to `path` through a temporary name and a rename, so a reader
// never sees half a file. False (after a message on standard error) when that fails.
bool WriteDumpFile(const std::string& path, std::span<const std::uint8_t> memory);

}  // namespace pelmora::sim
