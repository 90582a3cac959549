// Titles and texts of the messages about definition files and their values, shown by
// the program's windows and by pelmora-cli.
#pragma once

namespace pelmora::model::msg {

// The program's name: the title of its main windows and of their messages.
inline constexpr const char* kAppTitle = "Pelmora";

inline constexpr const char* kShortOfMemory = "It is short of memory.";
inline constexpr const char* kException = "Error! An exception occurred.";
inline constexpr const char* kNoConfigurationFile = "No configuration file exists.";
inline constexpr const char* kOutOfRange = "This value is out of range.";
inline constexpr const char* kCannotChange = "This item can't change.";

}  // namespace pelmora::model::msg
