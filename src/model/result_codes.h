// Result codes of the model layer and the messages the start dialog shows for them.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora::model {

inline constexpr int kResultOk = 1;
inline constexpr int kResultException = 8;  // empty path, or building the images failed
inline constexpr int kResultNoMemory = 16;
inline constexpr int kResultNoFile = 17;  // the file cannot be opened
inline constexpr int kResultBadVersion = 18;
inline constexpr int kResultOpenFailed = 20;  // a listed file cannot be opened
inline constexpr int kResultFormError = 0xFF00;

// Section codes; they appear in the error codes shown to the user.
inline constexpr std::uint32_t kSectionHeader = 0x10000000;
inline constexpr std::uint32_t kSectionStandard = 0x20000100;
inline constexpr std::uint32_t kSectionAdvance = 0x20000200;
inline constexpr std::uint32_t kSectionDefault = 0x40001000;
inline constexpr std::uint32_t kSectionMask = 0x40002000;
inline constexpr std::uint32_t kSectionSetData = 0x80020000;
inline constexpr std::uint32_t kSectionOption = 0x80010000;

// Header keys that must be present, as bits of the error code.
inline constexpr std::uint32_t kKeyVersion = 0x01;
inline constexpr std::uint32_t kKeyCmdLine = 0x02;
inline constexpr std::uint32_t kKeyModelName = 0x04;
inline constexpr std::uint32_t kKeyInterface = 0x08;
inline constexpr std::uint32_t kKeyDriverName = 0x10;
inline constexpr std::uint32_t kAllRequiredKeys = 0x1F;

// The message shown after a failed load, with its line breaks; empty for
// results that show none (1 and unknown codes).
std::string LoadResultMessage(int result, std::uint32_t errorCode, std::uint32_t line);

}  // namespace pelmora::model
