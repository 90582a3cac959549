// Printing the settings list through Qt's print dialog and QPainter.
#pragma once

#include <functional>

#include "app/logic/print_setting_list.h"

class QPrinter;
class QWidget;

namespace pelmora::app {

// Shows the print dialog (no page range, no selection; printing to a PDF file,
// `request.pdfPath` by default, is always offered) and, unless it is cancelled,
// prints `request` on the chosen printer. Without any print queue the print
// dialog would offer nothing to print on, so a save dialog asks for the PDF file
// instead. Returns true when a job was sent.
bool PrintSettingListWithDialog(QWidget* parent, const CPrintRequest& request);

// Replaces the question whether the system has any print queue (tests; an empty
// function restores the system's answer).
void SetPrintQueueProbe(std::function<bool()> probe);

// Prints `request` on one sheet of `printer`, as job "Printer Setting List", in
// the printer's default font: each line at 10 device units from the left, its
// top at a multiple of the character height. Lines below the sheet are lost.
void PaintSettingList(QPrinter& printer, const CPrintRequest& request);

}  // namespace pelmora::app
