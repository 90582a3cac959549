#include "app/update_printer_dlg_view.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <array>

#include "app/ip_address_list_dlg_view.h"
#include "app/progress_dlg_view.h"
#include "app/qt_text.h"
#include "app/screenshot.h"
#include "app/warning_dlg_view.h"

namespace pelmora::app {

namespace {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  // Enter in an edit must not start an update or remove a printer.
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// One row of radio buttons in one group, a button per column from column 1, so
// that the rows line up; each button's id is the code it stands for, and `names` gives
// their object names in the same order.
template <std::size_t N>
void AddRadioRow(QGridLayout* grid, int row, const QString& label, QButtonGroup* group,
                 QWidget* parent, const update::LineChoice (&choices)[N],
                 const std::array<const char*, N>& names) {
  grid->addWidget(MakeLabel(label, parent), row, 0);
  for (std::size_t i = 0; i < N; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(choices[i].text), parent);
    radio->setObjectName(QLatin1String(names[i]));
    group->addButton(radio, choices[i].code);
    grid->addWidget(radio, row, static_cast<int>(i) + 1);
  }
}

}  // namespace

int CQtUpdatePrinterUi::RunIPAddressListDlg(update::CIPAddressListDlg& dlg) {
  CIPAddressListDlgView view(dlg, owner_);
  return view.exec() == QDialog::Accepted ? 1 : 2;
}

int CQtUpdatePrinterUi::RunWarningDlg(update::CWarningDlg& dlg) {
  return CQtWarningUi(owner_).RunWarningDlg(dlg);
}

std::unique_ptr<update::IProgress> CQtUpdatePrinterUi::OpenProgress(std::uint32_t upperBound) {
  return CQtProgressUi(owner_).OpenProgress(upperBound);
}

std::unique_ptr<update::IProgress> CQtUpdatePrinterUi::OpenNetworkProgress(
    std::uint32_t upperBound) {
  return std::make_unique<CProgressDlgView>(upperBound, owner_,
                                            CProgressDlgView::Kind::kNetworkUpdate);
}

CUpdatePrinterDlgView::CUpdatePrinterDlgView(QWidget* parent, UpdatePrinterViewOptions options)
    : QDialog(parent),
      runner_(options.prompt ? *options.prompt : qtPrompt_, options.ui ? *options.ui : qtUi_),
      logic_(runner_.Prompt(), runner_.Ui(), std::move(options.env)) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  BuildWidgets();
}

CUpdatePrinterDlgView::~CUpdatePrinterDlgView() {
  // The operation uses the logic, which goes before the runner does.
  runner_.Wait();
}

