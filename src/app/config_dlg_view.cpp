#include "app/config_dlg_view.h"

#include <QAction>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/about_dlg_view.h"
#include "app/binary_file_view.h"
#include "app/change_choice_dlg_view.h"
#include "app/change_value_dlg_view.h"
#include "app/dialog_units.h"
#include "app/heap_trim.h"
#include "app/logic/config_dlg_texts.h"
#include "app/print_module.h"
#include "app/qt_text.h"
#include "app/save_as_dlg_view.h"
#include "app/screenshot.h"
#include "app/update_printer_view.h"

namespace pelmora::app {

namespace {

// The window's size in dialog units.
constexpr int kWidthUnits = 360;
constexpr int kHeightUnits = 260;
// Width of the "Item" column in pixels.
constexpr int kItemColumnWidth = 250;

// Rows a little taller than the font, so the list does not look cramped.
class CRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 6);
  }
};

}  // namespace

// ---------------------------------------------------------------------------

void CElidedLabel::SetFullText(const QString& text) {
  full_ = text;
  Elide();
}

void CElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void CElidedLabel::Elide() {
  const QFontMetrics metrics(font());
  QStringList lines = full_.split(QLatin1Char('\n'));
  bool cut = false;
  for (QString& line : lines) {
    const QString shown = metrics.elidedText(line, Qt::ElideRight, contentsRect().width());
    cut = cut || shown != line;
    line = shown;
  }
  setText(lines.join(QLatin1Char('\n')));
  setToolTip(cut ? full_ : QString());
}

// ---------------------------------------------------------------------------

CSettingListModel::CSettingListModel(const CConfigDlg& logic, QObject* parent)
    : QAbstractTableModel(parent), logic_(logic) {}

int CSettingListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(logic_.Rows().size());
}

int CSettingListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant CSettingListModel::data(const QModelIndex& index, int role) const {
  // The whole text as a tooltip, for a column too narrow for it.
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid())
    return {};
  const std::vector<CListRow>& rows = logic_.Rows();
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= rows.size())
    return {};
  return ToQString(index.column() == 0 ? rows[row].name.View() : rows[row].value.View());
}

QVariant CSettingListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
    return {};
  return section == 0 ? QStringLiteral("Item") : QStringLiteral("Current Setting");
}

void CSettingListModel::RowChanged(int row) {
  emit dataChanged(index(row, 0), index(row, 1));
}

// ---------------------------------------------------------------------------

