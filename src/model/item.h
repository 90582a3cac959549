// Records of one loaded definition: items, their choices and the choices' set targets.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "text_view.h"

namespace pelmora::model {

// Item types as stored in CItem::type.
enum ItemType : std::uint32_t { kNumberItem = 1, kBitItem = 2, kCodeItem = 3 };

// Byte orders as stored in CItem::byteOrder.
enum ByteOrder : std::uint32_t { kLittleEndian = 0, kBigEndian = 1 };

// One target of a code choice: write a byte (kind 0) or set/clear a bit (kind 1).
// Four bytes, as a large model holds tens of thousands.
struct CSetEntry {
  static constexpr std::uint32_t kByte = 0;
  static constexpr std::uint32_t kBit = 1;

  std::uint16_t address = 0;  // the byte written, or the byte holding the bit
  std::uint8_t data = 0;      // the byte to write, or 1/0 for a bit
  std::uint8_t kind : 1 = kByte;
  std::uint8_t bit : 3 = 0;  // bit number of a bit target

  static CSetEntry Byte(std::uint16_t address, std::uint8_t data) {
    CSetEntry e;
    e.address = address;
    e.data = data;
    return e;
  }
  static CSetEntry Bit(std::uint16_t address, std::uint8_t bit, std::uint8_t data) {
    CSetEntry e = Byte(address, data);
    e.kind = kBit;
    e.bit = bit & 0x7;
    return e;
  }

  // A byte target's address << 16, else 0.
  std::uint32_t ByteTarget() const { return kind == kByte ? std::uint32_t{address} << 16 : 0; }
  // A bit target's address << 16 | bit number, else 0.
  std::uint32_t BitTarget() const { return kind == kBit ? std::uint32_t{address} << 16 | bit : 0; }

  friend bool operator==(const CSetEntry&, const CSetEntry&) = default;
};
static_assert(sizeof(CSetEntry) == 4);

// One named value of a number or code item. Texts and lists are views into the
// model's store (or, for records built by hand, into storage that outlives them).
// A choice writes either its set targets or, when it has none, its value, so the
// two share eight bytes.
struct CChoice {
  CText name;  // at most 64 characters

  CChoice() = default;
  CChoice(CText n, CList<CSetEntry> sets, std::int64_t value) : name(n) {
    SetValue(value);
    SetSets(sets);
  }

  // Set targets in file order; empty when none.
  CList<CSetEntry> Sets() const {
    return HasSets() ? std::bit_cast<CList<CSetEntry>>(word_) : CList<CSetEntry>();
  }
  // A list that is not empty replaces the value.
  void SetSets(CList<CSetEntry> sets) {
    if (!sets.empty())
      word_ = std::bit_cast<std::uint64_t>(sets);
  }
  // The raw value from `number = n` or `Code = hh`, -2147483648 to 4294967295 (as
  // read values are clamped); 0 for a choice with set targets.
  std::int64_t Value() const {
    return HasSets() ? 0 : static_cast<std::int64_t>(word_ << 31) >> 31;
  }
  // Replaces any set targets.
  void SetValue(std::int64_t value) { word_ = static_cast<std::uint64_t>(value) & kValueBits; }

 private:
  // A value keeps its low 33 bits, so a list's length bits are 0 for it.
  static constexpr std::uint64_t kValueBits = (std::uint64_t{1} << 33) - 1;
  bool HasSets() const { return (word_ >> detail::kLengthShift) != 0; }

  std::uint64_t word_ = 0;
};
static_assert(sizeof(CChoice) == 16);

// One item line of [Standard] or [Advance]. Texts and the choice list are views,
// as in CChoice. A large model holds tens of thousands, so the record is packed
// into 56 bytes: fields that no item type uses together share their bytes, and
// reading one for a type that does not use it gives what an unset one would.
struct CItem {
  CText name;  // at most 258 characters, escapes resolved
  // number/code: first byte address << 16 | last byte address (0 when single);
  // bit: byte address << 16 | bit number.
  std::uint32_t address = 0;
  std::uint32_t uniq = 0;  // first number << 16 | second number
  std::uint8_t type = 0;   // ItemType
  std::uint8_t byteOrder = kLittleEndian;
  std::uint8_t isUnsigned = 0;  // 1 when the range minimum was not written negative
  std::uint8_t decimals = 0;    // 0 to 5
  std::uint8_t changeable = 0;
  std::uint8_t hasUniq = 0;

