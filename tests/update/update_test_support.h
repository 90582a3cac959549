// Helpers shared by the update tests: a scratch log, a model with given interfaces,
// and scripted child dialogs.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "log/debug_log.h"
#include "model/stat_data_obj.h"
#include "test_support.h"
#include "update/app_state.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update::test {

using pelmora::test::ReadFile;
using pelmora::test::TempCwd;
using pelmora::test::WriteFile;

// The log on into a scratch file, stamped 7, with a scratch folder as the current
// directory meanwhile.
class ScratchLog : public pelmora::test::ScratchLog {
 public:
  ScratchLog() : pelmora::test::ScratchLog(7) {}

 private:
  TempCwd dir_;
};

inline model::CStatDataObj ModelWith(const std::vector<std::string>& interfaces,
                                     std::string driver = "TAVEN TL450") {
  model::CStatDataObj m;
  m.AddModelName("TL450");
  for (const std::string& name : interfaces) m.AddInterface(name);
  m.SetDriverName(std::move(driver));
  return m;
}

// A progress window that records what it was told.
struct ProgressRecord {
  std::uint32_t upperBound = 0;
  std::vector<int> positions;
  bool closed = false;
  bool destroyed = false;
};

class RecordingProgress : public IProgress {
 public:
  explicit RecordingProgress(ProgressRecord& record) : record_(record) {}
  ~RecordingProgress() override { record_.destroyed = true; }
  void SetPos(int pos) override { record_.positions.push_back(pos); }
  void Close() override { record_.closed = true; }

 private:
  ProgressRecord& record_;
};

// Child dialogs answered from scripts; records every Warning dialog it ran.
class ScriptedUi : public IUpdatePrinterUi {
 public:
  struct WarningAnswer {
    int button;  // 6 Yes, 7 No, 2 Cancel or Escape
    bool ticked;
  };
  struct WarningShown {
    int mode;
    std::string ipAddress;
  };

  // Runs on the IP Address List dialog; returns the dialog's result.
  std::function<int(CIPAddressListDlg&)> ipAddressList = [](CIPAddressListDlg&) { return 2; };
  std::deque<WarningAnswer> warningAnswers;
  std::vector<WarningShown> warningsShown;
  std::deque<ProgressRecord> progress;  // a deque keeps the records in place

  int RunIPAddressListDlg(CIPAddressListDlg& dlg) override {
    dlg.OnInitDialog();
    return ipAddressList(dlg);
  }
  int RunWarningDlg(CWarningDlg& dlg) override {
    warningsShown.push_back({dlg.Mode(), dlg.IPAddress()});
    WarningAnswer answer{CWarningDlg::kYes, false};
    if (!warningAnswers.empty()) {
      answer = warningAnswers.front();
      warningAnswers.pop_front();
    }
    if (answer.button == CWarningDlg::kYes)
      return dlg.OnYes(answer.ticked);
    if (answer.button == CWarningDlg::kNo)
      return dlg.OnNo(answer.ticked);
    return dlg.OnCancel();
  }
  std::unique_ptr<IProgress> OpenProgress(std::uint32_t upperBound) override {
    progress.push_back({upperBound, {}, false, false});
    return std::make_unique<RecordingProgress>(progress.back());
  }
};

// Keeps NoWarningFlag as a test found it.
class FlagGuard {
 public:
  FlagGuard() : saved_(NoWarningFlag()) { NoWarningFlag() = false; }
  ~FlagGuard() { NoWarningFlag() = saved_; }

 private:
  bool saved_;
};

}  // namespace pelmora::update::test
