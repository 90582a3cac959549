// The Update Printer / Get Printer Setting window.
#pragma once

#include <QWidget>

#include "model/stat_data_obj.h"

namespace pelmora::app {

// Runs the Update Printer dialog modally over `parent` on `model` (borrowed; a
// read-back writes into its current image). `mode` 1 is Update Printer, 2 Get
// Printer Setting. Returns 1 when the printer operation finished and the dialog
// closed, 2 when the user closed it without one.
int RunUpdatePrinterDlg(QWidget* parent, int mode, model::CStatDataObj& model);

}  // namespace pelmora::app
