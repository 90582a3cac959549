// The start dialog as a Qt window over CStartDlg.
#pragma once

#include <QDialog>
#include <QSize>
#include <functional>
#include <string>

#include "app/logic/start_dlg.h"
#include "app/qt_prompt.h"

class QAction;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

namespace pelmora::app {

// The program's main window. Choose state: the two radio buttons with OK and
// Exit; list state: the power-cycle prompt, the list of files and Select and
// Close. The list state has the dialog's full size, the choose state is
// smaller by CStartDlg::kChooseShrinkWidth x kChooseShrinkHeight; a state
// change keeps the top-left corner. "About..." is a button at the bottom left
// and the dialog's context menu, since a Qt window has no system menu to
// extend. Exit, Escape and the close box end the dialog with 2; a
// configuration window ended with File > Exit ends it with 1.
class CStartDlgView : public QDialog, private IStartUi {
  Q_OBJECT
 public:
  // Runs the configuration window; the arguments are those of RunConfigDlg.
  using ConfigRunner = std::function<int(
      QWidget* parent, int mode, model::CStatDataObj& model, model::CModelFile& file,
      const std::string& fileName, const std::string& printerName, const std::string& description,
      const std::string& workdir)>;

  // The working folder is the current directory at construction. Without
  // `runConfig` the real configuration window runs.
  explicit CStartDlgView(QWidget* parent = nullptr, ConfigRunner runConfig = {});
  ~CStartDlgView() override;

  const CStartDlg& Logic() const { return logic_; }
  // The list state's size; the choose state is smaller, see above.
  QSize ListStateSize() const { return listSize_; }

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOk();
  void OnSelect();
  void OnCloseList();
  void Refresh();
  void FillColumns();
  void FillRows();

  // IStartUi
  void Minimise() override;
  void Restore() override;
  int RunConfig(int mode, model::CStatDataObj& model, model::CModelFile& file,
                const model::CFileInfo& entry, const std::string& workingFolder) override;

  CQtPrompt prompt_;
  CStartDlg logic_;
  ConfigRunner runConfig_;
  QSize listSize_;

  QWidget* choosePanel_;
  QWidget* listPanel_;
  QRadioButton* createNew_;
  QRadioButton* openExisting_;
  QPushButton* ok_;
  QPushButton* exit_;
  QLabel* promptLabel_;
  QTreeWidget* list_;
  QPushButton* select_;
  QPushButton* close_;
  QPushButton* about_;
};

// Runs the start dialog modally in the current directory; returns its result.
int RunStartDlg();

}  // namespace pelmora::app
