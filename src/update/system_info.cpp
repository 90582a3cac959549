#include "update/system_info.h"

#include "log/settings.h"
#include "port/serial.h"
#include "update/connection_settings.h"

namespace pelmora::update {

int GetOSVersion() {
  return kOsVersionNewest;
}

std::optional<std::uint32_t> QueryDefaultBaudRate(std::string_view portName) {
  // The device this run uses for the port, an override for one run included.
  return port::DeviceBaudRate(ConnectionSettings().PortDevice(portName));
}

}  // namespace pelmora::update
