#include "start_dlg_view.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/about_dlg_view.h"
#include "app/config_dlg_view.h"
#include "app/dialog_units.h"
#include "app/qt_text.h"
#include "app/screenshot.h"
#include "model/messages.h"

namespace pelmora::app {

namespace {

// The list state's size in dialog units.
constexpr int kWidthUnits = 271;
constexpr int kHeightUnits = 169;

}  // namespace

CStartDlgView::CStartDlgView(QWidget* parent, ConfigRunner runConfig)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      prompt_(this),
      logic_(prompt_, *this),
      runConfig_(runConfig ? std::move(runConfig) : ConfigRunner(RunConfigDlg)) {
  setWindowTitle(QString::fromUtf8(model::msg::kAppTitle));
  setWindowIcon(ApplicationIcon());

  // Choose state: the two ways in, with OK and Exit beside them.
  choosePanel_ = new QWidget(this);
  createNew_ = new QRadioButton(QStringLiteral("Create New Configuration"), choosePanel_);
  openExisting_ = new QRadioButton(QStringLiteral("Open Existing Configuration"), choosePanel_);
  ok_ = new QPushButton(QStringLiteral("OK"), choosePanel_);
  exit_ = new QPushButton(QStringLiteral("Exit"), choosePanel_);
  // Each radio button beside one of the buttons, at the top of the window.
  auto* chooseLayout = new QGridLayout(choosePanel_);
  chooseLayout->setContentsMargins(8, 8, 0, 0);
  chooseLayout->setHorizontalSpacing(16);
  chooseLayout->setVerticalSpacing(10);
  chooseLayout->addWidget(createNew_, 0, 0);
  chooseLayout->addWidget(openExisting_, 1, 0);
  chooseLayout->addWidget(ok_, 0, 1);
  chooseLayout->addWidget(exit_, 1, 1);
  chooseLayout->setColumnStretch(0, 1);
  chooseLayout->setRowStretch(2, 1);

  // List state: the prompt over the list of files.
  listPanel_ = new QWidget(this);
  promptLabel_ = new QLabel(listPanel_);
  promptLabel_->setAlignment(Qt::AlignCenter);
  promptLabel_->setWordWrap(true);
  list_ = new QTreeWidget(listPanel_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setSectionsMovable(false);
  // The narrow columns keep their widths and the description takes the rest, so
  // a long name is cut short (its tooltip has it whole) rather than scrolled to.
  list_->header()->setStretchLastSection(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* listLayout = new QVBoxLayout(listPanel_);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->addWidget(promptLabel_);
  listLayout->addWidget(list_, 1);

  // Along the bottom: About on the left, Select and Close on the right.
  about_ = new QPushButton(QStringLiteral("About..."), this);
  about_->setAutoDefault(false);
  select_ = new QPushButton(QStringLiteral("Select"), this);
  close_ = new QPushButton(QStringLiteral("Close"), this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(about_);
  bottom->addStretch();
  bottom->addWidget(select_);
  bottom->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choosePanel_, 1);
  layout->addWidget(listPanel_, 1);
  layout->addLayout(bottom);

  auto* aboutAction = new QAction(QStringLiteral("About..."), this);
  addAction(aboutAction);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  connect(ok_, &QPushButton::clicked, this, &CStartDlgView::OnOk);
  connect(exit_, &QPushButton::clicked, this, &CStartDlgView::reject);
  connect(select_, &QPushButton::clicked, this, &CStartDlgView::OnSelect);
  connect(close_, &QPushButton::clicked, this, &CStartDlgView::OnCloseList);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &CStartDlgView::OnSelect);
  connect(about_, &QPushButton::clicked, this, [this] { ShowAboutBox(this); });
  connect(aboutAction, &QAction::triggered, this, [this] { ShowAboutBox(this); });

  // The list state has the dialog's size; the choose state is cut from it,
  // so both must leave room for their controls.
  listPanel_->hide();
  choosePanel_->show();
  const QSize chooseMinimum = layout->totalMinimumSize();
  choosePanel_->hide();
  listPanel_->show();
  listSize_ = DialogUnitsToPixels(this, kWidthUnits, kHeightUnits)
                  .expandedTo(layout->totalMinimumSize())
                  .expandedTo(chooseMinimum +
                              QSize(CStartDlg::kChooseShrinkWidth, CStartDlg::kChooseShrinkHeight));
  // Unless the screen is smaller (a large scale factor).
  listSize_ = FitToScreen(this, listSize_);

  createNew_->setChecked(true);
  logic_.OnInitDialog(CStartDlg::CurrentFolder());
  Refresh();
}

CStartDlgView::~CStartDlgView() {
  CloseHelp();
}

void CStartDlgView::reject() {
  logic_.OnCancel();
  done(logic_.EndResult());
}

void CStartDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MaybeGrab(this, logic_.State() == CStartDlg::kStateList ? "start_list" : "start_choose");
}

void CStartDlgView::OnOk() {
  logic_.OnOK(createNew_->isChecked() ? CStartDlg::kModeNew : CStartDlg::kModeOpen);
  Refresh();
}

void CStartDlgView::OnSelect() {
  std::vector<int> selected;
  for (QTreeWidgetItem* item : list_->selectedItems()) {
    selected.push_back(list_->indexOfTopLevelItem(item));
  }
  logic_.OpenSelected(selected);
  Refresh();
  if (logic_.EndResult() != 0)
    done(logic_.EndResult());
}

void CStartDlgView::OnCloseList() {
  logic_.OnClose();
  Refresh();
}

void CStartDlgView::Refresh() {
  const bool listing = logic_.State() == CStartDlg::kStateList;
  for (QWidget* w : std::initializer_list<QWidget*>{createNew_, openExisting_, ok_}) {
    w->setVisible(!listing);
    w->setEnabled(!listing);
  }
  exit_->setVisible(!listing);
  choosePanel_->setVisible(!listing);
  promptLabel_->setVisible(listing);
  list_->setVisible(listing);
  listPanel_->setVisible(listing);
  for (QPushButton* b : {select_, close_}) {
    b->setVisible(listing);
    b->setEnabled(listing);
  }
  // Return picks the mode in the choose state and opens the selection in the
  // list state.
  ok_->setDefault(!listing);
  select_->setDefault(listing);

  if (listing) {
    FillColumns();
    FillRows();
  } else {
    list_->clear();
  }
  // The list state's size is its smallest: the list takes any room beyond it.
  if (listing) {
    setMinimumSize(listSize_);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(listSize_);
  } else {
    setFixedSize(listSize_ - QSize(CStartDlg::kChooseShrinkWidth, CStartDlg::kChooseShrinkHeight));
  }
  if (listing) {
    list_->setFocus();
  } else {
    (createNew_->isChecked() ? createNew_ : openExisting_)->setFocus();
  }
  if (isVisible())
    MaybeGrab(this, listing ? "start_list" : "start_choose");
}

void CStartDlgView::FillColumns() {
  promptLabel_->setText(ToQString(logic_.Prompt()));
  QStringList titles;
  for (const CStartDlg::Column& column : logic_.Columns()) titles << ToQString(column.title);
  list_->clear();
  list_->setColumnCount(static_cast<int>(titles.size()));
  list_->setHeaderLabels(titles);
  for (int i = 0; i < titles.size(); ++i) list_->headerItem()->setToolTip(i, titles[i]);
}

void CStartDlgView::FillRows() {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const model::CFileInfo& row : logic_.Rows()) {
    QStringList texts;
    for (const std::string& text : logic_.RowTexts(row)) texts << ToQString(text);
    auto* item = new QTreeWidgetItem(texts);
    for (int i = 0; i < texts.size(); ++i) item->setToolTip(i, texts[i]);
    items << item;
  }
  list_->addTopLevelItems(items);
  const std::vector<CStartDlg::Column> columns = logic_.Columns();
  for (int i = 0; i + 1 < static_cast<int>(columns.size()); ++i)
    list_->setColumnWidth(i, columns[static_cast<std::size_t>(i)].width);
}

void CStartDlgView::Minimise() {
  showMinimized();
}

void CStartDlgView::Restore() {
  showNormal();
  raise();
  activateWindow();
}

int CStartDlgView::RunConfig(int mode, model::CStatDataObj& model, model::CModelFile& file,
                             const model::CFileInfo& entry, const std::string& workingFolder) {
  // No parent: a window manager that minimises a dialog's transient windows
  // along with it would hide the configuration window too.
  return runConfig_(nullptr, mode, model, file, entry.fileName, entry.printerName,
                    entry.description, workingFolder);
}

int RunStartDlg() {
  CStartDlgView dialog;
  return dialog.exec();
}

}  // namespace pelmora::app
