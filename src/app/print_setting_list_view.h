// Printing the settings list through Qt's print dialog and QPainter.
#pragma once

#include "app/print_setting_list.h"

class QPrinter;
class QWidget;

namespace pelmora::app {

// Shows the print dialog (no page range, no selection, no print to file) and,
// unless it is cancelled, prints `request` on the chosen printer. Returns true
// when a job was sent.
bool PrintSettingListWithDialog(QWidget* parent, const CPrintRequest& request);

// Prints `request` on one sheet of `printer`, as job "Printer Setting List", in
// the printer's default font: each line at 10 device units from the left, its
// top at a multiple of the character height. Lines below the sheet are lost.
void PaintSettingList(QPrinter& printer, const CPrintRequest& request);

}  // namespace pelmora::app
