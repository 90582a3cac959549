// The About box: the product's name and version and a line of small print.
#pragma once

namespace pelmora::app {

// Texts of the About box. It has no behaviour of its own: OK, Escape or the
// close box end it, and it returns nothing to its caller.
class CAboutDlg {
 public:
  static constexpr const char* kTitle = "About...";
  static constexpr const char* kProductLine = "Pelmora Version 1.30";
  static constexpr const char* kSmallPrint = "Settings tool for TAVEN printers";
  static constexpr const char* kOkText = "OK";
};

}  // namespace pelmora::app
