// What CParallel does beyond the connection suite, against the printer on an emulated
// /dev/parport0: the device ID's variants, a printer that cannot send back, exclusive
// use, and the port names.
#include "port/parallel.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "log/settings.h"
#include "parallel_emulation.h"
#include "serial_test_support.h"
#include "sim_options.h"

namespace pelmora::port {
namespace {

using test::AsText;
using test::Bytes;
using test::ReadCommand;

const std::string kFrontCounter =
    std::string(PELMORA_SOURCE_DIR) + "/examples/setting/front_counter.cfg";

// The emulated printer with the simulator's switches, and a CParallel open on it.
class EmulatedPort {
  // Before the port, which must close while the emulation still answers.
  model::CStatDataObj model_;
  std::optional<sim::CParallelEmulation> emulation_;

 public:
  explicit EmulatedPort(std::vector<std::string> args, sim::CParallelPrinterOptions options = {},
                        int versionCode = 6)
      : parallel(versionCode) {
    args.insert(args.begin(), kFrontCounter);
    sim::CSimCommandLine line;
    std::string error;
    EXPECT_TRUE(sim::ParseSimCommandLine(args, line, error)) << error;
    EXPECT_TRUE(sim::LoadSimModel(line.modelPath, model_, error)) << error;
    if (line.parallelOptions.ieee1284 == false)
      options.ieee1284 = false;
    emulation_.emplace(model_, line.options, options);
    EXPECT_TRUE(sim::InitSimMemory(line, model_, emulation_->Printer(), error)) << error;
    EXPECT_TRUE(emulation_->Start(error)) << error;
    parallel.SetWaits({.readTotalMs = 100});
    EXPECT_TRUE(parallel.Open("LPT1")) << "needs LD_PRELOAD=libumockdev-preload.so.0";
    EXPECT_TRUE(parallel.SetTimeOuts());
  }
  sim::CParallelEmulation& Emulation() { return *emulation_; }

  // The device ID as text, with GetDeviceID's result.
  std::pair<bool, std::string> DeviceId() {
    std::array<std::uint8_t, 260> buffer{};
    std::uint32_t length = 260;
    const bool ok = parallel.GetDeviceID(buffer.data(), length);
    return {ok, AsText(buffer.data(), length)};
  }

  CParallel parallel;
};

TEST(ParallelTest, DeviceIdThroughIeee1284) {
  const std::string id = "MFG:TAVEN;MDL:TR-210;";
  const struct {
    const char* name;
    std::vector<std::string> args;
    sim::CParallelPrinterOptions options;
    int versionCode;
    bool ok;
    std::string id;
    const char* logged;
  } cases[] = {
      {"swapped length", {}, {.swappedIdLength = true}, 6, true, id, nullptr},
      {"mode refused", {"--no-device-id"}, {}, 6, true, "", "DeviceIoControl Failed : 6\n"},
      {"no IEEE 1284", {"--no-ieee1284"}, {}, 5, true, "", "DeviceIoControl Failed : 5\n"},
      {"refused, old system", {"--no-device-id"}, {}, 2, false, "", "DeviceIoControl Failed : 6\n"},
      {"unknown system", {}, {}, 0, false, "", "DeviceIoControl Not Support\n"},
  };
  for (const auto& c : cases) {
    test::ScratchLog log;
    EmulatedPort port(c.args, c.options, c.versionCode);
    EXPECT_EQ(port.DeviceId(), std::make_pair(c.ok, c.id)) << c.name;
    if (c.logged != nullptr) {
      EXPECT_NE(log.Text().find(c.logged), std::string::npos) << c.name << "\n" << log.Text();
    }
    // The port is back in compatibility mode, where the printer takes commands.
    const Bytes command = ReadCommand(0x0000);
    EXPECT_TRUE(port.parallel.Write(command.data(), static_cast<std::uint32_t>(command.size())))
        << c.name;
  }
}

TEST(ParallelTest, APrinterThatCannotSendBackFailsTheRead) {
  test::ScratchLog log;
  EmulatedPort port({"--no-ieee1284"});
  const Bytes command = ReadCommand(0x0001);
  EXPECT_TRUE(port.parallel.Write(command.data(), static_cast<std::uint32_t>(command.size())));
  std::array<std::uint8_t, 260> buffer{};
  std::uint32_t length = 260;
  EXPECT_FALSE(port.parallel.Read(buffer.data(), length));
  EXPECT_EQ(length, 0u);
  EXPECT_NE(log.Text().find("ReadFile Failed : 5\n"), std::string::npos) << log.Text();
}

TEST(ParallelTest, OpenIsExclusiveAndNamesItsFailure) {
  test::ScratchLog log;
  EmulatedPort port({});
  CParallel second(6);
  EXPECT_FALSE(second.Open("/dev/parport0"));
  EXPECT_EQ(second.LastError(), ConnectionError::kBusy);
  EXPECT_NE(log.Text().find("CreateFile Failed : 16\n"), std::string::npos) << log.Text();
  port.parallel.Close();
  EXPECT_TRUE(second.Open("/dev/parport0"));
}

TEST(ParallelTest, PortNamesResolveThroughTheSettings) {
  const auto settings = [](const char* text) {
    return log::CSettings::FromText(text, "pelmora.conf");
  };
  EXPECT_EQ(ResolveParallelPort(log::CSettings(), "LPT1"), "/dev/parport0");
  EXPECT_EQ(ResolveParallelPort(settings("[Ports]\nLPT1=2\n"), "lpt1"), "/dev/parport2");
  EXPECT_EQ(ResolveParallelPort(settings("[Ports]\nLPT1=/dev/lpx\n"), "LPT1"), "/dev/lpx");
  EXPECT_EQ(ResolveParallelPort(settings("[Ports]\nLPT1=two\n"), "LPT1"), "");
  EXPECT_EQ(ResolveParallelPort(log::CSettings(), "/dev/parport3"), "/dev/parport3");
}

}  // namespace
}  // namespace pelmora::port