CConfigDlgView::CConfigDlgView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      prompt_(this),
      logic_(prompt_, *this),
      rows_(new CSettingListModel(logic_, this)) {
  setWindowTitle(QString::fromUtf8(editor_text::kTitle));

  // Menu bar.
  auto* menuBar = new QMenuBar(this);
  QMenu* fileMenu = menuBar->addMenu(QStringLiteral("&File"));
  fileMenu->setObjectName(QStringLiteral("fileMenu"));
  QAction* save = AddAction(fileMenu, "&Save", "saveAction");
  QAction* saveAs = AddAction(fileMenu, "Save &As...", "saveAsAction");
  QAction* print = AddAction(fileMenu, "&Print...", "printAction");
  QAction* closeAction = AddAction(fileMenu, "&Close", "closeAction");
  QAction* exitAction = AddAction(fileMenu, "E&xit", "exitAction");
  optionMenu_ = menuBar->addMenu(QStringLiteral("&Option"));
  optionMenu_->setObjectName(QStringLiteral("optionMenu"));
  restoreAction_ = AddAction(optionMenu_, "&Restore Setting", "restoreSettingAction");
  QAction* factory = AddAction(optionMenu_, "&Factory Setting", "factorySettingAction");
  QAction* update = AddAction(optionMenu_, "&Update Printer", "updatePrinterAction");
  QAction* binary = AddAction(optionMenu_, "Create &Binary File", "createBinaryFileAction");
  getPrinterSettingAction_ =
      AddAction(optionMenu_, "&Get Printer Setting", "getPrinterSettingAction");
  helpMenu_ = menuBar->addMenu(QStringLiteral("&Help"));
  helpMenu_->setObjectName(QStringLiteral("helpMenu"));
  helpAction_ = AddAction(helpMenu_, "&Help", "helpAction");
  QAction* about = AddAction(helpMenu_, "&About...", "aboutAction");

  // Header and Get Printer Setting along the top.
  header_ = new CElidedLabel(this);
  header_->setObjectName(QStringLiteral("header"));
  header_->setTextFormat(Qt::PlainText);
  // A long printer name is cut short rather than widening the window.
  header_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  getPrinterSetting_ = AddButton(update::msg::kGetPrinterSettingTitle, "getPrinterSettingButton");

  // The page tabs over the one list both pages share.
  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("pageTabs"));
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  tabs_->addTab(QString::fromUtf8(editor_text::kBasicPage));
  tabs_->addTab(QString::fromUtf8(editor_text::kAdvancedPage));
  list_ = new QTreeView(this);
  list_->setObjectName(QStringLiteral("settingList"));
  list_->setModel(rows_);
  list_->setItemDelegate(new CRowDelegate(list_));
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAllColumnsShowFocus(true);
  list_->setAlternatingRowColors(true);
  // A tab stop, so the window's main function is there for the keyboard.
  list_->setFocusPolicy(Qt::StrongFocus);
  list_->installEventFilter(this);
  list_->header()->setSectionsMovable(false);
  list_->header()->setStretchLastSection(true);
  list_->header()->resizeSection(0, kItemColumnWidth);

  restoreSetting_ = AddButton("Restore Setting", "restoreSettingButton");
  changeSetting_ = AddButton(editor_text::kChangeSettingTitle, "changeSettingButton");
  changeSetting_->setDefault(true);
  createBinaryFile_ = AddButton("Create Binary File", "createBinaryFileButton");
  saveConfiguration_ = AddButton("Save  Configuration", "saveConfigurationButton");
  updatePrinter_ = AddButton(update::msg::kUpdatePrinterTitle, "updatePrinterButton");
  close_ = AddButton("Close", "closeButton");

  auto* top = new QHBoxLayout;
  top->addWidget(header_, 1);
  top->addWidget(getPrinterSetting_, 0, Qt::AlignTop);
  auto* page = new QVBoxLayout;
  page->setSpacing(0);
  page->addWidget(tabs_);
  page->addWidget(list_, 1);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addSpacing(tabs_->sizeHint().height());
  for (QPushButton* button :
       {restoreSetting_, changeSetting_, createBinaryFile_, saveConfiguration_, updatePrinter_})
    buttons->addWidget(button);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  auto* middle = new QHBoxLayout;
  middle->setSpacing(10);
  middle->addLayout(page, 1);
  middle->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->setContentsMargins(10, 8, 10, 10);
  layout->setSpacing(8);
  layout->addLayout(top);
  layout->addLayout(middle, 1);

  // The buttons share one width, wide enough for the longest text.
  int buttonWidth = 0;
  for (QPushButton* button : {getPrinterSetting_, restoreSetting_, changeSetting_,
                              createBinaryFile_, saveConfiguration_, updatePrinter_, close_})
    buttonWidth = std::max(buttonWidth, button->sizeHint().width() + 8);
  for (QPushButton* button : {getPrinterSetting_, restoreSetting_, changeSetting_,
                              createBinaryFile_, saveConfiguration_, updatePrinter_, close_})
    button->setFixedWidth(buttonWidth);

  // Commands.
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (index < 0 || index == static_cast<int>(logic_.SelectedPage()))
      return;
    Do([&] { logic_.SelectPage(index == 1 ? model::kAdvancedPage : model::kBasicPage); });
    if (index == 1 && !advancedGrabbed_) {
      advancedGrabbed_ = true;
      MaybeGrab(this, "config_advanced");
    }
  });
  auto change = [this] { Do([&] { logic_.ChangeSetting(SelectedRow()); }); };
  connect(changeSetting_, &QPushButton::clicked, this, change);
  connect(list_, &QTreeView::doubleClicked, this, change);
  auto restore = [this] { Do([&] { logic_.RestoreSetting(); }); };
  connect(restoreSetting_, &QPushButton::clicked, this, restore);
  connect(restoreAction_, &QAction::triggered, this, restore);
  connect(factory, &QAction::triggered, this, [this] { Do([&] { logic_.FactorySetting(); }); });
  auto saveConfig = [this] { Do([&] { logic_.SaveConfiguration(); }); };
  connect(saveConfiguration_, &QPushButton::clicked, this, saveConfig);
  connect(save, &QAction::triggered, this, saveConfig);
  connect(saveAs, &QAction::triggered, this, [this] { Do([&] { logic_.SaveConfigurationAs(); }); });
  auto updatePrinter = [this] { Do([&] { logic_.UpdatePrinter(); }); };
  connect(updatePrinter_, &QPushButton::clicked, this, updatePrinter);
  connect(update, &QAction::triggered, this, updatePrinter);
  auto getPrinter = [this] { Do([&] { logic_.GetPrinterSetting(); }); };
  connect(getPrinterSetting_, &QPushButton::clicked, this, getPrinter);
  connect(getPrinterSettingAction_, &QAction::triggered, this, getPrinter);
  auto createBinary = [this] { Do([&] { logic_.CreateBinaryFile(); }); };
  connect(createBinaryFile_, &QPushButton::clicked, this, createBinary);
  connect(binary, &QAction::triggered, this, createBinary);
  connect(print, &QAction::triggered, this, [this] { Do([&] { logic_.PrintSettingList(); }); });
  connect(close_, &QPushButton::clicked, this, &CConfigDlgView::reject);
  connect(closeAction, &QAction::triggered, this, &CConfigDlgView::reject);
  connect(exitAction, &QAction::triggered, this, &CConfigDlgView::OnExit);
  connect(helpAction_, &QAction::triggered, this, [this] { logic_.Help(); });
  connect(about, &QAction::triggered, this, [this] { logic_.About(); });
  // Whether the help file is there is looked at each time the menu opens.
  connect(helpMenu_, &QMenu::aboutToShow, this,
          [this] { helpAction_->setEnabled(logic_.HelpEnabled()); });

  // The designed size is the smallest, unless the screen is smaller (a large
  // scale factor); the list takes any room beyond it.
  const QSize size = FitToScreen(
      this, DialogUnitsToPixels(this, kWidthUnits, kHeightUnits).expandedTo(sizeHint()));
  setMinimumSize(size);
  resize(size);
}

