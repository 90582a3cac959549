// One suite for every connection that can run here: the sequences rely on each of them
// behaving alike towards a printer.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "parallel_emulation.h"
#include "port/connection.h"
#include "port/parallel.h"
#include "port/serial.h"
#include "port/usb.h"
#include "serial_test_support.h"
#include "sim_connection.h"
#include "sim_options.h"
#include "usb_emulation.h"

namespace pelmora::port {
namespace {

using test::AsText;
using test::Bytes;
using test::ReadCommand;
using test::SimPeer;
using test::WriteCommand;

const std::string kFrontCounter =
    std::string(PELMORA_SOURCE_DIR) + "/examples/setting/front_counter.cfg";

// CSerial over a terminal to the simulator program.
class SerialOverTerminal {
 public:
  explicit SerialOverTerminal(const std::vector<std::string>& args) : peer_(args, kFrontCounter) {
    EXPECT_TRUE(peer_.Started()) << peer_.Error();
    serial_.SetWaits(test::kShortWaits);
    EXPECT_TRUE(serial_.Open(peer_.Device()));
    EXPECT_TRUE(serial_.SetState({38400, 8, kNoParity, kOneStopBit}));
    EXPECT_TRUE(serial_.SetTimeOuts(38400));
  }
  IConnection& Connection() { return serial_; }
  Bytes Memory() {
    serial_.Close();
    Bytes memory;
    EXPECT_TRUE(peer_.Memory(memory)) << peer_.Error();
    return memory;
  }

 private:
  SimPeer peer_;
  CSerial serial_;
};

// The printer in this process, without a line.
class InProcessPrinter {
 public:
  explicit InProcessPrinter(std::vector<std::string> args) {
    args.insert(args.begin(), kFrontCounter);
    sim::CSimCommandLine line;
    std::string error;
    EXPECT_TRUE(sim::ParseSimCommandLine(args, line, error)) << error;
    EXPECT_TRUE(sim::LoadSimModel(line.modelPath, model_, error)) << error;
    printer_ = std::make_unique<sim::CFakePrinter>(model_, line.options);
    EXPECT_TRUE(sim::InitSimMemory(line, model_, *printer_, error)) << error;
    connection_ = std::make_unique<sim::CSimConnection>(*printer_);
  }
  IConnection& Connection() { return *connection_; }
  Bytes Memory() { return {printer_->Memory().begin(), printer_->Memory().end()}; }

 private:
  model::CStatDataObj model_;
  std::unique_ptr<sim::CFakePrinter> printer_;
  std::unique_ptr<sim::CSimConnection> connection_;
};

// CUsb on a simulated USB printer (the test runs with libumockdev-preload).
class UsbPrinter {
 public:
  explicit UsbPrinter(std::vector<std::string> args) {
    args.insert(args.begin(), kFrontCounter);
    sim::CSimCommandLine line;
    std::string error;
    EXPECT_TRUE(sim::ParseSimCommandLine(args, line, error)) << error;
    EXPECT_TRUE(sim::LoadSimModel(line.modelPath, model_, error)) << error;
    auto printer = std::make_unique<sim::CFakePrinter>(model_, line.options);
    EXPECT_TRUE(sim::InitSimMemory(line, model_, *printer, error)) << error;
    device_ = Emulation().Add({}, std::move(printer), error);
    EXPECT_NE(device_, nullptr) << error;
    usb_ = std::make_unique<CUsb>("", CUsbWaits{.writeMs = 200, .readMs = 100});
    EXPECT_TRUE(usb_->Open(0));
  }
  ~UsbPrinter() {
    usb_.reset();
    Emulation().Remove(device_);
  }
  UsbPrinter(const UsbPrinter&) = delete;
  UsbPrinter& operator=(const UsbPrinter&) = delete;

  IConnection& Connection() { return *usb_; }
  Bytes Memory() {
    usb_->Close();
    return device_->MemorySnapshot();
  }

 private:
  // One test bed per process, made before the first libusb context.
  static sim::CUsbEmulation& Emulation() {
    static sim::CDeviceBed bed;
    static sim::CUsbEmulation emulation(bed);
    return emulation;
  }

