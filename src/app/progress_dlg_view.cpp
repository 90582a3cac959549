#include "app/progress_dlg_view.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

#include "app/qt_text.h"
#include "app/screenshot.h"

namespace pelmora::app {

CProgressDlgView::CProgressDlgView(std::uint32_t upperBound, QWidget* owner, Kind kind)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      logic_(upperBound) {
  const bool network = kind == Kind::kNetworkUpdate;
  setWindowTitle(
      QString::fromUtf8(network ? update::msg::kUpdatePrinterTitle : update::CProgressDlg::kTitle));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  if (network) {
    printer_ = new QLabel(this);
    printer_->setObjectName(QStringLiteral("printer"));
    printer_->setTextFormat(Qt::PlainText);
    layout->addWidget(printer_);
  }
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progress"));
  bar_->setTextVisible(false);
  bar_->setRange(logic_.Lower(), logic_.Upper());
  bar_->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
  layout->addWidget(bar_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // A printer's update takes as long as the printer makes it: no time-driven advance.
  if (!network) {
    logic_.OnInitDialog();
    timer_.setInterval(update::CProgressDlg::kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
      logic_.OnTimer();
      ShowPos();
    });
    timer_.start();
  }
  ShowPos();
  show();
  // The network window is grabbed once it names its first printer.
  if (!network)
    MaybeGrab(this, "progress");
}

void CProgressDlgView::ShowPos() {
  // An empty range (an upper bound of 0) keeps the bar at its start.
  bar_->setValue(logic_.Upper() < logic_.Lower() ? bar_->minimum() : logic_.Pos());
}

void CProgressDlgView::SetPos(int pos) {
  logic_.SetPos(pos);
  ShowPos();
}

void CProgressDlgView::SetPrinterLine(std::string_view line) {
  if (printer_ == nullptr)
    return;
  const bool first = printer_->text().isEmpty();
  printer_->setText(ToQString(line));
  if (first)
    MaybeGrab(this, "progress_network");
}

void CProgressDlgView::Close() {
  timer_.stop();
  logic_.Close();
  hide();
}

void CProgressDlgView::closeEvent(QCloseEvent* event) {
  event->ignore();
}

std::unique_ptr<update::IProgress> CQtProgressUi::OpenProgress(std::uint32_t upperBound) {
  return std::make_unique<CProgressDlgView>(upperBound, owner_);
}

}  // namespace pelmora::app
