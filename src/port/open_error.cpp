#include "port/open_error.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace pelmora::port {

namespace {

// The group owning `device`, for telling the user whom the system lets in.
std::string DeviceGroup(const std::string& device, const char* fallback) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0 || info.st_gid == 0)
    return fallback;
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->gr_name == nullptr || *found->gr_name == '\0')
    return fallback;
  return found->gr_name;
}

}  // namespace

std::string NoDeviceSetMessage(const char* what, const char* portName,
                               const log::CSettings& settings) {
  std::string message = std::string("No ") + what + " is set for " + portName + ".";
  if (!settings.Problem().empty())
    message += " " + settings.Problem();
  return message;
}

std::string DescribeOpenError(const std::string& device, int error, const char* accessGroup) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "no such device";
    case ENXIO:
    case ENODEV:
      return "the device is not present";
    case EBUSY:
      return "the port is in use by another program";
    case ENOTTY:
      return "not a serial port";
    case EACCES:
    case EPERM:
      return "permission denied; the group " + DeviceGroup(device, accessGroup) + " grants access";
    default:
      return std::generic_category().message(error);
  }
}

int OpenLocked(const std::string& device, int extraFlags, int& error) {
  if (device.empty()) {
    error = ENOENT;
    return -1;
  }
  const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | extraFlags);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = (errno == EWOULDBLOCK) ? EBUSY : errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace pelmora::port
