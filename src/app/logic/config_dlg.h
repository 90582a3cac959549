// The configuration window, without widgets: the items of one loaded
// configuration on the Basic and Advanced pages, and every command of the
// window (change, factory and restore, save, print, binary file, printer).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/logic/change_choice_dlg.h"
#include "app/logic/change_value_dlg.h"
#include "app/logic/print_setting_list.h"
#include "app/logic/save_as_dlg.h"
#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "model/user_prompt.h"

namespace pelmora::app {

// The windows the configuration window opens. The Qt view runs real dialogs;
// tests answer from scripts.
class IConfigUi {
 public:
  virtual ~IConfigUi() = default;
  // The Change Setting and Save As dialogs, modally: 1 OK (Save), 2 Cancel.
  virtual int RunChangeValue(CChangeValueDlg& dlg) = 0;
  virtual int RunChangeChoice(CChangeChoiceDlg& dlg) = 0;
  virtual int RunSaveAs(CSaveAsDlg& dlg) = 0;
  // The Update Printer dialog on the window's model, mode 1 (Update Printer) or
  // 2 (Get Printer Setting): 1 when the operation finished, else 2.
  virtual int RunUpdatePrinter(int mode) = 0;
  // The save-file dialog of Create Binary File, starting in `folder`: false when
  // cancelled, else the chosen file in `path`.
  virtual bool ChooseBinaryFile(const std::string& folder, std::string& path) = 0;
  // The print dialog; unless it is cancelled, prints `request` on one sheet.
  virtual void Print(const CPrintRequest& request) = 0;
  virtual void ShowHelp(const std::string& helpFilePath) = 0;
  virtual void ShowAbout() = 0;
  // Told around every fill of the list, and after one row was redrawn, so a
  // view over Rows stays in step.
  virtual void RowsAboutToBeReset() {}
  virtual void RowsReset() {}
  virtual void RowChanged(int /*row*/) {}
};

// The administrator warning shown on the Advanced page, shared by every
// configuration window of the process: set when shown, cleared by a Basic fill.
bool& AdministratorWarningFlag();

// One configuration window. Borrows the model and the file object for its
// lifetime; owns only its texts and flags. The view shows HeaderText, the page
// tabs (Advanced only when HasAdvancedPage), Rows, and enables Restore Setting
// (button and menu) while RestoreEnabled and Get Printer Setting only when
// HasGetPrinterSetting; it calls one operation per command.
class CConfigDlg {
 public:
  // Shows the window modally and returns its result.
  using Runner = std::function<int(CConfigDlg&)>;

  CConfigDlg(model::IUserPrompt& prompt, IConfigUi& ui) : prompt_(prompt), ui_(ui) {}

  // Opens the window on `model`, loaded by `file` from `fileName`: mode 1 a new
  // configuration (from a model definition, `fileName` being its name), mode 2
  // one saved in the settings folder of `workdir`. Returns 1 when the user
  // chose File > Exit, 2 for any other way of closing.
  int DoModal(int mode, model::CStatDataObj& model, model::CModelFile& file,
              const std::string& fileName, const std::string& printerName,
              const std::string& description, const std::string& workdir, const Runner& run);
  // The steps of DoModal before the window shows, for a caller that runs it
  // itself: stores the arguments, clears the modified flag and fills Basic.
  void Start(int mode, model::CStatDataObj& model, model::CModelFile& file,
             const std::string& fileName, const std::string& printerName,
             const std::string& description, const std::string& workdir);

  // State shown by the view.
  int Mode() const { return mode_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& Description() const { return description_; }
  // "Printer : <name>", a line feed, "Description : <description>".
  std::string HeaderText() const;
  bool HasAdvancedPage() const;
  bool HasGetPrinterSetting() const { return hasGetCmd_; }
  model::Page SelectedPage() const { return page_; }
  const std::vector<CListRow>& Rows() const { return rows_; }
  // Counts the fills of the list, so a view can tell a refill from a redrawn row.
  unsigned FillCount() const { return fillCount_; }
  bool IsModified() const { return modified_; }
  bool RestoreEnabled() const { return modified_; }
  // Help > Help is available while a file exists at the help file path; asked
  // each time the Help menu opens.
  bool HelpEnabled() const;

  // Commands.
  void SelectPage(model::Page page);
  void FillList();
  // Change Setting on list row `row` (-1 when none is selected).
  void ChangeSetting(int row);
  void FactorySetting();
  void RestoreSetting();
  // Both return true when a file was written. The modified flag is cleared only
  // then; otherwise the edits stay marked as unsaved.
  bool SaveConfiguration();
  bool SaveConfigurationAs();
  // Asks to save unsaved edits first; a dismissed question sends nothing.
  void UpdatePrinter();
  void GetPrinterSetting();
  void CreateBinaryFile();
  void PrintSettingList();
  void Help();
  void About();
  // File > Exit (`exit`) or any other close. Asks to save unsaved edits; returns
  // 1 (Exit) or 2 when the window may end, 0 when it stays open because the
  // user dismissed the question, or wanted to save and no file was written
  // (Save As cancelled, or failed).
  int Close(bool exit);

  // Writes the value text of `item` into row `row`. Returns 1, or 16 when
  // memory ran out.
  int ShowValue(const model::CItem& item, int row);

 private:
  // Copies `text` into the value store, where it stays until the next fill.
  model::CText KeepText(std::string_view text);
  // The Save As rounds: until a save succeeds (true) or the user cancels.
  bool SaveAsRounds();
  model::Answer Tell(const char* text) const;

  model::IUserPrompt& prompt_;
  IConfigUi& ui_;
  model::CStatDataObj* model_ = nullptr;
  model::CModelFile* file_ = nullptr;
  int mode_ = 1;
  std::string fileName_;
  std::string printerName_;
  std::string description_;
  std::string workdir_;
  std::string helpFilePath_;
  bool modified_ = false;
  bool hasGetCmd_ = false;
  model::Page page_ = model::kBasicPage;
  std::vector<CListRow> rows_;
  // The value texts of the rows, in chunks that never move (the rows view them); a
  // changed value is added, the old text stays until the next fill.
  static constexpr std::size_t kTextChunkSize = std::size_t{16} * 1024;
  std::vector<std::unique_ptr<char[]>> textChunks_;
  std::size_t chunkSize_ = 0;  // of the last chunk, which is being filled
  std::size_t chunkUsed_ = 0;
  unsigned fillCount_ = 0;
};

}  // namespace pelmora::app