CConfigDlgView::~CConfigDlgView() {
  // The widgets outlive the logic they read from: let go of it first.
  tabs_->disconnect(this);
  list_->setModel(nullptr);
}

QPushButton* CConfigDlgView::AddButton(const char* text, const char* objectName) {
  auto* button = new QPushButton(QString::fromUtf8(text), this);
  button->setObjectName(QString::fromUtf8(objectName));
  button->setAutoDefault(false);
  return button;
}

QAction* CConfigDlgView::AddAction(QMenu* menu, const char* text, const char* objectName) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  action->setObjectName(QString::fromUtf8(objectName));
  return action;
}

int CConfigDlgView::Run(int mode, model::CStatDataObj& model, model::CModelFile& file,
                        const std::string& fileName, const std::string& printerName,
                        const std::string& description, const std::string& workdir) {
  model_ = &model;
  return logic_.DoModal(mode, model, file, fileName, printerName, description, workdir,
                        [this](CConfigDlg&) {
                          Bind();
                          const int result = exec();
                          return result == 1 ? 1 : 2;
                        });
}

void CConfigDlgView::Start(int mode, model::CStatDataObj& model, model::CModelFile& file,
                           const std::string& fileName, const std::string& printerName,
                           const std::string& description, const std::string& workdir) {
  model_ = &model;
  logic_.Start(mode, model, file, fileName, printerName, description, workdir);
  Bind();
}

void CConfigDlgView::Bind() {
  tabs_->blockSignals(true);
  tabs_->setCurrentIndex(0);
  if (!logic_.HasAdvancedPage() && tabs_->count() > 1)
    tabs_->removeTab(1);
  tabs_->blockSignals(false);
  // A model without a read command cannot read settings back.
  if (!logic_.HasGetPrinterSetting()) {
    getPrinterSetting_->hide();
    getPrinterSetting_->setEnabled(false);
    optionMenu_->removeAction(getPrinterSettingAction_);
  }
  helpAction_->setEnabled(logic_.HelpEnabled());
  changeSetting_->setFocus();
  Sync();
}

