#include "app_paths.h"

namespace pelmora::app {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace pelmora::app
