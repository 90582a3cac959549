// pelmora-cli send and get against the simulated printer on a pseudo-terminal.
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <optional>
#include <utility>

#include "cli_test_support.h"
#include "sim_printer.h"

namespace {

using namespace cli_test;

using pelmora::test::kModelTr210;
using pelmora::test::kTs5;        // 01 02 xx 04 / A5
using pelmora::test::kTs5Custom;  // 7F 80 xx 01 / 5A
const std::string kNotFound = "Printer not found. Check printer description or connection.\n";

// A scratch folder with a settings file that turns the log on into it; and the
// simulator, when asked for, serving TS-5.
class CliTransfer : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "setting");
    WriteFile(dir_ / "pelmora.conf", "[Log]\nLOG = 1\n");
  }
  void StartSim(std::vector<std::string> args = {}, const std::string& model = kTs5) {
    sim_.emplace(std::move(args), model);
    ASSERT_TRUE(sim_->Started()) << sim_->Error();
  }
  RunResult Run(std::vector<std::string> args,
                const std::function<void(pid_t)>& whileRunning = {}) const {
    return RunCli(args, {"PELMORA_SETTINGS=" + Settings(), "XDG_STATE_HOME=" + dir_.string()},
                  whileRunning);
  }
  std::string Settings() const { return (dir_ / "pelmora.conf").string(); }
  std::string Log() const { return ReadFile(dir_ / "pelmora" / "VORSETTA.LOG"); }

  pelmora::test::TempDir tmp_;
  fs::path dir_ = tmp_.Path();
  std::optional<pelmora::test::SimPeer> sim_;
};

