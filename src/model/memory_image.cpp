#include "memory_image.h"

#include <algorithm>

namespace pelmora::model {

void CMemoryImage::Build(std::span<const CDataLine> lines) {
  blocks_.clear();
  blocks_.reserve(lines.size());
  ascending_ = true;
  for (const CDataLine& line : lines) {
    blocks_.push_back(CDataBlock::FromLine(line));
    const std::size_t n = blocks_.size();
    if (n > 1 && blocks_[n - 1].address < blocks_[n - 2].End())
      ascending_ = false;
  }
}

void CMemoryImage::Clear() {
  blocks_.clear();
  ascending_ = true;
}

long CMemoryImage::FindStart(std::uint32_t address, std::uint32_t n, bool passOver,
                             std::uint32_t& status) const {
  const std::uint32_t last = address + n - 1;
  if (ascending_) {
    // Same decision as the list walk below: blocks before the one holding
    // `address` neither hold it nor lie above the range.
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), address,
                               [](std::uint32_t a, const CDataBlock& b) { return a < b.address; });
    if (it != blocks_.begin()) {
      const CDataBlock& prev = *(it - 1);
      if (address < prev.End())
        return static_cast<long>(it - blocks_.begin()) - 1;
    }
    status = it == blocks_.end() ? kReadOutOfBlocks : kReadNotPresent;
    return -1;
  }
  for (std::size_t k = 0; k < blocks_.size(); ++k) {
    const CDataBlock& b = blocks_[k];
    if (!passOver && (last < b.address || b.address > address)) {
      status = kReadNotPresent;
      return -1;
    }
    if (b.address <= address && address < b.End())
      return static_cast<long>(k);
  }
  status = kReadOutOfBlocks;
  return -1;
}

std::uint32_t CMemoryImage::ReadBytes(std::uint32_t address, std::span<std::uint8_t> out) const {
  const auto n = static_cast<std::uint32_t>(out.size());
  if (n == 0)
    return kReadOk;
  std::uint32_t status = kReadOutOfBlocks;
  const long first = FindStart(address, n, false, status);
  if (first < 0)
    return status;
  std::uint32_t copied = 0;
  std::uint32_t next = address;  // address of the next byte to copy
  for (std::size_t k = static_cast<std::size_t>(first); k < blocks_.size(); ++k) {
    const CDataBlock& b = blocks_[k];
    if (b.address != next && copied != 0)
      return kReadNotPresent;  // a gap between blocks
    for (std::uint32_t j = next - b.address; j < b.count && copied < n; ++j, ++copied, ++next) {
      if (!b.IsKnown(j))
        return kReadUnknownData;
      out[copied] = b.bytes[j];
    }
    if (copied == n)
      return kReadOk;
  }
  return kReadOutOfBlocks;
}

int CMemoryImage::WriteBytes(std::uint32_t address, std::span<const std::uint8_t> in, int mode) {
  const auto n = static_cast<std::uint32_t>(in.size());
  if (n == 0)
    return 1;
  std::uint32_t status = 0;
  const long first = FindStart(address, n, true, status);
  if (first < 0)
    return 0;
  std::uint32_t done = 0;
  std::uint32_t next = address;
  for (std::size_t k = static_cast<std::size_t>(first); k < blocks_.size(); ++k) {
    CDataBlock& b = blocks_[k];
    if (b.address != next && done != 0)
      return 0;
    for (std::uint32_t j = next - b.address; j < b.count && done < n; ++j, ++done, ++next) {
      switch (mode) {
        case kWriteCopy:
          b.bytes[j] = in[done];
          break;
        case kWriteSetBits:
          b.bytes[j] |= in[done];
          break;
        case kWriteClearBits:
          b.bytes[j] &= static_cast<std::uint8_t>(~in[done]);
          break;
        default:
          return 0;
      }
    }
    if (done == n)
      return 1;
  }
  return 0;
}

}  // namespace pelmora::model
