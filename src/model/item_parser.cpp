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
using log::EqualsIgnoringCase;

constexpr std::size_t kItemNameLimit = 258;
constexpr std::size_t kChoiceNameLimit = 64;
constexpr std::size_t kOnOffLimit = 64;
constexpr std::size_t kCautionLimit = 128;
constexpr std::size_t kUnitLimit = 32;

// Quoted values kept as views into the store: the file text itself when the
// value has no escapes, else the resolved text copied into the store.
struct CTextKeeper {
  CModelStore& store;
  std::string& scratch;

  // As detail::ParseQuoted, with `out` a view of what was read.
  bool Quoted(std::string_view value, std::size_t limit, CText& out) const {
    const std::string_view v = detail::TrimBlanks(value);
    if (v.empty() || v.front() != '"') {
      out = CText();
      return false;
    }
    // Most names have no escapes: one scan finds the closing quote and shows that.
    const std::size_t stop = 1 + detail::FindAny<'"', '\\'>(v.data() + 1, v.size() - 1);
    if (stop < v.size() && v[stop] == '"') {
      out = store.Keep(v.substr(1, std::min(stop - 1, limit)));
      return stop + 1 == v.size();
    }
    const std::size_t close = v.find('"', 1);
    const std::string_view body =
        v.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    if (body.find('\\') == std::string_view::npos) {
      out = store.Keep(body.substr(0, std::min(body.size(), limit)));
      return close + 1 == v.size();
    }
    const bool ok = detail::ParseQuoted(v, limit, scratch);
    out = store.Keep(scratch);
    return ok;
  }
};

// A line split into its name part (blanks outside quotes dropped) and the
// attribute text after the first colon outside quotes.
struct NamedLine {
  std::string_view namePart;
  std::string_view attributes;
};

// `scratch` holds the name part when blanks had to be dropped from its inside.
// How a line's name part was split off.
enum class NameSplit { kOther, kMalformed, kDone };

// The usual form, a quoted name, blanks and the colon, read without a byte-by-byte
// walk; kOther when the line has another form.
NameSplit SplitQuotedName(std::string_view line, NamedLine& out) {
  if (line.empty() || line.front() != '"')
    return NameSplit::kOther;
  const std::size_t close = 1 + detail::FindAny<'"'>(line.data() + 1, line.size() - 1);
  std::size_t i = close + 1;
  while (i < line.size() && detail::IsBlank(line[i])) ++i;
  if (i >= line.size() || line[i] != ':')
    return NameSplit::kOther;
  if (i + 1 == line.size())
    return NameSplit::kMalformed;
  out.namePart = line.substr(0, close + 1);
  out.attributes = line.substr(i + 1);
  return NameSplit::kDone;
}

// False when the line has no colon outside quotes, or nothing after it. Filled in
// place rather than returned: the line is read tens of thousands of times a load.
bool SplitName(std::string_view line, std::string& scratch, NamedLine& out) {
  if (const NameSplit quoted = SplitQuotedName(line, out); quoted != NameSplit::kOther)
    return quoted == NameSplit::kDone;
  // One pass finds the colon and whether a blank outside quotes stands between
  // two other characters (blanks at the ends are trimmed anyway).
  bool quoted = false;
  bool started = false;
  bool pendingBlank = false;
  bool innerBlank = false;
  std::size_t colon = std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      quoted = c != '"';
      continue;
    }
    if (c == ':') {
      colon = i;
      break;
    }
    if (detail::IsBlank(c)) {
      pendingBlank = started;
      continue;
    }
    innerBlank = innerBlank || pendingBlank;
    started = true;
    quoted = c == '"';
  }
  if (colon == std::string_view::npos || colon + 1 == line.size())
    return false;
  out.attributes = line.substr(colon + 1);
  const std::string_view part = detail::TrimBlanks(line.substr(0, colon));
  if (!innerBlank) {
    out.namePart = part;
    return true;
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
  return true;
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
// Written into `out` field by field, where it is kept: a record assembled elsewhere
// and copied in whole would be read back before its byte stores had landed.
bool ParseSetTarget(std::string_view text, CSetEntry& out) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')')
    return false;
  const std::string_view inner = text.substr(1, text.size() - 2);
  const std::size_t comma = inner.find(',');
  if (comma == std::string_view::npos)
    return false;
  const std::string_view data = detail::TrimBlanks(inner.substr(0, comma));
  const std::string_view target = detail::TrimBlanks(inner.substr(comma + 1));
  if (target.find('#') != std::string_view::npos) {
    const auto bit = ParseBitAddress(target);
    const auto d = detail::ParseHex(data, 1);
    if (!bit || !d)
      return false;
    out.address = static_cast<std::uint16_t>(*bit >> 16);
    out.data = static_cast<std::uint8_t>(*d);
    out.kind = CSetEntry::kBit;
    out.bit = static_cast<std::uint8_t>(*bit & 0x7);
    return true;
  }
  const auto address = detail::ParseAddress(target);
  const auto d = detail::ParseHex(data, 2);
  if (!address || !d)
    return false;
  out.address = *address;
  out.data = static_cast<std::uint8_t>(*d);
  out.kind = CSetEntry::kByte;
  return true;
}

