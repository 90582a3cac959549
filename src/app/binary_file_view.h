// The save-file dialog of Create Binary File.
#pragma once

#include <string>

class QWidget;

namespace pelmora::app {

// Asks for the binary command file to write, starting in `folder`, with the
// single filter "Binary Files(*.bin)", ".bin" added to a name typed without an
// extension and a question before an existing file is replaced. False when
// cancelled; otherwise `path` is the file chosen.
bool ChooseBinaryFilePath(QWidget* parent, const std::string& folder, std::string& path);

}  // namespace pelmora::app
