#include "text_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>

#include "log/ascii.h"
#include "scan.h"

namespace pelmora::model::detail {

using log::EqualsIgnoringCase;

bool HasBlankOutsideQuotes(std::string_view text) {
  // Values are short: a plain loop beats starting a wide search for each quote.
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      return true;
    }
  }
  return false;
}

namespace {

// A key of up to eight bytes as one word, letters folded to lower case. Setting bit 5
// of every byte folds exactly the letters together: no other byte turns into a
// letter by it, so an all-letter name compares equal only to itself in any case.
constexpr std::uint64_t FoldedWord(std::string_view key) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    word |= std::uint64_t{static_cast<unsigned char>(key[i]) | 0x20u} << (8 * i);
  }
  return word;
}

// FoldedWord of a key of 2 to 8 bytes, by two overlapping loads instead of a loop.
inline std::uint64_t LoadFolded(std::string_view key) {
  const std::size_t n = key.size();
  std::uint64_t word = 0;
  if (n >= 4) {
    std::uint32_t lo = 0, hi = 0;
    std::memcpy(&lo, key.data(), 4);
    std::memcpy(&hi, key.data() + n - 4, 4);
    word = lo | std::uint64_t{hi} << (8 * (n - 4));
  } else {
    std::uint16_t lo = 0, hi = 0;
    std::memcpy(&lo, key.data(), 2);
    std::memcpy(&hi, key.data() + n - 2, 2);
    word = lo | std::uint64_t{hi} << (8 * (n - 2));
  }
  const std::uint64_t used = n == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
  return word | (0x2020202020202020u & used);
}

}  // namespace

Key KeyOf(std::string_view key) {
  if (key.size() < 2 || key.size() > 7)
    return Key::kOther;
  switch (LoadFolded(key)) {
    case FoldedWord("type"):
      return Key::kType;
    case FoldedWord("address"):
      return Key::kAddress;
    case FoldedWord("scale"):
      return Key::kScale;
    case FoldedWord("offset"):
      return Key::kOffset;
    case FoldedWord("range"):
      return Key::kRange;
    case FoldedWord("uniq"):
      return Key::kUniq;
    case FoldedWord("edian"):
      return Key::kEdian;
    case FoldedWord("decimal"):
      return Key::kDecimal;
    case FoldedWord("unit"):
      return Key::kUnit;
    case FoldedWord("caution"):
      return Key::kCaution;
    case FoldedWord("number"):
      return Key::kNumber;
    case FoldedWord("on"):
      return Key::kOn;
    case FoldedWord("off"):
      return Key::kOff;
    case FoldedWord("code"):
      return Key::kCode;
    case FoldedWord("set"):
      return Key::kSet;
    default:
      return Key::kOther;
  }
}

void SplitPieces(std::string_view text, std::vector<std::string_view>& pieces) {
  pieces.clear();
  for (std::size_t start = 0;;) {
    bool last = true;
    const std::size_t end = CAttributeSplitter::PieceEnd(text, start, last);
    pieces.push_back(text.substr(start, end - start));
    if (last)
      return;
    start = end + 1;
  }
}

namespace {

// How the piece and value scan treats each byte.
enum ByteClass : std::uint8_t {
  kPlain,   // part of a key or a value
  kDash,    // `-`: plain to the piece scan, a separator to blank removal
  kBlank,   // space or tab
  kEquals,  // `=`
  kQuote,   // `"`
  kOpen,    // `(`
  kClose,   // `)`
  kBang,    // `!`: a comment that ends the list
  kComma,   // `,`
};

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  classes[' '] = kBlank;
  classes['\t'] = kBlank;
  classes['='] = kEquals;
  classes['"'] = kQuote;
  classes['('] = kOpen;
  classes[')'] = kClose;
  classes['!'] = kBang;
  classes[','] = kComma;
  classes['-'] = kDash;
  return classes;
}
constexpr std::array<std::uint8_t, 256> kByteClass = MakeByteClasses();

inline std::uint8_t ClassOf(char c) {
  return kByteClass[static_cast<unsigned char>(c)];
}

// Where a value that starts at `i` ends, as the piece splitting cuts it.
struct ValueScan {
  std::size_t end = 0;       // the comma, comment or end of text that ends the piece
  std::size_t valueEnd = 0;  // one past the value's last byte that is no blank
  std::size_t blank = std::string_view::npos;  // the first blank outside quotes
  bool last = true;                            // no piece follows
};

// The quote that closes the one at `open`, or `n` when none does.
inline std::size_t CloseQuote(const char* p, std::size_t n, std::size_t open) {
  return open + 1 + FindAny<'"'>(p + open + 1, n - open - 1);
}

// An open quote runs to the end; trailing blanks are trimmed all the same.
inline std::size_t OpenQuoteEnd(const char* p, std::size_t n) {
  while (IsBlank(p[n - 1])) --n;
  return n;
}

