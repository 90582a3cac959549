#include "app/logic/change_value_dlg.h"

#include <new>

#include "app/logic/config_dlg_texts.h"
#include "model/item_text.h"

namespace pelmora::app {

std::string StripUnit(const std::string& text, const std::string& unit) {
  std::string value = text;
  if (!unit.empty()) {
    const std::size_t at = value.find(unit);
    value = at == std::string::npos ? std::string() : value.substr(0, at);
  }
  constexpr const char* kBlanks = " \t\r\n\v\f";
  const std::size_t first = value.find_first_not_of(kBlanks);
  if (first == std::string::npos)
    return {};
  const std::size_t last = value.find_last_not_of(kBlanks);
  return value.substr(first, last - first + 1);
}

int CChangeValueDlg::DoModal(model::CStatDataObj& model, model::Page page, int row,
                             const std::string& currentText, const Runner& run) {
  model.GetCaution(page, row, caution_);
  const std::vector<model::CItem>& items = model.Items(page);
  if (row < 0 || static_cast<std::size_t>(row) >= items.size())
    return 2;
  item_ = &items[static_cast<std::size_t>(row)];
  name_ = item_->name;
  unit_ = item_->Unit();
  valueText_ = StripUnit(currentText, unit_);
  choices_.clear();
  for (const model::CChoice& choice : item_->Choices()) choices_.push_back(choice.name.Str());

  accepted_ = false;
  if (run(*this) != 1 || !accepted_)
    return 2;
  int stored = 0;
  try {
    stored = model::SetItemText(model, *item_, valueText_);
  } catch (const std::bad_alloc&) {
    stored = 0;
  }
  if (stored == 0)
    prompt_.Ask(editor_text::kTitle, editor_text::kShortOfMemory, model::Buttons::kOk);
  return 1;
}

bool CChangeValueDlg::OnOk(const std::string& text, int picked) {
  valueText_ = text;
  // A choice from the list is one of the item's own values: no range check.
  if (HasChoices() && picked >= 0) {
    accepted_ = true;
    return true;
  }
  if (item_ == nullptr || model::CheckValue(*item_, valueText_) == 0) {
    prompt_.Ask(editor_text::kTitle, editor_text::kOutOfRange, model::Buttons::kOk);
    return false;
  }
  accepted_ = true;
  return true;
}

}  // namespace pelmora::app
