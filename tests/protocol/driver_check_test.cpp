// The driver check against a real CUPS server that the test starts in a private folder:
// its own configuration, state, spool, logs and socket, so the system's print service
// is never asked or changed.
#include "protocol/driver_check.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol_test_support.h"

extern char** environ;

namespace pelmora::protocol::test {
namespace {

namespace fs = std::filesystem;

std::string FindProgram(const std::string& name) {
  std::string dirs = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  dirs += ":/usr/sbin:/sbin:/usr/local/sbin";
  std::istringstream in(dirs);
  for (std::string dir; std::getline(in, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate.string();
  }
  return {};
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `argv` with stdout and stderr to `output`; returns the process id or -1.
pid_t Spawn(const std::vector<std::string>& argv, const fs::path& output) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

sockaddr_un UnixAddress(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  path.copy(addr.sun_path, sizeof addr.sun_path - 1);
  return addr;
}

bool CanConnect(const std::string& socketPath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un addr = UnixAddress(socketPath);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// A socket file at `path`, listening or not; -1 on failure.
int BoundSocket(const std::string& path, bool listening) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un addr = UnixAddress(path);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      (listening && ::listen(fd, 4) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Points libcups at `server`; it reads CUPS_SERVER again after the reset.
void UseServer(const std::string& server) {
  ::setenv("CUPS_SERVER", server.c_str(), 1);
  cupsSetServer(nullptr);
}

// The least of a PPD that makes a queue; its *NickName becomes the queue's
// printer-make-and-model.
std::string Ppd(const std::string& nickName) {
  return "*PPD-Adobe: \"4.3\"\n*NickName: \"" + nickName + "\"\n";
}

// A cupsd of our own, every path of it inside one temporary folder.
class PrivateCupsd {
 public:
  ~PrivateCupsd() { Stop(); }

  // Empty on success, else what went wrong.
  std::string Start() {
    const std::string cupsd = FindProgram("cupsd");
    if (cupsd.empty())
      return "no cupsd";
    std::string pattern = (fs::temp_directory_path() / "pelmora-cupsd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      return "no temporary folder";
    dir_ = pattern;
    for (const char* sub : {"cache", "state", "spool", "tmp", "log", "ssl", "ppd"}) {
      fs::create_directory(dir_ / sub);
    }
    const std::string d = dir_.string();
    std::ofstream(dir_ / "cups-files.conf")
        << "ServerRoot " << d << "\nStateDir " << d << "/state\nCacheDir " << d
        << "/cache\nRequestRoot " << d << "/spool\nTempDir " << d << "/tmp\nServerKeychain " << d
        << "/ssl\nAccessLog " << d << "/log/access_log\nErrorLog " << d
        << "/log/error_log\nPageLog " << d << "/log/page_log\nPrintcap " << d
        << "/printcap\nFileDevice Yes\n";
    std::ofstream(dir_ / "cupsd.conf")
        << "Listen " << Socket() << "\nLogLevel warn\nBrowsing No\nWebInterface No\n"
        << "DefaultAuthType None\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        << "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
        << "</Policy>\n";
    pid_ = Spawn({cupsd, "-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"},
                 dir_ / "cupsd.out");
    if (pid_ < 0)
      return "cupsd did not start";

    for (int waited = 0; waited < 2000; ++waited) {
      if (CanConnect(Socket()))
        return {};
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return "cupsd ended: " + ReadText(dir_ / "cupsd.out") + ReadText(dir_ / "log/error_log");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "cupsd did not open " + Socket();
  }

  // Adds an enabled queue whose driver reports `makeAndModel`; empty on success.
  std::string AddQueue(const std::string& name, const std::string& makeAndModel) {
    const fs::path ppd = dir_ / (name + ".ppd");
    std::ofstream(ppd) << Ppd(makeAndModel);
    const std::string lpadmin = FindProgram("lpadmin");
    if (lpadmin.empty())
      return "no lpadmin";
    const pid_t pid = Spawn(
        {lpadmin, "-h", Socket(), "-p", name, "-v", "file:///dev/null", "-P", ppd.string(), "-E"},
        dir_ / "lpadmin.out");
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      return "lpadmin failed: " + ReadText(dir_ / "lpadmin.out");
    }
    return {};
  }

  std::string Socket() const { return (dir_ / "cups.sock").string(); }
  const fs::path& Dir() const { return dir_; }

  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) == 0; ++waited) {
        if (waited == 1000)
          ::kill(pid_, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      pid_ = -1;
    }
    if (!dir_.empty()) {
      std::error_code ec;
      fs::remove_all(dir_, ec);
      dir_.clear();
    }
  }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
};

model::CStatDataObj WithDriver(const std::string& driver) {
  model::CStatDataObj m;
  m.SetDriverName(driver);
  return m;
}

class DriverCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Before any call into libcups, so the system's server is never asked.
    UseServer("/nonexistent/pelmora-test.sock");
    if (FindProgram("cupsd").empty()) {
      skip_ = "cupsd is not installed (package cups-daemon; scripts/install-deps.sh installs it)";
      return;
    }
    server_ = new PrivateCupsd;
    error_ = server_->Start();
    if (error_.empty())
      error_ = server_->AddQueue("taven", "TAVEN TP-9 Driver");
    if (error_.empty())
      error_ = server_->AddQueue("other", "Generic Text-Only Printer");
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!skip_.empty())
      GTEST_SKIP() << skip_;
    ASSERT_EQ(error_, "");
    UseServer(server_->Socket());
  }

  static inline PrivateCupsd* server_ = nullptr;
  static inline std::string error_, skip_;
};

TEST_F(DriverCheckTest, QueueWithTheDriver) {
  const struct {
    std::string driver;
    bool installed;
  } rows[] = {
      {"TAVEN TP-9 Driver", true},
      {"taven tp-9 DRIVER", true},
      {"Generic Text-Only Printer", true},
      {"TAVEN TP-9", false},
      {"TAVEN TP-9 Driver ", false},
      {"TAVEN TP-90 Driver", false},
      {"", false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(IsDriverInstalled(WithDriver(r.driver)), r.installed) << '"' << r.driver << '"';
  }
}

TEST_F(DriverCheckTest, NoServer) {
  // A socket file nobody listens on any more, and a path with nothing at all.
  const std::string stale = (server_->Dir() / "stale.sock").string();
  const int fd = BoundSocket(stale, false);
  ASSERT_GE(fd, 0);
  ::close(fd);
  for (const std::string& server : {stale, (server_->Dir() / "absent.sock").string()}) {
    UseServer(server);
    EXPECT_FALSE(IsDriverInstalled(WithDriver("TAVEN TP-9 Driver"))) << server;
  }
}

// A server that takes the connection but never answers is given up on, not waited for.
TEST_F(DriverCheckTest, ServerThatDoesNotAnswer) {
  const std::string mute = (server_->Dir() / "mute.sock").string();
  const int fd = BoundSocket(mute, true);
  ASSERT_GE(fd, 0);
  UseServer(mute);
  EXPECT_FALSE(IsDriverInstalled(WithDriver("TAVEN TP-9 Driver"), std::chrono::milliseconds(50)));
  ::close(fd);
}

// Without the library, or with one that lacks the functions, there is no driver even
// where the server has a queue with it.
TEST_F(DriverCheckTest, UnloadableLibraryMeansNoDriver) {
  for (const char* library : {"libpelmora-absent.so.2", "libm.so.6"}) {
    EXPECT_FALSE(IsDriverInstalled(WithDriver("TAVEN TP-9 Driver"), kDriverReplyBound, library))
        << library;
  }
}

}  // namespace
}  // namespace pelmora::protocol::test
