// The Warning dialog and the progress window of the printer operations, on a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "update/update_printer_dlg.h"

namespace pelmora::cli {

// The Warning dialog prints its message on `err` and is answered Yes when `assumeYes`
// is set, else asked on the terminal when standard input is one ("Don't display this
// message." is never ticked: a run makes one update), and answered No otherwise. The
// progress window is a percentage on `err` when that is a terminal, silent otherwise.
class CCliUpdateUi final : public update::IUpdatePrinterUi {
 public:
  explicit CCliUpdateUi(bool assumeYes, std::FILE* err = stderr)
      : assumeYes_(assumeYes), err_(err) {}

  int RunWarningDlg(update::CWarningDlg& dlg) override;
  std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t upperBound) override;
  // No printer list to browse on a command line.
  int RunIPAddressListDlg(update::CIPAddressListDlg&) override { return 2; }

 private:
  bool assumeYes_;
  std::FILE* err_;
};

}  // namespace pelmora::cli
