// The numeric Change Setting dialog, without widgets: which controls it shows,
// their texts, the range check of OK, and storing the accepted value.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/stat_data_obj.h"
#include "model/user_prompt.h"

namespace pelmora::app {

// Edits one number item of a page. The view shows ItemName, Caution, Unit and
// either an editable combo box (HasChoices: ChoiceNames in its list, ValueText
// in its edit field, no entry selected) or a right-aligned edit holding
// ValueText. Its OK button calls OnOk; Cancel just closes.
class CChangeValueDlg {
 public:
  // Shows the dialog modally and returns 1 (OK) or 2 (Cancel).
  using Runner = std::function<int(CChangeValueDlg&)>;

  explicit CChangeValueDlg(model::IUserPrompt& prompt) : prompt_(prompt) {}

  // Edits the item at `row` of `page`; `currentText` is the row's value as the
  // list shows it. Returns 1 when a value was handed to the model, else 2.
  int DoModal(model::CStatDataObj& model, model::Page page, int row, const std::string& currentText,
              const Runner& run);

  const std::string& ItemName() const { return name_; }
  const std::string& Caution() const { return caution_; }
  const std::string& Unit() const { return unit_; }
  const std::string& ValueText() const { return valueText_; }
  bool HasChoices() const { return !choices_.empty(); }
  const std::vector<std::string>& ChoiceNames() const { return choices_; }
  // Without a caution text the value controls move up into its space.
  bool MoveValueUp() const { return caution_.empty(); }

  // OK pressed with `text` in the value control; `picked` is the index of the
  // list entry the user chose in the combo box, or -1 when the text was typed.
  // A picked entry is taken as it is; a typed number must pass the item's
  // range check, else "This value is out of range." is shown. Returns true
  // when the dialog may close with OK.
  bool OnOk(const std::string& text, int picked);

 private:
  model::IUserPrompt& prompt_;
  const model::CItem* item_ = nullptr;
  std::string name_;
  std::string caution_;
  std::string unit_;
  std::string valueText_;
  std::vector<std::string> choices_;
  bool accepted_ = false;
};

// The part of a row's value text that the numeric dialog edits: the text before
// the first occurrence of `unit` (all of it when the unit is empty, nothing when
// the unit does not occur), trimmed of white space at both ends.
std::string StripUnit(const std::string& text, const std::string& unit);

}  // namespace pelmora::app
