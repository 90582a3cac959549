#include "item_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "log/ascii.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

// Converts by truncation as the processor does: a value outside 64 bits (or NaN)
// becomes the 64-bit minimum instead of undefined behaviour.
std::int64_t TruncToInt64(double v) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(v > -kLimit && v < kLimit))
    return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

// Only the four least significant bytes carry a value; wider items read the
// rest as nothing and write it as 0.
std::uint32_t ValueWidth(std::uint32_t n) {
  return n < 4 ? n : 4;
}

// Reads the item's `n` bytes at `address` and combines them by `order`.
bool ReadRaw(const CStatDataObj& model, std::uint32_t address, std::uint32_t n, std::uint32_t order,
             std::uint32_t& raw) {
  raw = 0;
  std::array<std::uint8_t, 4> small{};
  std::vector<std::uint8_t> wide;
  std::span<std::uint8_t> bytes(small.data(), n);
  if (n > small.size()) {
    wide.resize(n);
    bytes = wide;
  }
  if (model.ReadBytes(address, bytes) != kReadOk)
    return false;
  for (std::uint32_t i = 0; i < ValueWidth(n); ++i) {
    const std::uint8_t b = order == kBigEndian ? bytes[n - 1 - i] : bytes[i];
    raw |= std::uint32_t{b} << (8 * i);
  }
  return true;
}

// Writes `raw` into `n` bytes at `address` in `order`; bytes not in the image are skipped.
void WriteRaw(CStatDataObj& model, std::uint32_t address, std::uint32_t n, std::uint32_t order,
              std::uint32_t raw) {
  std::vector<std::uint8_t> bytes(n, 0);
  for (std::uint32_t i = 0; i < ValueWidth(n); ++i) {
    const auto b = static_cast<std::uint8_t>(raw >> (8 * i));
    bytes[order == kBigEndian ? n - 1 - i : i] = b;
  }
  model.WriteBytes(address, bytes, kWriteCopy);
}

bool ReadByte(const CStatDataObj& model, std::uint32_t address, std::uint8_t& byte) {
  return model.ReadBytes(address, {&byte, 1}) == kReadOk;
}

// A scale of 0 (a number item written without one) would divide by zero.
std::int32_t EffectiveScale(const CItem& item) {
  return item.Scale() == 0 ? 1 : item.Scale();
}

// Reads a leading decimal number as the C library's atof does, but never through
// the process locale: a program that adopts a German locale must still read "12.5".
double ParseLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && detail::IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  const char* begin = text.data() + i;
  const auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value);
  if (ec != std::errc() || ptr == begin) {
    // Overflow leaves the value alone; anything unreadable counts as 0.
    if (ec == std::errc::result_out_of_range)
      value = std::numeric_limits<double>::infinity();
    else
      value = 0;
  }
  return negative ? -value : value;
}

// `numerator / divisor` rounded half away from zero, exactly. The divisor is not 0.
std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t divisor) {
  std::int64_t quotient = numerator / divisor;
  const std::int64_t rest = numerator % divisor;
  const std::int64_t restSize = rest < 0 ? -rest : rest;
  const std::int64_t divisorSize = divisor < 0 ? -divisor : divisor;
  if (2 * restSize >= divisorSize)
    quotient += (numerator < 0) == (divisor < 0) ? 1 : -1;
  return quotient;
}

// `scaled / 10^decimals` in fixed-point text with exactly `decimals` digits after the point.
std::string FormatFixed(std::int64_t scaled, std::uint32_t decimals) {
  const bool negative = scaled < 0;
  const std::uint64_t size = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(scaled)
                                      : static_cast<std::uint64_t>(scaled);
  std::array<char, 32> buf{};
  const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), size);
  std::string digits(buf.data(), end);
  // At least one digit before the point.
  if (digits.size() <= decimals)
    digits.insert(0, decimals + 1 - digits.size(), '0');
  if (decimals > 0)
    digits.insert(digits.size() - decimals, 1, '.');
  return negative ? "-" + digits : digits;
}

