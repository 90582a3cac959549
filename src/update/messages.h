// Titles and texts of the message boxes the printer operations and their dialogs show.
#pragma once

namespace pelmora::update::msg {

inline constexpr const char* kErrorTitle = "Error";
inline constexpr const char* kWarningTitle = "Warning";
inline constexpr const char* kUpdatePrinterTitle = "Update Printer";
inline constexpr const char* kGetPrinterSettingTitle = "Get Printer Setting";

inline constexpr const char* kPrinterNotFound =
    "Printer not found. Check printer description or connection.";
inline constexpr const char* kInstallUsbDriver =
    "Please install a driver of a target printer to update a printer by USB connection.";
inline constexpr const char* kInputAddress =
    "Please input IP Address and Description of Taven printer.";
inline constexpr const char* kRemovePrinter = "Removing printer will permanently delete printer.";

}  // namespace pelmora::update::msg
