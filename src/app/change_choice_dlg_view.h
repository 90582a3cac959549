// The choice Change Setting dialog as a Qt window over CChangeChoiceDlg.
#pragma once

#include <QDialog>

#include "app/logic/change_choice_dlg.h"

class QComboBox;
class QLabel;

namespace pelmora::app {

// Item name, caution text (hidden when empty), a drop-down list of the item's
// choices with the current one selected, and OK (default) and Cancel.
class CChangeChoiceDlgView : public QDialog {
  Q_OBJECT
 public:
  CChangeChoiceDlgView(CChangeChoiceDlg& logic, QWidget* parent);

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CChangeChoiceDlg& logic_;
  QComboBox* list_;
};

// Runs the dialog modally over `parent`: 1 OK, 2 Cancel.
int RunChangeChoiceDlg(QWidget* parent, CChangeChoiceDlg& logic);

}  // namespace pelmora::app
