#include "app/logic/change_choice_dlg.h"

#include <new>

#include "app/logic/config_dlg_texts.h"
#include "model/item_text.h"

namespace pelmora::app {

int CChangeChoiceDlg::DoModal(model::CStatDataObj& model, model::Page page, int row,
                              const std::string& currentText, const Runner& run) {
  model.GetCaution(page, row, caution_);
  const std::vector<model::CItem>& items = model.Items(page);
  if (row < 0 || static_cast<std::size_t>(row) >= items.size())
    return 2;
  const model::CItem& item = items[static_cast<std::size_t>(row)];
  type_ = item.type;
  name_ = item.name;
  currentText_ = currentText;

  choices_.clear();
  selected_ = 0;
  if (type_ == model::kBitItem) {
    choices_ = {item.OnText().Str(), item.OffText().Str()};
    selected_ = currentText_ == item.OnText() ? 0 : 1;
  } else {
    for (std::size_t i = 0; i < item.Choices().size(); ++i) {
      choices_.push_back(item.Choices()[i].name.Str());
      if (item.Choices()[i].name == currentText_)
        selected_ = static_cast<int>(i);
    }
  }
  selectedText_ = choices_.empty() ? std::string() : choices_[static_cast<std::size_t>(selected_)];

  if (run(*this) != 1)
    return 2;
  int stored = 0;
  try {
    stored = model::SetItemText(model, item, selectedText_);
  } catch (const std::bad_alloc&) {
    stored = 0;
  }
  if (stored == 0)
    prompt_.Ask(editor_text::kTitle, editor_text::kShortOfMemory, model::Buttons::kOk);
  return 1;
}

void CChangeChoiceDlg::OnOk(int index) {
  selectedText_ = index >= 0 && static_cast<std::size_t>(index) < choices_.size()
                      ? choices_[static_cast<std::size_t>(index)]
                      : std::string();
}

}  // namespace pelmora::app
