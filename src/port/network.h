// A printer on a TCP/IP network: its address, the UDP device ID query and the FTP upload
// of a command stream. Standard C++, POSIX sockets and libcurl; no questions to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::port {

// The waits, ports and limits of the network connection. The defaults are the printer's;
// tests put short waits and high ports on loopback in their place.
struct CNetworkWaits {
  std::uint32_t deviceIdWaitMs = 2000;       // the longest wait for the device ID reply
  std::uint16_t deviceIdPort = 3289;         // the printer's UDP port for the request
  std::uint16_t ftpDefaultPort = 21;         // when the address names no port
  std::uint32_t ftpConnectTimeoutMs = 5000;  // to reach the FTP server, log in included
  // A transfer slower than this many bytes a second for this long is given up.
  std::uint32_t ftpLowSpeedBytes = 1;
  std::uint32_t ftpLowSpeedSeconds = 10;
};

// The printer an address row names: a dotted IPv4 address (resolved when the row gave a
// host name) and the FTP port.
struct CNetworkAddress {
  std::string host;
  std::uint16_t ftpPort = 21;
};

// Reads a row of the known-printer list as an FTP URL, "ftp://HOST[:PORT][/]", or, when it
// has no scheme, as such a URL after "ftp://". HOST is a dotted IPv4 address in full (four
// decimal parts) or a host name that resolves to an IPv4 address. Nothing else is taken:
// another scheme, a user, a path, shortened numeric forms such as "10.1", names that do
// not resolve. The port defaults to waits.ftpDefaultPort.
std::optional<CNetworkAddress> ParseNetworkAddress(std::string_view text,
                                                   const CNetworkWaits& waits = {});

// The 14 bytes that ask a printer for its device ID.
inline constexpr std::uint8_t kDeviceIdRequest[14] = {'T',  'A', 'V', 'E', 'N', 0x50, 0x02,
                                                      0xFF, 0,   0,   0,   0,   0,    0};
// The largest reply taken.
inline constexpr std::size_t kDeviceIdReplySize = 512;

enum class QueryResult {
  kAnswered,       // `reply` holds what arrived within the wait, possibly nothing
  kSocketFailed,   // no UDP socket could be had
  kConnectFailed,  // the socket could not be bound to the printer's address
  kStopped,        // a stop was requested during the wait
};

// Sends the device ID request to host:waits.deviceIdPort and waits up to
// waits.deviceIdWaitMs for one datagram, ending as soon as it has arrived (or a stop
// was requested). `reply` gets the bytes received, none on a time-out. An error the
// network reports meanwhile (an unreachable port) does not end the wait.
QueryResult QueryDeviceId(const CNetworkAddress& address, const CNetworkWaits& waits,
                          std::vector<std::uint8_t>& reply);

enum class UploadResult {
  kUploaded,
  kNoConnection,  // the server could not be reached or refused the login; see `error`
  kFailed,        // connected, but the file did not arrive whole
};

// Uploads the file at `localPath` to the FTP server at the address, anonymously, in binary
// and active mode, as `remoteName` in the login folder, within the waits' bounds.
// `error` gets the transfer library's account of a failure.
UploadResult FtpUpload(const CNetworkAddress& address, const std::string& localPath,
                       std::string_view remoteName, const CNetworkWaits& waits, std::string& error);

}  // namespace pelmora::port
