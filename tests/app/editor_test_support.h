// Shared by the configuration-window tests: a loaded configuration and a scripted
// IConfigUi.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/logic/config_dlg.h"
#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "shell_test_support.h"

namespace pelmora::app::test {

// A model or configuration loaded as the start dialog loads it.
struct Loaded {
  model::CStatDataObj model;
  model::CModelFile file;
  int result = 0;
  explicit Loaded(const std::string& path) { result = file.Load(model, path); }
};

// Answers the windows of the configuration window from scripts, in order. A
// window asked for without a script is a test failure and is cancelled.
class ScriptedConfigUi : public IConfigUi {
 public:
  std::deque<std::function<int(CChangeValueDlg&)>> changeValue;
  std::deque<std::function<int(CChangeChoiceDlg&)>> changeChoice;
  std::deque<std::function<int(CSaveAsDlg&)>> saveAs;
  std::deque<int> updatePrinter;
  std::vector<int> updateModes;
  std::deque<std::string> binaryPaths;  // an empty path cancels
  std::vector<std::string> binaryFolders;
  std::vector<std::vector<std::string>> printed;  // LayoutSettingList texts, height 1
  std::vector<std::string> helpShown;
  int aboutShown = 0;
  int unscripted = 0;

  int RunChangeValue(CChangeValueDlg& dlg) override { return Next(changeValue, dlg); }
  int RunChangeChoice(CChangeChoiceDlg& dlg) override { return Next(changeChoice, dlg); }
  int RunSaveAs(CSaveAsDlg& dlg) override { return Next(saveAs, dlg); }
  int RunUpdatePrinter(int mode) override {
    updateModes.push_back(mode);
    if (updatePrinter.empty())
      return Unscripted();
    const int result = updatePrinter.front();
    updatePrinter.pop_front();
    return result;
  }
  bool ChooseBinaryFile(const std::string& folder, std::string& path) override {
    binaryFolders.push_back(folder);
    if (binaryPaths.empty())
      return Unscripted() == 1;
    path = binaryPaths.front();
    binaryPaths.pop_front();
    return !path.empty();
  }
  void Print(const CPrintRequest& request) override {
    std::vector<std::string> texts;
    for (const CPrintLine& line : LayoutSettingList(request, 1)) texts.push_back(line.text);
    printed.push_back(texts);
  }
  void ShowHelp(const std::string& path) override { helpShown.push_back(path); }
  void ShowAbout() override { ++aboutShown; }

 private:
  int Unscripted() {
    ++unscripted;
    return 2;
  }
  template <class Dlg>
  int Next(std::deque<std::function<int(Dlg&)>>& script, Dlg& dlg) {
    if (script.empty())
      return Unscripted();
    auto step = std::move(script.front());
    script.pop_front();
    return step(dlg);
  }
};

// Script steps: type texts into the numeric dialog until one is accepted
// (then OK; Cancel when none is), pick an entry of the choice dialog, fill in
// Save As, or cancel.
inline std::function<int(CChangeValueDlg&)> Type(std::vector<std::string> texts) {
  return [texts](CChangeValueDlg& dlg) {
    for (const std::string& text : texts) {
      if (dlg.OnOk(text, -1))
        return 1;
    }
    return 2;
  };
}
inline std::function<int(CChangeChoiceDlg&)> Pick(int index) {
  return [index](CChangeChoiceDlg& dlg) {
    dlg.OnOk(index);
    return 1;
  };
}
inline std::function<int(CSaveAsDlg&)> SaveAs(std::string name, std::string description) {
  return [name, description](CSaveAsDlg& dlg) { return dlg.OnSave(name, description) ? 1 : 2; };
}
template <class Dlg>
std::function<int(Dlg&)> Cancel() {
  return [](Dlg&) { return 2; };
}

}  // namespace pelmora::app::test