inline ValueScan ScanValue(const char* p, std::size_t n, std::size_t i) {
  ValueScan scan;
  scan.valueEnd = i;
  int depth = 0;
  for (;;) {
    // Most bytes are plain: skip a run of them before looking at what ends it.
    const std::size_t run = i;
    while (i < n && ClassOf(p[i]) <= kDash) ++i;
    if (i != run)
      scan.valueEnd = i;
    if (i >= n)
      break;
    const std::uint8_t c = ClassOf(p[i]);
    if (c == kBlank) {
      scan.blank = std::min(scan.blank, i);
      ++i;
      continue;
    }
    if (c == kQuote) {
      i = CloseQuote(p, n, i);
      if (i >= n) {
        scan.valueEnd = OpenQuoteEnd(p, n);
        break;
      }
    } else if (c == kOpen) {
      ++depth;
    } else if (c == kClose) {
      depth -= depth > 0 ? 1 : 0;
    } else if (c == kBang) {
      break;
    } else if (c == kComma && depth == 0) {
      scan.last = false;
      break;
    }
    scan.valueEnd = ++i;
  }
  scan.end = std::min(i, n);
  return scan;
}

}  // namespace

std::size_t CAttributeSplitter::PieceEnd(std::string_view text, std::size_t start, bool& last) {
  const char* p = text.data();
  const std::size_t end = text.size();
  bool quoted = false;
  int depth = 0;
  for (std::size_t i = start;; ++i) {
    i += quoted ? FindAny<'"'>(p + i, end - i) : FindAny<'"', '(', ')', '!', ','>(p + i, end - i);
    if (i >= end)
      break;
    const char c = p[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      depth -= depth > 0 ? 1 : 0;
    } else if (c == '!') {
      last = true;  // a comment ends the list
      return i;
    } else if (depth == 0) {
      last = false;
      return i;
    }
  }
  last = true;
  return end;
}

inline bool CAttributeSplitter::ScanPiece(std::string_view text, std::size_t start,
                                          std::size_t& end, bool& last) {
  const char* p = text.data();
  const std::size_t n = text.size();
  std::size_t i = start;
  while (i < n && IsSpace(p[i])) ++i;
  const std::size_t keyStart = i;
  while (i < n && ClassOf(p[i]) <= kDash) ++i;
  const std::size_t keyEnd = i;
  while (i < n && IsBlank(p[i])) ++i;
  // Keys holding quotes, parentheses or commas, and pieces without `=`, go the long way.
  if (i >= n || p[i] != '=')
    return false;
  ++i;
  if (i >= n || p[i] == '!' || p[i] == ',') {
    // Nothing after the `=` in the piece: no key.
    last = i >= n || p[i] == '!';
    end = i;
    attrs_.push_back(Attribute());
    return true;
  }
  while (i < n && IsBlank(p[i])) ++i;
  const ValueScan scan = ScanValue(p, n, i);
  end = scan.end;
  last = scan.last;
  Attribute& attr = attrs_.emplace_back();
  attr.hasKey = true;
  attr.key = text.substr(keyStart, keyEnd - keyStart);
  attr.id = KeyOf(attr.key);
  const std::string_view value = text.substr(i, scan.valueEnd - i);
  attr.value = scan.blank < scan.valueEnd ? Rewrite(value) : value;
  return true;
}
void CAttributeSplitter::Reserve(std::size_t size) {
  scratchUsed_ = 0;
  if (size > scratchSize_) {
    scratchSize_ = std::max(size, 2 * scratchSize_);
    scratch_ = std::make_unique_for_overwrite<char[]>(scratchSize_);
  }
}

const std::vector<Attribute>& CAttributeSplitter::Split(std::string_view text) {
  attrs_.clear();
  // Extracted values never outgrow their text, so views into the buffer stay valid.
  Reserve(text.size());
  // One scan per piece reads its key and value together; pieces of an unusual
  // form are cut first and read as they stand.
  std::size_t start = 0;
  for (;;) {
    std::size_t end = 0;
    bool last = true;
    if (!ScanPiece(text, start, end, last)) {
      end = PieceEnd(text, start, last);
      attrs_.push_back(Parse(text.substr(start, end - start)));
    }
    if (last)
      break;
    start = end + 1;
  }
  return attrs_;
}

Attribute CAttributeSplitter::ParseWhole(std::string_view text) {
  Reserve(text.size());
  return Parse(text);
}

std::string_view CAttributeSplitter::Extract(std::string_view raw) {
  raw = TrimBlanks(raw);
  return HasBlankOutsideQuotes(raw) ? Rewrite(raw) : raw;
}

