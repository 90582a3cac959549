// CSerial against the simulated printer on a pseudo-terminal.
#include "port/serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "port/termios2_line.h"
#include "serial_test_support.h"

namespace pelmora::port {
namespace {

using test::AsText;
using test::Bytes;
using test::Clock;
using test::Heading;
using test::ReadCommand;
using test::ScratchLog;
using test::SimPeer;
using test::Since;
using test::WriteCommand;
using namespace std::chrono_literals;

constexpr CLineSettings k9600{9600, 8, kNoParity, kOneStopBit};

// Opens `serial` on the peer's terminal and prepares it as the sequences do.
::testing::AssertionResult Prepare(CSerial& serial, SimPeer& peer,
                                   const CLineSettings& settings = k9600) {
  if (!serial.Open(peer.Device())) {
    return ::testing::AssertionFailure() << "Open failed, errno " << serial.LastErrno();
  }
  if (!serial.SetState(settings) || !serial.SetTimeOuts(settings.baudRate)) {
    return ::testing::AssertionFailure() << "preparing failed, errno " << serial.LastErrno();
  }
  return ::testing::AssertionSuccess();
}

detail::CLineState LineState(const CSerial& serial) {
  detail::CLineState state;
  EXPECT_EQ(detail::ReadLineState(serial.NativeHandle(), state), 0);
  return state;
}

TEST(SerialPortName, ResolvesThroughTheSettings) {
  const log::CSettings defaults;
  log::CSettings overridden;
  overridden.OverridePort("COM1", "/dev/ttyUSB3");
  const struct {
    const log::CSettings& settings;
    const char* name;
    const char* device;
  } cases[] = {
      {defaults, "COM1", "/dev/ttyS0"},
      {defaults, "com1", "/dev/ttyS0"},
      {defaults, "COM2", ""},
      {defaults, "/dev/pts/7", "/dev/pts/7"},
      {overridden, "COM1", "/dev/ttyUSB3"},
      {overridden, "/dev/ttyS1", "/dev/ttyS1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolvePortName(c.settings, c.name), c.device) << c.name;
  }
}

TEST(Serial, EveryOperationFailsOnAnUnopenedPortLoggingOnlyItsHeading) {
  ScratchLog log;
  CSerial serial;
  std::array<std::uint8_t, 260> buffer{};
  std::uint32_t length = 260;
  EXPECT_FALSE(serial.SetState(k9600));
  EXPECT_FALSE(serial.SetTimeOuts(9600));
  EXPECT_FALSE(serial.GetDeviceID(buffer.data(), length));
  EXPECT_EQ(length, 260u);
  EXPECT_FALSE(serial.Write(buffer.data(), 5));
  EXPECT_FALSE(serial.Read(buffer.data(), length));
  EXPECT_EQ(length, 260u);
  EXPECT_EQ(serial.LastError(), ConnectionError::kNotOpen);
  EXPECT_EQ(log.Text(), Heading("CSerial::SetState") + Heading("CSerial::SetTimeOuts") +
                            Heading("CSerial::GetDeviceID") + Heading("CSerial::Write") +
                            Heading("CSerial::Read"));
}

TEST(Serial, OpenFailureLogsErrno) {
  ScratchLog log;
  log::CSettings settings;
  settings.OverridePort("COM1", "/nonexistent/ttyS9");
  CSerial serial(settings);
  EXPECT_FALSE(serial.Open("COM1"));
  EXPECT_EQ(serial.LastError(), ConnectionError::kNotFound);
  EXPECT_EQ(log.Text(), Heading("CSerial::Open") + "0000000001:   CreateFile Failed : 2\n");

  // A device that is no terminal is no serial port.
  log.Clear();
  EXPECT_FALSE(serial.Open("/dev/null"));
  EXPECT_EQ(log.Text(), Heading("CSerial::Open") +
                            "0000000001:   CreateFile Failed : " + std::to_string(ENOTTY) + "\n");
}

TEST(Serial, OpenIsExclusiveUntilClosed) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  log::CSettings settings;
  settings.OverridePort("COM1", peer.Device());
  CSerial first(settings);
  ASSERT_TRUE(first.Open("COM1"));

  // The lock holds against this process too, and against root.
  CSerial second(settings);
  log.Clear();
  EXPECT_FALSE(second.Open("COM1"));
  EXPECT_EQ(second.LastError(), ConnectionError::kBusy);
  EXPECT_EQ(log.Text(), Heading("CSerial::Open") +
                            "0000000001:   CreateFile Failed : " + std::to_string(EBUSY) + "\n");

  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.Open("COM1"));
}

TEST(Serial, LineIsRawAndSetStateKeepsFlowControl) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  {
    // Leave the line as a terminal would have it, with both kinds of flow control on.
    const int fd = ::open(peer.Device().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    t.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
    t.c_iflag |= ICRNL | IXON;
    t.c_oflag |= OPOST | ONLCR;
    t.c_cflag |= CRTSCTS;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
  }
  CSerial serial;
  ASSERT_TRUE(serial.Open(peer.Device()));
  detail::CLineState state = LineState(serial);
  EXPECT_TRUE(state.raw);
  EXPECT_TRUE(state.receiver);
  EXPECT_TRUE(state.local);

  // A pseudo-terminal keeps 8 data bits without parity whatever it is given; speed and
  // stop bits show.
  ASSERT_TRUE(serial.SetState({19200, 7, kEvenParity, kTwoStopBits}));
  state = LineState(serial);
  EXPECT_EQ(state.outputBaud, 19200u);
  EXPECT_TRUE(state.twoStopBits);
  EXPECT_TRUE(state.raw);
  EXPECT_TRUE(state.xonXoff);
  EXPECT_TRUE(state.rtsCts);

  // CR and LF pass both ways untranslated.
  const Bytes crlf = WriteCommand(0x0D0A, 0x0D);
  ASSERT_TRUE(serial.Write(crlf.data(), static_cast<std::uint32_t>(crlf.size())));
  serial.Close();
  Bytes memory;
  ASSERT_TRUE(peer.Memory(memory)) << peer.Error();
  EXPECT_EQ(memory[0x0D0A], 0x0D);
}

TEST(Serial, SetStateTakesEveryBaudRateOfTheDialog) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  CSerial serial;
  ASSERT_TRUE(serial.Open(peer.Device()));
  for (const std::uint32_t rate : kDialogBaudRates) {
    ASSERT_TRUE(serial.SetState({rate, 8, kNoParity, kOneStopBit})) << rate;
    const detail::CLineState state = LineState(serial);
    EXPECT_EQ(state.outputBaud, rate);
    EXPECT_EQ(state.inputBaud, rate);
  }
}