// The raw value of a number item's bytes as the item reads it: unsigned, or signed by
// the item's width (three bytes never read negative).
std::int64_t NumberValue(std::uint32_t raw, const CItem& item) {
  if (item.isUnsigned)
    return raw;
  switch (ValueWidth(item.ByteCount())) {
    case 1:
      return static_cast<std::int8_t>(raw);
    case 2:
      return static_cast<std::int16_t>(raw);
    case 3:
      return raw;
    default:
      return static_cast<std::int32_t>(raw);
  }
}

// A number item shows a choice by its name, with ".0" added when the name has
// neither a point nor a slash, so that it reads like the numbers beside it.
std::string ChoiceShownText(std::string_view name) {
  std::string shown(name);
  if (name.find_first_of("./") == std::string_view::npos)
    shown += ".0";
  return shown;
}

// The choice a number item's text stands for: the choice of that exact name, else the
// choice shown with that text, so the text the dialog is filled with maps back to it.
const CChoice* ChoiceForText(const CItem& item, std::string_view text) {
  for (const CChoice& choice : item.Choices()) {
    if (choice.name == text)
      return &choice;
  }
  for (const CChoice& choice : item.Choices()) {
    if (ChoiceShownText(choice.name) == text)
      return &choice;
  }
  return nullptr;
}

std::string NumberText(const CStatDataObj& model, const CItem& item) {
  std::uint32_t raw = 0;
  ReadRaw(model, item.FirstAddress(), item.ByteCount(), item.byteOrder, raw);
  // 64-bit integers hold every 4-byte value, signed or unsigned, and the scaled value
  // below exactly, so 4294967295 shows as itself and choices compare the true value.
  std::int64_t value = NumberValue(raw, item);

  for (const CChoice& choice : item.Choices()) {
    if (choice.Value() == value)
      return ChoiceShownText(choice.name) + " " + item.Unit().Str();
  }
  if (item.hasUniq && static_cast<std::uint16_t>(value) == (item.uniq >> 16)) {
    value = static_cast<std::int16_t>(item.uniq & 0xFFFF);
  }
  // (value + offset) / scale rounded half away from zero to the item's decimals:
  // at most 2^33 * 10^5 before the division, well inside 64 bits.
  std::int64_t power = 1;
  for (std::uint32_t i = 0; i < item.decimals; ++i) power *= 10;
  const std::int64_t scaled =
      RoundedQuotient((value + item.Offset()) * power, EffectiveScale(item));
  return FormatFixed(scaled, item.decimals) + " " + item.Unit().Str();
}

std::string CodeText(const CStatDataObj& model, const CItem& item) {
  if (item.Choices().empty())
    return {};
  std::uint32_t raw = 0;
  const bool known = ReadRaw(model, item.FirstAddress(), item.ByteCount(), item.byteOrder, raw);
  for (const CChoice& choice : item.Choices()) {
    bool match = true;
    if (choice.Sets().empty()) {
      match = known && raw == static_cast<std::uint32_t>(choice.Value());
    }
    for (const CSetEntry& target : choice.Sets()) {
      std::uint8_t byte = 0;
      if (target.kind == CSetEntry::kBit) {
        match = match && ReadByte(model, target.address, byte) &&
                ((byte >> target.bit) & 1u) == target.data;
      } else {
        match = match && ReadByte(model, target.address, byte) &&
                (std::uint32_t{byte} & 0xFFFF) == target.data;
      }
    }
    if (match)
      return choice.name.Str();
  }
  return item.Choices().front().name.Str();
}

void SetNumberText(CStatDataObj& model, const CItem& item, std::string_view text) {
  const std::uint32_t n = item.ByteCount();
  if (const CChoice* choice = ChoiceForText(item, text)) {
    WriteRaw(model, item.FirstAddress(), n, item.byteOrder,
             static_cast<std::uint32_t>(choice->Value()));
    return;
  }
  const double x = ParseLeadingNumber(text) * EffectiveScale(item);
  // Wrapping subtraction: only the low bytes are written, and a saturated
  // conversion must not overflow.
  std::int64_t raw = static_cast<std::int64_t>(
      static_cast<std::uint64_t>(TruncToInt64(x >= 0 ? x + 0.5 : x - 0.5)) -
      static_cast<std::uint64_t>(std::int64_t{item.Offset()}));
  if (item.hasUniq && (static_cast<std::uint64_t>(raw) & 0xFFFF) == (item.uniq >> 16)) {
    raw = static_cast<std::int16_t>(item.uniq & 0xFFFF);
  }
  WriteRaw(model, item.FirstAddress(), n, item.byteOrder, static_cast<std::uint32_t>(raw));
}

