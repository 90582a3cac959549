// The Save As dialog, without widgets: the name and description it edits and
// the check of the name before it closes.
#pragma once

#include <functional>
#include <string>

#include "model/user_prompt.h"

namespace pelmora::app {

// Asks for the file name (within the settings folder) and the description of a
// configuration. The view starts its two edits with FileName and Description;
// its Save button calls OnSave.
class CSaveAsDlg {
 public:
  // Shows the dialog modally and returns 1 (Save) or 2 (Cancel).
  using Runner = std::function<int(CSaveAsDlg&)>;

  explicit CSaveAsDlg(model::IUserPrompt& prompt) : prompt_(prompt) {}

  // Starts the dialog with `fileName` and `description`. Only when it ends with
  // Save (result 1) are both overwritten with the texts as edited; after Cancel
  // (result 2) they are left as they were.
  int DoModal(std::string& fileName, std::string& description, const Runner& run);

  const std::string& FileName() const { return fileName_; }
  const std::string& Description() const { return description_; }

  // Save pressed. A name that is not a stem, one point and an extension is
  // refused with a message and the dialog stays open (false).
  bool OnSave(const std::string& fileName, const std::string& description);

 private:
  model::IUserPrompt& prompt_;
  std::string fileName_;
  std::string description_;
};

}  // namespace pelmora::app
