// The network update against real peers on loopback: an anonymous FTP server (pyftpdlib,
// one writable and one read-only, each in a process of its own) and a UDP responder
// thread standing in for the printer's device ID service.
#include "update/network_update.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "port/network.h"
#include "protocol/command_stream.h"
#include "scripted_prompt.h"
#include "sequence_test_support.h"
#include "update_test_support.h"

extern char** environ;

namespace pelmora::update::test {
namespace {

namespace fs = std::filesystem;
using model::Answer;
using pelmora::test::CScriptedPrompt;
using pelmora::test::ScopedEnv;
using pelmora::test::TempDir;

constexpr const char* kHost = "127.0.0.2";

// pyftpdlib serving `root` to the anonymous user on kHost; ends when the object does.
class FtpPeer {
 public:
  FtpPeer(const std::string& root, const char* perm) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string script = PELMORA_FTP_PEER;
    const char* argv[] = {"/usr/bin/python3", script.c_str(), kHost, root.c_str(), perm, nullptr};
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    // The server prints its port once it listens.
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    port_ = static_cast<std::uint16_t>(std::atoi(line.c_str()));
  }
  ~FtpPeer() {
    ::close(input_);
    if (pid_ > 0)
      ::waitpid(pid_, nullptr, 0);
  }
  std::uint16_t Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::uint16_t port_ = 0;
};

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, kHost, &a.sin_addr);
  return a;
}

std::uint16_t BoundPort(int fd) {
  sockaddr_in a{};
  socklen_t size = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  return ntohs(a.sin_port);
}

// A TCP port on kHost where nothing listens.
std::uint16_t ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const std::uint16_t port = BoundPort(fd);
  ::close(fd);
  return port;
}

// The printer's UDP side: answers each device ID request with Reply(), or keeps silent
// when that is empty.
class UdpResponder {
 public:
  UdpResponder() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    port_ = BoundPort(fd_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~UdpResponder() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::uint16_t Port() const { return port_; }
  void SetReply(std::string reply) {
    const std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
  }
  // Well-formed requests received since the last call.
  int TakeRequests() { return requests_.exchange(0); }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      std::uint8_t request[64];
      sockaddr_in from{};
      socklen_t size = sizeof from;
      const ssize_t n =
          ::recvfrom(fd_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &size);
      if (n != sizeof port::kDeviceIdRequest ||
          std::memcmp(request, port::kDeviceIdRequest, sizeof port::kDeviceIdRequest) != 0)
        continue;
      ++requests_;
      const std::lock_guard lock(mutex_);
      if (!reply_.empty())
        ::sendto(fd_, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
    }
  }

  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::string reply_;
  std::thread thread_;
};

// A device ID reply: 17 bytes the system ignores, the length, the ID.
std::string IdReply(const std::string& id, std::size_t length) {
  std::string r(17, 'x');
  r += static_cast<char>(length >> 8);
  r += static_cast<char>(length & 0xFF);
  return r + id;
}
std::string IdReply(const std::string& id) {
  return IdReply(id, id.size());
}

std::vector<fs::path> Files(const std::string& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  return files;
}

struct NetworkCase {
  const char* name;
  // "{rw}", "{ro}" and "{down}" stand for the ports of the writable server, the
  // read-only one and a closed port; plain rows go to the writable server's port.
  std::vector<std::string> rows;
  std::string reply;  // empty: the printer keeps silent
  std::vector<Answer> answers;
  std::vector<ScriptedUi::WarningAnswer> warnings;
  int result;
  std::size_t uploads;
  // "Title: text" of each message box, matched on their beginning.
  std::vector<std::string> shown;
  int requests;
  std::size_t warningsShown = 0;
};

const std::string kTs5Id = "MFG:TAVEN;MDL:TS-5;";
constexpr ScriptedUi::WarningAnswer kYes{CWarningDlg::kYes, false};
constexpr ScriptedUi::WarningAnswer kNo{CWarningDlg::kNo, false};
constexpr ScriptedUi::WarningAnswer kCancel{CWarningDlg::kCancel, false};
const std::string kAskSend = "Warning: Send data to printer?";

const NetworkCase kCases[] = {
    {"OnePrinterUpdated", {kHost}, IdReply(kTs5Id), {Answer::kOk}, {}, 1, 1, {kAskSend}, 1},
    {"UrlRowOnItsPort", {"FTP://127.0.0.2:{rw}/"}, IdReply(kTs5Id), {}, {}, 1, 1, {kAskSend}, 1},
    {"LengthPastTheBytesIsTheShorterId",
     {kHost},
     IdReply(kTs5Id, 0x0090),
     {},
     {},
     1,
     1,
     {kAskSend},
     1},
    {"AnotherModel",
     {kHost},
     IdReply("MFG:TAVEN;MDL:TX-9;"),
     {},
     {},
     2,
     0,
     {"Error: Printer not found. Check printer description or IP Address.\n"
      "IP Address : 127.0.0.2"},
     1},
    {"SilentYesUploads", {kHost}, "", {}, {kYes}, 1, 1, {}, 1, 1},
    {"SilentNoSkips", {kHost}, "", {}, {kNo}, 2, 0, {}, 1, 1},
    {"SilentCancelStopsAllRows", {kHost, kHost}, "", {}, {kCancel}, 2, 0, {}, 1, 1},
    {"FtpServerDown",
     {"ftp://127.0.0.2:{down}"},
     IdReply(kTs5Id),
     {},
     {},
     2,
     0,
     {kAskSend, "Error: Failed to connect to 127.0.0.2 port"},
     1},
    {"UploadRefused", {"ftp://127.0.0.2:{ro}"}, IdReply(kTs5Id), {}, {}, 2, 0, {kAskSend}, 1},
    {"SecondDeclined",
     {kHost, "ftp://127.0.0.2:{rw}"},
     IdReply(kTs5Id),
     {Answer::kOk, Answer::kCancel},
     {},
     1,
     1,
     {kAskSend, kAskSend},
     2},
    {"BadAddressesSendNothing",
     {"127.1", "http://127.0.0.2/", "ftp://127.0.0.2:0", "ftp://a@127.0.0.2", "127.0.0.2/x"},
     IdReply(kTs5Id),
     {},
     {},
     2,
     0,
     {},
     0},
};

