#include "app/warning_dlg_view.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

CWarningDlgView::CWarningDlgView(update::CWarningDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setWindowTitle(QString::fromUtf8(update::CWarningDlg::kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* icon = new QLabel(this);
  const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(
      style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
  icon->setAlignment(Qt::AlignTop);

  auto* message = new QLabel(QString::fromUtf8(logic.MessageText()), this);
  message->setObjectName(QStringLiteral("message"));
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(true);
  message->setMinimumWidth(fontMetrics().averageCharWidth() * 44);

  // The check box and the address share one place; the mode picks which shows.
  check_ = new QCheckBox(QString::fromUtf8(update::CWarningDlg::kCheckBoxText), this);
  check_->setObjectName(QStringLiteral("dontDisplay"));
  auto* address = new QLabel(this);
  address->setObjectName(QStringLiteral("address"));
  address->setTextFormat(Qt::PlainText);
  if (logic.IsNetworkMode())
    address->setText(ToQString(logic.AddressText()));
  check_->setVisible(logic.IsCheckBoxShown());
  check_->setEnabled(logic.IsCheckBoxShown());
  address->setVisible(logic.IsAddressShown());
  address->setEnabled(logic.IsAddressShown());

  auto* yes = new QPushButton(tr("Yes"), this);
  yes->setObjectName(QStringLiteral("yes"));
  yes->setDefault(true);
  auto* no = new QPushButton(tr("&No"), this);
  no->setObjectName(QStringLiteral("no"));
  no->setAutoDefault(false);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  cancel->setAutoDefault(false);
  cancel->setVisible(logic.IsCancelShown());
  cancel->setEnabled(logic.IsCancelShown());

  connect(yes, &QPushButton::clicked, this, [this] { done(logic_.OnYes(check_->isChecked())); });
  connect(no, &QPushButton::clicked, this, [this] { done(logic_.OnNo(check_->isChecked())); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(logic_.OnCancel()); });

  auto* grid = new QGridLayout;
  grid->addWidget(icon, 0, 0, 2, 1);
  grid->addWidget(message, 0, 1);
  grid->addWidget(check_, 1, 1);
  grid->addWidget(address, 1, 1);
  grid->setColumnStretch(1, 1);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(12);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(yes);
  buttons->addWidget(no);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CWarningDlgView::reject() {
  done(logic_.OnDismiss());
}

void CWarningDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MaybeGrab(this, logic_.IsNetworkMode() ? "warning_network" : "warning_connection");
}

int CQtWarningUi::RunWarningDlg(update::CWarningDlg& dlg) {
  CWarningDlgView view(dlg, owner_);
  return view.exec();
}

}  // namespace pelmora::app
