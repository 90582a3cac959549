// The layout both Change Setting dialogs share.
#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace pelmora::app {

// The widgets of a Change Setting dialog around its value row.
struct CChangeDlgFrame {
  QLabel* name = nullptr;
  QLabel* caution = nullptr;
  QBoxLayout* valueRow = nullptr;  // the value control and, for numbers, the unit
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
};

// Builds the dialog's title, flags and layout: the item name, the caution text
// (hidden when empty, so the value row takes its place), the value row, and OK
// (the default button) and Cancel. Cancel rejects; OK is left to the caller.
CChangeDlgFrame BuildChangeDlgFrame(QDialog* dialog, const QString& itemName,
                                    const QString& caution);

}  // namespace pelmora::app
