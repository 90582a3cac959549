// The About box and the help window as Qt widgets.
#pragma once

#include <QDialog>
#include <QIcon>

namespace pelmora::app {

// The application's icon, drawn at run time (a printer with a sheet), set on
// every window of the program.
QIcon ApplicationIcon();

// The About box: icon, product line and small print, and a default OK button.
class CAboutDlgView : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlgView(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace pelmora::app
