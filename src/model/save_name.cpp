#include "save_name.h"

namespace pelmora::model {

std::string CheckSaveName(std::string_view name) {
  static constexpr std::string_view kIllegal = "File name is illegal.";
  static constexpr std::string_view kWrongCharacters = "There are wrong charactors in file name.";
  const std::size_t point = name.rfind('.');
  if (point == std::string_view::npos || point == 0)
    return std::string(kIllegal);
  // Characters refused in the stem; a blank is allowed.
  static constexpr std::string_view kForbidden = "\"\\/:,;*?<>|\x07\x0C\x0A\x0D\x09\x0B.";
  for (const char c : name.substr(0, point)) {
    if (c == '\0' || kForbidden.find(c) != std::string_view::npos) {
      return std::string(kWrongCharacters);
    }
  }
  if (point + 1 == name.size())
    return std::string(kIllegal);
  // Here a slash or a NUL after the point would name another folder or cut the
  // name short, so they are refused there too.
  if (name.substr(point + 1).find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    return std::string(kWrongCharacters);
  }
  return {};
}

}  // namespace pelmora::model
