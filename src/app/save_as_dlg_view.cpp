#include "app/save_as_dlg_view.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/logic/config_dlg_texts.h"
#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

CSaveAsDlgView::CSaveAsDlgView(CSaveAsDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setWindowTitle(QString::fromUtf8(editor_text::kSaveAsTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  fileName_ = new QLineEdit(ToQString(logic.FileName()), this);
  fileName_->setObjectName(QStringLiteral("fileNameEdit"));
  description_ = new QLineEdit(ToQString(logic.Description()), this);
  description_->setObjectName(QStringLiteral("descriptionEdit"));
  auto* nameLabel = new QLabel(QStringLiteral("File Name (*.cfg)"), this);
  nameLabel->setBuddy(fileName_);
  auto* descriptionLabel = new QLabel(QStringLiteral("Description"), this);
  descriptionLabel->setBuddy(description_);

  auto* save = new QPushButton(QStringLiteral("Save"), this);
  save->setObjectName(QStringLiteral("saveButton"));
  save->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &CSaveAsDlgView::accept);
  connect(cancel, &QPushButton::clicked, this, &CSaveAsDlgView::reject);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(10);
  fields->setVerticalSpacing(10);
  fields->addWidget(nameLabel, 0, 0);
  fields->addWidget(fileName_, 0, 1);
  fields->addWidget(descriptionLabel, 1, 0);
  fields->addWidget(description_, 1, 1);
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addStretch(2);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->addLayout(fields);
  layout->addSpacing(6);
  layout->addLayout(buttons);

  fileName_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32);
  fileName_->selectAll();
  fileName_->setFocus();
}

void CSaveAsDlgView::accept() {
  // A refused name keeps the dialog open with the text as typed.
  if (logic_.OnSave(fileName_->text().toStdString(), description_->text().toStdString()))
    QDialog::accept();
}

void CSaveAsDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setFixedSize(size());  // laid out once; no resizing, as the system menu has no Size
  MaybeGrab(this, "save_as");
}

int RunSaveAsDlg(QWidget* parent, CSaveAsDlg& logic) {
  CSaveAsDlgView view(logic, parent);
  return view.exec() == QDialog::Accepted ? 1 : 2;
}

}  // namespace pelmora::app
