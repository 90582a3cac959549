#include "screenshot.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace pelmora::app {

void MaybeGrab(QWidget* widget, const char* name) {
  const QByteArray dir = qgetenv("PELMORA_SCREENSHOT_DIR");
  if (dir.isEmpty() || widget == nullptr)
    return;
  // After the pending events (layout, show, first paint) have run; the widget
  // may be gone by then.
  QPointer<QWidget> target(widget);
  const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromUtf8(name) + ".png");
  QTimer::singleShot(0, widget, [target, path] {
    if (target.isNull() || !target->isVisible())
      return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!target->grab().save(path, "PNG")) {
      std::fprintf(stderr, "pelmora: cannot write screenshot %s\n", path.toLocal8Bit().constData());
    }
  });
}

}  // namespace pelmora::app
