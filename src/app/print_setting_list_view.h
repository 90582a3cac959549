// Printing the settings list through Qt's print dialog and QPainter. This is the
// print module (libpelmora_print.so), which alone links QtPrintSupport: the program
// loads it when File > Print is first used (print_module.h), so that it starts
// without Qt's print support and its plugins mapped. Tests link it directly.
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

// The module's entry point, looked up by this name: PrintSettingListWithDialog.
inline constexpr const char* kPrintEntryPoint = "pelmora_print_setting_list";
using PrintEntryPoint = bool (*)(QWidget* parent, const CPrintRequest* request);

}  // namespace pelmora::app

extern "C" bool pelmora_print_setting_list(QWidget* parent,
                                           const pelmora::app::CPrintRequest* request);
