#include "app/change_choice_dlg_view.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/change_dlg_layout.h"
#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

CChangeChoiceDlgView::CChangeChoiceDlgView(CChangeChoiceDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  const CChangeDlgFrame frame =
      BuildChangeDlgFrame(this, ToQString(logic.ItemName()), ToQString(logic.Caution()));
  list_ = new QComboBox(this);
  list_->setObjectName(QStringLiteral("choiceList"));
  list_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  list_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 20);
  for (const std::string& choice : logic.Choices()) list_->addItem(ToQString(choice));
  list_->setCurrentIndex(logic.Selected());
  frame.valueRow->addWidget(list_);
  frame.valueRow->addStretch(1);
  list_->setFocus();
  connect(frame.ok, &QPushButton::clicked, this, &CChangeChoiceDlgView::accept);
}

void CChangeChoiceDlgView::accept() {
  logic_.OnOk(list_->currentIndex());
  QDialog::accept();
}

void CChangeChoiceDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setFixedSize(size());  // laid out once; no resizing, as the system menu has no Size
  MaybeGrab(this, "change_setting_choice");
}

int RunChangeChoiceDlg(QWidget* parent, CChangeChoiceDlg& logic) {
  CChangeChoiceDlgView view(logic, parent);
  return view.exec() == QDialog::Accepted ? 1 : 2;
}

}  // namespace pelmora::app
