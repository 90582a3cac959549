// The Warning dialog as a Qt window over CWarningDlg.
#pragma once

#include <QDialog>

#include "update/warning_dlg.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace pelmora::app {

// Two lines of message, the check box (connection mode) or the printer's address
// in its place (network mode), and Yes (default), No and Cancel (network mode
// only). The dialog's result is the logic's: 6 Yes, 7 No, 2 Cancel; Escape and
// the close box give 7 in connection mode and 2 in network mode.
class CWarningDlgView : public QDialog {
  Q_OBJECT
 public:
  CWarningDlgView(update::CWarningDlg& logic, QWidget* parent);

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  update::CWarningDlg& logic_;
  QCheckBox* check_;
};

// Runs the Warning dialogs of the printer operations as modal windows.
class CQtWarningUi : public update::IWarningUi {
 public:
  explicit CQtWarningUi(QWidget* owner) : owner_(owner) {}
  int RunWarningDlg(update::CWarningDlg& dlg) override;

 private:
  QWidget* owner_;
};

}  // namespace pelmora::app
