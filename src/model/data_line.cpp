#include "data_line.h"

#include <algorithm>

#include "text_rules.h"

namespace pelmora::model {

CDataBlock CDataBlock::FromLine(const CDataLine& line) {
  CDataBlock block;
  block.address = line.address;
  block.known = 0xFFFFFFFF;
  const std::size_t pairs = std::min(line.data.size() / 2, kMaxBytes);
  for (std::size_t j = 0; j < pairs; ++j) {
    auto nibble = [](char c) {
      const int d = detail::HexValue(c);
      return static_cast<std::uint8_t>(d < 0 ? 0xF : d);  // `x` reads as 0xF
    };
    const char hi = line.data[2 * j];
    const char lo = line.data[2 * j + 1];
    block.bytes[j] = static_cast<std::uint8_t>(nibble(hi) << 4 | nibble(lo));
    if (lo == 'x' || lo == 'X')
      block.known &= ~(1u << j);
  }
  block.count = static_cast<std::uint8_t>(pairs);
  return block;
}

}  // namespace pelmora::model
