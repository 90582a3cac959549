#include "port/network.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "log/ascii.h"
#include "log/dynamic_library.h"
#include "port/deadline.h"

namespace pelmora::port {

namespace {

constexpr std::size_t kMaxErrorText = 1024;

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.';
}

// The dotted form of `host`: itself when it is a full dotted IPv4 address, else the first
// IPv4 address it resolves to. Texts of digits and points that are not a full address
// (the shortened forms the classic parser reads) are refused, not resolved.
std::optional<std::string> DottedAddress(const std::string& host) {
  if (host.empty() || host.find_first_not_of("0123456789.") == std::string::npos) {
    in_addr numeric{};
    if (inet_pton(AF_INET, host.c_str(), &numeric) != 1)
      return std::nullopt;
    return host;
  }
  for (const char c : host) {
    if (!IsHostChar(c))
      return std::nullopt;
  }
  // Nor hexadecimal or octal parts ("0x7f.1"), which a resolver reads as numbers.
  if (in_addr numeric{}; inet_aton(host.c_str(), &numeric) != 0)
    return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
    return std::nullopt;
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr)
    return std::nullopt;
  return std::string(text);
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value == 0 || value > 0xFFFF)
    return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

class CFd {
 public:
  explicit CFd(int fd) : fd_(fd) {}
  ~CFd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// The functions of libcurl a transfer calls. The library is loaded when the first
// transfer needs it, not at start: it and the libraries it pulls in (TLS, Kerberos,
// LDAP) cost every start of the program milliseconds and megabytes, and only the
// network update uses them. The header gives the types only.
struct CurlApi {
  decltype(&::curl_global_init) globalInit = nullptr;
  decltype(&::curl_easy_init) init = nullptr;
  decltype(&::curl_easy_cleanup) cleanup = nullptr;
  decltype(&::curl_easy_setopt) setopt = nullptr;
  decltype(&::curl_easy_perform) perform = nullptr;
  decltype(&::curl_easy_strerror) codeText = nullptr;
  decltype(&::curl_easy_getinfo) getinfo = nullptr;
};

std::optional<CurlApi> LoadCurl() {
  // Kept loaded for the process, as its global set-up is never undone.
  void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    return std::nullopt;
  CurlApi api;
  if (!log::ResolveSymbol(library, "curl_global_init", api.globalInit) ||
      !log::ResolveSymbol(library, "curl_easy_init", api.init) ||
      !log::ResolveSymbol(library, "curl_easy_cleanup", api.cleanup) ||
      !log::ResolveSymbol(library, "curl_easy_setopt", api.setopt) ||
      !log::ResolveSymbol(library, "curl_easy_perform", api.perform) ||
      !log::ResolveSymbol(library, "curl_easy_strerror", api.codeText) ||
      !log::ResolveSymbol(library, "curl_easy_getinfo", api.getinfo) ||
      api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
    return std::nullopt;
  return api;
}

// libcurl, loaded and set up once for the process; null when either failed, and then
// no transfer can run.
const CurlApi* TransferLibrary() {
  static const std::optional<CurlApi> api = LoadCurl();
  return api ? &*api : nullptr;
}

// Ends a transfer once a stop was requested.
int StopCheck(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return StopSignal() != 0 ? 1 : 0;
}

// Whether a failure came before the server had let us in.
bool IsConnectFailure(const CurlApi& api, CURL* curl, CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASS_REPLY:
      return true;
    case CURLE_OPERATION_TIMEDOUT: {
      curl_off_t connected = 0;
      return api.getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected) != CURLE_OK || connected == 0;
    }
    default:
      return false;
  }
}

}  // namespace

