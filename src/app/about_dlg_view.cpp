#include "about_dlg_view.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIconEngine>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

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

// The same pictures as the installed theme icon, built into the program so that it
// shows wherever the program runs from. Each is read from the resources when it is
// asked for: a QIcon built with addFile decodes and keeps all seven (360 KB), once
// for every window given the icon, though the window system takes them only once.
// The picture chosen and its scaling are those of such a QIcon: the smallest at
// least as large as asked for (by area), else the largest, shrunk to fit.
class CApplicationIconEngine : public QIconEngine {
 public:
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) override {
    // Through QImage: loading a QPixmap by name would keep it in the pixmap cache.
    QPixmap picture = QPixmap::fromImage(QImage(Path(BestSide(size))));
    if (picture.isNull())
      return picture;
    const QSize fitted = Fitted(picture.size(), size);
    if (picture.size() != fitted)
      picture = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The disabled and selected looks are the style's, as for any pixmap icon.
    if (mode != QIcon::Normal && QApplication::style() != nullptr) {
      QStyleOption option(0);
      option.palette = QGuiApplication::palette();
      const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, picture, &option);
      if (!generated.isNull())
        picture = generated;
    }
    return picture;
  }

  QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
    const int side = BestSide(size);
    return Fitted(QSize(side, side), size);
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const QPaintDevice* device = painter->device();
    const qreal ratio = device != nullptr ? device->devicePixelRatio() : qApp->devicePixelRatio();
    painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
  }

  // Only the normal pictures exist; the other modes are made from them.
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    QList<QSize> sizes;
    if (mode == QIcon::Normal && state == QIcon::Off) {
      for (const int side : kSides) sizes.push_back(QSize(side, side));
    }
    return sizes;
  }

  QIconEngine* clone() const override { return new CApplicationIconEngine; }
  QString key() const override { return QStringLiteral("CApplicationIconEngine"); }
  bool isNull() override { return false; }

 private:
  static constexpr std::array<int, 7> kSides = {16, 24, 32, 48, 64, 128, 256};

  static QString Path(int side) { return QStringLiteral(":/icons/pelmora-%1.png").arg(side); }

  static int BestSide(const QSize& size) {
    const qint64 wanted = qint64{size.width()} * size.height();
    for (const int side : kSides) {
      if (qint64{side} * side >= wanted)
        return side;
    }
    return kSides.back();
  }

  // `picture` shrunk, keeping its shape, until it fits into `size`.
  static QSize Fitted(QSize picture, const QSize& size) {
    if (!picture.isNull() && (picture.width() > size.width() || picture.height() > size.height()))
      picture.scale(size, Qt::KeepAspectRatio);
    return picture;
  }
};

QPointer<CHelpWindow>& HelpWindow() {
  static QPointer<CHelpWindow> window;
  return window;
}

}  // namespace

QIcon ApplicationIcon() {
  return QIcon(new CApplicationIconEngine);
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
