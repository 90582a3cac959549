// Item lines of [Standard] and [Advance], and the choice lists nested under them.
#include <algorithm>
#include <limits>
#include <optional>

#include "log/ascii.h"
#include "model_file.h"
#include "result_codes.h"
#include "scan.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

using detail::Attribute;
using detail::Key;
using detail::KeyOf;
using log::EqualsIgnoringCase;

constexpr std::size_t kItemNameLimit = 258;
constexpr std::size_t kChoiceNameLimit = 64;
constexpr std::size_t kOnOffLimit = 64;
constexpr std::size_t kCautionLimit = 128;
constexpr std::size_t kUnitLimit = 32;

// A line split into its name part (blanks outside quotes dropped) and the
// attribute text after the first colon outside quotes.
struct NamedLine {
  std::string_view namePart;
  std::string_view attributes;
};

// `scratch` holds the name part when blanks had to be dropped from its inside.
std::optional<NamedLine> SplitName(std::string_view line, std::string& scratch) {
  bool quoted = false;
  std::size_t colon = std::string_view::npos;
  for (std::size_t i = 0;; ++i) {
    i += detail::FindAny<'"', ':'>(line.data() + i, line.size() - i);
    if (i >= line.size())
      break;
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string_view::npos || colon + 1 == line.size())
    return std::nullopt;
  NamedLine out;
  out.attributes = line.substr(colon + 1);
  const std::string_view part = detail::TrimBlanks(line.substr(0, colon));
  if (!detail::HasBlankOutsideQuotes(part)) {
    out.namePart = part;
    return out;
  }
  // Blanks inside the quotes stay; only those outside are dropped.
  scratch.clear();
  quoted = false;
  for (const char c : part) {
    if (c == '"')
      quoted = !quoted;
    if (!quoted && detail::IsBlank(c))
      continue;
    scratch.push_back(c);
  }
  out.namePart = scratch;
  return out;
}

// `AA`, `AAAA` or `AAAA-BBBB`: first address in the high 16 bits, last in the low.
std::optional<std::uint32_t> ParseItemAddress(std::string_view text) {
  const std::size_t dash = text.find('-');
  const auto first = detail::ParseAddress(text.substr(0, dash));
  if (!first)
    return std::nullopt;
  std::uint32_t last = 0;
  if (dash != std::string_view::npos) {
    const auto l = detail::ParseAddress(text.substr(dash + 1));
    if (!l)
      return std::nullopt;
    last = *l;
  }
  return std::uint32_t{*first} << 16 | last;
}

// `AA#b` or `AAAA#b` with a bit number 0 to 7: byte address high, bit low.
std::optional<std::uint32_t> ParseBitAddress(std::string_view text) {
  const std::size_t hash = text.find('#');
  if (hash != 2 && hash != 4)
    return std::nullopt;
  const auto byte = detail::ParseAddress(text.substr(0, hash));
  if (!byte || text.size() != hash + 2)
    return std::nullopt;
  const char b = text[hash + 1];
  if (b < '0' || b > '7')
    return std::nullopt;
  return std::uint32_t{*byte} << 16 | static_cast<std::uint32_t>(b - '0');
}

// `(d, AA)` / `(d, AAAA)` writes a byte; `(d, AA#b)` / `(d, AAAA#b)` sets or clears a bit.
std::optional<CSetEntry> ParseSetTarget(std::string_view text) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')')
    return std::nullopt;
  const std::string_view inner = text.substr(1, text.size() - 2);
  const std::size_t comma = inner.find(',');
  if (comma == std::string_view::npos)
    return std::nullopt;
  const std::string_view data = detail::TrimBlanks(inner.substr(0, comma));
  const std::string_view target = detail::TrimBlanks(inner.substr(comma + 1));
  CSetEntry entry;
  if (target.find('#') != std::string_view::npos) {
    const auto bit = ParseBitAddress(target);
    const auto d = detail::ParseHex(data, 1);
    if (!bit || !d)
      return std::nullopt;
    entry.kind = CSetEntry::kBit;
    entry.bitTarget = *bit;
    entry.data = *d;
  } else {
    const auto address = detail::ParseAddress(target);
    const auto d = detail::ParseHex(data, 2);
    if (!address || !d)
      return std::nullopt;
    entry.kind = CSetEntry::kByte;
    entry.byteTarget = std::uint32_t{*address} << 16;
    entry.data = *d;
  }
  return entry;
}

