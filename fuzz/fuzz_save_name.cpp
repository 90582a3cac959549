// libFuzzer target: any bytes as a name typed into Save As. The check must give one of
// its two messages or accept, and an accepted name must name one file in the setting
// folder: no folder separator, no NUL, a stem and an extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/save_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const std::string message = pelmora::model::CheckSaveName(name);
  if (!message.empty()) {
    if (message != "File name is illegal." && message != "There are wrong charactors in file name.")
      std::abort();
    return 0;
  }
  const std::size_t point = name.rfind('.');
  if (point == std::string_view::npos || point == 0 || point + 1 == name.size())
    std::abort();
  if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos)
    std::abort();
  return 0;
}
