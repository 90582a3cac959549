#include "app/change_dlg_layout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialog_units.h"
#include "app/logic/config_dlg_texts.h"

namespace pelmora::app {

namespace {

// The dialogs' size in dialog units.
constexpr int kWidthUnits = 190;
constexpr int kHeightUnits = 90;

}  // namespace

CChangeDlgFrame BuildChangeDlgFrame(QDialog* dialog, const QString& itemName,
                                    const QString& caution) {
  dialog->setWindowTitle(QString::fromUtf8(editor_text::kChangeSettingTitle));
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setSizeGripEnabled(false);

  CChangeDlgFrame frame;
  frame.name = new QLabel(itemName, dialog);
  frame.name->setObjectName(QStringLiteral("itemName"));
  frame.name->setTextFormat(Qt::PlainText);
  frame.name->setWordWrap(true);
  QFont bold = frame.name->font();
  bold.setBold(true);
  frame.name->setFont(bold);

  frame.caution = new QLabel(caution, dialog);
  frame.caution->setObjectName(QStringLiteral("caution"));
  frame.caution->setTextFormat(Qt::PlainText);
  frame.caution->setWordWrap(true);
  frame.caution->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Without a caution the value row moves up into its space.
  frame.caution->setVisible(!caution.isEmpty());

  frame.ok = new QPushButton(QStringLiteral("OK"), dialog);
  frame.ok->setObjectName(QStringLiteral("okButton"));
  frame.ok->setDefault(true);
  frame.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  frame.cancel->setObjectName(QStringLiteral("cancelButton"));
  frame.cancel->setAutoDefault(false);
  QObject::connect(frame.cancel, &QPushButton::clicked, dialog, &QDialog::reject);

  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->setSpacing(8);
  layout->addWidget(frame.name);
  layout->addWidget(frame.caution);
  frame.valueRow = new QHBoxLayout;
  frame.valueRow->setSpacing(6);
  frame.valueRow->addSpacing(DialogUnitsToPixels(dialog, 20, 0).width());
  layout->addLayout(frame.valueRow);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(frame.ok);
  buttons->addStretch(1);
  buttons->addWidget(frame.cancel);
  layout->addLayout(buttons);

  const QSize size = DialogUnitsToPixels(dialog, kWidthUnits, kHeightUnits);
  dialog->setMinimumSize(size);
  return frame;
}

}  // namespace pelmora::app
