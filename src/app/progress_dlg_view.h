// The read-back's progress window as a Qt window over CProgressDlg.
#pragma once

#include <QDialog>
#include <QTimer>

#include "update/progress_dlg.h"

class QLabel;
class QProgressBar;

namespace pelmora::app {

// A modeless window titled "Get Printer Setting" with one bar and no close box;
// shown on construction, it goes away only through Close or destruction. Neither
// Escape nor the window manager's close request ends it. The network update's kind is
// titled "Update Printer", names the printer above the bar and has no timer: its bar
// moves only by SetPos. UI thread only.
class CProgressDlgView : public QDialog, public update::IProgress {
  Q_OBJECT
 public:
  enum class Kind { kReadBack, kNetworkUpdate };

  CProgressDlgView(std::uint32_t upperBound, QWidget* owner, Kind kind = Kind::kReadBack);

  void SetPos(int pos) override;
  void Close() override;
  void SetPrinterLine(std::string_view line) override;

  const update::CProgressDlg& Logic() const { return logic_; }

  void reject() override {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowPos();

  update::CProgressDlg logic_;
  QLabel* printer_ = nullptr;
  QProgressBar* bar_;
  QTimer timer_;
};

// Opens the progress windows of the read-back over `owner`.
class CQtProgressUi : public update::IProgressUi {
 public:
  explicit CQtProgressUi(QWidget* owner) : owner_(owner) {}
  std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t upperBound) override;

 private:
  QWidget* owner_;
};

}  // namespace pelmora::app
