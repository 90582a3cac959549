// The names of the connections to a printer, as the Update Printer dialog lists them,
// pelmora-cli takes them (ignoring case) and the printer operations answer to them.
#pragma once

namespace pelmora::update {

inline constexpr const char* kParallelName = "Parallel";
inline constexpr const char* kSerialName = "Serial";
inline constexpr const char* kTcpIpName = "TCP/IP";
inline constexpr const char* kUsbName = "USB";

}  // namespace pelmora::update
