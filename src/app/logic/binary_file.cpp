#include "app/logic/binary_file.h"

#include "app/logic/config_dlg_texts.h"
#include "protocol/command_stream.h"

namespace pelmora::app {

bool CreateBinaryFile(const model::CStatDataObj& model, model::IUserPrompt& prompt,
                      const std::string& folder, const BinaryFileChooser& choose) {
  std::string path;
  if (!choose(folder, path) || path.empty())
    return false;
  std::string error;
  if (!protocol::WriteBinaryFile(model, path, error)) {
    prompt.Ask(editor_text::kTitle, error, model::Buttons::kOk);
    return false;
  }
  return true;
}

}  // namespace pelmora::app
