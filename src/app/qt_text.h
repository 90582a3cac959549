// Texts from the widget-free dialog logic, which holds them as UTF-8, for the widgets.
#pragma once

#include <QString>
#include <string_view>

namespace pelmora::app {

// `text`, UTF-8, as a QString.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pelmora::app
