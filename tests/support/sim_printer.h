// The simulator program on its own pseudo-terminal, for the tests of the serial port
// and of the layers above it. Free of any test framework (the widget tests use
// QtTest): what fails is told by the return values and Error(), and the test asserts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/settings.h"
#include "model/stat_data_obj.h"
#include "port/serial_settings.h"
#include "sim_process.h"
#include "test_support.h"

namespace pelmora::test {

using Bytes = std::vector<std::uint8_t>;

// The TR-210, whose commands the serial tests write.
extern const std::string kModelTr210;
// A small model: known bytes 0x10, 0x11, 0x13 and 0x20; 0x12 is xx; ReadWait2 = 5.
extern const std::string kTs5;
// The same with saved data 7F 80 xx 01 / 5A.
extern const std::string kTs5Custom;

// Waits for a port to the simulator, which answers at once: long enough for its
// answers, and short, as each silence costs a read time-out.
inline constexpr port::CSerialWaits kShortWaits{
    .readTotalMs = 150, .deviceIdWaitMs = 0, .drainSlackMs = 100};

// The byte at `address` of the current image, nullopt when it is not known.
std::optional<std::uint8_t> ImageByte(const model::CStatDataObj& data, std::uint32_t address);

// The simulator program serving `model` on its own terminal, with a dump file in a
// scratch folder; it is killed with the object.
class SimPeer {
 public:
  explicit SimPeer(std::vector<std::string> extraArgs = {}, const std::string& model = kModelTr210);
  SimPeer(const SimPeer&) = delete;
  SimPeer& operator=(const SimPeer&) = delete;

  bool Started() const { return started_; }
  // Why the last step failed.
  const std::string& Error() const { return error_; }
  const std::string& Device() const { return process_.DevicePath(); }
  sim::CSimProcess& Process() { return process_; }

  // The printer's memory now (after the bytes on their way have arrived); false when
  // it cannot be had.
  bool Memory(Bytes& memory);

 private:
  TempDir dir_;
  std::string dumpPath_ = dir_ / "memory.txt";
  sim::CSimProcess process_;
  std::string error_;
  bool started_ = false;
};

// Makes "COM1" the given device for the life of the object.
class ComPort {
 public:
  explicit ComPort(const std::string& device);
  ~ComPort();
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

 private:
  std::optional<log::CSettings> saved_;
};

// The simulator as the printer behind "COM1" while it lives, by default TS-5, with
// `waits` as the serial waits meanwhile (nullopt keeps them).
class SimPrinter : public SimPeer {
 public:
  explicit SimPrinter(std::vector<std::string> extraArgs = {}, const std::string& model = kTs5,
                      const std::optional<port::CSerialWaits>& waits = kShortWaits);
  ~SimPrinter();

 private:
  std::optional<ComPort> com1_;
  bool waits_ = false;
};

}  // namespace pelmora::test
