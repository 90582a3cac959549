#include "app/print_setting_list_view.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <utility>

#include "app/qt_text.h"

namespace pelmora::app {

namespace {

std::function<bool()>& QueueProbe() {
  static std::function<bool()> probe;
  return probe;
}

bool HasPrintQueue() {
  const std::function<bool()>& probe = QueueProbe();
  return probe ? probe() : !QPrinterInfo::availablePrinters().isEmpty();
}

// Asks where the PDF goes, starting from `path`; false when cancelled.
bool ChoosePdfPath(QWidget* parent, const QString& path, QString& chosen) {
  QFileDialog dialog(parent, QFileDialog::tr("Print to File (PDF)"));
  dialog.setObjectName(QStringLiteral("pdfFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.setNameFilter(QFileDialog::tr("PDF files (*.pdf)"));
  dialog.selectFile(path);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  chosen = dialog.selectedFiles().front();
  return true;
}

}  // namespace

bool PrintSettingListWithDialog(QWidget* parent, const CPrintRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QString::fromUtf8(kPrintDocumentName));
  const QString pdfPath = ToQString(request.pdfPath);
  if (!HasPrintQueue()) {
    QString chosen;
    if (!ChoosePdfPath(parent, pdfPath, chosen))
      return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(chosen);
    PaintSettingList(printer, request);
    return true;
  }
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  // Qt's own default for the file is named after the job, outside the working
  // folder; setting the printer's output file instead would preselect the file.
  if (auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename")); file != nullptr)
    file->setText(pdfPath);
  if (dialog.exec() != QDialog::Accepted)
    return false;
  PaintSettingList(printer, request);
  return true;
}

void SetPrintQueueProbe(std::function<bool()> probe) {
  QueueProbe() = std::move(probe);
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
    painter.drawText(kPrintLeft, line.top + metrics.ascent(), ToQString(line.text));
  }
  painter.end();
}

}  // namespace pelmora::app

extern "C" bool pelmora_print_setting_list(QWidget* parent,
                                           const pelmora::app::CPrintRequest* request) {
  return pelmora::app::PrintSettingListWithDialog(parent, *request);
}
