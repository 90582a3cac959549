#include "net_runner.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "child_process.h"
#include "wake.h"

namespace pelmora::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kRequest[] = {'T', 'A', 'V', 'E', 'N', 0x50, 0x02, 0xFF, 0, 0, 0, 0, 0, 0};
constexpr std::size_t kUnusedReplyBytes = 17;
constexpr char kPython[] = "/usr/bin/python3";
constexpr std::chrono::seconds kServerPatience{10};

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

std::uint16_t BoundPort(int fd) {
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
  return ntohs(bound.sin_port);
}

}  // namespace

std::vector<std::uint8_t> NetworkDeviceIdReply(const std::string& deviceId) {
  const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(deviceId.size(), 0xFFFF));
  // Sized once and written in place (growing it by insert also made GCC 12 see a
  // copy out of bounds that is not there).
  std::vector<std::uint8_t> reply(kUnusedReplyBytes + 2 + length, 0);
  std::copy_n("TAVEN", 5, reply.begin());
  reply[kUnusedReplyBytes] = static_cast<std::uint8_t>(length >> 8);
  reply[kUnusedReplyBytes + 1] = static_cast<std::uint8_t>(length & 0xFF);
  std::copy_n(deviceId.begin(), length, reply.begin() + kUnusedReplyBytes + 2);
  return reply;
}

CNetRunner::CNetRunner(const model::CStatDataObj& model, CSimOptions options)
    : model_(model), options_(std::move(options)) {}

