// The simulated printer as a real peer for the serial tests, and a scratch log with
// fixed stamps.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "log/debug_log.h"
#include "port/serial_settings.h"
#include "sim_process.h"
#include "test_support.h"

namespace pelmora::port::test {

inline const std::string kSimProgram = PELMORA_PRINTER_SIM;
inline const std::string kModelTr210 =
    std::string(PELMORA_SOURCE_DIR) + "/examples/model/tr210.cfg";

using Bytes = std::vector<std::uint8_t>;

// Waits for a port to the simulator, which answers at once: long enough for its
// answers, and short, as each silence costs a read time-out.
inline constexpr CSerialWaits kShortWaits{
    .readTotalMs = 150, .deviceIdWaitMs = 0, .drainSlackMs = 100};

using Clock = std::chrono::steady_clock;

inline std::string AsText(const std::uint8_t* bytes, std::uint32_t length) {
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

// A read reply as the printer sends it: header, `fields`, NUL.
inline std::string Reply(const std::string& fields) {
  return "@BDC PS\r\n" + fields + std::string(1, '\0');
}

inline std::chrono::milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// The TR-210's commands: ESC ~ W <lo> <hi> <data>, ESC ~ R <lo> <hi>.
inline Bytes WriteCommand(std::uint16_t address, std::uint8_t data) {
  return {0x1B,
          0x7E,
          0x57,
          static_cast<std::uint8_t>(address & 0xFF),
          static_cast<std::uint8_t>(address >> 8),
          data};
}
inline Bytes ReadCommand(std::uint16_t address) {
  return {0x1B, 0x7E, 0x52, static_cast<std::uint8_t>(address & 0xFF),
          static_cast<std::uint8_t>(address >> 8)};
}

// Turns the log on into a scratch file with the stamp fixed at 1.
class ScratchLog {
 public:
  ScratchLog() {
    log::SetLogFilePath(path_);
    log::SetTickSource([] { return std::uint32_t{1}; });
    log::EnableLog(true);
  }
  ~ScratchLog() {
    log::EnableLog(false);
    log::SetTickSource(nullptr);
    log::SetLogFilePath("");
  }
  ScratchLog(const ScratchLog&) = delete;
  ScratchLog& operator=(const ScratchLog&) = delete;

  std::string Text() const { return pelmora::test::ReadFile(path_); }
  void Clear() const { pelmora::test::WriteFile(path_, ""); }

 private:
  pelmora::test::TempDir dir_;
  std::string path_ = dir_ / "VORSETTA.LOG";
};

// What a scope writes when it logs nothing else, at depth 0 with the stamp at 1.
inline std::string Heading(const std::string& scope) {
  return "0000000001: \n0000000001: ---\n0000000001: " + scope + "\n";
}

// The simulator program on its own terminal, with a dump file in a scratch folder.
class SimPeer {
 public:
  explicit SimPeer(std::vector<std::string> extraArgs = {},
                   const std::string& model = kModelTr210) {
    std::vector<std::string> args{model, "--dump", dumpPath_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::string error;
    started_ = process_.Start(kSimProgram, args, error);
    EXPECT_TRUE(started_) << error;
  }

  bool Started() const { return started_; }
  const std::string& Device() const { return process_.DevicePath(); }
  sim::CSimProcess& Process() { return process_; }

  // The printer's memory now (after the bytes on their way have arrived).
  Bytes Memory() {
    Bytes memory;
    std::string error;
    EXPECT_TRUE(process_.Dump(dumpPath_, memory, error)) << error;
    return memory;
  }

 private:
  pelmora::test::TempDir dir_;
  std::string dumpPath_ = dir_ / "memory.txt";
  sim::CSimProcess process_;
  bool started_ = false;
};

}  // namespace pelmora::port::test
