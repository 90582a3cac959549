// pelmora-cli send over TCP/IP against simulated network printers on loopback addresses.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "cli_test_support.h"
#include "sim_process.h"

namespace {

using namespace cli_test;
using pelmora::sim::CSimProcess;

const std::string kTl450 = (kSourceDir / "examples/model/tl450.cfg").string();
const std::string kTk30 = (kSourceDir / "examples/model/tk30.cfg").string();

// Printers of TL-450 at .72 and .73 (with dumps), a silent one at .74 and a TK-30 at .75,
// in a 127.0.N block of each test's own (the device ID port is the same for all, and the
// tests may run at once); each process has its own FTP server. Their rows are
// ftp://ADDR:PORT.
class CliNetwork : public testing::Test {
 protected:
  void StartPrinters(int block) {
    const std::string net = "127.0." + std::to_string(block) + ".";
    dumpName_ = "p-" + net + "7";
    Start(
        {kTl450, "--network", net + "72", "--network", net + "73", "--dump", (tmp_ / "p-%a.txt")});
    Start({kTl450, "--network", net + "74", "--no-device-id"});
    Start({kTk30, "--network", net + "75"});
  }
  void Start(std::vector<std::string> args) {
    args.insert(args.end(), {"--ftp-port", "0"});
    auto& sim = sims_.emplace_back(std::make_unique<CSimProcess>());
    std::string error;
    ASSERT_TRUE(sim->Start(PELMORA_PRINTER_SIM, args, error)) << error;
    std::string line = sim->DevicePath();
    for (std::size_t n = std::count(args.begin(), args.end(), "--network"); n > 0; --n) {
      // "ADDR udp:PORT ftp:PORT"
      std::istringstream in(line);
      std::string address, udp, ftp;
      in >> address >> udp >> ftp;
      rows_.push_back("ftp://" + address + ":" + ftp.substr(4));
      if (n > 1) {
        ASSERT_TRUE(sim->NextLine(line, error)) << error;
      }
    }
  }
  RunResult Send(std::vector<std::string> args) const {
    args.insert(args.begin(), {"send", kTl450, "--connection", "TCP/IP", "--wait", "300"});
    return RunCli(args, {"PELMORA_SETTINGS=" + (tmp_ / "none.conf"), "TMPDIR=" + tmp_.Path()});
  }
  // Whether the printer at .7`last` has memory that is no longer all zero.
  bool Updated(char last) {
    std::vector<std::uint8_t> memory;
    std::string error;
    EXPECT_TRUE(sims_[0]->Dump(tmp_ / (dumpName_ + last + ".txt"), memory, error)) << error;
    return std::any_of(memory.begin(), memory.end(), [](std::uint8_t b) { return b != 0; });
  }

  pelmora::test::TempDir tmp_;
  std::vector<std::unique_ptr<CSimProcess>> sims_;
  std::string dumpName_;
  std::vector<std::string> rows_;  // .72, .73, .74 (silent), .75 (TK-30)
};

TEST_F(CliNetwork, UpdatesTwoPrinters) {
  ASSERT_NO_FATAL_FAILURE(StartPrinters(11));
  const RunResult r = Send({"--address", rows_[0], "--address", rows_[1], "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, rows_[0] + "\tupdated\n" + rows_[1] + "\tupdated\n");
  EXPECT_TRUE(Updated('2'));
  EXPECT_TRUE(Updated('3'));
  for (const auto& entry : fs::directory_iterator(tmp_.Path()))
    EXPECT_NE(entry.path().filename().string().rfind("~Sd", 0), 0U) << entry.path();
}

TEST_F(CliNetwork, ReportsEveryRowInTheOrderGivenWhateverRunsFirst) {
  ASSERT_NO_FATAL_FAILURE(StartPrinters(12));
  // The list's rows come after the --address ones, in file order.
  WriteFile(tmp_ / "IPAddress.lst", "\"10.1\",\"\"\r\n\"" + rows_[2] + "\",\"silent\"\r\n\"" +
                                        rows_[3] + "\",\"\"\r\n\"" + rows_[1] + "\",\"\"\r\n");
  const RunResult r = Send(
      {"--address", rows_[0], "--address-list", tmp_ / "IPAddress.lst", "--jobs", "4", "--yes"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, rows_[0] + "\tupdated\n10.1\tfailed\tnot a usable address\n" + rows_[2] +
                       "\tupdated\n" + rows_[3] + "\tfailed\tanother model\n" + rows_[1] +
                       "\tupdated\n");
  EXPECT_NE(r.err.find("IP Address : " + rows_[3]), std::string::npos) << r.err;
}

TEST_F(CliNetwork, QuestionsThatCannotBeAskedCancelAndUsageFaults) {
  ASSERT_NO_FATAL_FAILURE(StartPrinters(13));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;  // its start
  } cases[] = {
      // No terminal and no --yes: the Warning for the silent printer cancels the run.
      {{"--address", rows_[2], "--address", rows_[0]},
       3,
       rows_[2] + "\tskipped\n" + rows_[0] + "\tskipped\n",
       "Verify IP Address. Printer must be online and properly connected. Update printer?\n"
       "IP Address : " +
           rows_[2] + "\n"},
      {{"--address", rows_[0], "--jobs", "2"}, 2, "", "pelmora-cli: --jobs above 1 needs --yes"},
      {{"--yes"}, 2, "", "pelmora-cli: no printer address given"},
  };
  for (const auto& c : cases) {
    const RunResult r = Send(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
  }
  const RunResult serial = RunCli({"send", kTl450, "--address", rows_[0]});
  EXPECT_EQ(serial.exitCode, 2);
  EXPECT_EQ(serial.err, "pelmora-cli: --address needs --connection TCP/IP (see --help)\n");
}

}  // namespace