void CUpdatePrinterDlgView::BuildWidgets() {
  connection_ = new QComboBox(this);
  connection_->setObjectName(QStringLiteral("connection"));
  connection_->setMinimumContentsLength(12);

  // Serial line settings.
  serialGroup_ = new QGroupBox(this);
  serialGroup_->setObjectName(QStringLiteral("serialGroup"));
  baud_ = new QComboBox(serialGroup_);
  baud_->setObjectName(QStringLiteral("baud"));
  for (const update::BaudEntry& entry : update::kBaudList) {
    baud_->addItem(ToQString(entry.text), QVariant::fromValue(entry.number));
  }
  parity_ = new QButtonGroup(this);
  length_ = new QButtonGroup(this);
  stop_ = new QButtonGroup(this);
  auto* baudRow = new QHBoxLayout;
  baudRow->addWidget(baud_);
  baudRow->addWidget(MakeLabel(tr("bps"), serialGroup_));
  baudRow->addStretch(1);
  auto* serial = new QGridLayout(serialGroup_);
  serial->setHorizontalSpacing(16);
  serial->setVerticalSpacing(8);
  serial->addWidget(MakeLabel(tr("Baud"), serialGroup_), 0, 0);
  serial->addLayout(baudRow, 0, 1, 1, 3);
  AddRadioRow(serial, 1, tr("Parity"), parity_, serialGroup_, update::kParityChoices,
              {"parityOff", "parityOdd", "parityEven"});
  AddRadioRow(serial, 2, tr("Length"), length_, serialGroup_, update::kLengthChoices,
              {"length8", "length7"});
  AddRadioRow(serial, 3, tr("Stop"), stop_, serialGroup_, update::kStopChoices,
              {"stop1", "stop15", "stop2"});
  serial->setColumnStretch(4, 1);

  // TCP/IP targets.
  tcpGroup_ = new QGroupBox(this);
  tcpGroup_->setObjectName(QStringLiteral("tcpGroup"));
  auto* hint = MakeLabel(
      tr("Enter IP Address and Description of Taven printer or find an existing printer by "
         "clicking on \"Browse\""),
      tcpGroup_);
  hint->setWordWrap(true);
  ipAddress_ = new QLineEdit(tcpGroup_);
  ipAddress_->setObjectName(QStringLiteral("ipAddress"));
  description_ = new QLineEdit(tcpGroup_);
  description_->setObjectName(QStringLiteral("description"));
  auto* add = MakeButton(tr("Add"), "add", tcpGroup_);
  auto* browse = MakeButton(tr("Browse"), "browse", tcpGroup_);
  targets_ = MakePrinterList(tcpGroup_);
  targets_->setObjectName(QStringLiteral("targetList"));
  auto* remove = MakeButton(tr("Remove"), "remove", tcpGroup_);
  // Tab follows the grid row by row, as the controls are seen.
  setTabOrder(ipAddress_, add);
  setTabOrder(add, description_);
  setTabOrder(description_, browse);
  setTabOrder(browse, targets_);
  setTabOrder(targets_, remove);
  auto* tcp = new QGridLayout(tcpGroup_);
  tcp->addWidget(hint, 0, 0, 1, 3);
  tcp->addWidget(MakeLabel(tr("IP Address of TAVEN Printer:"), tcpGroup_), 1, 0);
  tcp->addWidget(ipAddress_, 1, 1);
  tcp->addWidget(add, 1, 2);
  tcp->addWidget(MakeLabel(tr("Description of TAVEN Printer:"), tcpGroup_), 2, 0);
  tcp->addWidget(description_, 2, 1);
  tcp->addWidget(browse, 2, 2);
  tcp->addWidget(targets_, 3, 0, 2, 2);
  tcp->addWidget(remove, 3, 2, Qt::AlignTop);
  tcp->setRowStretch(4, 1);
  tcp->setColumnStretch(1, 1);

  update_ = MakeButton(tr("Update"), "update", this);
  auto* cancel = MakeButton(tr("Cancel"), "cancel", this);

  auto* connectionRow = new QHBoxLayout;
  connectionRow->addWidget(connection_);
  connectionRow->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(update_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeLabel(tr("Select Connection of TAVEN Printer"), this));
  layout->addLayout(connectionRow);
  layout->addSpacing(4);
  layout->addWidget(serialGroup_);
  layout->addWidget(tcpGroup_, 1);
  layout->addStretch(0);
  layout->addSpacing(4);
  layout->addLayout(buttons);

  connect(connection_, &QComboBox::activated, this, &CUpdatePrinterDlgView::OnConnectionActivated);
  connect(baud_, &QComboBox::currentIndexChanged, this,
          [this](int index) { logic_.SetBaudIndex(index); });
  connect(parity_, &QButtonGroup::idClicked, this, [this](int id) { logic_.SetParity(id); });
  connect(length_, &QButtonGroup::idClicked, this, [this](int id) { logic_.SetByteSize(id); });
  connect(stop_, &QButtonGroup::idClicked, this, [this](int id) { logic_.SetStopBits(id); });
  connect(ipAddress_, &QLineEdit::textEdited, this,
          [this](const QString& text) { logic_.SetIPAddressText(text.toStdString()); });
  connect(description_, &QLineEdit::textEdited, this,
          [this](const QString& text) { logic_.SetDescriptionText(text.toStdString()); });
  connect(add, &QPushButton::clicked, this, [this] {
    logic_.OnAdd();
    ShowRows();
  });
  connect(browse, &QPushButton::clicked, this, [this] {
    logic_.OnBrowse();
    ShowRows();
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    logic_.OnRemove(SelectedRows(targets_));
    ShowRows();
  });
  connect(targets_, &QTreeWidget::itemDoubleClicked, this, [this] {
    logic_.OnDblclkList(SelectedRows(targets_));
    ShowEdits();
  });
  connect(update_, &QPushButton::clicked, this, &CUpdatePrinterDlgView::OnUpdate);
  connect(cancel, &QPushButton::clicked, this, &CUpdatePrinterDlgView::reject);
}

int CUpdatePrinterDlgView::DoModal(int mode, model::CStatDataObj& model) {
  return logic_.DoModal(mode, model, [this] {
    InitDialog();
    const int result = exec();
    // exec returns during an operation only when the application quits; the model
    // stays the operation's until it has ended.
    runner_.Wait();
    return result;
  });
}

