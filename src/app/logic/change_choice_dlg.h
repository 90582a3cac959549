// The choice Change Setting dialog, without widgets: the list it offers for a
// bit or code item, the entry selected at the start, and storing the choice.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/stat_data_obj.h"
#include "model/user_prompt.h"

namespace pelmora::app {

// Edits one bit or code item of a page. The view shows ItemName, Caution and a
// drop-down list (no typing) of Choices with entry Selected chosen; its OK
// button calls OnOk with the entry chosen then.
class CChangeChoiceDlg {
 public:
  // Shows the dialog modally and returns 1 (OK) or 2 (Cancel).
  using Runner = std::function<int(CChangeChoiceDlg&)>;

  explicit CChangeChoiceDlg(model::IUserPrompt& prompt) : prompt_(prompt) {}

  // Edits the item at `row` of `page`; `currentText` is the row's value as the
  // list shows it. Returns 1 after OK (the choice was handed to the model), 2
  // after Cancel.
  int DoModal(model::CStatDataObj& model, model::Page page, int row, const std::string& currentText,
              const Runner& run);

  const std::string& ItemName() const { return name_; }
  const std::string& Caution() const { return caution_; }
  // A bit item offers its on text, then its off text; a code item its choice
  // names in list order.
  const std::vector<std::string>& Choices() const { return choices_; }
  // The entry selected when the dialog opens: for a bit item 0 when the current
  // text is the on text exactly, else 1; for a code item the last choice named
  // exactly as the current text, else 0.
  int Selected() const { return selected_; }
  bool MoveValueUp() const { return caution_.empty(); }

  // OK pressed with entry `index` of Choices selected.
  void OnOk(int index);
  const std::string& SelectedText() const { return selectedText_; }

 private:
  model::IUserPrompt& prompt_;
  std::uint32_t type_ = 0;
  std::string name_;
  std::string caution_;
  std::string currentText_;
  std::vector<std::string> choices_;
  int selected_ = 0;
  std::string selectedText_;
};

}  // namespace pelmora::app