  // Empty when the item has no choice list. A list may hold up to 2^24 - 1
  // choices, more than a file of the largest size loaded can give.
  std::span<const CChoice> Choices() const {
    return {PointerOf<CChoice>(choices_),
            static_cast<std::size_t>(choices_ >> detail::kLengthShift) | std::size_t{choicesHigh_}
                                                                             << 16};
  }
  void SetChoices(std::span<const CChoice> list) {
    choices_ = Pack(list.data(), list.size() & 0xFFFF);
    choicesHigh_ = static_cast<std::uint8_t>(list.size() >> 16);
  }
  bool HasChoices() const { return choices_ >> detail::kLengthShift != 0 || choicesHigh_ != 0; }

  // Number items: at most 32 characters.
  CText Unit() const { return type == kBitItem ? CText() : text_; }
  void SetUnit(CText unit) { text_ = unit; }
  // Bit items: at most 64 characters each.
  CText OnText() const { return type == kBitItem ? text_ : CText(); }
  void SetOnText(CText on) { text_ = on; }
  CText OffText() const { return type == kBitItem ? std::bit_cast<CText>(more_) : CText(); }
  void SetOffText(CText off) { more_ = std::bit_cast<std::uint64_t>(off); }

  // Number items.
  std::int32_t Scale() const {
    return type == kBitItem ? 0 : static_cast<std::int32_t>(more_ & 0xFFFFFFFF);
  }
  void SetScale(std::int32_t scale) {
    more_ = (more_ & ~std::uint64_t{0xFFFFFFFF}) | static_cast<std::uint32_t>(scale);
  }
  std::int32_t Offset() const {
    return type == kBitItem ? 0 : static_cast<std::int32_t>(more_ >> 32);
  }
  void SetOffset(std::int32_t offset) {
    more_ = (more_ & 0xFFFFFFFF) | std::uint64_t{static_cast<std::uint32_t>(offset)} << 32;
  }

  // Bounds of the raw value, each from -2147483648 to 4294967295 (as read values
  // are clamped); an unsigned 4-byte item may allow up to 4294967295.
  std::int64_t RangeMin() const { return Bound(rangeMin_, rangeNegative_ & 1); }
  std::int64_t RangeMax() const { return Bound(rangeMax_, rangeNegative_ & 2); }
  void SetRange(std::int64_t min, std::int64_t max) {
    rangeMin_ = static_cast<std::uint32_t>(min);
    rangeMax_ = static_cast<std::uint32_t>(max);
    rangeNegative_ = static_cast<std::uint8_t>((min < 0 ? 1 : 0) | (max < 0 ? 2 : 0));
  }

  std::uint16_t FirstAddress() const { return static_cast<std::uint16_t>(address >> 16); }
  std::uint16_t LastAddress() const { return static_cast<std::uint16_t>(address & 0xFFFF); }
  std::uint16_t BitNumber() const { return static_cast<std::uint16_t>(address & 0xFFFF); }

  // Number of bytes a number or code item spans: last - first + 1 when the
  // last address lies above the first, otherwise 1.
  std::uint32_t ByteCount() const {
    return LastAddress() > FirstAddress() ? LastAddress() - FirstAddress() + 1u : 1u;
  }

 private:
  template <typename T>
  static const T* PointerOf(std::uint64_t bits) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<const T*>(bits & detail::kPointerMask);
  }
  static std::uint64_t Pack(const void* p, std::size_t n) {
    return (reinterpret_cast<std::uintptr_t>(p) & detail::kPointerMask) |
           std::uint64_t{n} << detail::kLengthShift;
  }
  static std::int64_t Bound(std::uint32_t low, bool negative) {
    return negative ? std::int64_t{static_cast<std::int32_t>(low)} : std::int64_t{low};
  }

  // The two bytes first, to fill the gap after the public ones.
  std::uint8_t rangeNegative_ = 0;  // bit 0: the minimum, bit 1: the maximum
  std::uint8_t choicesHigh_ = 0;    // the count's bits above the low 16
  std::uint64_t choices_ = 0;       // the first choice, and the low 16 bits of the count
  CText text_;                      // the unit, or the on text
  std::uint64_t more_ = 0;          // the scale (low half) and offset, or the off text
  std::uint32_t rangeMin_ = 0;
  std::uint32_t rangeMax_ = 0;
};
static_assert(sizeof(CItem) == 56);

}  // namespace pelmora::model
