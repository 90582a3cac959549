#include "command_matcher.h"

#include <algorithm>
#include <optional>

namespace pelmora::sim {

void CCommandMatcher::Add(CommandKind kind, std::span<const std::uint8_t> pattern) {
  if (pattern.empty()) {
    return;
  }
  CPattern added{kind, {pattern.begin(), pattern.end()}, {}};
  added.roles.reserve(pattern.size());
  for (const std::uint8_t byte : pattern) {
    Role role = Role::kFixed;
    if (kind == CommandKind::kWrite || kind == CommandKind::kRead) {
      if (byte == 0xFE) {
        role = Role::kLow;
      } else if (byte == 0xFD) {
        role = Role::kHigh;
      } else if (byte == 0xFF && kind == CommandKind::kWrite) {
        role = Role::kData;
      }
    }
    added.roles.push_back(role);
  }
  patterns_.push_back(std::move(added));
}

CCommandMatcher::Fit CCommandMatcher::Compare(const CPattern& pattern,
                                              std::span<const std::uint8_t> input,
                                              CCommand& command) {
  // A placeholder that occurs twice must carry the same byte both times.
  std::optional<std::uint8_t> data, low, high;
  const auto take = [](std::optional<std::uint8_t>& slot, std::uint8_t byte) {
    if (slot && *slot != byte) {
      return false;
    }
    slot = byte;
    return true;
  };
  const std::size_t n = std::min(pattern.bytes.size(), input.size());
  for (std::size_t i = 0; i < n; ++i) {
    bool fits = true;
    switch (pattern.roles[i]) {
      case Role::kFixed:
        fits = input[i] == pattern.bytes[i];
        break;
      case Role::kData:
        fits = take(data, input[i]);
        break;
      case Role::kLow:
        fits = take(low, input[i]);
        break;
      case Role::kHigh:
        fits = take(high, input[i]);
        break;
    }
    if (!fits) {
      return Fit::kNo;
    }
  }
  if (n < pattern.bytes.size()) {
    return Fit::kPartial;
  }
  command.kind = pattern.kind;
  command.data = data.value_or(0);
  command.address = static_cast<std::uint16_t>(high.value_or(0) << 8 | low.value_or(0));
  return Fit::kComplete;
}

CCommandMatcher::CMatch CCommandMatcher::Match(std::span<const std::uint8_t> input,
                                               bool idle) const {
  CMatch best;
  std::size_t longestPartial = 0;
  for (const CPattern& pattern : patterns_) {
    CCommand command;
    switch (Compare(pattern, input, command)) {
      case Fit::kNo:
        break;
      case Fit::kPartial:
        longestPartial = std::max(longestPartial, pattern.bytes.size());
        break;
      case Fit::kComplete:
        if (best.status != Status::kCommand || pattern.bytes.size() > best.length) {
          best.status = Status::kCommand;
          best.command = command;
          best.length = pattern.bytes.size();
        }
        break;
    }
  }
  if (longestPartial > best.length && (best.status != Status::kCommand || !idle)) {
    return CMatch{Status::kNeedMore, {}, 0};
  }
  return best;
}

}  // namespace pelmora::sim
