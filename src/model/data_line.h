// Data lines as read from [Default], [Mask] and [SetData], and the image blocks built from them.
#pragma once

#include <array>
#include <cstdint>

#include "text_view.h"

namespace pelmora::model {

// One data line: its address and the hexadecimal text after the colon, as written
// (2 to 64 characters, `xx` for unknown bytes), a view into the model's store.
struct CDataLine {
  std::uint16_t address = 0;
  CText data;
};

// Up to 32 bytes of a memory image starting at `address`.
struct CDataBlock {
  static constexpr std::size_t kMaxBytes = 32;

  std::uint16_t address = 0;
  std::array<std::uint8_t, kMaxBytes> bytes{};
  std::uint8_t count = 0;   // bytes in use
  std::uint32_t known = 0;  // bit j set when byte j was given in hexadecimal

  bool IsKnown(std::size_t j) const { return (known >> j) & 1u; }
  // Address one past the last byte, in 32 bits so that a block near 0xFFFF does not wrap.
  std::uint32_t End() const { return std::uint32_t{address} + count; }

  // Builds the block for `line`: two characters per byte, `x` counting as nibble 0xF
  // and an `x` in the second position marking the byte unknown.
  static CDataBlock FromLine(const CDataLine& line);
};

}  // namespace pelmora::model
