#include "app/update_printer_view.h"

#include "app/update_printer_dlg_view.h"

namespace pelmora::app {

int RunUpdatePrinterDlg(QWidget* parent, int mode, model::CStatDataObj& model) {
  CUpdatePrinterDlgView view(parent);
  return view.DoModal(mode, model);
}

}  // namespace pelmora::app
