// Records of one loaded definition: items, their choices and the choices' set targets.
#pragma once

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
struct CChoice {
  CText name;              // at most 64 characters
  CList<CSetEntry> sets;   // set targets in file order; empty when none
  std::int64_t value = 0;  // raw value from `number = n` or `Code = hh`
};

// One item line of [Standard] or [Advance].
// Texts and the choice list are views, as in CChoice.
struct CItem {
  CText name;                        // at most 258 characters, escapes resolved
  CText unit;                        // at most 32 characters
  CText onText;                      // at most 64 characters
  CText offText;                     // at most 64 characters
  std::span<const CChoice> choices;  // empty when the item has no choice list
  // Bounds of the raw value; an unsigned 4-byte item may allow up to 4294967295.
  std::int64_t rangeMax = 0;
  std::int64_t rangeMin = 0;
  // number/code: first byte address << 16 | last byte address (0 when single);
  // bit: byte address << 16 | bit number.
  std::uint32_t address = 0;
  std::int32_t scale = 0;
  std::uint32_t uniq = 0;  // first number << 16 | second number
  std::int32_t offset = 0;
  std::uint8_t type = 0;  // ItemType
  std::uint8_t byteOrder = kLittleEndian;
  std::uint8_t isUnsigned = 0;  // 1 when the range minimum was not written negative
  std::uint8_t decimals = 0;    // 0 to 5
  std::uint8_t changeable = 0;
  std::uint8_t hasUniq = 0;

  std::uint16_t FirstAddress() const { return static_cast<std::uint16_t>(address >> 16); }
  std::uint16_t LastAddress() const { return static_cast<std::uint16_t>(address & 0xFFFF); }
  std::uint16_t BitNumber() const { return static_cast<std::uint16_t>(address & 0xFFFF); }
  bool HasChoices() const { return !choices.empty(); }

  // Number of bytes a number or code item spans: last - first + 1 when the
  // last address lies above the first, otherwise 1.
  std::uint32_t ByteCount() const {
    return LastAddress() > FirstAddress() ? LastAddress() - FirstAddress() + 1u : 1u;
  }
};

}  // namespace pelmora::model