CNetRunner::~CNetRunner() {
  StopServer();
  for (CPrinter& printer : printers_) {
    CloseFd(printer.udp);
  }
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  if (!root_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}

CFakePrinter& CNetRunner::AddPrinter(const std::string& address, std::string dumpPath) {
  CPrinter printer;
  printer.address = address;
  printer.dumpPath = std::move(dumpPath);
  printer.printer = std::make_unique<CFakePrinter>(model_, options_);
  printers_.push_back(std::move(printer));
  return *printers_.back().printer;
}

bool CNetRunner::BindUdp(CPrinter& printer, std::uint16_t port, std::string& error) {
  printer.udp = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (printer.udp < 0 || inet_pton(AF_INET, printer.address.c_str(), &local.sin_addr) != 1 ||
      bind(printer.udp, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    error = ErrnoText("cannot listen for UDP on " + printer.address + ":" + std::to_string(port));
    return false;
  }
  printer.udpPort = BoundPort(printer.udp);
  return true;
}

bool CNetRunner::Open(std::uint16_t udpPort, std::uint16_t ftpPort, const std::string& script,
                      std::string& error) {
  int wake[2];
  if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = ErrnoText("pipe");
    return false;
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  for (CPrinter& printer : printers_) {
    if (!BindUdp(printer, udpPort, error)) {
      return false;
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/pelmora-printer-sim-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    error = ErrnoText("cannot make a folder for uploads");
    return false;
  }
  // The FTP server names files by their real path; so must the folders.
  std::error_code failed;
  root_ = std::filesystem::canonical(pattern, failed).string();
  if (failed) {
    root_ = pattern;
    error = "cannot find " + pattern + ": " + failed.message();
    return false;
  }
  for (std::size_t i = 0; i < printers_.size(); ++i) {
    printers_[i].folder = root_ + "/" + std::to_string(i);
    if (!std::filesystem::create_directory(printers_[i].folder, failed)) {
      error = "cannot make " + printers_[i].folder + ": " + failed.message();
      return false;
    }
  }
  return StartServer(ftpPort, script, error) && AwaitServer(error);
}

bool CNetRunner::StartServer(std::uint16_t ftpPort, const std::string& script, std::string& error) {
  std::vector<std::string> argv = {kPython, script, std::to_string(ftpPort)};
  for (const CPrinter& printer : printers_) {
    argv.push_back(printer.address + "=" + printer.folder);
  }
  return SpawnWithOutputPipe(argv, server_, serverOut_, error);
}

bool CNetRunner::AwaitServer(std::string& error) {
  // "ready" and the FTP port of every printer, in order.
  const Clock::time_point limit = Clock::now() + kServerPatience;
  while (serverText_.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
    pollfd entry{serverOut_, POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&entry, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    char chunk[4096];
    const ssize_t n = ready > 0 ? ::read(serverOut_, chunk, sizeof chunk) : 0;
    if (n <= 0) {
      error = ready == 0 ? "the FTP server did not start in time"
                         : "the FTP server did not start (is python3-pyftpdlib installed?)";
      return false;
    }
    serverText_.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t end = serverText_.find('\n');
  const std::string line = serverText_.substr(0, end);
  serverText_.erase(0, end + 1);
  const char* at = line.data() + std::min<std::size_t>(line.size(), 5);
  const char* const stop = line.data() + line.size();
  for (CPrinter& printer : printers_) {
    while (at < stop && *at == ' ') {
      ++at;
    }
    const auto [next, ec] = std::from_chars(at, stop, printer.ftpPort);
    if (ec != std::errc() || line.compare(0, 5, "ready") != 0) {
      error = "the FTP server said \"" + line + "\"";
      return false;
    }
    at = next;
  }
  return fcntl(serverOut_, F_SETFL, O_NONBLOCK) == 0;
}

void CNetRunner::StopServer() {
  CloseFd(serverOut_);
  if (server_ <= 0) {
    return;
  }
  kill(server_, SIGTERM);
  int status = 0;
  while (waitpid(server_, &status, 0) < 0 && errno == EINTR) {
  }
  server_ = -1;
}

std::string CNetRunner::Endpoint(std::size_t index) const {
  const CPrinter& printer = printers_[index];
  return printer.address + " udp:" + std::to_string(printer.udpPort) +
         " ftp:" + std::to_string(printer.ftpPort);
}

void CNetRunner::RequestStop() {
  RaiseAndWake(stopRequested_, wakeWrite_, 's');
}

void CNetRunner::RequestDump() {
  RaiseAndWake(dumpRequested_, wakeWrite_, 'd');
}

void CNetRunner::TakeRequest(std::size_t index) {
  for (;;) {
    std::uint8_t datagram[512];
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t n = recvfrom(printers_[index].udp, datagram, sizeof datagram, 0,
                               reinterpret_cast<sockaddr*>(&from), &size);
    if (n < 0) {
      return;  // all taken
    }
    // Anything but the request is none of this printer's business.
    const bool request = static_cast<std::size_t>(n) == sizeof kRequest &&
                         std::equal(std::begin(kRequest), std::end(kRequest), datagram);
    if (request && options_.answerDeviceId) {
      // Replies leave in the order of their requests, all equally late.
      replies_.push_back({Clock::now() + options_.replyDelay, index, from});
    }
  }
}

void CNetRunner::SendDueReplies() {
  const Clock::time_point now = Clock::now();
  std::size_t due = 0;
  for (; due < replies_.size() && replies_[due].due <= now; ++due) {
    const CReply& reply = replies_[due];
    const CPrinter& printer = printers_[reply.printer];
    const std::vector<std::uint8_t> bytes = NetworkDeviceIdReply(printer.printer->DeviceId());
    // A reply the network drops is lost, as a real printer's would be.
    [[maybe_unused]] const ssize_t n =
        sendto(printer.udp, bytes.data(), bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&reply.to), sizeof reply.to);
  }
  replies_.erase(replies_.begin(), replies_.begin() + static_cast<std::ptrdiff_t>(due));
}

bool CNetRunner::TakeServerOutput() {
  bool ended = false;
  for (;;) {
    char chunk[4096];
    const ssize_t n = ::read(serverOut_, chunk, sizeof chunk);
    if (n <= 0) {
      ended = n == 0 || (errno != EAGAIN && errno != EINTR);
      break;
    }
    serverText_.append(chunk, static_cast<std::size_t>(n));
  }
  // "INDEX PATH" per upload.
  for (std::size_t end = serverText_.find('\n'); end != std::string::npos;
       end = serverText_.find('\n')) {
    const std::string line = serverText_.substr(0, end);
    serverText_.erase(0, end + 1);
    std::size_t index = 0;
    const auto [next, ec] = std::from_chars(line.data(), line.data() + line.size(), index);
    if (ec == std::errc() && index < printers_.size() && *next == ' ') {
      Apply(index, std::string(next + 1, line.data() + line.size()));
    }
  }
  return !ended;
}

void CNetRunner::Apply(std::size_t index, const std::string& path) {
  const CPrinter& printer = printers_[index];
  // Only files of its own folder: the path comes from another process.
  if (path.compare(0, printer.folder.size() + 1, printer.folder + "/") != 0) {
    return;
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  in.close();
  ::unlink(path.c_str());
  // The whole upload is the host's: what it leaves open is taken as it stands, and
  // the answers (to reads, say) have no line to go to.
  std::vector<CFakePrinter::Answer> answers;
  printer.printer->Receive(bytes, answers);
  printer.printer->Idle(answers);
}

void CNetRunner::WriteDumps() {
  for (const CPrinter& printer : printers_) {
    if (!printer.dumpPath.empty()) {
      WriteDumpFile(printer.dumpPath, printer.printer->Memory());
    }
  }
}

bool CNetRunner::Run() {
  std::vector<pollfd> fds;
  fds.push_back({wakeRead_, POLLIN, 0});
  fds.push_back({serverOut_, POLLIN, 0});
  for (const CPrinter& printer : printers_) {
    fds.push_back({printer.udp, POLLIN, 0});
  }
  bool serving = true;
  while (serving && !stopRequested_.load()) {
    SendDueReplies();
    int timeout = -1;
    if (!replies_.empty()) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(replies_.front().due - Clock::now());
      timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
    }
    if (poll(fds.data(), fds.size(), timeout) < 0) {
      continue;  // EINTR: a signal's flag is looked at above and below
    }
    if ((fds[0].revents & POLLIN) != 0) {
      char drain[64];
      while (::read(wakeRead_, drain, sizeof drain) > 0) {
      }
    }
    // A hang-up with output still to read comes with POLLIN; one without is the end.
    serving = fds[1].revents == 0 || TakeServerOutput();
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if ((fds[i].revents & POLLIN) != 0) {
        TakeRequest(i - 2);
      }
    }
    if (dumpRequested_.exchange(false)) {
      // Uploads the client has seen finish are named by now: they count.
      serving = TakeServerOutput() && serving;
      WriteDumps();
    }
  }
  if (!serving) {
    std::fprintf(stderr, "pelmora-printer-sim: the FTP server has ended\n");
  } else {
    TakeServerOutput();
  }
  WriteDumps();
  return serving;
}

}  // namespace pelmora::sim
