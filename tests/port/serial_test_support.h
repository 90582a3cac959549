// The TR-210's commands and replies for the serial tests, and a scratch log with fixed
// stamps.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "log/debug_log.h"
#include "sim_printer.h"
#include "test_support.h"

namespace pelmora::port::test {

using pelmora::test::Bytes;
using pelmora::test::kShortWaits;
using pelmora::test::Reply;
using pelmora::test::ScratchLog;
using pelmora::test::SimPeer;

using Clock = std::chrono::steady_clock;

inline std::string AsText(const std::uint8_t* bytes, std::uint32_t length) {
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

inline std::chrono::milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// The TR-210's commands: ESC ~ W <lo> <hi> <data>, ESC ~ R <lo> <hi>.
inline Bytes WriteCommand(std::uint16_t address, std::uint8_t data) {
  return {0x1B,
          0x7E,
          0x57,
          static_cast<std::uint8_t>(address & 0xFF),
          static_cast<std::uint8_t>(address >> 8),
          data};
}
inline Bytes ReadCommand(std::uint16_t address) {
  return {0x1B, 0x7E, 0x52, static_cast<std::uint8_t>(address & 0xFF),
          static_cast<std::uint8_t>(address >> 8)};
}

// What a scope writes when it logs nothing else, at depth 0 with the stamp at 1.
inline std::string Heading(const std::string& scope) {
  return "0000000001: \n0000000001: ---\n0000000001: " + scope + "\n";
}

}  // namespace pelmora::port::test
