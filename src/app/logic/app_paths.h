// Where the application finds its working-folder files.
#pragma once

#include <string>

namespace pelmora::app {

// The help file in the working folder.
inline constexpr const char* kHelpFileName = "VORSETTA.HLP";

// `folder` + "/" + `name`, with exactly one slash between them.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace pelmora::app
