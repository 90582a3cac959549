#include "app/print_setting_list_view.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace pelmora::app {

bool PrintSettingListWithDialog(QWidget* parent, const CPrintRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  PaintSettingList(printer, request);
  return true;
}

void PaintSettingList(QPrinter& printer, const CPrintRequest& request) {
  printer.setDocName(QString::fromUtf8(kPrintDocumentName));
  printer.setFullPage(false);
  QPainter painter;
  // A printer that refuses the job just prints nothing.
  if (!painter.begin(&printer))
    return;
  const QFontMetrics metrics = painter.fontMetrics();
  const int pageHeight = painter.viewport().height();
  for (const CPrintLine& line : LayoutSettingList(request, metrics.height(), pageHeight)) {
    painter.drawText(kPrintLeft, line.top + metrics.ascent(), QString::fromStdString(line.text));
  }
  painter.end();
}

}  // namespace pelmora::app