TEST_F(CliTransfer, SendsAndReadsBackTheSameValues) {
  StartSim();
  const RunResult sent = Run({"send", kTs5Custom, "--device", sim_->Device(), "--yes", "--baud",
                              "115200", "--parity", "Even", "--stop", "2-bit"});
  EXPECT_EQ(sent.exitCode, 0) << sent.err;
  EXPECT_EQ(sent.err, "Send data to printer?\n");
  EXPECT_EQ(sent.out, "");
  std::vector<std::uint8_t> memory;
  ASSERT_TRUE(sim_->Memory(memory)) << sim_->Error();
  std::vector<std::uint8_t> expected(memory.size(), 0);
  expected[0x10] = 0x7F;
  expected[0x11] = 0x80;
  expected[0x13] = 0x01;
  expected[0x20] = 0x5A;
  EXPECT_TRUE(memory == expected);

  // Read into the factory configuration: the printer's values come back, and are saved.
  const RunResult got = Run({"get", kTs5, "--device", sim_->Device(), "--yes", "--save-as",
                             "Fetched.cfg", "--workdir", dir_.string()});
  EXPECT_EQ(got.exitCode, 0) << got.err;
  EXPECT_EQ(got.err, "Get printer setting?\n");
  const RunResult shown = Run({"show", kTs5Custom});
  EXPECT_EQ(got.out, shown.out);
  EXPECT_EQ(Run({"show", (dir_ / "setting" / "Fetched.cfg").string()}).out, shown.out);

  const std::string log = Log();
  for (const char* line : {"Mode : Update Printer\n", "CUpdatePrinterDlg::SendDataSerial\n",
                           "Write Reset Command\n", "Mode : Get Printer Setting\n",
                           "CUpdatePrinterDlg::GetDataSerial\n", "Reply Data : @BDC PS\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

TEST_F(CliTransfer, RefusalsFailuresAndUsage) {
  StartSim({"--no-device-id"});
  const std::string device = sim_->Device();
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // the whole of it, or for usage errors its start
  } cases[] = {
      // Standard input is no terminal: questions are refused.
      {{"send", kTs5, "--device", device},
       3,
       "Verify connection. Printer must be online and properly connected. Update printer?\n"},
      {{"send", kTs5, "--device", (dir_ / "none").string(), "--yes"},
       1,
       kNotFound + "Cannot open " + (dir_ / "none").string() + " (COM1): no such device.\n"},
      {{"send", (kSourceDir / "examples/model/tk30.cfg").string(), "--yes"},
       1,
       (kSourceDir / "examples/model/tk30.cfg").string() + " offers no Serial connection.\n"},
      // USB without the printer's driver: the dialog's warning, and no other connection.
      {{"send", kModelTr210, "--connection", "USB", "--yes"},
       1,
       "Please install a driver of a target printer to update a printer by USB connection.\n"},
      // A name Save As refuses stops the run before the printer is asked.
      {{"get", kTs5, "--device", device, "--save-as", "noextension", "--yes"},
       1,
       "File name is illegal.\n"},
      {{"send", kTs5, "--baud", "1234"}, 2, "pelmora-cli: --baud: 1234 not in"},
      {{"send", kTs5, "--parity", "Mark"}, 2, "pelmora-cli: --parity: Mark not in"},
      {{"get", kTs5, "--connection", "TCP/IP"}, 2, "pelmora-cli: --connection: TCP/IP not in"},
      {{"send", kTs5, "--connection", "USB", "--device", "x"}, 2, "pelmora-cli: --device needs"},
      {{"get", kTs5, "--description", "x"}, 2, "pelmora-cli: --description requires --save-as"},
      {{"send", kTs5, "--connection", "TCP/IP", "--verify"}, 2, "pelmora-cli: --verify needs"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.err << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliTransfer, VerifyNamesEachSettingThePrinterDidNotKeep) {
  StartSim({"--ignore-write-at", "11"});
  const std::vector<std::string> send = {"send",         kTs5Custom, "--device",
                                         sim_->Device(), "--yes",    "--verify"};
  const RunResult kept = Run(send);
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_EQ(kept.out, "Basic\tSpeed\t128 \t0 \n");
  EXPECT_EQ(kept.err,
            "Send data to printer?\nGet printer setting?\nVerify: 1 setting is not what was "
            "sent.\n");

  StartSim();
  const RunResult good = Run({"send", kTs5Custom, "--device", sim_->Device(), "--yes", "--verify"});
  EXPECT_EQ(good.exitCode, 0) << good.err;
  EXPECT_EQ(good.out, "");
  EXPECT_NE(good.err.find("Verify: the printer holds what was sent.\n"), std::string::npos);
}

// USB and parallel printers, emulated by the simulator for the pelmora-cli it runs: a
// verified send, and a printer of another model, whose failure the simulator passes on.
TEST_F(CliTransfer, SendsOverUsbAndParallelToEmulatedPrinters) {
  const std::string tk30 = (kSourceDir / "examples/model/tk30.cfg").string();  // USB first
  const struct {
    const char* emulation;
    const char* connection;
    std::string model;
  } cases[] = {{"--usb", "USB", tk30}, {"--parallel", "Parallel", kModelTr210}};
  for (const auto& c : cases) {
    for (const bool ofModel : {true, false}) {
      std::vector<std::string> args = {c.model, c.emulation};
      if (!ofModel)
        args.insert(args.end(), {"--device-id", "MFG:TAVEN;MDL:TX-9;"});
      args.insert(args.end(), {"--", PELMORA_CLI_PATH, "send", c.model, "--connection",
                               c.connection, "--yes", "--verify"});
      const RunResult r =
          RunProgram(PELMORA_PRINTER_SIM, args,
                     {"PELMORA_SETTINGS=" + Settings(), "XDG_STATE_HOME=" + dir_.string()});
      EXPECT_EQ(r.exitCode, ofModel ? 0 : 1) << c.connection << r.err;
      EXPECT_NE(r.err.find(ofModel ? "Verify: the printer holds what was sent.\n" : kNotFound),
                std::string::npos)
          << c.connection << r.err;
    }
  }
}

TEST_F(CliTransfer, AReadBackThatStopsOnAnErrorFailsAndSavesNothing) {
  StartSim({"--init-from-model", "--bad-reply-at", "13"}, kTs5Custom);
  const RunResult got = Run({"get", kTs5, "--device", sim_->Device(), "--yes", "--save-as",
                             "Clone.cfg", "--workdir", dir_.string()});
  EXPECT_EQ(got.exitCode, 1);
  EXPECT_EQ(got.err, "Get printer setting?\nFailed in analyze of data.\nAddress = 0x0013\n");
  EXPECT_EQ(got.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "setting" / "Clone.cfg"));
}

TEST_F(CliTransfer, AnUnusableSettingsFileIsReportedAndNoPortIsGuessed) {
  WriteFile(Settings(), "[Ports]\nCOM1 = ttyS0\n");
  const std::string problem = "The settings file " + Settings() +
                              " maps COM1 to a relative path (ttyS0). None of its settings "
                              "are used.";
  const RunResult sent = Run({"send", kTs5, "--yes"});
  EXPECT_EQ(sent.exitCode, 1);
  EXPECT_EQ(sent.err, problem + "\n" + kNotFound.substr(0, kNotFound.size() - 1) +
                          "\nNo device is set for COM1. " + problem + "\n");
}

TEST_F(CliTransfer, ASignalEndsTheRunAndReleasesThePort) {
  // A read wait of a minute per byte: the signal comes while the program waits.
  std::string model = ReadFile(kTs5);
  model.replace(model.find("ReadWait2 = 5"), 13, "ReadWait2 = 60000");
  const std::string slow = (dir_ / "slow.cfg").string();
  WriteFile(slow, model);
  StartSim();
  for (const auto& [signal, exitCode] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    const RunResult got =
        Run({"get", slow, "--device", sim_->Device(), "--yes", "--save-as", "Slow.cfg", "--workdir",
             dir_.string()},
            [&](pid_t pid) {
              for (int i = 0; i < 500 && Log().find("MakeReadCommand") == std::string::npos; ++i)
                usleep(10000);
              kill(pid, signal);
            });
    EXPECT_EQ(got.exitCode, exitCode) << got.err;
    EXPECT_EQ(got.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "setting" / "Slow.cfg"));
    // Neither the lock nor the terminal's exclusive mode is left behind.
    const int fd = open(sim_->Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    int exclusive = 1;
    EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    fs::remove(dir_ / "pelmora" / "VORSETTA.LOG");
  }
}

}  // namespace
