// The IP Address List dialog as a Qt window over CIPAddressListDlg, and the
// two-column printer list it shares with the Update Printer dialog.
#pragma once

#include <QDialog>
#include <vector>

#include "update/ip_address_list_dlg.h"

class QTreeWidget;

namespace pelmora::app {

// A report-style list with the columns "IP Address" (100 pixels, more when a
// full dotted address needs it) and
// "Description" (the rest), whole rows selected, several at a time.
QTreeWidget* MakePrinterList(QWidget* parent);
// Replaces all rows of `list` by one row per entry.
void FillPrinterList(QTreeWidget* list, const std::vector<update::CIPAddressEntry>& entries);
// Indices of the selected rows, in row order.
std::vector<int> SelectedRows(const QTreeWidget* list);

// The saved printers with Select (default), Remove and Back. Select or a double
// click closes with 1 when a row is selected; Back and Escape close with 2.
class CIPAddressListDlgView : public QDialog {
  Q_OBJECT
 public:
  CIPAddressListDlgView(update::CIPAddressListDlg& logic, QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnSelect();

  update::CIPAddressListDlg& logic_;
  QTreeWidget* list_;
};

}  // namespace pelmora::app