void CConfigDlgView::Sync() {
  header_->SetFullText(ToQString(logic_.HeaderText()));
  const bool restore = logic_.RestoreEnabled();
  restoreSetting_->setEnabled(restore);
  restoreAction_->setEnabled(restore);
  const int page = static_cast<int>(logic_.SelectedPage());
  if (tabs_->currentIndex() != page) {
    tabs_->blockSignals(true);
    tabs_->setCurrentIndex(page);
    tabs_->blockSignals(false);
  }
}

template <class Command>
void CConfigDlgView::Do(Command command) {
  command();
  Sync();
}

int CConfigDlgView::SelectedRow() const {
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  return selected.isEmpty() ? -1 : selected.front().row();
}

void CConfigDlgView::reject() {
  const int result = logic_.Close(false);
  Sync();
  if (result != 0)
    done(result);
}

void CConfigDlgView::OnExit() {
  const int result = logic_.Close(true);
  Sync();
  if (result != 0)
    done(result);
}

bool CConfigDlgView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_ || event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
    return QDialog::eventFilter(watched, event);
  // Taken here, so the dialog's default button does not act on it a second time.
  const QModelIndex current = list_->currentIndex();
  if (current.isValid()) {
    list_->selectionModel()->select(
        current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Do([&] { logic_.ChangeSetting(current.row()); });
  }
  return true;
}

void CConfigDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MaybeGrab(this,
            logic_.SelectedPage() == model::kAdvancedPage ? "config_advanced" : "config_basic");
}

// IConfigUi ------------------------------------------------------------------

int CConfigDlgView::RunChangeValue(CChangeValueDlg& dlg) {
  return RunChangeValueDlg(this, dlg);
}

int CConfigDlgView::RunChangeChoice(CChangeChoiceDlg& dlg) {
  return RunChangeChoiceDlg(this, dlg);
}

int CConfigDlgView::RunSaveAs(CSaveAsDlg& dlg) {
  return RunSaveAsDlg(this, dlg);
}

int CConfigDlgView::RunUpdatePrinter(int mode) {
  if (model_ == nullptr)
    return 2;
  const int result = RunUpdatePrinterDlg(this, mode, *model_);
  // However the dialog ended, the keyboard comes back to this window's list
  // (a window manager may otherwise leave no window active).
  raise();
  activateWindow();
  list_->setFocus(Qt::OtherFocusReason);
  return result;
}

bool CConfigDlgView::ChooseBinaryFile(const std::string& folder, std::string& path) {
  return ChooseBinaryFilePath(this, folder, path);
}

void CConfigDlgView::Print(const CPrintRequest& request) {
  PrintSettingList(this, request);
}

void CConfigDlgView::ShowHelp(const std::string& helpFilePath) {
  app::ShowHelp(this, helpFilePath);
}

void CConfigDlgView::ShowAbout() {
  ShowAboutBox(this);
}

void CConfigDlgView::RowsAboutToBeReset() {
  rows_->BeginReset();
}

void CConfigDlgView::RowsReset() {
  rows_->EndReset();
  // A refill frees the previous page's rows and leaves the view's temporaries.
  TrimHeapWhenIdle();
}

void CConfigDlgView::RowChanged(int row) {
  rows_->RowChanged(row);
}

// ---------------------------------------------------------------------------

QSize FitToScreen(const QWidget* window, QSize size) {
  // Room for a frame and a title bar, which are not known before the window is shown.
  constexpr QSize kFrame(16, 48);
  if (const QScreen* display = window->screen())
    size = size.boundedTo(display->availableSize() - kFrame);
  return size;
}

int RunConfigDlg(QWidget* parent, int mode, model::CStatDataObj& model, model::CModelFile& file,
                 const std::string& fileName, const std::string& printerName,
                 const std::string& description, const std::string& workdir) {
  CConfigDlgView view(parent);
  return view.Run(mode, model, file, fileName, printerName, description, workdir);
}

}  // namespace pelmora::app
