// Where the application finds its working-folder files.
#pragma once

#include <string>

namespace pelmora::app {

// The help file in the working folder.
inline constexpr const char* kHelpFileName = "VORSETTA.HLP";

// `folder` + "/" + `name`, with exactly one slash between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder of the files installed with the program (the help file, the sample working
// folder): share/pelmora beside the program's bin/ folder, wherever the installation
// was put; empty when the program's own path cannot be read.
std::string InstalledDataDir();

// The help file to show: the working folder's, else the one in `dataDir` (the installed
// copy) when that exists, else the working folder's (which then does not exist).
std::string HelpFilePath(const std::string& workdir, const std::string& dataDir);

}  // namespace pelmora::app
