#include "app/change_value_dlg_view.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/change_dlg_layout.h"
#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

namespace {}  // namespace

CChangeValueDlgView::CChangeValueDlgView(CChangeValueDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  const CChangeDlgFrame frame =
      BuildChangeDlgFrame(this, ToQString(logic.ItemName()), ToQString(logic.Caution()));
  name_ = frame.name;
  caution_ = frame.caution;
  ok_ = frame.ok;

  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("valueEdit"));
  edit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  combo_ = new QComboBox(this);
  combo_->setObjectName(QStringLiteral("valueCombo"));
  combo_->setEditable(true);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  combo_->setCompleter(nullptr);
  unit_ = new QLabel(ToQString(logic.Unit()), this);
  unit_->setObjectName(QStringLiteral("unit"));
  unit_->setTextFormat(Qt::PlainText);

  const int valueWidth = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16;
  edit_->setFixedWidth(valueWidth);
  combo_->setFixedWidth(valueWidth);
  frame.valueRow->addWidget(edit_);
  frame.valueRow->addWidget(combo_);
  frame.valueRow->addWidget(unit_);
  frame.valueRow->addStretch(1);

  if (logic.HasChoices()) {
    edit_->hide();
    for (const std::string& choice : logic.ChoiceNames()) combo_->addItem(ToQString(choice));
    combo_->setCurrentIndex(-1);
    combo_->setEditText(ToQString(logic.ValueText()));
    // Picking an entry stores that choice; typing makes the text a number again.
    connect(combo_, &QComboBox::activated, this, [this](int index) { picked_ = index; });
    connect(combo_->lineEdit(), &QLineEdit::textEdited, this, [this] { picked_ = -1; });
    combo_->setFocus();
  } else {
    combo_->hide();
    edit_->setText(ToQString(logic.ValueText()));
    edit_->selectAll();
    edit_->setFocus();
  }
  connect(ok_, &QPushButton::clicked, this, &CChangeValueDlgView::OnOk);
}

void CChangeValueDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setFixedSize(size());  // laid out once; no resizing, as the system menu has no Size
  MaybeGrab(this, "change_setting_value");
}

void CChangeValueDlgView::OnOk() {
  const bool choices = logic_.HasChoices();
  const QString text = choices ? combo_->currentText() : edit_->text();
  if (logic_.OnOk(text.toStdString(), choices ? picked_ : -1))
    accept();
}

int RunChangeValueDlg(QWidget* parent, CChangeValueDlg& logic) {
  CChangeValueDlgView view(logic, parent);
  return view.exec() == QDialog::Accepted ? 1 : 2;
}

}  // namespace pelmora::app
