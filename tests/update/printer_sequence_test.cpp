// The shared send and read-back algorithm over in-process printers: port failures that
// a real line cannot be made to show, the empty image, a connection that tries several
// devices, and the read wait lookup.
#include "update/printer_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_printer.h"
#include "log/debug_log.h"
#include "scripted_prompt.h"
#include "sequence_test_support.h"
#include "sim_connection.h"
#include "test_support.h"
#include "update/update_printer_dlg.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using model::Answer;
using test::ImageByte;
using Strings = std::vector<std::string>;

// A simulated printer whose port can be made to fail writes or reads.
class FaultyDevice final : public port::IConnection {
 public:
  FaultyDevice(const model::CStatDataObj& data, sim::CSimOptions options)
      : printer_(data, std::move(options)), line_(printer_) {}

  bool IsOpen() const override { return line_.IsOpen(); }
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override {
    return line_.GetDeviceID(buffer, length);
  }
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override {
    std::uint32_t taken = 0;
    return WriteSome(bytes, count, taken);
  }
  bool WriteSome(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& taken) override {
    taken = 0;
    if (failWrites || writes++ == failWriteAt)
      return false;
    // The port stops taking bytes once, part of the way through a write, and then
    // takes everything again.
    const bool cut = cutAfter && *cutAfter < count;
    taken = cut ? *cutAfter : count;
    if (cutAfter)
      cutAfter = cut ? std::nullopt : std::optional<std::uint32_t>(*cutAfter - count);
    return line_.Write(bytes, taken) && !cut;
  }
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override {
    if (failReads) {
      length = 0;
      return false;
    }
    return line_.Read(buffer, length);
  }
  void Close() override { line_.Close(); }
  port::ConnectionError LastError() const override { return line_.LastError(); }
  int LastErrno() const override { return line_.LastErrno(); }

  sim::CFakePrinter& Printer() { return printer_; }
  bool failWrites = false;
  int failWriteAt = -1;  // the write, counted from 0, that fails
  int writes = 0;
  std::optional<std::uint32_t> cutAfter;  // the bytes taken before a write is cut short
  bool failReads = false;

 private:
  sim::CFakePrinter printer_;
  sim::CSimConnection line_;
};

constexpr PrinterPortTraits kOnePort = {"Serial",    "Test::Send", "Test::Get",
                                        "ReadWait2", true,         false};
constexpr PrinterPortTraits kEveryDevice = {"USB",       "Test::Send", "Test::Get",
                                            "ReadWait3", false,        true};

class FakePort final : public IPrinterPort {
 public:
  explicit FakePort(const PrinterPortTraits& traits) : traits_(traits) {}
  const PrinterPortTraits& Traits() const override { return traits_; }
  port::IConnection* OpenNext(const log::CDebugLog&) override {
    return opened < devices.size() ? devices[opened++].get() : nullptr;
  }

  std::vector<std::unique_ptr<FaultyDevice>> devices;
  std::size_t opened = 0;

 private:
  const PrinterPortTraits& traits_;
};

// Records whether the progress window was closed when an error was shown.
class ProbingPrompt final : public pelmora::test::CScriptedPrompt {
 public:
  explicit ProbingPrompt(test::ScriptedUi& ui) : CScriptedPrompt(Answer::kOk), ui_(ui) {}
  Answer Ask(std::string_view title, std::string_view text, model::Buttons buttons) override {
    if (title == "Error" && !ui_.progress.empty())
      progressClosedAtError = ui_.progress.back().closed;
    return CScriptedPrompt::Ask(title, text, buttons);
  }
  bool progressClosedAtError = false;

 private:
  test::ScriptedUi& ui_;
};

class PrinterSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadModel(data_, test::kTs5); }

  FaultyDevice& AddDevice(FakePort& port, sim::CSimOptions options = {}) {
    port.devices.push_back(std::make_unique<FaultyDevice>(data_, std::move(options)));
    return *port.devices.back();
  }
  SequenceContext Context() { return {data_, prompt_, ui_, ui_}; }
  Strings Asked() const { return test::AskedTexts(prompt_); }

  test::FlagGuard flag_;
  test::ScratchLog log_;
  model::CStatDataObj data_;
  test::ScriptedUi ui_;
  ProbingPrompt prompt_{ui_};
};

