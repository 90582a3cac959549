#include "qt_prompt.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "qt_text.h"
#include "update/messages.h"

namespace pelmora::app {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The texts of the editor and the printer operations that report a failure.
bool SaysSomethingFailed(std::string_view text) {
  return text.starts_with("Error") || text.starts_with("Cannot ") || Contains(text, "failed") ||
         Contains(text, "Failed") || Contains(text, "short of memory") ||
         Contains(text, "isn't right") || Contains(text, "version is illegal");
}

}  // namespace

QMessageBox::Icon MessageIcon(std::string_view title, std::string_view text,
                              model::Buttons buttons) {
  if (title == update::msg::kErrorTitle || SaysSomethingFailed(text))
    return QMessageBox::Critical;
  if (title == update::msg::kWarningTitle)
    return QMessageBox::Warning;
  return buttons == model::Buttons::kOk ? QMessageBox::Information : QMessageBox::Question;
}

model::Answer CQtPrompt::Ask(std::string_view title, std::string_view text,
                             model::Buttons buttons) {
  QMessageBox box(owner_);
  box.setWindowTitle(ToQString(title));
  box.setText(ToQString(text));
  box.setIcon(MessageIcon(title, text, buttons));
  switch (buttons) {
    case model::Buttons::kOk:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case model::Buttons::kOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case model::Buttons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      // Left alone, Escape and the close box would press No. A hidden Cancel takes
      // them instead, so a dismissed question is told apart from No.
      box.setEscapeButton(QMessageBox::Cancel);
      box.button(QMessageBox::Cancel)->hide();
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
      // Escape or the close box: dismissed, never taken for No.
      return buttons == model::Buttons::kOk ? model::Answer::kOk : model::Answer::kCancel;
  }
}

}  // namespace pelmora::app