TEST(Serial, SetStateRefusesWhatTheLineCannotDo) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(serial.Open(peer.Device()));
  ASSERT_TRUE(serial.SetState({4800, 8, kOddParity, kTwoStopBits}));
  const struct {
    const char* name;
    CLineSettings settings;
    bool ok;
  } cases[] = {
      {"1.5 stop bits, 8 data bits", {9600, 8, kNoParity, kOne5StopBits}, false},
      {"1.5 stop bits, 7 data bits", {9600, 7, kEvenParity, kOne5StopBits}, false},
      {"2 stop bits, 5 data bits", {9600, 5, kNoParity, kTwoStopBits}, false},
      {"4 data bits", {9600, 4, kNoParity, kOneStopBit}, false},
      {"parity code 5", {9600, 8, 5, kOneStopBit}, false},
      {"stop bits code 3", {9600, 8, kNoParity, 3}, false},
      {"rate 0", {0, 8, kNoParity, kOneStopBit}, false},
      {"1.5 stop bits, 5 data bits", {9600, 5, kNoParity, kOne5StopBits}, true},
      {"mark parity", {9600, 7, kMarkParity, kOneStopBit}, true},
      {"space parity", {9600, 7, kSpaceParity, kOneStopBit}, true},
  };
  for (const auto& c : cases) {
    log.Clear();
    const detail::CLineState before = LineState(serial);
    EXPECT_EQ(serial.SetState(c.settings), c.ok) << c.name;
    const detail::CLineState after = LineState(serial);
    if (c.ok) {
      EXPECT_EQ(log.Text(), Heading("CSerial::SetState")) << c.name;
      EXPECT_EQ(after.twoStopBits, c.settings.stopBits != kOneStopBit) << c.name;
    } else {
      EXPECT_EQ(log.Text(),
                Heading("CSerial::SetState") + "0000000001:   SetCommState Failed : 22\n")
          << c.name;
      EXPECT_EQ(serial.LastError(), ConnectionError::kUnsupportedSetting) << c.name;
      // A refused setting leaves the line as it was.
      EXPECT_EQ(after.outputBaud, before.outputBaud) << c.name;
      EXPECT_EQ(after.twoStopBits, before.twoStopBits) << c.name;
    }
  }
}

