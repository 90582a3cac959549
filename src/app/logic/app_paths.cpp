#include "app_paths.h"

#include <filesystem>
#include <system_error>

namespace pelmora::app {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string InstalledDataDir() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || self.empty())
    return {};
  return (self.parent_path().parent_path() / "share" / "pelmora").string();
}

std::string HelpFilePath(const std::string& workdir, const std::string& dataDir) {
  std::string own = JoinPath(workdir, kHelpFileName);
  std::error_code error;
  if (std::filesystem::is_regular_file(own, error) || dataDir.empty())
    return own;
  const std::string installed = JoinPath(dataDir, kHelpFileName);
  return std::filesystem::is_regular_file(installed, error) ? installed : own;
}

}  // namespace pelmora::app
