#include "about_help.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace pelmora::app {

// Widget-free, so that the configuration window's logic can gray its menu
// entry without a window system.
bool HelpFileExists(const std::string& helpFilePath) {
  std::error_code error;
  if (helpFilePath.empty() || !std::filesystem::is_regular_file(helpFilePath, error))
    return false;
  return std::ifstream(helpFilePath, std::ios::binary).is_open();
}

}  // namespace pelmora::app
