#include "start_dlg.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "model/messages.h"
#include "model/result_codes.h"
#include "update/app_state.h"

namespace pelmora::app {

namespace {

constexpr const char* kTitle = model::msg::kAppTitle;
constexpr const char* kModelFolder = "model/";
constexpr const char* kSettingFolder = "setting/";
constexpr int kNarrowColumn = 80;

}  // namespace

CStartDlg::CStartDlg(model::IUserPrompt& prompt, IStartUi& ui) : prompt_(prompt), ui_(ui) {}

void CStartDlg::OnInitDialog(std::string workingFolder) {
  mode_ = kModeNew;
  endResult_ = 0;
  SwitchState(kStateChoose);
  // "/" becomes empty; the paths built from it still start with the one slash.
  if (!workingFolder.empty() && workingFolder.back() == '/')
    workingFolder.pop_back();
  workingFolder_ = std::move(workingFolder);
}

std::string CStartDlg::CurrentFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  return error ? std::string() : folder;
}

void CStartDlg::OnOK(int chosenMode) {
  mode_ = chosenMode == kModeOpen ? kModeOpen : kModeNew;
  if (ShowList() == 1)
    SwitchState(kStateList);
}

int CStartDlg::ShowList() {
  file_.Release();
  rows_.clear();
  const int result = mode_ == kModeNew ? file_.ListModels(prompt_, rows_, workingFolder_)
                                       : file_.ListSettings(prompt_, rows_, workingFolder_);
  if (result == model::kResultOk)
    return 1;
  rows_.clear();
  for (const std::string& text : model::ListResultMessages(result, file_)) Tell(text);
  return 0;
}

void CStartDlg::SwitchState(int state) {
  state_ = state == kStateList ? kStateList : kStateChoose;
  if (state_ == kStateChoose) {
    rows_.clear();
    file_.Release();
  }
}

void CStartDlg::OpenSelected(const std::vector<int>& selectedRows) {
  const auto first = std::min_element(selectedRows.begin(), selectedRows.end());
  if (first == selectedRows.end() || *first < 0 ||
      static_cast<std::size_t>(*first) >= rows_.size()) {
    return;
  }
  // A copy: the listing is freed and read again further down.
  const model::CFileInfo entry = rows_[static_cast<std::size_t>(*first)];
  const std::string path =
      workingFolder_ + "/" + (mode_ == kModeOpen ? kSettingFolder : kModelFolder) + entry.fileName;

  // The model lives exactly as long as this operation.
  model::CStatDataObj model;
  file_.Release();
  const int result = file_.Load(model, path);
  if (result != model::kResultOk) {
    const std::string text =
        model::LoadResultMessage(result, file_.GetErrorCode(), file_.GetLineNumber());
    if (!text.empty())
      Tell(text);
    file_.CloseSource();
    return;
  }

  ui_.Minimise();
  const int configResult = ui_.RunConfig(mode_, model, file_, entry, workingFolder_);
  // The send warning shows again in the next configuration window.
  update::NoWarningFlag() = false;
  // File > Exit ends the dialog, but only once this operation has run to its end.
  if (configResult == kResultExit)
    endResult_ = kResultExit;

  rows_.clear();
  file_.CloseSource();
  // A configuration saved under a new name shows up in the new listing; a
  // failed listing leaves the list empty in the list state.
  ShowList();
  ui_.Restore();
}

std::string CStartDlg::Prompt() const {
  return mode_ == kModeNew ? "Please power off and on the printer prior to selecting a model."
                           : "Please power off and on the printer prior to selecting a "
                             "configuration.";
}

std::vector<CStartDlg::Column> CStartDlg::Columns() const {
  if (mode_ == kModeNew)
    return {{"Printer", kNarrowColumn}, {"Description", 0}};
  return {{"File", kNarrowColumn}, {"Printer", kNarrowColumn}, {"Description", 0}};
}

std::vector<std::string> CStartDlg::RowTexts(const model::CFileInfo& row) const {
  if (mode_ == kModeNew)
    return {row.printerName, row.description};
  return {row.fileName, row.printerName, row.description};
}

void CStartDlg::Tell(const std::string& text) {
  prompt_.Ask(kTitle, text, model::Buttons::kOk);
}

}  // namespace pelmora::app
