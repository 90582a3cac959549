// A small INI reader for the settings file and for the "Printer" section of a
// definition file, with the lookup rules of the classic private-profile functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::log {

// The key/value lines of an INI text. Recognised lines:
//   [Section]        starts a section (the name is trimmed; text after ']' is ignored)
//   key = value      a key of the current section (blanks around key and value trimmed)
//   ; text, # text   comments, only as whole lines
// Every other line (no '=', an empty key, '[' without ']') is skipped, so any
// text file can be read. Lines before the first section belong to the section "".
// LF and CR LF line ends are both accepted.
class CIniFile {
 public:
  CIniFile() = default;

  // Reads the file at `path`; nullopt when it cannot be read, is not a regular
  // file, or is larger than kMaxFileSize.
  static std::optional<CIniFile> Load(const std::string& path);
  static CIniFile Parse(std::string_view text);

  static constexpr std::size_t kMaxFileSize = 1 << 20;

  // Why a file could not be read.
  enum class ReadFailure { kNone, kMissing, kUnreadable, kNotRegular, kTooLarge };
  // Reads the whole file at `path` into `text` as Load does. kMissing when there is no
  // such file; kUnreadable with the errno in `error` when it cannot be opened or read.
  static ReadFailure ReadText(const std::string& path, std::string& text, int& error);

  // The value of `key` in `section`, names compared ignoring ASCII case; when a
  // key appears more than once the first one counts. One pair of matching quotes
  // ('...' or "...") around the whole value is removed. nullopt: no such key.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Private-profile string lookup: the value (possibly empty), or `fallback`
  // when the section or key is missing.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view fallback) const;

  // Private-profile integer lookup: `fallback` when the key is missing or its
  // value empty; otherwise the value's leading number (an optional sign, then
  // decimal digits, or hex digits after "0x"), 0 when it has none, so "55zz"
  // gives 55 and "zz" gives 0. Numbers wrap modulo 2^32 and a negative one is
  // returned in two's complement, as the 32-bit unsigned result type implies.
  std::uint32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const;

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Entry> entries_;
};

}  // namespace pelmora::log