// A CAUTION value must begin with a quote; a malformed string is still taken,
// as far as it reads, when it is the line's last attribute.
bool ReadCaution(const Attribute& attr, bool isLast, std::string& caution) {
  if (attr.value.empty() || attr.value.front() != '"')
    return false;
  return detail::ParseQuoted(attr.value, kCautionLimit, caution) || isLast;
}

bool IsStart(const Attribute& attr) {
  return EqualsIgnoringCase(attr.value, "Start");
}

}  // namespace

int CModelFile::ParseItemLine(std::string_view line, std::uint32_t page) {
  const auto named = SplitName(line, nameScratch_);
  if (!named)
    return kResultFormError;
  CItem item;
  if (EqualsIgnoringCase(named->namePart, "End")) {
    item.name = named->namePart;
  } else if (!detail::ParseQuoted(named->namePart, kItemNameLimit, item.name)) {
    return kResultFormError;
  }

  const std::vector<Attribute>& attrs = itemSplitter_.Split(named->attributes);
  for (const Attribute& a : attrs) {
    if (!a.hasKey)
      return kResultFormError;
    if (KeyOf(a.key) != Key::kType)
      continue;
    if (a.value.empty() || !detail::IsSingleWord(a.value))
      return kResultFormError;
    if (EqualsIgnoringCase(a.value, "number"))
      item.type = kNumberItem;
    if (EqualsIgnoringCase(a.value, "bit"))
      item.type = kBitItem;
    if (EqualsIgnoringCase(a.value, "code"))
      item.type = kCodeItem;
    if (item.type != 0)
      break;
  }
  if (item.type == 0)
    return kResultFormError;

  std::string caution;
  bool listFollows = false;
  bool hasAddress = false;
  const std::size_t last = attrs.size() - 1;
  item.byteOrder = defaultOrder_;

  if (item.type == kNumberItem) {
    bool hasScale = false, hasOffset = false, hasRange = false, hasOrder = false;
    for (std::size_t i = 0; i < attrs.size(); ++i) {
      const Attribute& a = attrs[i];
      if (!a.hasKey || a.value.empty())
        return kResultFormError;
      const std::string_view v = a.value;
      const Key key = KeyOf(a.key);
      // Keys that may be given once take a single word.
      const bool once = key == Key::kAddress || key == Key::kScale || key == Key::kOffset ||
                        key == Key::kRange || key == Key::kUniq || key == Key::kEdian;
      if (once && !detail::IsSingleWord(v))
        return kResultFormError;
      switch (key) {
        case Key::kAddress: {
          const auto address = ParseItemAddress(v);
          if (hasAddress || !address)
            return kResultFormError;
          item.address = *address;
          hasAddress = true;
          break;
        }
        case Key::kScale:
        case Key::kOffset: {
          bool& seen = key == Key::kScale ? hasScale : hasOffset;
          const auto n = detail::ParseDecimal32(v);
          if (seen || !n)
            return kResultFormError;
          (key == Key::kScale ? item.scale : item.offset) = *n;
          seen = true;
          break;
        }
        case Key::kRange: {
          std::string_view minText;
          if (hasRange || !detail::ParsePair(v, item.rangeMin, item.rangeMax, &minText)) {
            return kResultFormError;
          }
          item.isUnsigned = minText.front() != '-';
          hasRange = true;
          break;
        }
        case Key::kUniq: {
          std::int64_t a1 = 0, b1 = 0;
          if (item.hasUniq || !detail::ParsePair(v, a1, b1))
            return kResultFormError;
          // Only 16 bits of each count; a number beyond 32 bits saturates first.
          a1 = std::min<std::int64_t>(a1, std::numeric_limits<std::int32_t>::max());
          b1 = std::min<std::int64_t>(b1, std::numeric_limits<std::int32_t>::max());
          item.uniq = (static_cast<std::uint32_t>(a1) & 0xFFFF) << 16 |
                      (static_cast<std::uint32_t>(b1) & 0xFFFF);
          item.hasUniq = 1;
          break;
        }
        case Key::kEdian:
          if (hasOrder)
            return kResultFormError;
          if (EqualsIgnoringCase(v, "big")) {
            item.byteOrder = kBigEndian;
          } else if (EqualsIgnoringCase(v, "little")) {
            item.byteOrder = kLittleEndian;
          } else {
            return kResultFormError;
          }
          hasOrder = true;
          break;
        case Key::kDecimal:
          // Compared as text: anything that sorts from "0" to "5" gives its first digit.
          if (v.compare("0") < 0 || v.compare("5") > 0)
            return kResultFormError;
          item.decimals = static_cast<std::uint32_t>(v.front() - '0');
          break;
        case Key::kUnit:
          if (!detail::ParseQuoted(v, kUnitLimit, item.unit))
            return kResultFormError;
          break;
        case Key::kCaution:
          if (!ReadCaution(a, i == last, caution))
            return kResultFormError;
          break;
        case Key::kNumber:
          if (!IsStart(a) || i != last || !hasAddress || !hasRange)
            return kResultFormError;
          listFollows = true;
          break;
        default:
          break;  // keys a number item does not know
      }
    }
    if (!hasAddress)
      return kResultFormError;
    if (!hasScale && listFollows)
      item.scale = 1;
  } else if (item.type == kBitItem) {
    bool hasOn = false, hasOff = false;
    for (std::size_t i = 0; i < attrs.size(); ++i) {
      const Attribute& a = attrs[i];
      // A keyless or empty piece, or a second address, ends a bit item's attributes.
      if (!a.hasKey || a.value.empty())
        break;
      const Key key = KeyOf(a.key);
      if (key == Key::kAddress) {
        if (hasAddress)
          break;
        const auto address =
            detail::IsSingleWord(a.value) ? ParseBitAddress(a.value) : std::nullopt;
        if (!address)
          return kResultFormError;
        item.address = *address;
        hasAddress = true;
      } else if (key == Key::kOn || key == Key::kOff) {
        const bool on = key == Key::kOn;
        if (!detail::ParseQuoted(a.value, kOnOffLimit, on ? item.onText : item.offText)) {
          return kResultFormError;
        }
        (on ? hasOn : hasOff) = true;
      } else if (key == Key::kCaution) {
        if (!ReadCaution(a, i == last, caution))
          return kResultFormError;
      }
    }
    if (!hasAddress || !hasOn || !hasOff)
      return kResultFormError;
  } else {
    for (std::size_t i = 0; i < attrs.size(); ++i) {
      const Attribute& a = attrs[i];
      if (!a.hasKey)
        return kResultFormError;
      const Key key = KeyOf(a.key);
      if (key == Key::kAddress) {
        const auto address =
            detail::IsSingleWord(a.value) ? ParseItemAddress(a.value) : std::nullopt;
        if (hasAddress || !address)
          return kResultFormError;
        item.address = *address;
        hasAddress = true;
      } else if (key == Key::kCaution) {
        if (!ReadCaution(a, i == last, caution))
          return kResultFormError;
      } else if (key == Key::kCode) {
        if (!IsStart(a) || i != last)
          return kResultFormError;
        listFollows = true;
      }
    }
    if (!listFollows)
      return kResultFormError;
  }

  if (listFollows) {
    const int r = ParseChoiceList(item, hasAddress);
    if (r != kResultOk)
      return r;
  }
  const bool basic = page == kSectionStandard;
  (basic ? model_->BasicItems() : model_->AdvancedItems()).push_back(std::move(item));
  (basic ? basicCautions_ : advancedCautions_).push_back(std::move(caution));
  return kResultOk;
}

