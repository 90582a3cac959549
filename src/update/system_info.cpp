#include "update/system_info.h"

// The kernel's termios2 reports the rate as a number, also for rates without a
// B-constant; its header clashes with <termios.h>, which nothing here needs.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "log/settings.h"
#include "update/connection_settings.h"

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace pelmora::update {

int GetOSVersion() {
  return kOsVersionNewest;
}

std::optional<std::uint32_t> QueryDefaultBaudRate(std::string_view portName) {
  // The device this run uses for the port, an override for one run included.
  const std::string device = ConnectionSettings().PortDevice(portName);
  if (device.empty())
    return std::nullopt;
  const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return std::nullopt;
  struct termios2 tio {};
  const bool ok = ::ioctl(fd, TCGETS2, &tio) == 0;
  ::close(fd);
  if (!ok)
    return std::nullopt;
  return static_cast<std::uint32_t>(tio.c_ospeed);
}

}  // namespace pelmora::update