std::string WithPorts(std::string row, std::uint16_t rw, std::uint16_t ro, std::uint16_t down) {
  const std::pair<const char*, std::uint16_t> ports[] = {
      {"{rw}", rw}, {"{ro}", ro}, {"{down}", down}};
  for (const auto& [key, port] : ports) {
    if (const std::size_t at = row.find(key); at != std::string::npos)
      row.replace(at, std::strlen(key), std::to_string(port));
  }
  return row;
}

TEST(NetworkUpdateTest, EachRowIsQueriedConfirmedAndUploaded) {
  model::CStatDataObj model;
  LoadModel(model, kTs5);
  const std::vector<std::uint8_t> stream = protocol::BuildCommandStream(model);
  ASSERT_FALSE(stream.empty());

  const TempDir rwRoot;
  const TempDir roRoot;
  const ScratchLog log;
  const TempDir tmp;
  const ScopedEnv tmpdir("TMPDIR", tmp.Path());
  const FtpPeer writable(rwRoot.Path(), "elradfmw");
  const FtpPeer readOnly(roRoot.Path(), "elr");
  ASSERT_NE(writable.Port(), 0);
  ASSERT_NE(readOnly.Port(), 0);
  const std::uint16_t down = ClosedPort();
  UdpResponder printer;
  const FlagGuard flag;

  for (const NetworkCase& c : kCases) {
    SCOPED_TRACE(c.name);
    printer.SetReply(c.reply);
    std::vector<std::string> rows;
    for (const std::string& row : c.rows)
      rows.push_back(WithPorts(row, writable.Port(), readOnly.Port(), down));
    CScriptedPrompt prompt(Answer::kOk);
    for (const Answer a : c.answers) prompt.Push(a);
    ScriptedUi ui;
    ui.warningAnswers.assign(c.warnings.begin(), c.warnings.end());
    // A printer that answers ends the wait at once; the long wait shows if it did not.
    port::CNetworkWaits waits;
    waits.deviceIdWaitMs = c.reply.empty() ? 100 : 10000;
    waits.deviceIdPort = printer.Port();
    waits.ftpDefaultPort = writable.Port();
    waits.ftpConnectTimeoutMs = 2000;

    const auto start = std::chrono::steady_clock::now();

    EXPECT_EQ(RunNetworkUpdate("tcp/ip", rows, {model, prompt, ui, ui}, waits), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    EXPECT_EQ(printer.TakeRequests(), c.requests);
    ASSERT_EQ(prompt.AskedSoFar().size(), c.shown.size());
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      const auto& asked = prompt.AskedSoFar()[i];
      EXPECT_EQ((asked.title + ": " + asked.text).substr(0, c.shown[i].size()), c.shown[i]);
    }
    ASSERT_EQ(ui.warningsShown.size(), c.warningsShown);
    for (const auto& w : ui.warningsShown) {
      EXPECT_EQ(w.mode, CWarningDlg::kModeNetwork);
      EXPECT_EQ(w.ipAddress, rows[0]);
    }
    // The stream arrives whole under the temporary file's own name, which is gone here.
    const std::vector<fs::path> uploaded = Files(rwRoot.Path());
    ASSERT_EQ(uploaded.size(), c.uploads);
    for (const fs::path& file : uploaded) {
      EXPECT_EQ(file.filename().string().substr(0, 3), "~Sd");
      EXPECT_EQ(ReadFile(file), std::string(stream.begin(), stream.end()));
      fs::remove(file);
    }
    EXPECT_TRUE(Files(roRoot.Path()).empty());
    EXPECT_TRUE(Files(tmp.Path()).empty());
  }
  EXPECT_NE(log.Text().find("Write Error"), std::string::npos);
}

// What an address row may be; everything else is refused before any traffic.
TEST(NetworkAddressTest, OnlyFullIPv4HostsAndFtpUrlsAreTaken) {
  const port::CNetworkWaits waits;
  const struct {
    const char* text;
    const char* host;  // nullptr: refused
    std::uint16_t port;
  } cases[] = {
      {"127.0.0.2", "127.0.0.2", 21},
      {"ftp://127.0.0.3:2121", "127.0.0.3", 2121},
      {"Ftp://localhost/", "127.0.0.1", 21},
      {"127.0.0.2:2121", "127.0.0.2", 2121},
      {"127.1", nullptr, 0},
      {"10.1", nullptr, 0},
      {"0x7f.0.0.1", nullptr, 0},
      {"http://127.0.0.2", nullptr, 0},
      {"ftp://", nullptr, 0},
      {"ftp://user@127.0.0.2", nullptr, 0},
      {"ftp://127.0.0.2/dir", nullptr, 0},
      {"127.0.0.2:99999", nullptr, 0},
      {"127.0.0.2:", nullptr, 0},
      {"", nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<port::CNetworkAddress> a = port::ParseNetworkAddress(c.text, waits);
    ASSERT_EQ(a.has_value(), c.host != nullptr);
    if (a) {
      EXPECT_EQ(a->host, c.host);
      EXPECT_EQ(a->ftpPort, c.port);
    }
  }
}

}  // namespace
}  // namespace pelmora::update::test