TEST_F(PrinterSequenceTest, AnotherConnectionsNameOpensNothing) {
  FakePort port(kOnePort);
  AddDevice(port);
  EXPECT_EQ(RunSendSequence("USB", port, Context()), kFailed);
  EXPECT_EQ(RunGetSequence("Parallel", port, Context()), kFailed);
  EXPECT_EQ(port.opened, 0u);
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(RunSendSequence("sErIaL", port, Context()), kFinished);
}

std::size_t Count(const std::string& text, const std::string& line) {
  std::size_t n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

TEST_F(PrinterSequenceTest, AFailedWriteEndsTheSendWhereItStopped) {
  // Writes: the initialise command, settings 0x10, 0x11, 0x13 and 0x20, the reset command.
  const struct {
    int failAt;
    const char* message;
    std::uint64_t inits, writes, resets;  // what reached the printer
  } cases[] = {
      {0, "Error: Send data failed.\nInitialise command", 0, 0, 0},
      {2, "Error: Send data failed.\nAddress = 0x0011", 1, 1, 0},
      {5, "Error: Send data failed.\nReset command", 1, 4, 0},
  };
  for (const auto& c : cases) {
    FakePort port(kOnePort);
    FaultyDevice& device = AddDevice(port);
    device.failWriteAt = c.failAt;
    const std::size_t errorsBefore = Count(log_.Text(), "Write Error\n");
    EXPECT_EQ(RunSendSequence("Serial", port, Context()), kStopped) << c.failAt;
    EXPECT_EQ(Asked().back(), c.message);
    EXPECT_EQ(device.writes, c.failAt + 1);  // nothing after the failed write
    const sim::CSimCounters& got = device.Printer().Counters();
    EXPECT_EQ(got.inits, c.inits);
    EXPECT_EQ(got.writes, c.writes);
    EXPECT_EQ(got.resets, c.resets);
    EXPECT_EQ(Count(log_.Text(), "Write Error\n"), errorsBefore + 1);
    EXPECT_FALSE(device.IsOpen());
  }
}

TEST_F(PrinterSequenceTest, AWriteCutShortStopsAtTheCommandItCut) {
  // The stream: initialise [0, 3), settings 0x10 [3, 9), 0x11 [9, 15), 0x13 [15, 21),
  // 0x20 [21, 27), reset [27, 31); the port cuts it after `cutAfter` bytes.
  const struct {
    std::uint32_t cutAfter;
    const char* message;
    std::uint64_t inits, writes;  // what reached the printer whole
  } cases[] = {
      {2, "Error: Send data failed.\nInitialise command", 0, 0},
      {11, "Error: Send data failed.\nAddress = 0x0011", 1, 1},
      {15, "Error: Send data failed.\nAddress = 0x0013", 1, 2},
      {28, "Error: Send data failed.\nReset command", 1, 4},
  };
  // Traced, each command is a write of its own; untraced, they share writes.
  for (const bool traced : {true, false}) {
    log::EnableLog(traced);
    for (const auto& c : cases) {
      FakePort port(kOnePort);
      FaultyDevice& device = AddDevice(port);
      device.cutAfter = c.cutAfter;
      EXPECT_EQ(RunSendSequence("Serial", port, Context()), kStopped) << c.cutAfter;
      EXPECT_EQ(Asked().back(), c.message) << c.cutAfter << " traced " << traced;
      const sim::CSimCounters& got = device.Printer().Counters();
      EXPECT_EQ(got.inits, c.inits) << c.cutAfter;
      EXPECT_EQ(got.writes, c.writes) << c.cutAfter;
      EXPECT_EQ(got.resets, 0u) << c.cutAfter;  // nothing was written after the cut
    }
  }
}

struct ReadFault {
  const char* name;
  bool failWrites;
  bool failReads;
  const char* message;
  const char* logLine;
};

// Test names and failure output show the case by its name.
void PrintTo(const ReadFault& c, std::ostream* os) {
  *os << c.name;
}

class ReadFaultTest : public PrinterSequenceTest,
                      public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFaultTest, IsReportedOnceAndStopsTheReadBack) {
  const ReadFault& c = GetParam();
  FakePort port(kOnePort);
  FaultyDevice& device = AddDevice(port);
  device.Printer().Memory()[0x10] = 0x99;
  device.failWrites = c.failWrites;
  device.failReads = c.failReads;

  std::size_t stored = 99;
  SequenceContext context = Context();
  context.storedBytes = &stored;
  EXPECT_EQ(RunGetSequence("Serial", port, context), kStopped);
  EXPECT_EQ(stored, 0u);
  EXPECT_EQ(Asked(), (Strings{"Warning: Get printer setting?", c.message}));
  EXPECT_TRUE(prompt_.progressClosedAtError);
  EXPECT_EQ(ImageByte(data_, 0x10), 0x01);  // nothing stored
  EXPECT_NE(log_.Text().find(c.logLine), std::string::npos) << log_.Text();
  EXPECT_TRUE(ui_.progress.at(0).destroyed);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadFaultTest,
    ::testing::Values(ReadFault{"Write", true, false, "Error: Send data failed.\nAddress = 0x0010",
                                "Write Error\n"},
                      ReadFault{"Read", false, true, "Error: Get data failed.\nAddress = 0x0010",
                                "Read Error\n"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(PrinterSequenceTest, EmptyImageSendsOnlyTheFrameAndReadsNothing) {
  data_.BuildImage({});
  FakePort sendPort(kOnePort);
  FaultyDevice& printer = AddDevice(sendPort);
  EXPECT_EQ(RunSendSequence("Serial", sendPort, Context()), kFinished);
  EXPECT_EQ(printer.Printer().Counters().inits, 1u);
  EXPECT_EQ(printer.Printer().Counters().writes, 0u);
  EXPECT_EQ(printer.Printer().Counters().resets, 1u);

  FakePort getPort(kOnePort);
  FaultyDevice& reader = AddDevice(getPort);
  EXPECT_EQ(RunGetSequence("Serial", getPort, Context()), kFinished);
  EXPECT_EQ(reader.Printer().Counters().reads, 0u);
  ASSERT_EQ(ui_.progress.size(), 1u);
  EXPECT_EQ(ui_.progress[0].upperBound, 0u);
  EXPECT_EQ(ui_.progress[0].positions, std::vector<int>{1});
  EXPECT_TRUE(ui_.progress[0].closed);
}

TEST_F(PrinterSequenceTest, EveryDeviceIsTriedUntilOneIsTheModel) {
  FakePort port(kEveryDevice);
  sim::CSimOptions silent;
  silent.answerDeviceId = false;
  sim::CSimOptions other;
  other.deviceId = "MFG:TAVEN;MDL:TS-9;";
  AddDevice(port, silent);
  AddDevice(port, other);
  FaultyDevice& right = AddDevice(port);
  AddDevice(port);

  EXPECT_EQ(RunSendSequence("usb", port, Context()), kFinished);
  EXPECT_EQ(port.opened, 3u);  // the device after the right one is not opened
  EXPECT_FALSE(port.devices[0]->IsOpen());
  EXPECT_FALSE(port.devices[1]->IsOpen());
  EXPECT_TRUE(ui_.warningsShown.empty());
  EXPECT_EQ(Asked(), Strings{"Warning: Send data to printer?"});
  EXPECT_EQ(right.Printer().Memory()[0x13], 0x04);
  EXPECT_EQ(port.devices[1]->Printer().Counters().writes, 0u);
  EXPECT_EQ(log_.Text().find("ModelID"), std::string::npos);

  FakePort none(kEveryDevice);
  AddDevice(none, silent);
  AddDevice(none, other);
  EXPECT_EQ(RunGetSequence("USB", none, Context()), kFailed);
}

TEST(ReadWaitTest, ComesFromSectionPrinterWith50ForNothingZeroOrNegative) {
  pelmora::test::TempDir dir;
  struct Case {
    const char* text;
    std::uint32_t wait;
  };
  const Case cases[] = {
      {"[Printer]\nReadWait2 = 120\n", 120},
      {"[printer]\nreadwait2=7\n", 7},
      {"[Printer]\nReadWait2 = 0\n", 50},
      {"[Printer]\nReadWait1 = 9\n", 50},
      {"[Other]\nReadWait2 = 9\n", 50},
      {"[Printer]\nReadWait2 = 0x20\n", 32},
      // Negative waits would last weeks per byte.
      {"[Printer]\nReadWait2 = -1\n", 50},
      {"[Printer]\nReadWait2 = 0xFFFFFFFF\n", 50},
  };
  for (const Case& c : cases) {
    pelmora::test::WriteFile(dir / "m.cfg", c.text);
    EXPECT_EQ(ReadWaitMs(dir / "m.cfg", "ReadWait2"), c.wait) << c.text;
  }
  EXPECT_EQ(ReadWaitMs(dir / "missing.cfg", "ReadWait2"), 50u);
  EXPECT_EQ(ReadWaitMs("", "ReadWait2"), 50u);
}

}  // namespace
}  // namespace pelmora::update
