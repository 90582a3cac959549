// Helpers shared by the update tests: a scratch working folder, a scratch log, a
// model with given interfaces, and scripted child dialogs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "log/debug_log.h"
#include "model/stat_data_obj.h"
#include "update/app_state.h"
#include "update/update_printer_dlg.h"

namespace pelmora::update::test {

// Makes a fresh folder the current directory for the life of the object.
class TempCwd {
 public:
  TempCwd() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pelmora-update-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      ADD_FAILURE() << "mkdtemp failed";
    dir_ = pattern;
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  ~TempCwd() {
    std::filesystem::current_path(old_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempCwd(const TempCwd&) = delete;
  TempCwd& operator=(const TempCwd&) = delete;

  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path old_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Points the log at a fresh file with a fixed stamp for the life of the object.
class ScratchLog {
 public:
  ScratchLog() {
    log::SetLogFilePath((dir_.path() / "VORSETTA.LOG").string());
    log::SetTickSource([]() -> std::uint32_t { return 7; });
    log::EnableLog(true);
  }
  ~ScratchLog() {
    log::EnableLog(false);
    log::SetTickSource(nullptr);
    log::SetLogFilePath({});
  }
  ScratchLog(const ScratchLog&) = delete;
  ScratchLog& operator=(const ScratchLog&) = delete;

  std::string Text() const { return ReadFile((dir_.path() / "VORSETTA.LOG").string()); }

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
