// The Update Printer / Get Printer Setting dialog as a Qt window over
// CUpdatePrinterDlg.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <vector>

#include "app/operation_runner.h"
#include "app/qt_prompt.h"
#include "update/update_printer_dlg.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace pelmora::app {

// The child windows of the dialog and of its printer operations, as Qt windows
// over `owner`: the IP Address List dialog, the Warning dialog and the progress
// window. UI thread only.
class CQtUpdatePrinterUi : public update::IUpdatePrinterUi {
 public:
  explicit CQtUpdatePrinterUi(QWidget* owner) : owner_(owner) {}
  int RunIPAddressListDlg(update::CIPAddressListDlg& dlg) override;
  int RunWarningDlg(update::CWarningDlg& dlg) override;
  std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t upperBound) override;
  std::unique_ptr<update::IProgress> OpenNetworkProgress(std::uint32_t upperBound) override;

 private:
  QWidget* owner_;
};

// What the window talks to besides its widgets. Without a prompt or ui, it shows
// message boxes and child windows over itself.
struct UpdatePrinterViewOptions {
  update::UpdatePrinterEnvironment env{};
  model::IUserPrompt* prompt = nullptr;
  update::IUpdatePrinterUi* ui = nullptr;
};

// The connection list, the serial controls, the TCP/IP controls with the target
// list, and Update (Get) and Cancel. The window has two fixed sizes: the full one
// for TCP/IP and a compact one for the other connections, in which only the
// connection's own group of controls shows. Results: 1 when an operation finished
// (the dialog then closes), 2 when the user closed it.
//
// Update (Get) runs the printer operation on a thread of its own, so that the window
// and the progress window keep painting while it waits on the printer; meanwhile the
// controls are disabled and the dialog cannot be closed. The logic's state (and the
// model) then belongs to that thread, as do the update layer's globals it touches
// (NoWarningFlag, the log), so the window thread leaves them alone until it ends.
class CUpdatePrinterDlgView : public QDialog {
  Q_OBJECT
 public:
  explicit CUpdatePrinterDlgView(QWidget* parent,
                                 UpdatePrinterViewOptions options = UpdatePrinterViewOptions{});
  // Waits for a running operation, answering what it asks.
  ~CUpdatePrinterDlgView() override;

  // Runs the dialog modally on `model` in `mode` (1 Update Printer, 2 Get Printer
  // Setting) and returns 1 or 2.
  int DoModal(int mode, model::CStatDataObj& model);

  update::CUpdatePrinterDlg& Logic() { return logic_; }
  QSize FullSize() const { return fullSize_; }
  QSize CompactSize() const { return compactSize_; }

  // True while an operation runs.
  bool IsBusy() const { return runner_.IsRunning(); }

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWidgets();
  void InitDialog();
  void ShowSerial();
  void ShowLayout();
  void ShowRows();
  void ShowEdits();
  void OnConnectionActivated(int index);
  void OnUpdate();
  void OnOperationEnded(int result);
  void SetControlsEnabled(bool enabled);
  void Grab();

  CQtPrompt qtPrompt_{this};
  CQtUpdatePrinterUi qtUi_{this};
  // Before the logic, which talks to the user only through the runner's stand-ins.
  COperationRunner runner_;
  update::CUpdatePrinterDlg logic_;

  QComboBox* connection_;
  QGroupBox* serialGroup_;
  QComboBox* baud_;
  QButtonGroup* parity_;
  QButtonGroup* length_;
  QButtonGroup* stop_;
  QGroupBox* tcpGroup_;
  QLineEdit* ipAddress_;
  QLineEdit* description_;
  QTreeWidget* targets_;
  QPushButton* update_;
  QSize fullSize_;
  QSize compactSize_;
  std::vector<update::CIPAddressEntry> shownRows_;
  // The controls disabled while an operation runs.
  std::vector<QPointer<QWidget>> disabled_;
};

}  // namespace pelmora::app
