#include "result_codes.h"

#include <cstdio>

namespace pelmora::model {

std::string LoadResultMessage(int result, std::uint32_t errorCode, std::uint32_t line) {
  switch (result) {
    case kResultException:
      return "Error! An exception occurred.";
    case kResultNoMemory:
      return "It is short of memory.";
    case kResultNoFile:
      return "No configuration file exists.";
    case kResultBadVersion:
      return "Files version is illegal.";
    case kResultFormError: {
      char text[128];
      std::snprintf(text, sizeof text,
                    "The form of the file isn't right.\n ErrorCode = 0x%08X\n Line = %u",
                    static_cast<unsigned>(errorCode), static_cast<unsigned>(line));
      return text;
    }
    default:
      return {};
  }
}

}  // namespace pelmora::model
