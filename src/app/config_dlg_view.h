// The configuration window: the Qt view over CConfigDlg.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QLabel>
#include <string>

#include "app/logic/config_dlg.h"
#include "app/qt_prompt.h"

class QAction;
class QMenu;
class QPushButton;
class QTabBar;
class QTreeView;
class QWidget;

namespace pelmora::model {
class CStatDataObj;
class CModelFile;
}  // namespace pelmora::model

namespace pelmora::app {

// A label that cuts each of its lines short with "…" when it is too narrow for
// them, and then shows the whole text as its tooltip.
class CElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void SetFullText(const QString& text);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  QString full_;
};

// The rows of a CConfigDlg as a two-column table ("Item", "Current Setting"),
// read straight from the logic so a page of many thousand items costs no
// per-row widgets.
class CSettingListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  CSettingListModel(const CConfigDlg& logic, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void RowChanged(int row);

 private:
  const CConfigDlg& logic_;
};

// The configuration window: menu bar (File, Option, Help), the header with the
// printer name and description, Get Printer Setting, the Basic/Advanced tabs
// over the list of items, and the command buttons. Every command goes to the
// CConfigDlg; the window follows its state afterwards.
class CConfigDlgView : public QDialog, private IConfigUi {
  Q_OBJECT
 public:
  explicit CConfigDlgView(QWidget* parent);
  ~CConfigDlgView() override;

  // Runs the window modally: CConfigDlg::DoModal with these arguments.
  int Run(int mode, model::CStatDataObj& model, model::CModelFile& file,
          const std::string& fileName, const std::string& printerName,
          const std::string& description, const std::string& workdir);

  // Opens the window's state without running it, for a caller that shows the
  // window itself: CConfigDlg::Start with these arguments.
  void Start(int mode, model::CStatDataObj& model, model::CModelFile& file,
             const std::string& fileName, const std::string& printerName,
             const std::string& description, const std::string& workdir);

  const CConfigDlg& Logic() const { return logic_; }

  // The cancel path (Close, Escape, the close box, File > Close).
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Enter in the list opens Change Setting for its current row.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* AddButton(const char* text, const char* objectName);
  QAction* AddAction(QMenu* menu, const char* text, const char* objectName);
  // Shows the logic's state: header, tabs, enabling.
  void Sync();
  void Bind();
  int SelectedRow() const;
  void OnExit();
  // Runs `command` on the logic, then follows its state.
  template <class Command>
  void Do(Command command);

  // IConfigUi
  int RunChangeValue(CChangeValueDlg& dlg) override;
  int RunChangeChoice(CChangeChoiceDlg& dlg) override;
  int RunSaveAs(CSaveAsDlg& dlg) override;
  int RunUpdatePrinter(int mode) override;
  bool ChooseBinaryFile(const std::string& folder, std::string& path) override;
  void Print(const CPrintRequest& request) override;
  void ShowHelp(const std::string& helpFilePath) override;
  void ShowAbout() override;
  void RowsAboutToBeReset() override;
  void RowsReset() override;
  void RowChanged(int row) override;

  CQtPrompt prompt_;
  CConfigDlg logic_;
  model::CStatDataObj* model_ = nullptr;
  CSettingListModel* rows_;
  bool advancedGrabbed_ = false;

  CElidedLabel* header_;
  QTabBar* tabs_;
  QTreeView* list_;
  QPushButton* getPrinterSetting_;
  QPushButton* restoreSetting_;
  QPushButton* changeSetting_;
  QPushButton* createBinaryFile_;
  QPushButton* saveConfiguration_;
  QPushButton* updatePrinter_;
  QPushButton* close_;
  QMenu* optionMenu_;
  QMenu* helpMenu_;
  QAction* restoreAction_;
  QAction* getPrinterSettingAction_;
  QAction* helpAction_;
};

// `size` made small enough that `window`, with a window manager's frame
// around it, fits on its screen (a large scale factor on a small screen).
QSize FitToScreen(const QWidget* window, QSize size);

// Runs the configuration window modally over `model`, which `file` loaded
// from `fileName` in `workdir` (mode 1: a new configuration from a model
// definition; mode 2: a configuration saved in the settings folder). Returns
// 1 when the user chose File > Exit, else 2.
int RunConfigDlg(QWidget* parent, int mode, model::CStatDataObj& model, model::CModelFile& file,
                 const std::string& fileName, const std::string& printerName,
                 const std::string& description, const std::string& workdir);

}  // namespace pelmora::app
