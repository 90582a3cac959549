// The About box and the help window as Qt widgets, reachable from the start
// dialog and from the configuration window's Help menu.
#pragma once

#include <QDialog>
#include <QIcon>
#include <string>

namespace pelmora::app {

// The application's icon (a printer with a sheet), set on every window of the
// program; its pictures are read from the program's resources when drawn.
QIcon ApplicationIcon();

// The About box: icon, product line and small print, and a default OK button.
class CAboutDlgView : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlgView(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

// Shows the modal About box.
void ShowAboutBox(QWidget* parent);

// Shows the HTML help file in a help window (one window per process; a
// second call brings the open window to the front). The caller checks
// HelpFileExists first: the menu item is grayed when there is no help file.
void ShowHelp(QWidget* parent, const std::string& helpFilePath);

// Closes the help window if one is open; the start dialog does this when it
// goes away, since the help belongs to the run.
void CloseHelp();

}  // namespace pelmora::app
