// The print module, opened at run time: File > Print of the configuration window.
#pragma once

#include "app/logic/print_setting_list.h"

class QWidget;

namespace pelmora::app {

// The module's file name. It is looked for in the installation's private library
// folder (PELMORA_PRINT_MODULE_DIR, set by the build relative to the program's
// folder), then beside the program (a build tree).
inline constexpr const char* kPrintModuleName = "libpelmora_print.so";

// Prints `request` as PrintSettingListWithDialog (print_setting_list_view.h) does,
// loading the print module on first use; it then stays loaded, as Qt's print support
// does not expect to be unloaded. When the module cannot be loaded, says so on
// standard error and returns false. Returns true when a job was sent.
bool PrintSettingList(QWidget* parent, const CPrintRequest& request);

}  // namespace pelmora::app
