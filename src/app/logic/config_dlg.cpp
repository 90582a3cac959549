#include "app/logic/config_dlg.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

#include "app/logic/app_paths.h"
#include "app/logic/binary_file.h"
#include "app/logic/config_dlg_texts.h"
#include "model/item_text.h"
#include "model/result_codes.h"

namespace pelmora::app {

namespace {

using model::Answer;
using model::Buttons;

// Rebuilds the current image from `lines`; false when that failed.
bool Rebuild(model::CStatDataObj& model, const std::vector<model::CDataLine>& lines) {
  try {
    return model.BuildImage(lines) == 1;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

bool& AdministratorWarningFlag() {
  static bool warned = false;
  return warned;
}

int CConfigDlg::DoModal(int mode, model::CStatDataObj& model, model::CModelFile& file,
                        const std::string& fileName, const std::string& printerName,
                        const std::string& description, const std::string& workdir,
                        const Runner& run) {
  Start(mode, model, file, fileName, printerName, description, workdir);
  return run(*this) == 1 ? 1 : 2;
}

void CConfigDlg::Start(int mode, model::CStatDataObj& model, model::CModelFile& file,
                       const std::string& fileName, const std::string& printerName,
                       const std::string& description, const std::string& workdir) {
  mode_ = mode;
  model_ = &model;
  file_ = &file;
  fileName_ = fileName;
  printerName_ = printerName;
  description_ = description;
  workdir_ = workdir;
  helpFilePath_ = HelpFilePath(workdir, InstalledDataDir());
  modified_ = false;
  hasGetCmd_ = !model.ReadTemplate().empty();
  page_ = model::kBasicPage;
  FillList();
}

std::string CConfigDlg::HeaderText() const {
  return editor_text::kPrinterLabel + printerName_ + "\n" + editor_text::kDescriptionLabel +
         description_;
}

bool CConfigDlg::HasAdvancedPage() const {
  return model_ != nullptr && !model_->AdvancedItems().empty();
}

bool CConfigDlg::HelpEnabled() const {
  std::error_code error;
  return std::filesystem::is_regular_file(helpFilePath_, error);
}

model::Answer CConfigDlg::Tell(const char* text) const {
  return prompt_.Ask(editor_text::kTitle, text, Buttons::kOk);
}

void CConfigDlg::SelectPage(model::Page page) {
  page_ =
      page == model::kAdvancedPage && HasAdvancedPage() ? model::kAdvancedPage : model::kBasicPage;
  FillList();
}

void CConfigDlg::FillList() {
  ++fillCount_;
  ui_.RowsAboutToBeReset();
  rows_.clear();
  textChunks_.clear();
  if (model_ == nullptr) {
    ui_.RowsReset();
    return;
  }
  // The warning comes once per move from Basic to Advanced, not on refills.
  if (page_ == model::kAdvancedPage && !AdministratorWarningFlag()) {
    prompt_.Ask(editor_text::kWarningTitle, editor_text::kAdministratorOnly, Buttons::kOk);
    AdministratorWarningFlag() = true;
  }
  const std::vector<model::CItem>& items = model_->Items(page_);
  rows_.reserve(items.size());
  for (const model::CItem& item : items) {
    rows_.push_back({item.name, CRowText()});
    if (ShowValue(item, static_cast<int>(rows_.size() - 1)) == model::kResultNoMemory)
      Tell(editor_text::kShortOfMemory);
  }
  if (page_ == model::kBasicPage)
    AdministratorWarningFlag() = false;
  ui_.RowsReset();
}

int CConfigDlg::ShowValue(const model::CItem& item, int row) {
  if (model_ == nullptr || row < 0 || static_cast<std::size_t>(row) >= rows_.size())
    return 1;
  try {
    rows_[static_cast<std::size_t>(row)].value =
        CRowText(KeepText(model::GetItemText(*model_, item)));
  } catch (const std::bad_alloc&) {
    return model::kResultNoMemory;
  }
  return 1;
}

model::CText CConfigDlg::KeepText(std::string_view text) {
  // A text longer than a chunk gets a chunk of its own size.
  if (textChunks_.empty() || chunkSize_ - chunkUsed_ < text.size()) {
    chunkSize_ = std::max(text.size(), kTextChunkSize);
    textChunks_.push_back(std::make_unique<char[]>(chunkSize_));
    chunkUsed_ = 0;
  }
  char* at = textChunks_.back().get() + chunkUsed_;
  std::copy(text.begin(), text.end(), at);
  chunkUsed_ += text.size();
  return model::CText(std::string_view(at, text.size()));
}

void CConfigDlg::ChangeSetting(int row) {
  if (model_ == nullptr || row < 0 || static_cast<std::size_t>(row) >= rows_.size())
    return;
  const CListRow& shown = rows_[static_cast<std::size_t>(row)];
  // The item is looked up by the row's name; the dialogs take it by position.
  const std::vector<model::CItem>& items = model_->Items(page_);
  const model::CItem* item = nullptr;
  for (const model::CItem& candidate : items) {
    if (candidate.name == shown.name.View()) {
      item = &candidate;
      break;
    }
  }
  if (item == nullptr)
    return;
  if (item->changeable == 0) {
    Tell(editor_text::kCannotChange);
    return;
  }
  const std::string currentText(shown.value.View());
  int result = 2;
  if (item->type == model::kNumberItem) {
    CChangeValueDlg dlg(prompt_);
    result = dlg.DoModal(*model_, page_, row, currentText,
                         [this](CChangeValueDlg& d) { return ui_.RunChangeValue(d); });
  } else {
    CChangeChoiceDlg dlg(prompt_);
    result = dlg.DoModal(*model_, page_, row, currentText,
                         [this](CChangeChoiceDlg& d) { return ui_.RunChangeChoice(d); });
  }
  if (result == 1)
    modified_ = true;
  ShowValue(*item, row);
  ui_.RowChanged(row);
}

void CConfigDlg::FactorySetting() {
  if (model_ == nullptr)
    return;
  if (prompt_.Ask(editor_text::kWarningTitle, editor_text::kFactoryQuestion, Buttons::kOkCancel) !=
      Answer::kOk)
    return;
  if (!Rebuild(*model_, model_->DefaultLines())) {
    Tell(editor_text::kException);
    return;
  }
  FillList();
  modified_ = true;
}

void CConfigDlg::RestoreSetting() {
  if (model_ == nullptr)
    return;
  if (prompt_.Ask(editor_text::kCautionTitle, editor_text::kRestoreQuestion, Buttons::kOkCancel) !=
      Answer::kOk)
    return;
  if (!Rebuild(*model_, model_->SetLines())) {
    Tell(editor_text::kException);
    return;
  }
  FillList();
  modified_ = false;
}

bool CConfigDlg::SaveAsRounds() {
  // The texts typed last come back after a declined overwrite or a failed
  // save; the window's own name and description change only with a save.
  std::string name = fileName_;
  std::string description = description_;
  CSaveAsDlg dlg(prompt_);
  for (;;) {
    if (dlg.DoModal(name, description, [this](CSaveAsDlg& d) { return ui_.RunSaveAs(d); }) != 1)
      return false;
    if (file_->SaveSetting(prompt_, workdir_, name, description) == 1) {
      fileName_ = name;
      description_ = description;
      mode_ = 2;
      return true;
    }
  }
}

bool CConfigDlg::SaveConfiguration() {
  if (model_ == nullptr)
    return false;
  bool saved = false;
  if (mode_ == 1) {
    saved = SaveAsRounds();
  } else {
    // A failure has already been reported by the save itself.
    saved = file_->OverwriteSetting(prompt_, workdir_, fileName_, description_) == 1;
  }
  if (saved)
    modified_ = false;
  return saved;
}

bool CConfigDlg::SaveConfigurationAs() {
  if (model_ == nullptr)
    return false;
  const bool saved = SaveAsRounds();
  if (saved)
    modified_ = false;
  return saved;
}

void CConfigDlg::UpdatePrinter() {
  if (model_ == nullptr)
    return;
  if (modified_) {
    const Answer answer =
        prompt_.Ask(editor_text::kTitle, editor_text::kSaveQuestion, Buttons::kYesNo);
    // Dismissing the question goes back to the window without sending.
    if (answer == Answer::kCancel)
      return;
    if (answer == Answer::kYes)
      SaveConfiguration();
  }
  // The current image goes to the printer whether it was saved or not.
  ui_.RunUpdatePrinter(1);
}

void CConfigDlg::GetPrinterSetting() {
  if (model_ == nullptr || !hasGetCmd_)
    return;
  if (ui_.RunUpdatePrinter(2) != 1)
    return;
  FillList();
  modified_ = true;
}

void CConfigDlg::CreateBinaryFile() {
  if (model_ == nullptr)
    return;
  app::CreateBinaryFile(*model_, prompt_, workdir_,
                        [this](const std::string& folder, std::string& path) {
                          return ui_.ChooseBinaryFile(folder, path);
                        });
}

void CConfigDlg::PrintSettingList() {
  CPrintRequest request;
  request.printerName = printerName_;
  request.description = description_;
  request.advancedPage = page_ == model::kAdvancedPage;
  request.rows = rows_;
  request.pdfPath =
      (std::filesystem::path(workdir_) / std::filesystem::path(fileName_).stem()).string() + ".pdf";
  ui_.Print(request);
}

void CConfigDlg::Help() {
  ui_.ShowHelp(helpFilePath_);
}

void CConfigDlg::About() {
  ui_.ShowAbout();
}

int CConfigDlg::Close(bool exit) {
  if (modified_) {
    const Answer answer =
        prompt_.Ask(editor_text::kTitle, editor_text::kSaveQuestion, Buttons::kYesNo);
    // Dismissed: the window stays open with the edits, as when saving fails.
    if (answer == Answer::kCancel || (answer == Answer::kYes && !SaveConfiguration()))
      return 0;
  }
  return exit ? 1 : 2;
}

}  // namespace pelmora::app
