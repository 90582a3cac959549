// Window sizes designed in dialog units, so that they grow with the user's font.
#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QString>
#include <QWidget>

namespace pelmora::app {

// `x` and `y` dialog units in pixels for `widget`'s font: a horizontal unit is a
// quarter of the font's average character width (the width of the 52 ASCII letters
// over 52, rounded), a vertical one an eighth of its height; fractions are dropped.
inline QSize DialogUnitsToPixels(const QWidget* widget, int x, int y) {
  const QFontMetrics metrics(widget->font());
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int average = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  return {x * average / 4, y * metrics.height() / 8};
}

}  // namespace pelmora::app