// A CAUTION value must begin with a quote; a malformed string is still taken,
// as far as it reads, when it is the line's last attribute.
bool ReadCaution(const Attribute& attr, bool isLast, const CTextKeeper& keep, CText& caution) {
  if (attr.value.empty() || attr.value.front() != '"')
    return false;
  return keep.Quoted(attr.value, kCautionLimit, caution) || isLast;
}

bool IsStart(const Attribute& attr) {
  return EqualsIgnoringCase(attr.value, "Start");
}

// What an item line's attributes give besides the item itself.
struct ItemLineState {
  explicit ItemLineState(const CTextKeeper& k) : keep(k) {}
  const CTextKeeper& keep;
  CText caution;
  bool listFollows = false;
  bool hasAddress = false;
};

// The attributes a number item may be given only once, besides its address.
struct NumberKeysSeen {
  bool scale = false;
  bool offset = false;
  bool range = false;
  bool order = false;
};

// `End` names the item as it stands; any other name is quoted.
inline bool ReadItemName(std::string_view namePart, const CTextKeeper& keep, CText& name) {
  if (EqualsIgnoringCase(namePart, "End")) {
    name = keep.store.Keep(namePart);
    return true;
  }
  return keep.Quoted(namePart, kItemNameLimit, name);
}

// The first Type naming a known item type, or 0. A keyless piece before it, or a
// Type that is not one word, makes the line malformed (0 too).
inline std::uint32_t ReadItemType(const std::vector<Attribute>& attrs) {
  for (const Attribute& a : attrs) {
    if (!a.hasKey)
      return 0;
    if (a.id != Key::kType)
      continue;
    if (a.value.empty() || !detail::IsSingleWord(a.value))
      return 0;
    if (EqualsIgnoringCase(a.value, "number"))
      return kNumberItem;
    if (EqualsIgnoringCase(a.value, "bit"))
      return kBitItem;
    if (EqualsIgnoringCase(a.value, "code"))
      return kCodeItem;
  }
  return 0;
}

// A byte address or address range, given once.
inline bool ReadItemAddress(std::string_view v, CItem& item, bool& hasAddress) {
  const auto address = detail::IsSingleWord(v) ? ParseItemAddress(v) : std::nullopt;
  if (hasAddress || !address)
    return false;
  item.address = *address;
  hasAddress = true;
  return true;
}

// `Number = Start` / `Code = Start`, allowed only as the line's last attribute and
// when what the list needs has been given.
inline bool ReadListStart(const Attribute& a, bool allowed, bool& listFollows) {
  if (!IsStart(a) || !allowed)
    return false;
  listFollows = true;
  return true;
}

inline bool ReadScaleOrOffset(Key key, std::string_view v, CItem& item, NumberKeysSeen& seen) {
  bool& given = key == Key::kScale ? seen.scale : seen.offset;
  const auto n = detail::ParseDecimal32(v);
  if (given || !n)
    return false;
  if (key == Key::kScale) {
    item.SetScale(*n);
  } else {
    item.SetOffset(*n);
  }
  given = true;
  return true;
}

inline bool ReadRange(std::string_view v, CItem& item, bool& given) {
  std::string_view minText;
  std::int64_t min = 0, max = 0;
  if (given || !detail::ParsePair(v, min, max, &minText))
    return false;
  item.SetRange(min, max);
  item.isUnsigned = minText.front() != '-';
  given = true;
  return true;
}

inline bool ReadUniq(std::string_view v, CItem& item) {
  std::int64_t a1 = 0, b1 = 0;
  if (item.hasUniq || !detail::ParsePair(v, a1, b1))
    return false;
  // Only 16 bits of each count; a number beyond 32 bits saturates first.
  a1 = std::min<std::int64_t>(a1, std::numeric_limits<std::int32_t>::max());
  b1 = std::min<std::int64_t>(b1, std::numeric_limits<std::int32_t>::max());
  item.uniq =
      (static_cast<std::uint32_t>(a1) & 0xFFFF) << 16 | (static_cast<std::uint32_t>(b1) & 0xFFFF);
  item.hasUniq = 1;
  return true;
}

inline bool ReadByteOrder(std::string_view v, CItem& item, bool& given) {
  if (given)
    return false;
  if (EqualsIgnoringCase(v, "big")) {
    item.byteOrder = kBigEndian;
  } else if (EqualsIgnoringCase(v, "little")) {
    item.byteOrder = kLittleEndian;
  } else {
    return false;
  }
  given = true;
  return true;
}

