// Create Binary File of the configuration window, without widgets: the choice
// of the file and the report of a failure.
#pragma once

#include <functional>
#include <string>

#include "model/stat_data_obj.h"
#include "model/user_prompt.h"

namespace pelmora::app {

// What the save-file dialog offers: one filter, ".bin" appended to a name typed
// without an extension, and a question before an existing file is replaced.
inline constexpr const char* kBinaryFileFilter = "Binary Files(*.bin)";
inline constexpr const char* kBinaryFileExtension = "bin";

// Asks the user for a file, starting in `folder`. False when cancelled;
// otherwise `path` is the file chosen (replacing it already confirmed).
using BinaryFileChooser = std::function<bool(const std::string& folder, std::string& path)>;

// Asks for a file with `choose`, starting in `folder`, and writes the command
// stream of `model`'s current image to it. A file that cannot be written is
// reported to `prompt` ("Pelmora", OK) with the reason. Returns true when a
// file was written.
bool CreateBinaryFile(const model::CStatDataObj& model, model::IUserPrompt& prompt,
                      const std::string& folder, const BinaryFileChooser& choose);

}  // namespace pelmora::app