void CUpdatePrinterDlgView::InitDialog() {
  logic_.OnInitDialog();
  setWindowTitle(QString::fromUtf8(logic_.Title()));
  update_->setText(QString::fromUtf8(logic_.UpdateButtonText()));
  connection_->clear();
  for (const update::CConnectionEntry& entry : logic_.Connections()) {
    connection_->addItem(ToQString(entry.text), entry.type);
  }
  connection_->setCurrentIndex(logic_.CurrentSelection());
  ShowSerial();
  ShowEdits();

  // The two sizes: the full one fits the TCP/IP controls, the compact one the
  // serial controls; neither depends on which connection is chosen first.
  serialGroup_->setVisible(false);
  tcpGroup_->setVisible(true);
  layout()->invalidate();
  const QSize tcpHint = sizeHint();
  serialGroup_->setVisible(true);
  tcpGroup_->setVisible(false);
  layout()->invalidate();
  compactSize_ = sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 44, 0));
  fullSize_ =
      tcpHint.expandedTo(QSize(compactSize_.width() * 7 / 4, compactSize_.height() * 5 / 4));
  ShowLayout();
}

void CUpdatePrinterDlgView::ShowSerial() {
  baud_->setCurrentIndex(logic_.BaudIndex());
  if (auto* b = parity_->button(logic_.Parity()))
    b->setChecked(true);
  if (auto* b = length_->button(logic_.ByteSize()))
    b->setChecked(true);
  if (auto* b = stop_->button(logic_.StopBits()))
    b->setChecked(true);
}

void CUpdatePrinterDlgView::ShowLayout() {
  const update::ControlLayout layout = logic_.Layout();
  serialGroup_->setVisible(layout.serialShown);
  tcpGroup_->setVisible(layout.tcpIpShown);
  setFixedSize(layout.fullSize ? fullSize_ : compactSize_);
  ShowRows();
}

void CUpdatePrinterDlgView::ShowRows() {
  if (shownRows_ == logic_.Rows() &&
      targets_->topLevelItemCount() == static_cast<int>(shownRows_.size())) {
    return;
  }
  shownRows_ = logic_.Rows();
  FillPrinterList(targets_, shownRows_);
  Grab();
}

void CUpdatePrinterDlgView::ShowEdits() {
  ipAddress_->setText(ToQString(logic_.IPAddressText()));
  description_->setText(ToQString(logic_.DescriptionText()));
}

void CUpdatePrinterDlgView::OnConnectionActivated(int index) {
  if (index == logic_.CurrentSelection())
    return;
  logic_.OnSelchangeComboPort(index);
  connection_->setCurrentIndex(logic_.CurrentSelection());
  ShowLayout();
  Grab();
}

void CUpdatePrinterDlgView::OnUpdate() {
  if (runner_.IsRunning())
    return;
  std::optional<std::string> connection = logic_.BeginUpdate();
  if (!connection)
    return;
  SetControlsEnabled(false);
  runner_.Start([this, name = std::move(*connection)] { return logic_.RunOperation(name); },
                [this](int result) { OnOperationEnded(result); });
}

void CUpdatePrinterDlgView::OnOperationEnded(int result) {
  SetControlsEnabled(true);
  if (const int code = logic_.CloseCode(result); code != 0)
    done(code);
}

void CUpdatePrinterDlgView::SetControlsEnabled(bool enabled) {
  if (!enabled) {
    // Only the controls: windows opened over the dialog (questions, progress) are
    // its children too and must stay usable.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!child->isWindow() && child->isEnabled()) {
        child->setEnabled(false);
        disabled_.emplace_back(child);
      }
    }
    return;
  }
  for (const QPointer<QWidget>& child : disabled_) {
    if (child)
      child->setEnabled(true);
  }
  disabled_.clear();
}

void CUpdatePrinterDlgView::reject() {
  // Escape, Cancel and the close box wait for the operation to end.
  if (!runner_.IsRunning())
    done(2);
}

void CUpdatePrinterDlgView::closeEvent(QCloseEvent* event) {
  if (runner_.IsRunning()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CUpdatePrinterDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Grab();
}

void CUpdatePrinterDlgView::Grab() {
  if (!isVisible())
    return;
  static constexpr const char* kNames[] = {"update_printer_parallel", "update_printer_serial",
                                           "update_printer_tcpip", "update_printer_usb"};
  const int type = logic_.GetDialogType();
  MaybeGrab(this, type >= 0 && type < 4 ? kNames[type] : "update_printer_none");
}

}  // namespace pelmora::app
