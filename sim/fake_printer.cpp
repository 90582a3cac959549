#include "fake_printer.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace pelmora::sim {

namespace {

constexpr std::uint8_t kDeviceIdRequest[] = {0x1B, 0x01, '@', 'T',  'J', 'L',
                                             ' ',  'I',  'D', 0x0D, 0x0A};
constexpr std::string_view kReplyHeader = "@BDC PS\r\n";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kDumpBytesPerLine = 32;

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

CFakePrinter::CFakePrinter(const model::CStatDataObj& model, CSimOptions options)
    : options_(std::move(options)), memory_(kMemorySize, 0) {
  // Registration order breaks ties between patterns of equal length.
  matcher_.Add(CommandKind::kDeviceId, kDeviceIdRequest);
  matcher_.Add(CommandKind::kInit, model.InitCommand());
  matcher_.Add(CommandKind::kReset, model.ResetCommand());
  matcher_.Add(CommandKind::kWrite, model.WriteTemplate());
  matcher_.Add(CommandKind::kRead, model.ReadTemplate());

  // The reply's address digits follow the read template: both bytes when it carries
  // the high byte, in the order the template gives them.
  const std::vector<std::uint8_t>& read = model.ReadTemplate();
  const auto high = std::find(read.begin(), read.end(), 0xFD);
  const auto low = std::find(read.begin(), read.end(), 0xFE);
  fourDigitAddress_ = high != read.end();
  highByteFirst_ = fourDigitAddress_ && high < low;

  if (options_.deviceId) {
    deviceId_ = *options_.deviceId;
  } else {
    deviceId_ = "MFG:TAVEN;MDL:" +
                (model.ModelNames().empty() ? std::string() : model.ModelNames().front()) + ";";
  }
}

void CFakePrinter::LoadImage(const model::CStatDataObj& model) {
  for (const model::CDataBlock& block : model.CurrentImage().Blocks()) {
    for (std::uint32_t j = 0; j < block.count; ++j) {
      const std::uint32_t address = block.address + j;
      if (address < kMemorySize && block.IsKnown(j)) {
        memory_[address] = block.bytes[j];
      }
    }
  }
}

void CFakePrinter::Receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& answers) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  Consume(false, answers);
}

void CFakePrinter::Idle(std::vector<Answer>& answers) {
  Consume(true, answers);
}

void CFakePrinter::Consume(bool idle, std::vector<Answer>& answers) {
  std::size_t start = 0;
  while (start < pending_.size()) {
    const std::span<const std::uint8_t> input(pending_.data() + start, pending_.size() - start);
    const CCommandMatcher::CMatch match = matcher_.Match(input, idle);
    if (match.status == CCommandMatcher::Status::kNeedMore) {
      break;
    }
    if (match.status == CCommandMatcher::Status::kNoCommand) {
      ++counters_.strayBytes;
      ++start;
      continue;
    }
    Execute(match.command, answers);
    start += match.length;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
}

void CFakePrinter::Execute(const CCommand& command, std::vector<Answer>& answers) {
  if (observer_) {
    observer_(command);
  }
  switch (command.kind) {
    case CommandKind::kDeviceId:
      ++counters_.deviceIdRequests;
      if (options_.answerDeviceId) {
        answers.emplace_back(deviceId_.begin(), deviceId_.end());
      }
      break;
    case CommandKind::kInit:
      ++counters_.inits;
      break;
    case CommandKind::kReset:
      ++counters_.resets;
      break;
    case CommandKind::kWrite:
      ++counters_.writes;
      if (options_.ignoreWriteAt != command.address)
        memory_[command.address] = command.data;
      break;
    case CommandKind::kRead:
      ++counters_.reads;
      if (options_.answerReads) {
        answers.push_back(ReadReply(command.address, memory_[command.address]));
      }
      break;
  }
}

CFakePrinter::Answer CFakePrinter::ReadReply(std::uint16_t address, std::uint8_t data) const {
  std::string text(kReplyHeader);
  text += "EE:";
  const auto hex = [&text](std::uint8_t byte) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  };
  const auto low = static_cast<std::uint8_t>(address & 0xFF);
  const auto high = static_cast<std::uint8_t>(address >> 8);
  if (!fourDigitAddress_) {
    hex(low);
  } else if (highByteFirst_) {
    hex(high);
    hex(low);
  } else {
    hex(low);
    hex(high);
  }
  if (options_.badReplyAt && *options_.badReplyAt == address) {
    text += "GG";
  } else {
    hex(data);
  }
  text += ';';
  text += '\0';
  return Answer(text.begin(), text.end());
}

std::string FormatDump(std::span<const std::uint8_t> memory) {
  std::string text;
  text.reserve(memory.size() / kDumpBytesPerLine * (6 + 2 * kDumpBytesPerLine));
  for (std::size_t line = 0; line < memory.size(); line += kDumpBytesPerLine) {
    for (int shift = 12; shift >= 0; shift -= 4) {
      text += kHexDigits[(line >> shift) & 0x0F];
    }
    text += ':';
    const std::size_t end = std::min(memory.size(), line + kDumpBytesPerLine);
    for (std::size_t i = line; i < end; ++i) {
      text += kHexDigits[memory[i] >> 4];
      text += kHexDigits[memory[i] & 0x0F];
    }
    text += '\n';
  }
  return text;
}

bool ParseDump(std::string_view text, std::span<std::uint8_t> memory, std::string& error) {
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
      line.remove_suffix(1);
    }
    if (line.empty()) {
      continue;
    }
    const auto fail = [&] {
      error = "line " + std::to_string(lineNumber) + ": not \"AAAA:HH...\" within 64 KiB";
      return false;
    };
    if (line.size() < 5 || line[4] != ':' || (line.size() - 5) % 2 != 0) {
      return fail();
    }
    std::size_t address = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const int digit = HexValue(line[i]);
      if (digit < 0) {
        return fail();
      }
      address = address << 4 | static_cast<std::size_t>(digit);
    }
    const std::size_t count = (line.size() - 5) / 2;
    if (address + count > memory.size()) {
      return fail();
    }
    for (std::size_t i = 0; i < count; ++i) {
      const int hi = HexValue(line[5 + 2 * i]);
      const int lo = HexValue(line[6 + 2 * i]);
      if (hi < 0 || lo < 0) {
        return fail();
      }
      memory[address + i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
  }
  return true;
}

bool WriteDumpFile(const std::string& path, std::span<const std::uint8_t> memory) {
  const std::string text = FormatDump(memory);
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  const bool written =
      file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file == nullptr || std::fclose(file) != 0 || !written ||
      std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "pelmora-printer-sim: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace pelmora::sim
