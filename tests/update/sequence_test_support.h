// The simulated printer on a pseudo-terminal as the peer of the send and read-back
// tests, the small TS-5 model they use, and "COM1" pointed at the simulator.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/model_file.h"
#include "model/stat_data_obj.h"
#include "sim_process.h"
#include "test_support.h"
#include "update/connection_settings.h"

namespace pelmora::update::test {

using Bytes = std::vector<std::uint8_t>;

inline const std::string kSimProgram = PELMORA_PRINTER_SIM;
inline const std::string kDataDir = std::string(PELMORA_SOURCE_DIR) + "/tests/data/sequence";
// Known bytes 0x10, 0x11, 0x13 and 0x20; 0x12 is xx; ReadWait2 = 5.
inline const std::string kTs5 = kDataDir + "/ts5.cfg";
// The same with saved data 7F 80 xx 01 / 5A.
inline const std::string kTs5Custom = kDataDir + "/ts5_custom.cfg";

// Loads a fixture; the model keeps its file path, which the read wait comes from.
inline void LoadModel(model::CStatDataObj& data, const std::string& path) {
  model::CModelFile file;
  ASSERT_EQ(file.Load(data, path), 1) << path;
}

// The byte at `address` of the current image, nullopt when it is not known.
inline std::optional<std::uint8_t> ImageByte(const model::CStatDataObj& data,
                                             std::uint32_t address) {
  std::uint8_t byte = 0;
  if (data.ReadBytes(address, {&byte, 1}) != 1)
    return std::nullopt;
  return byte;
}

// Makes "COM1" the given device for the life of the object.
class ComPort {
 public:
  explicit ComPort(const std::string& device) : saved_(ConnectionSettingsOverride()) {
    log::CSettings settings;
    settings.OverridePort("COM1", device);
    SetConnectionSettings(settings);
  }
  ~ComPort() { SetConnectionSettings(saved_); }
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

 private:
  std::optional<log::CSettings> saved_;
};

// The simulator program serving `model`, with "COM1" pointed at its terminal. It
// answers at once, so the serial waits are short: long enough for its answers, and a
// silence costs little.
class SimPrinter {
 public:
  explicit SimPrinter(std::vector<std::string> extraArgs = {}, const std::string& model = kTs5) {
    std::vector<std::string> args{model, "--dump", DumpPath()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::string error;
    EXPECT_TRUE(process_.Start(kSimProgram, args, error)) << error;
    com1_.emplace(process_.DevicePath());
    SetSerialWaits({.readTotalMs = 150, .deviceIdWaitMs = 0, .drainSlackMs = 100});
  }
  ~SimPrinter() {
    SetSerialWaits({});
    com1_.reset();
    process_.Kill();
  }
  SimPrinter(const SimPrinter&) = delete;
  SimPrinter& operator=(const SimPrinter&) = delete;

  const std::string& Device() const { return process_.DevicePath(); }

  Bytes Memory() {
    Bytes memory;
    std::string error;
    EXPECT_TRUE(process_.Dump(DumpPath(), memory, error)) << error;
    return memory;
  }

 private:
  std::string DumpPath() const { return dir_ / "memory.txt"; }

  pelmora::test::TempDir dir_;
  sim::CSimProcess process_;
  std::optional<ComPort> com1_;
};

}  // namespace pelmora::update::test
