// The numeric Change Setting dialog as a Qt window over CChangeValueDlg.
#pragma once

#include <QDialog>

#include "app/logic/change_value_dlg.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelmora::app {

// Item name, caution text (hidden when empty, so the value moves up into its
// place), the value in a right-aligned edit or, for an item with a choice
// list, an editable combo box, the unit beside it, and OK (default) and Cancel.
// OK closes only when the logic accepts the value.
class CChangeValueDlgView : public QDialog {
  Q_OBJECT
 public:
  CChangeValueDlgView(CChangeValueDlg& logic, QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();

  CChangeValueDlg& logic_;
  QLabel* name_;
  QLabel* caution_;
  QLineEdit* edit_;
  QComboBox* combo_;
  QLabel* unit_;
  QPushButton* ok_;
  // The list entry the user picked, -1 while the text is typed.
  int picked_ = -1;
};

// Runs the dialog modally over `parent`: 1 OK, 2 Cancel.
int RunChangeValueDlg(QWidget* parent, CChangeValueDlg& logic);

}  // namespace pelmora::app