  model::CStatDataObj model_;
  sim::CEmulatedUsbPrinter* device_ = nullptr;
  std::unique_ptr<CUsb> usb_;
};

// CParallel on the printer behind an emulated /dev/parport0.
class ParallelOverEmulation {
 public:
  explicit ParallelOverEmulation(std::vector<std::string> args) {
    args.insert(args.begin(), kFrontCounter);
    sim::CSimCommandLine line;
    std::string error;
    EXPECT_TRUE(sim::ParseSimCommandLine(args, line, error)) << error;
    EXPECT_TRUE(sim::LoadSimModel(line.modelPath, model_, error)) << error;
    emulation_ = std::make_unique<sim::CParallelEmulation>(model_, line.options);
    EXPECT_TRUE(sim::InitSimMemory(line, model_, emulation_->Printer(), error)) << error;
    EXPECT_TRUE(emulation_->Start(error)) << error;
    parallel_.SetWaits({.readTotalMs = 100});
    EXPECT_TRUE(parallel_.Open("/dev/parport0")) << "needs LD_PRELOAD=libumockdev-preload.so.0";
    EXPECT_TRUE(parallel_.SetTimeOuts());
  }
  ~ParallelOverEmulation() { parallel_.Close(); }  // while the emulation still answers
  IConnection& Connection() { return parallel_; }
  Bytes Memory() { return emulation_->MemorySnapshot(); }

 private:
  model::CStatDataObj model_;
  std::unique_ptr<sim::CParallelEmulation> emulation_;
  CParallel parallel_{6};
};

template <class Peer>
class ConnectionSuite : public ::testing::Test {
 protected:
  static std::string DeviceId(IConnection& connection) {
    std::array<std::uint8_t, 260> buffer{};
    std::uint32_t length = 260;
    EXPECT_TRUE(connection.GetDeviceID(buffer.data(), length));
    return AsText(buffer.data(), length);
  }
  static std::string Ask(IConnection& connection, const Bytes& command) {
    EXPECT_TRUE(connection.Write(command.data(), static_cast<std::uint32_t>(command.size())));
    std::array<std::uint8_t, 260> buffer{};
    std::uint32_t length = 260;
    EXPECT_TRUE(connection.Read(buffer.data(), length));
    return AsText(buffer.data(), length);
  }
};

using Peers =
    ::testing::Types<SerialOverTerminal, InProcessPrinter, UsbPrinter, ParallelOverEmulation>;
TYPED_TEST_SUITE(ConnectionSuite, Peers);

TYPED_TEST(ConnectionSuite, DeviceIdAsConfigured) {
  EXPECT_EQ(this->DeviceId(TypeParam({}).Connection()), "MFG:TAVEN;MDL:TR-210;");
  EXPECT_EQ(this->DeviceId(TypeParam({"--device-id", "MDL:TK-30;"}).Connection()), "MDL:TK-30;");
  EXPECT_EQ(this->DeviceId(TypeParam({"--no-device-id"}).Connection()), "");
}

TYPED_TEST(ConnectionSuite, WritesLandInMemoryAndReadsAnswerThem) {
  TypeParam peer({"--init-from-model"});
  IConnection& connection = peer.Connection();
  // The saved configuration's first byte, then a byte written now.
  EXPECT_EQ(this->Ask(connection, ReadCommand(0x0000)), test::Reply("EE:0000FE;"));
  const Bytes stream = {0x1B, 0x7E, 0x49,                    // initialise
                        0x1B, 0x7E, 0x57, 0x40, 0x01, 0x5A,  // 0x0140 = 0x5A
                        0x1B, 0x7E, 0x5A, 0x00};             // reset
  ASSERT_TRUE(connection.Write(stream.data(), static_cast<std::uint32_t>(stream.size())));
  EXPECT_EQ(this->Ask(connection, ReadCommand(0x0140)), test::Reply("EE:40015A;"));

  const Bytes memory = peer.Memory();
  EXPECT_EQ(memory[0x0000], 0xFE);
  EXPECT_EQ(memory[0x0140], 0x5A);
  EXPECT_EQ(memory[0x0141], 0x00);
}

TYPED_TEST(ConnectionSuite, FaultsOfThePrinter) {
  EXPECT_EQ(this->Ask(TypeParam({"--no-reply"}).Connection(), ReadCommand(0x0001)), "");
  TypeParam bad({"--bad-reply-at", "0002", "--init-from-model"});
  EXPECT_EQ(this->Ask(bad.Connection(), ReadCommand(0x0002)), test::Reply("EE:0200GG;"));
  EXPECT_EQ(this->Ask(bad.Connection(), ReadCommand(0x0001)), test::Reply("EE:0100C8;"));
}

TYPED_TEST(ConnectionSuite, ClosedConnectionRefusesEverything) {
  TypeParam peer({});
  IConnection& connection = peer.Connection();
  ASSERT_TRUE(connection.IsOpen());
  connection.Close();
  connection.Close();
  EXPECT_FALSE(connection.IsOpen());
  std::array<std::uint8_t, 260> buffer{};
  std::uint32_t length = 260;
  EXPECT_FALSE(connection.GetDeviceID(buffer.data(), length));
  EXPECT_FALSE(connection.Write(buffer.data(), 5));
  EXPECT_FALSE(connection.Read(buffer.data(), length));
  EXPECT_EQ(length, 260u);
  EXPECT_EQ(connection.LastError(), ConnectionError::kNotOpen);
}

}  // namespace
}  // namespace pelmora::port