std::optional<CNetworkAddress> ParseNetworkAddress(std::string_view text,
                                                   const CNetworkWaits& waits) {
  std::string_view rest = text;
  if (const std::size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    if (!log::EqualsIgnoringCase(text.substr(0, scheme), "ftp"))
      return std::nullopt;
    rest = text.substr(scheme + 3);
  }
  if (!rest.empty() && rest.back() == '/')
    rest.remove_suffix(1);
  CNetworkAddress address;
  address.ftpPort = waits.ftpDefaultPort;
  std::string_view host = rest;
  if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
    const std::optional<std::uint16_t> port = ParsePort(rest.substr(colon + 1));
    if (!port)
      return std::nullopt;
    address.ftpPort = *port;
    host = rest.substr(0, colon);
  }
  std::optional<std::string> dotted = DottedAddress(std::string(host));
  if (!dotted)
    return std::nullopt;
  address.host = std::move(*dotted);
  return address;
}

QueryResult QueryDeviceId(const CNetworkAddress& address, const CNetworkWaits& waits,
                          std::vector<std::uint8_t>& reply) {
  reply.clear();
  const CFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (socket.Get() < 0)
    return QueryResult::kSocketFailed;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(waits.deviceIdPort);
  if (inet_pton(AF_INET, address.host.c_str(), &peer.sin_addr) != 1 ||
      ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0)
    return QueryResult::kConnectFailed;
  // A request that cannot be sent simply gets no answer.
  (void)::send(socket.Get(), kDeviceIdRequest, sizeof kDeviceIdRequest, MSG_NOSIGNAL);
  const CDeadline deadline = CDeadline::After(std::chrono::milliseconds(waits.deviceIdWaitMs));
  std::uint8_t buffer[kDeviceIdReplySize];
  for (;;) {
    const int events = PollUntil(socket.Get(), POLLIN, deadline);
    if (StopSignal() != 0)
      return QueryResult::kStopped;
    if (events <= 0)
      return QueryResult::kAnswered;
    // A failed receive takes the pending error with it, so the next poll waits again.
    const ssize_t received = ::recv(socket.Get(), buffer, sizeof buffer, 0);
    if (received >= 0) {
      reply.assign(buffer, buffer + received);
      return QueryResult::kAnswered;
    }
  }
}

UploadResult FtpUpload(const CNetworkAddress& address, const std::string& localPath,
                       std::string_view remoteName, const CNetworkWaits& waits,
                       std::string& error) {
  error.clear();
  const CurlApi* api = TransferLibrary();
  if (api == nullptr)
    return UploadResult::kNoConnection;
  const std::unique_ptr<CURL, decltype(api->cleanup)> curl(api->init(), api->cleanup);
  if (!curl)
    return UploadResult::kNoConnection;
  const std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(localPath.c_str(), "rb"),
                                                           std::fclose);
  struct stat info {};
  if (!file || ::fstat(::fileno(file.get()), &info) != 0)
    return UploadResult::kFailed;

  const std::string url = "ftp://" + address.host + ":" + std::to_string(address.ftpPort) + "/" +
                          std::string(remoteName);
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  api->setopt(c, CURLOPT_URL, url.c_str());
  api->setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  api->setopt(c, CURLOPT_UPLOAD, 1L);
  api->setopt(c, CURLOPT_READDATA, file.get());
  api->setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
  api->setopt(c, CURLOPT_TRANSFERTEXT, 0L);
  api->setopt(c, CURLOPT_FTPPORT, "-");  // active mode, on the control link's address
  api->setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(waits.ftpConnectTimeoutMs));
  api->setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(waits.ftpConnectTimeoutMs));
  api->setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
              static_cast<long>((waits.ftpConnectTimeoutMs + 999) / 1000));
  api->setopt(c, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(waits.ftpLowSpeedBytes));
  api->setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(waits.ftpLowSpeedSeconds));
  api->setopt(c, CURLOPT_NOSIGNAL, 1L);
  api->setopt(c, CURLOPT_NOPROGRESS, 0L);
  api->setopt(c, CURLOPT_XFERINFOFUNCTION, &StopCheck);
  api->setopt(c, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode code = api->perform(c);
  if (code == CURLE_OK)
    return UploadResult::kUploaded;
  error = errorText[0] != '\0' ? errorText : api->codeText(code);
  if (error.size() > kMaxErrorText)
    error.resize(kMaxErrorText);
  return IsConnectFailure(*api, c, code) ? UploadResult::kNoConnection : UploadResult::kFailed;
}

}  // namespace pelmora::port
