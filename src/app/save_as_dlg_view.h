// The Save As dialog as a Qt window over CSaveAsDlg.
#pragma once

#include <QDialog>

#include "app/logic/save_as_dlg.h"

class QLineEdit;

namespace pelmora::app {

// "File Name (*.cfg)" and "Description" with their edits, Save (default) and
// Cancel. Save closes only when the logic accepts the name.
class CSaveAsDlgView : public QDialog {
  Q_OBJECT
 public:
  CSaveAsDlgView(CSaveAsDlg& logic, QWidget* parent);

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CSaveAsDlg& logic_;
  QLineEdit* fileName_;
  QLineEdit* description_;
};

// Runs the dialog modally over `parent`: 1 Save, 2 Cancel.
int RunSaveAsDlg(QWidget* parent, CSaveAsDlg& logic);

}  // namespace pelmora::app
