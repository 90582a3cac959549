// The start dialog: choose between a new configuration (from a model
// definition) and a saved one, list the files of that kind, and open the one
// the user selects in the configuration window.
#pragma once

#include <string>
#include <vector>

#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "model/user_prompt.h"

namespace pelmora::app {

// What the start dialog's logic asks of its window.
class IStartUi {
 public:
  virtual ~IStartUi() = default;
  // Minimises the start dialog while a configuration window runs, and shows it
  // again in its normal size and position afterwards.
  virtual void Minimise() = 0;
  virtual void Restore() = 0;
  // Runs the configuration window modally on the loaded `model`; `file` holds
  // the loaded file and performs the saves, `entry` is the listing row that
  // was opened. Returns 1 when the user chose File > Exit, else 2.
  virtual int RunConfig(int mode, model::CStatDataObj& model, model::CModelFile& file,
                        const model::CFileInfo& entry, const std::string& workingFolder) = 0;
};

// State, listing and actions of the start dialog; the view shows what this
// holds after every call. Every message goes to `prompt` under "Pelmora" with
// an OK button.
class CStartDlg {
 public:
  static constexpr int kModeNew = 1;   // "Create New Configuration": model definitions
  static constexpr int kModeOpen = 2;  // "Open Existing Configuration": saved configurations
  static constexpr int kStateChoose = 1;
  static constexpr int kStateList = 2;
  // Dialog results: 1 when a configuration window ended with File > Exit,
  // 2 for Exit, Escape or the close box.
  static constexpr int kResultExit = 1;
  static constexpr int kResultCancel = 2;
  // The choose state is this much smaller than the list state, in pixels.
  static constexpr int kChooseShrinkWidth = 130;
  static constexpr int kChooseShrinkHeight = 110;

  struct Column {
    std::string title;
    int width;  // pixels; 0 for the column that takes the remaining width
  };

  CStartDlg(model::IUserPrompt& prompt, IStartUi& ui);

  // Starts in the choose state with "Create New Configuration" chosen, and
  // takes `workingFolder` (normally CurrentFolder()) as the folder below which
  // `model/` and `setting/` are read; one trailing slash is removed.
  void OnInitDialog(std::string workingFolder);
  // The process's current directory, or an empty string when it cannot be read.
  static std::string CurrentFolder();

  // OK: lists the folder of `chosenMode` (kModeNew or kModeOpen) and moves to
  // the list state when that succeeds; otherwise the messages have been shown
  // and the dialog stays in the choose state.
  void OnOK(int chosenMode);
  // Close: back to the choice of mode.
  void OnClose() { SwitchState(kStateChoose); }
  // Exit, Escape or the close box.
  void OnCancel() { endResult_ = kResultCancel; }

  // Lists the folder of the current mode into Rows(), showing the messages of
  // a failed listing. Returns 1 when a listing was produced, else 0 (and no rows).
  int ShowList();
  // Puts the dialog in kStateChoose (freeing the listing and releasing the
  // file object) or kStateList.
  void SwitchState(int state);

  // Select or double-click: opens the selected row that comes first in
  // listing order (`selectedRows` in any order; none selected: nothing
  // happens), runs the configuration window on it, then lists the folder
  // again. A failed load shows its message and changes nothing else.
  void OpenSelected(const std::vector<int>& selectedRows);

  int Mode() const { return mode_; }
  int State() const { return state_; }
  // 0 while the dialog runs, else the result it ended with.
  int EndResult() const { return endResult_; }
  const std::vector<model::CFileInfo>& Rows() const { return rows_; }

  // The power-cycle prompt above the list, the list's columns and the texts
  // of one row, for the current mode.
  std::string Prompt() const;
  std::vector<Column> Columns() const;
  std::vector<std::string> RowTexts(const model::CFileInfo& row) const;

 private:
  void Tell(const std::string& text);

  model::IUserPrompt& prompt_;
  IStartUi& ui_;
  int mode_ = kModeNew;
  int state_ = kStateChoose;
  int endResult_ = 0;
  std::string workingFolder_;
  std::vector<model::CFileInfo> rows_;
  model::CModelFile file_;
};

}  // namespace pelmora::app