int CModelFile::ParseChoiceList(CItem& item, bool hasAddress) {
  item.choices.reserve(8);  // lists are short; this spares most regrowth
  std::string_view line;
  for (;;) {
    // Section lines mean nothing inside a list: a list runs to its End line.
    if (reader_.Next(line) != CLineReader::kLine)
      return kResultFormError;
    const auto named = SplitName(line, nameScratch_);
    if (!named)
      return kResultFormError;
    if (EqualsIgnoringCase(named->namePart, "End"))
      break;
    CChoice choice;
    if (!detail::ParseQuoted(named->namePart, kChoiceNameLimit, choice.name)) {
      return kResultFormError;
    }
    for (const Attribute& a : choiceSplitter_.Split(named->attributes)) {
      if (!a.hasKey || a.value.empty())
        return kResultFormError;
      const Key key = KeyOf(a.key);
      if (item.type == kNumberItem && key == Key::kNumber) {
        const auto n = detail::ParseDecimal(a.value);
        if (!n)
          return kResultFormError;
        choice.value = *n;
      } else if (item.type == kCodeItem && hasAddress && key == Key::kCode) {
        const auto n = detail::ParseHex(a.value, 8);
        if (!n)
          return kResultFormError;
        choice.value = *n;
      } else if (item.type == kCodeItem && key == Key::kSet) {
        const auto target = ParseSetTarget(a.value);
        if (!target)
          return kResultFormError;
        choice.sets.push_back(*target);
      } else {
        return kResultFormError;
      }
    }
    item.choices.push_back(std::move(choice));
  }
  return item.choices.empty() ? kResultFormError : kResultOk;
}

}  // namespace pelmora::model
