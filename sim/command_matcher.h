// Recognises the commands a printer receives in the undelimited byte stream of its
// line, from the byte patterns of the model's templates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelmora::sim {

enum class CommandKind { kDeviceId, kInit, kReset, kWrite, kRead };

// One recognised command. `address` and `data` hold what the command's placeholder
// bytes carried; an address byte the pattern lacks counts as 0.
struct CCommand {
  CommandKind kind = CommandKind::kDeviceId;
  std::uint16_t address = 0;
  std::uint8_t data = 0;
};

class CCommandMatcher {
 public:
  // Adds a pattern. In a kWrite pattern every 0xFF byte stands for the data byte, every
  // 0xFE for the address low byte and every 0xFD for the high byte, wherever they stand;
  // a kRead pattern honours only the two address bytes; the other kinds are fixed bytes.
  // An empty pattern is ignored: the model has no such command.
  void Add(CommandKind kind, std::span<const std::uint8_t> pattern);

  enum class Status {
    kCommand,    // `command` starts the input and is `length` bytes long
    kNeedMore,   // the input may be the start of a command: wait for more bytes
    kNoCommand,  // no command starts with the input's first byte
  };
  struct CMatch {
    Status status = Status::kNoCommand;
    CCommand command;
    std::size_t length = 0;
  };

  // Looks for a command at the start of `input`. The longest complete command wins; a
  // pattern added earlier wins a tie. A command that a longer pattern could still extend
  // is taken only when `idle` says no more bytes are coming soon.
  CMatch Match(std::span<const std::uint8_t> input, bool idle) const;

 private:
  enum class Role : std::uint8_t { kFixed, kData, kLow, kHigh };
  struct CPattern {
    CommandKind kind;
    std::vector<std::uint8_t> bytes;
    std::vector<Role> roles;
  };
  enum class Fit { kNo, kPartial, kComplete };

  static Fit Compare(const CPattern& pattern, std::span<const std::uint8_t> input,
                     CCommand& command);

  std::vector<CPattern> patterns_;
};

}  // namespace pelmora::sim
