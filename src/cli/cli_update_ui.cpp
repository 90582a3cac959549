#include "cli_update_ui.h"

#include <unistd.h>

#include <algorithm>

namespace pelmora::cli {

namespace {

// Rewrites one line of the terminal as the position moves.
class CTerminalProgress final : public update::IProgress {
 public:
  CTerminalProgress(std::uint32_t upperBound, std::FILE* err) : upper_(upperBound), err_(err) {}
  ~CTerminalProgress() override { Close(); }

  void SetPos(int pos) override {
    const std::uint64_t percent =
        upper_ == 0 ? 100
                    : std::min<std::uint64_t>(100, std::uint64_t(std::max(pos, 0)) * 100 / upper_);
    if (static_cast<int>(percent) == shown_)
      return;
    shown_ = static_cast<int>(percent);
    std::fprintf(err_, "\r%s: %3d%%", update::CProgressDlg::kTitle, shown_);
    std::fflush(err_);
  }
  void Close() override {
    if (shown_ >= 0)
      std::fputc('\n', err_);
    shown_ = -1;
  }

 private:
  std::uint32_t upper_;
  std::FILE* err_;
  int shown_ = -1;
};

class CSilentProgress final : public update::IProgress {
 public:
  void SetPos(int) override {}
  void Close() override {}
};

}  // namespace

int CCliUpdateUi::RunWarningDlg(update::CWarningDlg& dlg) {
  std::fprintf(err_, "%s\n", dlg.MessageText());
  if (dlg.IsAddressShown())
    std::fprintf(err_, "%s\n", dlg.AddressText().c_str());
  if (assumeYes_)
    return dlg.OnYes(false);
  if (!::isatty(STDIN_FILENO))
    return dlg.OnNo(false);
  std::fputs("[y/N] ", err_);
  std::fflush(err_);
  char line[64] = {};
  const bool yes =
      std::fgets(line, sizeof line, stdin) != nullptr && (line[0] == 'y' || line[0] == 'Y');
  return yes ? dlg.OnYes(false) : dlg.OnNo(false);
}

std::unique_ptr<update::IProgress> CCliUpdateUi::OpenProgress(std::uint32_t upperBound) {
  if (::isatty(::fileno(err_)))
    return std::make_unique<CTerminalProgress>(upperBound, err_);
  return std::make_unique<CSilentProgress>();
}

}  // namespace pelmora::cli
