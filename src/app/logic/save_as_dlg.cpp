#include "app/logic/save_as_dlg.h"

#include "app/logic/config_dlg_texts.h"
#include "model/save_name.h"

namespace pelmora::app {

int CSaveAsDlg::DoModal(std::string& fileName, std::string& description, const Runner& run) {
  fileName_ = fileName;
  description_ = description;
  if (run(*this) != 1)
    return 2;
  fileName = fileName_;
  description = description_;
  return 1;
}

bool CSaveAsDlg::OnSave(const std::string& fileName, const std::string& description) {
  fileName_ = fileName;
  const std::string refusal = model::CheckSaveName(fileName_);
  if (!refusal.empty()) {
    prompt_.Ask(editor_text::kTitle, refusal, model::Buttons::kOk);
    return false;
  }
  description_ = description;
  return true;
}

}  // namespace pelmora::app
