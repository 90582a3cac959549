// Whether there is a help file to show, told without a window system; the help
// window itself is a view (app/about_dlg_view.h).
#pragma once

#include <string>

namespace pelmora::app {

// True when the help file is a regular file that can be opened for reading.
bool HelpFileExists(const std::string& helpFilePath);

}  // namespace pelmora::app