inline bool ReadDecimals(std::string_view v, CItem& item) {
  // Compared as text: anything that sorts from "0" to "5" gives its first digit.
  if (v.compare("0") < 0 || v.compare("5") > 0)
    return false;
  item.decimals = static_cast<std::uint32_t>(v.front() - '0');
  return true;
}

inline bool ReadNumberAttribute(const Attribute& a, bool isLast, CItem& item, ItemLineState& state,
                                NumberKeysSeen& seen) {
  const std::string_view v = a.value;
  const Key key = a.id;
  // Keys that may be given once take a single word.
  const bool once = key == Key::kAddress || key == Key::kScale || key == Key::kOffset ||
                    key == Key::kRange || key == Key::kUniq || key == Key::kEdian;
  if (once && !detail::IsSingleWord(v))
    return false;
  switch (key) {
    case Key::kAddress:
      return ReadItemAddress(v, item, state.hasAddress);
    case Key::kScale:
    case Key::kOffset:
      return ReadScaleOrOffset(key, v, item, seen);
    case Key::kRange:
      return ReadRange(v, item, seen.range);
    case Key::kUniq:
      return ReadUniq(v, item);
    case Key::kEdian:
      return ReadByteOrder(v, item, seen.order);
    case Key::kDecimal:
      return ReadDecimals(v, item);
    case Key::kUnit: {
      CText unit;
      if (!state.keep.Quoted(v, kUnitLimit, unit))
        return false;
      item.SetUnit(unit);
      return true;
    }
    case Key::kCaution:
      return ReadCaution(a, isLast, state.keep, state.caution);
    case Key::kNumber:
      return ReadListStart(a, isLast && state.hasAddress && seen.range, state.listFollows);
    default:
      return true;  // keys a number item does not know
  }
}

inline bool ReadNumberItem(const std::vector<Attribute>& attrs, CItem& item, ItemLineState& state) {
  NumberKeysSeen seen;
  const std::size_t last = attrs.size() - 1;
  for (std::size_t i = 0; i < attrs.size(); ++i) {
    const Attribute& a = attrs[i];
    if (!a.hasKey || a.value.empty() || !ReadNumberAttribute(a, i == last, item, state, seen))
      return false;
  }
  if (!state.hasAddress)
    return false;
  if (!seen.scale && state.listFollows)
    item.SetScale(1);
  return true;
}

inline bool ReadBitAttribute(const Attribute& a, Key key, bool isLast, CItem& item,
                             ItemLineState& state, bool& hasOn, bool& hasOff) {
  switch (key) {
    case Key::kAddress: {
      const auto address = detail::IsSingleWord(a.value) ? ParseBitAddress(a.value) : std::nullopt;
      if (!address)
        return false;
      item.address = *address;
      state.hasAddress = true;
      return true;
    }
    case Key::kOn:
    case Key::kOff: {
      const bool on = key == Key::kOn;
      CText text;
      if (!state.keep.Quoted(a.value, kOnOffLimit, text))
        return false;
      if (on) {
        item.SetOnText(text);
      } else {
        item.SetOffText(text);
      }
      (on ? hasOn : hasOff) = true;
      return true;
    }
    case Key::kCaution:
      return ReadCaution(a, isLast, state.keep, state.caution);
    default:
      return true;
  }
}

inline bool ReadBitItem(const std::vector<Attribute>& attrs, CItem& item, ItemLineState& state) {
  bool hasOn = false, hasOff = false;
  const std::size_t last = attrs.size() - 1;
  for (std::size_t i = 0; i < attrs.size(); ++i) {
    const Attribute& a = attrs[i];
    // A keyless or empty piece, or a second address, ends a bit item's attributes.
    if (!a.hasKey || a.value.empty())
      break;
    const Key key = a.id;
    if (key == Key::kAddress && state.hasAddress)
      break;
    if (!ReadBitAttribute(a, key, i == last, item, state, hasOn, hasOff))
      return false;
  }
  return state.hasAddress && hasOn && hasOff;
}

inline bool ReadCodeItem(const std::vector<Attribute>& attrs, CItem& item, ItemLineState& state) {
  const std::size_t last = attrs.size() - 1;
  for (std::size_t i = 0; i < attrs.size(); ++i) {
    const Attribute& a = attrs[i];
    if (!a.hasKey)
      return false;
    bool ok = true;
    switch (a.id) {
      case Key::kAddress:
        ok = ReadItemAddress(a.value, item, state.hasAddress);
        break;
      case Key::kCaution:
        ok = ReadCaution(a, i == last, state.keep, state.caution);
        break;
      case Key::kCode:
        ok = ReadListStart(a, i == last, state.listFollows);
        break;
      default:
        break;
    }
    if (!ok)
      return false;
  }
  return state.listFollows;
}

