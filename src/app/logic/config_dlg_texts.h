// The texts of the configuration window and its small dialogs.
#pragma once

#include "model/messages.h"
#include "update/messages.h"

namespace pelmora::app::editor_text {

inline constexpr const char* kTitle = model::msg::kAppTitle;
inline constexpr const char* kWarningTitle = update::msg::kWarningTitle;
inline constexpr const char* kCautionTitle = "Caution";
inline constexpr const char* kChangeSettingTitle = "Change Setting";
inline constexpr const char* kSaveAsTitle = "Save As";

inline constexpr const char* kShortOfMemory = model::msg::kShortOfMemory;
inline constexpr const char* kException = model::msg::kException;
inline constexpr const char* kOutOfRange = model::msg::kOutOfRange;
inline constexpr const char* kCannotChange = model::msg::kCannotChange;
inline constexpr const char* kAdministratorOnly =
    "Configuration should be changed by administrator only";
inline constexpr const char* kFactoryQuestion = "Return printer to original factory settings?";
inline constexpr const char* kRestoreQuestion = "Restore last saved settings?";
inline constexpr const char* kSaveQuestion = "Do you want to save this configuration?";

// The heads of the printer and description lines, in the window and on paper.
inline constexpr const char* kPrinterLabel = "Printer : ";
inline constexpr const char* kDescriptionLabel = "Description : ";

inline constexpr const char* kBasicPage = "Basic";
inline constexpr const char* kAdvancedPage = "Advanced";

}  // namespace pelmora::app::editor_text