void SetBitText(CStatDataObj& model, const CItem& item, std::string_view text) {
  const auto bit = static_cast<std::uint8_t>(1u << (item.BitNumber() & 0x7));
  const bool on = log::EqualsIgnoringCase(text, item.OnText());
  model.WriteBytes(item.FirstAddress(), {&bit, 1}, on ? kWriteSetBits : kWriteClearBits);
}

// Writes a code item's choice: its value, or each of its set targets.
void ApplyCodeChoice(CStatDataObj& model, const CItem& item, const CChoice& choice) {
  const std::uint32_t n = item.ByteCount();
  if (choice.Sets().empty()) {
    WriteRaw(model, item.FirstAddress(), n, item.byteOrder,
             static_cast<std::uint32_t>(choice.Value()));
  }
  for (const CSetEntry& target : choice.Sets()) {
    if (target.kind == CSetEntry::kBit) {
      const auto bit = static_cast<std::uint8_t>(1u << target.bit);
      model.WriteBytes(target.address, {&bit, 1},
                       target.data == 1 ? kWriteSetBits : kWriteClearBits);
    } else {
      WriteRaw(model, target.address, n, item.byteOrder, target.data & 0xFFFF);
    }
  }
}

// The first choice named `text` exactly; nothing is written when there is none.
void SetCodeText(CStatDataObj& model, const CItem& item, std::string_view text) {
  for (const CChoice& choice : item.Choices()) {
    if (choice.name == text) {
      ApplyCodeChoice(model, item, choice);
      return;
    }
  }
}

}  // namespace

std::string GetItemText(const CStatDataObj& model, const CItem& item) {
  switch (item.type) {
    case kNumberItem:
      return NumberText(model, item);
    case kBitItem: {
      std::uint8_t byte = 0;
      ReadByte(model, item.FirstAddress(), byte);
      return (((byte >> (item.BitNumber() & 0x7)) & 1u) ? item.OnText() : item.OffText()).Str();
    }
    case kCodeItem:
      return CodeText(model, item);
    default:
      return {};
  }
}

int SetItemText(CStatDataObj& model, const CItem& item, std::string_view text) {
  switch (item.type) {
    case kNumberItem:
      SetNumberText(model, item, text);
      break;
    case kBitItem:
      SetBitText(model, item, text);
      break;
    case kCodeItem:
      SetCodeText(model, item, text);
      break;
    default:
      break;
  }
  return 1;
}

int CheckValue(const CItem& item, std::string_view text) {
  // A choice is one of the item's own values, whatever its raw value.
  if (ChoiceForText(item, text) != nullptr)
    return 1;
  int points = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9')
      continue;
    if ((c == '+' || c == '-') && i == 0)
      continue;
    if (c == '.' && ++points == 1)
      continue;
    return 0;
  }
  if (item.LastAddress() != 0 && item.LastAddress() < item.FirstAddress())
    return 0;
  const double raw = ParseLeadingNumber(text) * EffectiveScale(item) - item.Offset();
  const double span = std::ldexp(1.0, static_cast<int>(8 * ValueWidth(item.ByteCount())));
  const double low = item.isUnsigned ? 0 : -span / 2;
  const double high = item.isUnsigned ? span - 1 : span / 2 - 1;
  // Range ends fit 33 bits, so they are exact as doubles.
  const auto rangeMin = static_cast<double>(item.RangeMin());
  const auto rangeMax = static_cast<double>(item.RangeMax());
  return rangeMin <= raw && raw <= rangeMax && low <= raw && raw <= high ? 1 : 0;
}

}  // namespace pelmora::model
