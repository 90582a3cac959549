#include "about_dlg_view.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/logic/about_dlg.h"
#include "app/qt_text.h"
#include "screenshot.h"

namespace pelmora::app {

namespace {

// The help file in a browser window of its own. It belongs to the window it
// was opened from, so that it stays usable while that window is modal.
class CHelpWindow : public QDialog {
 public:
  CHelpWindow(QWidget* parent, const QString& path) : QDialog(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(640, 560);
    Load(path);
  }

  // Shows `path` (a file of HTML whatever its extension says).
  void Load(const QString& path) {
    path_ = QFileInfo(path).absoluteFilePath();
    browser_->setSearchPaths({QFileInfo(path_).absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(path_), QTextDocument::HtmlResource);
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Pelmora Help") : title);
  }
  const QString& Path() const { return path_; }

 protected:
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    MaybeGrab(this, "help");
  }

 private:
  QTextBrowser* browser_;
  QString path_;
};

QPointer<CHelpWindow>& HelpWindow() {
  static QPointer<CHelpWindow> window;
  return window;
}

}  // namespace

QIcon ApplicationIcon() {
  // The same pictures as the installed theme icon, built into the program so that it
  // shows wherever the program runs from.
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/pelmora-%1.png").arg(size), QSize(size, size));
  return icon;
}

CAboutDlgView::CAboutDlgView(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(CAboutDlg::kTitle));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* icon = new QLabel(this);
  icon->setPixmap(ApplicationIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);

  auto* product = new QLabel(QString::fromUtf8(CAboutDlg::kProductLine), this);
  product->setTextFormat(Qt::PlainText);
  QFont bold = product->font();
  bold.setBold(true);
  product->setFont(bold);
  auto* smallPrint = new QLabel(QString::fromUtf8(CAboutDlg::kSmallPrint), this);
  smallPrint->setTextFormat(Qt::PlainText);

  auto* ok = new QPushButton(QString::fromUtf8(CAboutDlg::kOkText), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(6);
  texts->addWidget(product);
  texts->addWidget(smallPrint);
  texts->addStretch();
  auto* okColumn = new QVBoxLayout;
  okColumn->addWidget(ok);
  okColumn->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(16, 14, 14, 14);
  layout->setSpacing(16);
  layout->addWidget(icon);
  layout->addLayout(texts, 1);
  layout->addLayout(okColumn);
  setFixedSize(sizeHint().expandedTo(QSize(400, 0)));
}

void CAboutDlgView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MaybeGrab(this, "about");
}

void ShowAboutBox(QWidget* parent) {
  CAboutDlgView box(parent);
  box.exec();
}

void ShowHelp(QWidget* parent, const std::string& helpFilePath) {
  const QString path = ToQString(helpFilePath);
  QPointer<CHelpWindow>& window = HelpWindow();
  // One help window: reused while it belongs to the same window, else opened
  // anew under the caller so that a modal caller does not block it.
  if (window && window->parentWidget() != parent) {
    delete window.data();
  }
  if (!window) {
    window = new CHelpWindow(parent, path);
  } else {
    window->Load(path);
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void CloseHelp() {
  delete HelpWindow().data();
}

}  // namespace pelmora::app
