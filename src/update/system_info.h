// What the Update Printer dialog asks of the system: the operating-system version
// code and the default rate of the serial port.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmora::update {

// Version codes 1 to 6 stand for the systems the printers' own tools told apart:
// 1, 2 and 3 the old consumer family, 4 to 6 the NT family; 0 anything else.
// USB is not offered on 1 and 4.
inline constexpr int kOsVersionNewest = 6;

// This system behaves as the newest NT-family code.
int GetOSVersion();

// The rate the serial device behind `portName` ("COM1", mapped through the settings
// file) is set to, in bit/s, every rate the kernel keeps included; nothing when the
// device cannot be opened or queried. Opens the device without waiting for carrier
// and without making it the controlling terminal, and closes it again.
std::optional<std::uint32_t> QueryDefaultBaudRate(std::string_view portName);

}  // namespace pelmora::update
