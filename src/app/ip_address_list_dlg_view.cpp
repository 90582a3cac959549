#include "app/ip_address_list_dlg_view.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

QTreeWidget* MakePrinterList(QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setColumnCount(2);
  list->setHeaderLabels({QObject::tr("IP Address"), QObject::tr("Description")});
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->header()->setStretchLastSection(true);
  list->header()->setSectionsMovable(false);
  // 100 pixels, or wider when the font needs it for a full dotted address.
  const int addressWidth =
      list->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 16;
  list->setColumnWidth(0, std::max(100, addressWidth));
  return list;
}

void FillPrinterList(QTreeWidget* list, const std::vector<update::CIPAddressEntry>& entries) {
  list->clear();
  QList<QTreeWidgetItem*> items;
  for (const update::CIPAddressEntry& entry : entries) {
    items.append(new QTreeWidgetItem({ToQString(entry.ipAddress), ToQString(entry.description)}));
  }
  list->addTopLevelItems(items);
}

std::vector<int> SelectedRows(const QTreeWidget* list) {
  std::vector<int> rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->isSelected())
      rows.push_back(i);
  }
  return rows;
}

CIPAddressListDlgView::CIPAddressListDlgView(update::CIPAddressListDlg& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setWindowTitle(QString::fromUtf8(update::CIPAddressListDlg::kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  list_ = MakePrinterList(this);
  list_->setObjectName(QStringLiteral("savedList"));
  auto* select = new QPushButton(tr("Select"), this);
  select->setObjectName(QStringLiteral("select"));
  select->setDefault(true);
  auto* remove = new QPushButton(tr("Remove"), this);
  remove->setObjectName(QStringLiteral("remove"));
  remove->setAutoDefault(false);
  auto* back = new QPushButton(tr("Back"), this);
  back->setObjectName(QStringLiteral("back"));
  back->setAutoDefault(false);

  connect(select, &QPushButton::clicked, this, &CIPAddressListDlgView::OnSelect);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &CIPAddressListDlgView::OnSelect);
  connect(remove, &QPushButton::clicked, this, [this] {
    logic_.OnRemove(SelectedRows(list_));
    FillPrinterList(list_, logic_.Rows());
  });
  connect(back, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(select);
  buttons->addWidget(remove);
  buttons->addStretch(1);
  buttons->addWidget(back);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(fontMetrics().averageCharWidth() * 58, fontMetrics().height() * 16);

  logic_.OnInitDialog();
  FillPrinterList(list_, logic_.Rows());
}

void CIPAddressListDlgView::OnSelect() {
  if (logic_.OnSelect(SelectedRows(list_)))
    accept();
}

void CIPAddressListDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MaybeGrab(this, "ip_address_list");
}

}  // namespace pelmora::app
