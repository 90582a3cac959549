// The simulator on a pseudo-terminal: the program as a user or a test starts it, and the
// same loop on a thread of the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/model_file.h"
#include "pty_runner.h"
#include "sim_options.h"
#include "sim_process.h"
#include "test_support.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using pelmora::test::Reply;

const std::string kProgram = PELMORA_PRINTER_SIM;
const std::string kTr210 = std::string(PELMORA_SOURCE_DIR) + "/examples/model/tr210.cfg";

using pelmora::test::TempDir;

// A host end of the line: raw, and a read that collects until `end` arrives or 2 s pass.
class Host {
 public:
  explicit Host(const std::string& device) : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY)) {
    EXPECT_GE(fd_, 0) << device;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~Host() { ::close(fd_); }

  void Send(const Bytes& bytes) {
    EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Sends `request`, then reads until `ends` bytes equal to `end` have come.
  std::string Ask(const Bytes& request, char end, int ends = 1) {
    Send(request);
    std::string got;
    while (std::count(got.begin(), got.end(), end) < ends) {
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, 2000) <= 0)
        break;
      char chunk[256];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0)
        break;
      got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int fd_;
};

const Bytes kDeviceIdRequest = {0x1B, 0x01, '@', 'T', 'J', 'L', ' ', 'I', 'D', 0x0D, 0x0A};

int ExitStatus(const std::string& args) {
  const int status = std::system((kProgram + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimProgram, ExitStatusForUsageAndUnreadableModels) {
  EXPECT_EQ(ExitStatus("--help"), 0);
  EXPECT_EQ(ExitStatus(""), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " --slow-reply soon"), 2);
  EXPECT_EQ(ExitStatus("/nonexistent/model.cfg"), 1);
  EXPECT_EQ(ExitStatus(kTr210 + " --memory /nonexistent/dump.txt"), 1);
  EXPECT_EQ(ExitStatus(kTr210 + " --network 10.1"), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " --fleet 127.0.0.2 0"), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " --fleet 127.0.0.2 2 --dump one.txt"), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " --parallel"), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " -- true"), 2);
  EXPECT_EQ(ExitStatus(kTr210 + " --usb --parallel -- true"), 2);
}

TEST(SimProgram, ServesItsLinkFromADumpAndDumpsAtExit) {
  TempDir dir;
  const std::string memory = dir / "start.txt";
  const std::string dump = dir / "end.txt";
  const std::string link = dir / "printer";
  std::ofstream(memory) << "0000:AB\n1234:5A\n";

  CSimProcess process;
  std::string error;
  ASSERT_TRUE(
      process.Start(kProgram, {kTr210, "--memory", memory, "--dump", dump, "--link", link}, error))
      << error;
  EXPECT_EQ(std::filesystem::read_symlink(link), process.DevicePath());
  {
    Host host(link);
    EXPECT_EQ(host.Ask(kDeviceIdRequest, ';'), "MFG:TAVEN;MDL:TR-210;");
    EXPECT_EQ(host.Ask({0x1B, 0x7E, 0x52, 0x34, 0x12}, '\0'), Reply("EE:34125A;"));
    // Written, then the process is told to end at once: the bytes still count.
    host.Send({0x1B, 0x7E, 0x57, 0x00, 0x00, 0xCD});
  }
  EXPECT_EQ(process.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream in(dump);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.substr(0, 9), "0000:CD00");
}

TEST(SimProgram, SlowRepliesKeepTheirOrder) {
  CSimProcess process;
  std::string error;
  ASSERT_TRUE(process.Start(kProgram, {kTr210, "--init-from-model", "--slow-reply", "30"}, error))
      << error;
  Host host(process.DevicePath());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(host.Ask({0x1B, 0x7E, 0x52, 0x01, 0x00, 0x1B, 0x7E, 0x52, 0x02, 0x00}, '\0', 2),
            Reply("EE:010096;") + Reply("EE:020001;"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(PtyRunner, RunsOnAThreadOfTheTest) {
  model::CStatDataObj model;
  std::string error;
  ASSERT_TRUE(LoadSimModel(kTr210, model, error)) << error;
  CPtyRunner sim(model, {});
  ASSERT_TRUE(sim.Open(error)) << error;
  sim.Start();
  {
    Host host(sim.DevicePath());
    EXPECT_EQ(host.Ask({0x1B, 0x7E, 0x49, 0x1B, 0x7E, 0x57, 0x10, 0x00, 0x42, 0x1B, 0x7E, 0x52,
                        0x10, 0x00},
                       '\0'),
              Reply("EE:100042;"));
  }
  sim.Stop();
  EXPECT_EQ(sim.MemorySnapshot()[0x0010], 0x42);
  const CSimCounters counters = sim.CountersSnapshot();
  EXPECT_EQ(counters.inits, 1u);
  EXPECT_EQ(counters.writes, 1u);
  EXPECT_EQ(counters.reads, 1u);
}

}  // namespace
}  // namespace pelmora::sim