TEST(Serial, SetTimeOutsByteGapIntervals) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(serial.Open(peer.Device()));
  const struct {
    std::uint32_t baud;
    std::uint32_t interval;
  } cases[] = {{110, 1454}, {300, 533},   {600, 266},   {1200, 133}, {2400, 66},
               {4800, 33},  {9600, 16},   {14400, 11},  {19200, 10}, {38400, 10},
               {56000, 10}, {115200, 10}, {256000, 10}, {1600, 100}, {16001, 10}};
  for (const auto& c : cases) {
    ASSERT_TRUE(serial.SetTimeOuts(c.baud)) << c.baud;
    const CSerialTimeOuts& t = serial.TimeOuts();
    EXPECT_EQ(t.readIntervalMs, c.interval) << c.baud;
    EXPECT_EQ(t.readTotalMultiplierMs, 0u);
    EXPECT_EQ(t.readTotalConstantMs, 500u);
    EXPECT_EQ(t.writeTotalMultiplierMs, 10u);
    EXPECT_EQ(t.writeTotalConstantMs, 500u);
  }
  log.Clear();
  EXPECT_FALSE(serial.SetTimeOuts(0));
  EXPECT_EQ(log.Text(),
            Heading("CSerial::SetTimeOuts") + "0000000001:   SetCommTimeouts Failed : 22\n");
}

// What the printer answers is the connection suite's; here, the time a silent one costs.
TEST(Serial, GetDeviceIdFromASilentPrinterTakesTheWaitAndTheReadTimeOut) {
  SimPeer peer({"--no-device-id"});
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(Prepare(serial, peer));
  std::array<std::uint8_t, 260> buffer{};
  std::uint32_t length = 260;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(serial.GetDeviceID(buffer.data(), length));
  EXPECT_EQ(length, 0u);
  EXPECT_GE(Since(start), 550ms);
  EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
}

TEST(Serial, WriteThenReadTheReply) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(Prepare(serial, peer, {115200, 8, kNoParity, kOneStopBit}));
  const Bytes write = WriteCommand(0x1234, 0xAB);
  const Bytes read = ReadCommand(0x1234);
  ASSERT_TRUE(serial.Write(write.data(), static_cast<std::uint32_t>(write.size())));
  ASSERT_TRUE(serial.Write(read.data(), static_cast<std::uint32_t>(read.size())));

  std::array<std::uint8_t, 260> reply{};
  std::uint32_t length = 260;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(serial.Read(reply.data(), length));
  // The reply ends the read after the byte gap, not the total time-out.
  EXPECT_LT(Since(start), 400ms);
  EXPECT_EQ(AsText(reply.data(), length), test::Reply("EE:3412AB;"));
  EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
}