// The attributes of an item of a known type; false when the line is malformed.
inline bool ReadItemAttributes(const std::vector<Attribute>& attrs, CItem& item,
                               ItemLineState& state) {
  switch (item.type) {
    case kNumberItem:
      return ReadNumberItem(attrs, item, state);
    case kBitItem:
      return ReadBitItem(attrs, item, state);
    default:
      return ReadCodeItem(attrs, item, state);
  }
}

// One attribute of a choice line, given the item the list belongs to.
inline bool ReadChoiceAttribute(const Attribute& a, const CItem& item, bool hasAddress,
                                CChoice& choice, std::vector<CSetEntry>& sets) {
  if (!a.hasKey || a.value.empty())
    return false;
  const Key key = a.id;
  if (item.type == kNumberItem && key == Key::kNumber) {
    const auto n = detail::ParseDecimal(a.value);
    if (!n)
      return false;
    choice.SetValue(*n);
  } else if (item.type == kCodeItem && hasAddress && key == Key::kCode) {
    const auto n = detail::ParseHex(a.value, 8);
    if (!n)
      return false;
    choice.SetValue(*n);
  } else if (item.type == kCodeItem && key == Key::kSet) {
    // A target that does not read fails the list, which drops it again.
    if (!ParseSetTarget(a.value, sets.emplace_back()))
      return false;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int CModelFile::ParseItemLine(std::string_view line, std::uint32_t page) {
  NamedLine named;
  if (!SplitName(line, nameScratch_, named))
    return kResultFormError;
  const CTextKeeper keep{*store_, quotedScratch_};
  CItem item;
  if (!ReadItemName(named.namePart, keep, item.name))
    return kResultFormError;

  const std::vector<Attribute>& attrs = itemSplitter_.Split(named.attributes);
  item.type = ReadItemType(attrs);
  if (item.type == 0)
    return kResultFormError;
  item.byteOrder = defaultOrder_;
  ItemLineState state(keep);
  if (!ReadItemAttributes(attrs, item, state))
    return kResultFormError;

  const bool basic = page == kSectionStandard;
  std::vector<CItem>& items = basic ? model_->BasicItems() : model_->AdvancedItems();
  if (state.listFollows) {
    std::uint32_t first = 0, count = 0;
    const int r = ParseChoiceList(item, state.hasAddress, first, count);
    if (r != kResultOk)
      return r;
    // The store still grows: the list is pointed to once the load is over.
    pendingLists_.push_back({basic, static_cast<std::uint32_t>(items.size()), first, count});
  }
  items.push_back(item);
  (basic ? basicCautions_ : advancedCautions_).push_back(state.caution);
  return kResultOk;
}

int CModelFile::ParseChoiceList(const CItem& item, bool hasAddress, std::uint32_t& first,
                                std::uint32_t& count) {
  std::vector<CChoice>& choices = store_->choices;
  std::vector<CSetEntry>& sets = store_->sets;
  const std::size_t firstChoice = choices.size();
  const std::size_t firstSet = sets.size();
  // Nothing of a failed list stays in the store.
  auto fail = [&] {
    choices.resize(firstChoice);
    sets.resize(firstSet);
    return kResultFormError;
  };
  const CTextKeeper keep{*store_, quotedScratch_};
  std::string_view line;
  for (;;) {
    // Section lines mean nothing inside a list: a list runs to its End line.
    if (reader_.Next(line) != CLineReader::kLine)
      return fail();
    NamedLine named;
    if (!SplitName(line, nameScratch_, named))
      return fail();
    if (EqualsIgnoringCase(named.namePart, "End"))
      break;
    // Filled where it is kept (a failed list drops it), not copied in afterwards.
    CChoice& choice = choices.emplace_back();
    if (!keep.Quoted(named.namePart, kChoiceNameLimit, choice.name))
      return fail();
    const std::size_t setsBefore = sets.size();
    for (const Attribute& a : choiceSplitter_.Split(named.attributes)) {
      if (!ReadChoiceAttribute(a, item, hasAddress, choice, sets))
        return fail();
    }
    // An index until the set array stops growing.
    choice.SetSets(CList<CSetEntry>::FromIndex(setsBefore, sets.size() - setsBefore));
  }
  if (choices.size() == firstChoice)
    return fail();
  count = static_cast<std::uint32_t>(choices.size() - firstChoice);
  first = listTable_.Share(*store_, static_cast<std::uint32_t>(firstChoice), count);
  // An earlier equal list serves instead of this copy.
  if (first != firstChoice) {
    choices.resize(firstChoice);
    sets.resize(firstSet);
  }
  return kResultOk;
}

}  // namespace pelmora::model
