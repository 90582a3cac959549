#include "qt_prompt.h"

#include <QMessageBox>

namespace pelmora::app {

model::Answer CQtPrompt::Ask(std::string_view title, std::string_view text,
                             model::Buttons buttons) {
  QMessageBox box(owner_);
  box.setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  switch (buttons) {
    case model::Buttons::kOk:
      box.setIcon(QMessageBox::Information);
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case model::Buttons::kOkCancel:
      box.setIcon(QMessageBox::Warning);
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case model::Buttons::kYesNo:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return model::Answer::kOk;
    case QMessageBox::Yes:
      return model::Answer::kYes;
    case QMessageBox::No:
      return model::Answer::kNo;
    default:
      return buttons == model::Buttons::kYesNo ? model::Answer::kNo : model::Answer::kCancel;
  }
}

}  // namespace pelmora::app
