// ASCII text rules for names and digits read from files, devices and the command line.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelmora::log {

// True when `a` and `b` are the same length and equal byte for byte, ASCII letters
// ignoring case. Every other byte, non-ASCII included, must match exactly, and the
// process locale plays no part, so what matches is the same on every system.
constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  constexpr auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// The value of a hexadecimal digit (either case), or -1 for any other byte.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace pelmora::log
