#include "app/binary_file_view.h"

#include <QFileDialog>
#include <QStringList>

#include "app/logic/binary_file.h"
#include "app/qt_text.h"

namespace pelmora::app {

bool ChooseBinaryFilePath(QWidget* parent, const std::string& folder, std::string& path) {
  QFileDialog dialog(parent, QString(), ToQString(folder));
  dialog.setObjectName(QStringLiteral("binaryFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromUtf8(kBinaryFileExtension));
  // The filter's text carries its pattern in parentheses, as Qt reads it.
  dialog.setNameFilter(QString::fromUtf8(kBinaryFileFilter));
  if (dialog.exec() != QDialog::Accepted)
    return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty())
    return false;
  path = chosen.front().toStdString();
  return true;
}

}  // namespace pelmora::app