std::string_view CAttributeSplitter::Rewrite(std::string_view raw) {
  // Written through a pointer: the buffer was sized for the whole text by Split.
  char* out = scratch_.get() + scratchUsed_;
  std::size_t n = 0;
  bool quoted = false;
  bool metSeparator = false;  // a `,` or `-` outside quotes was met
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    switch (ClassOf(c)) {
      case kQuote:
        quoted = !quoted;
        break;
      case kBlank: {
        if (quoted)
          break;
        if (metSeparator)
          continue;
        std::size_t j = i;
        while (j < raw.size() && IsBlank(raw[j])) ++j;
        if (j < raw.size() && (raw[j] == ',' || raw[j] == '-')) {
          i = j - 1;  // drop the whole run of blanks before the separator
          continue;
        }
        break;
      }
      case kComma:
      case kDash:
        metSeparator = metSeparator || !quoted;
        break;
      default:
        break;
    }
    out[n++] = c;
  }
  scratchUsed_ += n;
  return {out, n};
}

Attribute CAttributeSplitter::Parse(std::string_view piece) {
  Attribute attr;
  piece = TrimLeft(piece);
  std::size_t i = 0;
  bool quoteInKey = false;
  while (i < piece.size() && !IsBlank(piece[i]) && piece[i] != '=') {
    quoteInKey = quoteInKey || piece[i] == '"';
    ++i;
  }
  const std::string_view key = piece.substr(0, i);
  while (i < piece.size() && IsBlank(piece[i])) ++i;
  if (i >= piece.size() || piece[i] != '=' || i + 1 == piece.size() || quoteInKey)
    return attr;
  attr.hasKey = true;
  attr.key = key;
  attr.id = KeyOf(key);
  attr.value = Extract(piece.substr(i + 1));
  return attr;
}

namespace {

// Per byte: whether it may stand in a single word.
constexpr std::array<bool, 256> kInWord = [] {
  std::array<bool, 256> inWord{};
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    inWord[c] = !(ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '"' || ch == '\\');
  }
  return inWord;
}();

}  // namespace

bool IsSingleWord(std::string_view value) {
  for (const char c : value) {
    if (!kInWord[static_cast<unsigned char>(c)])
      return false;
  }
  return true;
}

bool ParseQuoted(std::string_view value, std::size_t limit, std::string& out) {
  value = TrimBlanks(value);
  out.clear();
  if (value.empty() || value.front() != '"')
    return false;
  const std::size_t close = value.find('"', 1);
  const std::string_view body =
      value.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  if (body.find('\\') == std::string_view::npos) {
    // The usual case: no escapes, so the text is the body as it stands.
    out.assign(body.substr(0, std::min(body.size(), limit)));
    return close + 1 == value.size();
  }
  auto put = [&](char c) {
    if (out.size() < limit)
      out.push_back(c);
  };
  std::size_t i = 1;
  for (;;) {
    if (i >= value.size())
      return false;  // no closing quote
    const char c = value[i];
    if (c == '"')
      break;
    if (c != '\\' || i + 1 >= value.size()) {
      put(c);
      ++i;
      continue;
    }
    const char d1 = value[i + 1];
    const int h1 = HexDigit(d1);
    if (d1 == 'n' || d1 == 'N') {
      put('\n');
      i += 2;
    } else if (h1 >= 0 && i + 2 < value.size() && HexDigit(value[i + 2]) >= 0) {
      put(static_cast<char>(h1 * 16 + HexDigit(value[i + 2])));
      i += 3;
    } else if (h1 >= 0) {
      // A backslash, one digit and then no second digit: the digit is dropped.
      put('\\');
      i += 2;
    } else if (d1 == '"') {
      // A double quote always ends the string, even after a backslash.
      put('\\');
      ++i;
    } else {
      put('\\');
      put(d1);
      i += 2;
    }
  }
  return i + 1 == value.size();  // nothing may follow the closing quote
}

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size())
    return std::nullopt;
  std::int64_t value = 0;
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return std::nullopt;
    if (value < kCap)
      value = value * 10 + (text[i] - '0');
  }
  if (negative)
    value = -value;
  return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::uint32_t>::max());
}

std::optional<std::int32_t> ParseDecimal32(std::string_view text) {
  const auto value = ParseDecimal(text);
  if (!value)
    return std::nullopt;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(*value, std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits)
    return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    const int d = HexValue(c);
    if (d < 0)
      return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value;
}

std::optional<std::uint16_t> ParseAddress(std::string_view text) {
  if (text.size() != 2 && text.size() != 4)
    return std::nullopt;
  const auto v = ParseHex(text, 4);
  if (!v)
    return std::nullopt;
  return static_cast<std::uint16_t>(*v);
}

bool ParsePair(std::string_view text, std::int64_t& a, std::int64_t& b, std::string_view* minText) {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')')
    return false;
  const std::string_view inner = text.substr(1, text.size() - 2);
  const std::size_t comma = inner.find(',');
  if (comma == std::string_view::npos)
    return false;
  const std::string_view first = TrimBlanks(inner.substr(0, comma));
  const std::string_view second = TrimBlanks(inner.substr(comma + 1));
  const auto x = ParseDecimal(first);
  const auto y = ParseDecimal(second);
  if (!x || !y)
    return false;
  a = *x;
  b = *y;
  if (minText)
    *minText = first;
  return true;
}

}  // namespace pelmora::model::detail
