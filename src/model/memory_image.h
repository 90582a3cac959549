// A memory image: the blocks built from a list of data lines, with byte access by address.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "data_line.h"

namespace pelmora::model {

// Results of CMemoryImage::ReadBytes.
inline constexpr std::uint32_t kReadOk = 1;
inline constexpr std::uint32_t kReadNotPresent = 0;
inline constexpr std::uint32_t kReadUnknownData = 0xFFFFFFFE;
inline constexpr std::uint32_t kReadOutOfBlocks = 0xFFFFFFFF;

// Modes of CMemoryImage::WriteBytes.
enum WriteMode : int { kWriteCopy = 0, kWriteSetBits = 1, kWriteClearBits = 6 };

class CMemoryImage {
 public:
  // Replaces the blocks with one block per line, in the lines' order.
  void Build(std::span<const CDataLine> lines);
  void Clear();

  // Copies `out.size()` bytes starting at `address`, continuing into following blocks.
  // Returns kReadOk, kReadNotPresent when the range is not covered, kReadUnknownData
  // when a byte in the range was given as `xx`, or kReadOutOfBlocks when the blocks
  // end before the range does. A following block must start right where the
  // previous one ended; a gap counts as not present.
  std::uint32_t ReadBytes(std::uint32_t address, std::span<std::uint8_t> out) const;

  // Treats `in.size()` bytes starting at `address` by `mode` (copy, OR, AND NOT).
  // Known bits are left as they are. Returns 1 when every byte was treated, else 0;
  // bytes before the first missing one are treated all the same.
  int WriteBytes(std::uint32_t address, std::span<const std::uint8_t> in, int mode);

  const std::vector<CDataBlock>& Blocks() const { return blocks_; }
  bool Empty() const { return blocks_.empty(); }

 private:
  // Index of the block holding `address`. Reads stop at the first block that lies
  // above the range or begins after `address` (-1 with `status` set); writes pass
  // such blocks over (`passOver`).
  long FindStart(std::uint32_t address, std::uint32_t n, bool passOver,
                 std::uint32_t& status) const;

  std::vector<CDataBlock> blocks_;
  // True when blocks are in ascending, non-overlapping address order (the usual case),
  // which lets lookups use binary search instead of walking the list.
  bool ascending_ = true;
};

}  // namespace pelmora::model
