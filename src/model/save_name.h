// The check a configuration name must pass before it is saved.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::model {

// Returns the message that refuses `name` ("File name is illegal." or "There are
// wrong charactors in file name."), or an empty string when it is acceptable: a
// non-empty stem without forbidden characters or points, one point, and a
// non-empty extension.
std::string CheckSaveName(std::string_view name);

}  // namespace pelmora::model
