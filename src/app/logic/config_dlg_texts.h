// The texts of the configuration window and its small dialogs.
#pragma once

namespace pelmora::app::editor_text {

inline constexpr const char* kTitle = "Pelmora";
inline constexpr const char* kWarningTitle = "Warning";
inline constexpr const char* kCautionTitle = "Caution";
inline constexpr const char* kChangeSettingTitle = "Change Setting";
inline constexpr const char* kSaveAsTitle = "Save As";

inline constexpr const char* kShortOfMemory = "It is short of memory.";
inline constexpr const char* kException = "Error! An exception occurred.";
inline constexpr const char* kOutOfRange = "This value is out of range.";
inline constexpr const char* kCannotChange = "This item can't change.";
inline constexpr const char* kAdministratorOnly =
    "Configuration should be changed by administrator only";
inline constexpr const char* kFactoryQuestion = "Return printer to original factory settings?";
inline constexpr const char* kRestoreQuestion = "Restore last saved settings?";
inline constexpr const char* kSaveQuestion = "Do you want to save this configuration?";

inline constexpr const char* kBasicPage = "Basic";
inline constexpr const char* kAdvancedPage = "Advanced";

}  // namespace pelmora::app::editor_text