TEST(Serial, ReadWaitsForALateReplyWithinTheTotalTimeOut) {
  SimPeer peer({"--slow-reply", "200"});
  ASSERT_TRUE(peer.Started()) << peer.Error();
  CSerial serial;
  ASSERT_TRUE(Prepare(serial, peer));
  const Bytes read = ReadCommand(0x0001);
  ASSERT_TRUE(serial.Write(read.data(), static_cast<std::uint32_t>(read.size())));
  std::array<std::uint8_t, 260> reply{};
  std::uint32_t length = 260;
  ASSERT_TRUE(serial.Read(reply.data(), length));
  EXPECT_EQ(AsText(reply.data(), length), test::Reply("EE:010000;"));
}

TEST(Serial, ReadWithoutReplyIsNoFailure) {
  SimPeer peer({"--no-reply"});
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  serial.SetWaits(test::kShortWaits);
  ASSERT_TRUE(Prepare(serial, peer));
  const Bytes read = ReadCommand(0x0002);
  ASSERT_TRUE(serial.Write(read.data(), static_cast<std::uint32_t>(read.size())));
  std::array<std::uint8_t, 260> reply{};
  std::uint32_t length = 260;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(serial.Read(reply.data(), length));
  EXPECT_EQ(length, 0u);
  EXPECT_GE(Since(start), std::chrono::milliseconds(test::kShortWaits.readTotalMs));
  EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
}

TEST(Serial, ReadFailsOnceThePrinterIsGone) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(Prepare(serial, peer));
  peer.Process().Stop();
  std::array<std::uint8_t, 260> reply{};
  std::uint32_t length = 260;
  log.Clear();
  EXPECT_FALSE(serial.Read(reply.data(), length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(log.Text(), Heading("CSerial::Read") + "0000000001:   ReadFile Failed : 5\n");
}

TEST(Serial, WriteTimesOutWhenThePortTakesNothing) {
  // A terminal whose other end nobody reads fills up and then takes no more.
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  ScratchLog log;
  CSerial serial;
  ASSERT_TRUE(serial.Open(ptsname(master)));
  ASSERT_TRUE(serial.SetTimeOuts(9600));
  // The terminal moves bytes on behind the writer's back for a moment; fill until no
  // room comes within a pause.
  const Bytes filler(4096, 0x55);
  for (pollfd room{serial.NativeHandle(), POLLOUT, 0}; poll(&room, 1, 50) > 0;) {
    while (::write(serial.NativeHandle(), filler.data(), filler.size()) > 0) {
    }
    ASSERT_EQ(errno, EAGAIN);
  }

  log.Clear();
  const Bytes command = WriteCommand(0x0010, 0x01);
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(serial.Write(command.data(), 5));
  EXPECT_GE(Since(start), 550ms);  // 10 ms per byte plus 500 ms
  EXPECT_EQ(serial.LastError(), ConnectionError::kTimeout);
  EXPECT_EQ(log.Text(), Heading("CSerial::Write") +
                            "0000000001:   Error : Data Length : 5, Write Length : 0\n");
  serial.Close();
  ::close(master);
}

TEST(Serial, CloseLetsEveryWrittenByteArrive) {
  SimPeer peer;
  ASSERT_TRUE(peer.Started()) << peer.Error();
  {
    CSerial serial;
    ASSERT_TRUE(Prepare(serial, peer, {115200, 8, kNoParity, kOneStopBit}));
    for (std::uint32_t address = 0; address < 4096; ++address) {
      const Bytes command = WriteCommand(static_cast<std::uint16_t>(address * 16),
                                         static_cast<std::uint8_t>(address * 7 + 1));
      ASSERT_TRUE(serial.Write(command.data(), static_cast<std::uint32_t>(command.size())));
    }
  }
  Bytes memory;
  ASSERT_TRUE(peer.Memory(memory)) << peer.Error();
  for (std::uint32_t address = 0; address < 4096; ++address) {
    ASSERT_EQ(memory[address * 16], static_cast<std::uint8_t>(address * 7 + 1)) << address;
  }
}

}  // namespace
}  // namespace pelmora::port
