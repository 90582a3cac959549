// A large, valid definition file for benchmarks and load tests.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora::bench {

// The largest file the reader's 16-bit line counter is meant for.
inline constexpr std::uint32_t kBigModelLines = 65535;

// Lines the header, the data sections and [Option] take, plus one item line:
// the smallest line count MakeBigModel can honour.
std::uint32_t BigModelMinLines();

// Builds a definition file of exactly `lineCount` lines, each ending in a line
// feed (counts below BigModelMinLines() give that many). It has the full header,
// [Standard] and [Advance] with number, bit and code items (choice lists with raw
// values and with set targets), 2,048 [Default] and 2,048 [Mask] lines of 32 bytes
// covering 0000-FFFF, and [Option]. At 65,535 lines it is about 3 MB and holds
// about 13,000 items. The text is the same on every call.
std::string MakeBigModel(std::uint32_t lineCount = kBigModelLines);

// Writes MakeBigModel(lineCount) to `path`. Returns false when the file cannot be
// written.
bool WriteBigModel(const std::string& path, std::uint32_t lineCount = kBigModelLines);

}  // namespace pelmora::bench
