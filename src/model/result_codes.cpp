#include "result_codes.h"

#include <cstdio>

#include "messages.h"

namespace pelmora::model {

std::string LoadResultMessage(int result, std::uint32_t errorCode, std::uint32_t line) {
  switch (result) {
    case kResultException:
      return msg::kException;
    case kResultNoMemory:
      return msg::kShortOfMemory;
    case kResultNoFile:
      return msg::kNoConfigurationFile;
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
