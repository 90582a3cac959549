// A write template compiled once, so that a run of write commands fills in the data
// and address bytes arithmetically instead of scanning the template for every byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "model/stat_data_obj.h"

namespace pelmora::protocol {

// Placeholder bytes of a write template, replaced wherever they stand, also among its
// fixed leading bytes. A read template honours only the two address placeholders.
inline constexpr std::uint8_t kDataPlaceholder = 0xFF;
inline constexpr std::uint8_t kAddressLowPlaceholder = 0xFE;
inline constexpr std::uint8_t kAddressHighPlaceholder = 0xFD;

class CWriteTemplate {
 public:
  static constexpr std::size_t kMaxSize = model::CStatDataObj::kTemplateMax;
  static constexpr std::size_t kWordBytes = sizeof(std::uint64_t);
  static constexpr std::size_t kMaxPaddedSize =
      (kMaxSize + kWordBytes - 1) / kWordBytes * kWordBytes;

  // One 8-byte slice of the template: its fixed bytes (0 at placeholders) and, per
  // placeholder kind, a mask with the byte 0x01 where that placeholder stands, so that
  // multiplying spreads a byte into exactly those lanes. Bytes are laid out as in
  // memory, so the arithmetic holds in either byte order.
  struct CWord {
    std::uint64_t fixed = 0, data = 0, low = 0, high = 0;

    void Build(std::uint16_t address, std::uint8_t value, std::uint8_t* out) const {
      const std::uint64_t v =
          fixed | value * data | (address & 0xFFu) * low | (address >> 8) * high;
      std::memcpy(out, &v, kWordBytes);
    }
  };

  CWriteTemplate() = default;
  // Takes at most kMaxSize bytes of `bytes`, as a model holds no longer template.
  explicit CWriteTemplate(std::span<const std::uint8_t> bytes);

  // Length of every command built from this template; 0 when the model defines none.
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  // Size() rounded up to whole 8-byte words: what BuildPadded writes.
  std::size_t PaddedSize() const { return words_ * kWordBytes; }
  // The first word; a template of at most 8 bytes is that word alone, and a run of
  // commands built from a copy of it keeps the template in registers.
  const CWord& FirstWord() const { return word_[0]; }

  // Writes the command that writes `data` at `address`: its Size() bytes to `out`,
  // followed by up to 7 bytes of no meaning that the caller lets the next command
  // overwrite. `out` must hold PaddedSize() bytes.
  void BuildPadded(std::uint16_t address, std::uint8_t data, std::uint8_t* out) const {
    for (std::size_t w = 0; w < words_; ++w) word_[w].Build(address, data, out + w * kWordBytes);
  }

  // Writes exactly the Size() bytes of the command to `out`.
  void Build(std::uint16_t address, std::uint8_t data, std::uint8_t* out) const {
    std::array<std::uint8_t, kMaxPaddedSize> padded;
    BuildPadded(address, data, padded.data());
    std::memcpy(out, padded.data(), size_);
  }

 private:
  std::array<CWord, kMaxPaddedSize / kWordBytes> word_{};
  std::size_t size_ = 0;
  std::size_t words_ = 0;
};

}  // namespace pelmora::protocol
