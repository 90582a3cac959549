// Lexical rules shared by the header, item and choice readers: attribute splitting,
// value extraction, single words, quoted strings and numbers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/ascii.h"

namespace pelmora::model::detail {

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
inline bool IsSpace(char c) {
  // Tab, line feed, vertical tab, form feed and carriage return are 9 to 13.
  return c == ' ' || (c >= '\t' && c <= '\r');
}
inline std::string_view TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  return s.substr(i);
}
// Both ends, spaces and tabs.
inline std::string_view TrimBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}
using log::HexDigit;
// HexDigit by table, for the loops that read long runs of digits.
inline constexpr std::array<std::int8_t, 256> kHexValue = [] {
  std::array<std::int8_t, 256> values{};
  for (int c = 0; c < 256; ++c)
    values[c] = static_cast<std::int8_t>(HexDigit(static_cast<char>(c)));
  return values;
}();
inline int HexValue(char c) {
  return kHexValue[static_cast<unsigned char>(c)];
}

// True when `text` has a blank or tab outside double quotes.
bool HasBlankOutsideQuotes(std::string_view text);

// Attribute keys, told apart once per piece instead of by a chain of comparisons.
enum class Key {
  kOther,
  kType,
  kAddress,
  kScale,
  kOffset,
  kRange,
  kUniq,
  kEdian,
  kDecimal,
  kUnit,
  kCaution,
  kNumber,
  kOn,
  kOff,
  kCode,
  kSet
};
Key KeyOf(std::string_view key);

// Cuts `text` at each comma outside double quotes and parentheses; a `!`
// outside quotes ends the list.
void SplitPieces(std::string_view text, std::vector<std::string_view>& pieces);

// One `key = value` piece of an attribute list.
struct Attribute {
  bool hasKey = false;
  std::string_view key;
  std::string_view value;  // extracted as in CAttributeSplitter; empty counts as missing
  Key id = Key::kOther;    // KeyOf(key), found once by the splitter
};

// Splits attribute text at each comma outside double quotes and parentheses
// and reads each piece's key and value. The value is trimmed and, outside
// quotes, a blank before a `,` or `-`, or any blank after a `,` or `-` met in
// the value, is removed. Views stay valid until the next call; the splitter
// keeps its buffers between calls, so parsing a line allocates nothing.
class CAttributeSplitter {
 public:
  // Where the piece at `start` ends: at a comma outside quotes and parentheses, or
  // at a comment or the end of the text (`last` then true).
  static std::size_t PieceEnd(std::string_view text, std::size_t start, bool& last);
  const std::vector<Attribute>& Split(std::string_view text);
  // Reads `text` as one piece (a header line).
  Attribute ParseWhole(std::string_view text);

 private:
  // Reads the piece at `start` of a usual form (a plain key, `=`, a value) in one
  // scan, appending it and setting `end` (where it ends) and `last`; false, with
  // nothing appended, for any other form.
  bool ScanPiece(std::string_view text, std::size_t start, std::size_t& end, bool& last);
  Attribute Parse(std::string_view piece);
  std::string_view Extract(std::string_view raw);
  // `raw`, trimmed, with the blanks outside quotes removed as Extract removes them.
  std::string_view Rewrite(std::string_view raw);

  // Empties the value buffer and makes room in it for values taken from `size` bytes.
  void Reserve(std::size_t size);

  std::vector<Attribute> attrs_;
  std::unique_ptr<char[]> scratch_;
  std::size_t scratchSize_ = 0;
  std::size_t scratchUsed_ = 0;
};

// No blank, tab, carriage return, line feed, double quote or backslash.
bool IsSingleWord(std::string_view value);

// Parses a quoted string with escapes into `out`. Characters beyond `limit` are
// dropped. False when the value does not begin with a quote or the closing quote
// is not its last character; `out` then holds what was read up to the failure.
bool ParseQuoted(std::string_view value, std::size_t limit, std::string& out);
inline std::optional<std::string> ParseQuoted(std::string_view value, std::size_t limit) {
  std::string out;
  if (!ParseQuoted(value, limit, out))
    return std::nullopt;
  return out;
}

// Optional sign and at least one digit. Values are clamped to what four bytes hold,
// signed or unsigned: -2147483648 to 4294967295.
std::optional<std::int64_t> ParseDecimal(std::string_view text);
// ParseDecimal clamped further to a signed 32-bit number.
std::optional<std::int32_t> ParseDecimal32(std::string_view text);
// 1 to `maxDigits` hexadecimal digits, upper or lower case.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits);
// An address of exactly 2 or 4 hexadecimal digits.
std::optional<std::uint16_t> ParseAddress(std::string_view text);
// `(a, b)` with two decimal integers as ParseDecimal reads them; `minText` receives
// the text of `a`.
bool ParsePair(std::string_view text, std::int64_t& a, std::int64_t& b,
               std::string_view* minText = nullptr);

}  // namespace pelmora::model::detail
