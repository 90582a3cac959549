// The About box and the help window, reachable from the start dialog and
// from the configuration window's Help menu.
#pragma once

#include <string>

class QWidget;

namespace pelmora::app {

// Shows the modal About box.
void ShowAboutBox(QWidget* parent);

// Shows the HTML help file in a help window (one window per process; a
// second call brings the open window to the front). The caller checks
// HelpFileExists first: the menu item is grayed when there is no help file.
void ShowHelp(QWidget* parent, const std::string& helpFilePath);

// True when the help file is a regular file that can be opened for reading.
bool HelpFileExists(const std::string& helpFilePath);

// Closes the help window if one is open; the start dialog does this when it
// goes away, since the help belongs to the run.
void CloseHelp();

}  // namespace pelmora::app
