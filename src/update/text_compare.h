// Comparing names from definition files and dialogs without regard to case.
#pragma once

#include <algorithm>
#include <string_view>

namespace pelmora::update::detail {

// ASCII letters only, so the process locale cannot change what matches.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace pelmora::update::detail
