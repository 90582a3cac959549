// What only the USB connection does, against simulated USB printers in a umockdev test
// bed, in process (the test runs with libumockdev-preload). The suite of every
// connection (serial_connection_test.cpp) runs on one as well.
#include "port/usb.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "device_bed.h"
#include "sim_options.h"
#include "sim_printer.h"
#include "usb_emulation.h"

namespace pelmora::port {
namespace {

using sim::CEmulatedUsbPrinter;
using sim::CUsbDeviceLayout;

// Short bounds: the printer answers at once, and a stall costs the write bound.
constexpr CUsbWaits kShort{.writeMs = 200, .readMs = 100, .deviceIdWaitMs = 0};

class UsbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    model_ = new model::CStatDataObj;
    ASSERT_TRUE(sim::LoadSimModel(test::kTs5, *model_, error)) << error;
    bed_ = new sim::CDeviceBed;
    usb_ = new sim::CUsbEmulation(*bed_);
  }
  static void TearDownTestSuite() {
    delete usb_;
    delete bed_;
    delete model_;
  }
  void TearDown() override { usb_->Clear(); }

  // A printer of the test model at `bus`/`address`.
  CEmulatedUsbPrinter* Add(std::uint8_t bus, std::uint8_t address, std::uint8_t protocol = 2,
                           std::uint8_t interfaceClass = 7) {
    CUsbDeviceLayout layout;
    layout.bus = bus;
    layout.address = address;
    layout.protocol = protocol;
    layout.interfaceClass = interfaceClass;
    std::string error;
    CEmulatedUsbPrinter* device =
        usb_->Add(layout, std::make_unique<sim::CFakePrinter>(*model_, sim::CSimOptions{}), error);
    EXPECT_NE(device, nullptr) << error;
    return device;
  }

  static model::CStatDataObj* model_;
  static sim::CDeviceBed* bed_;
  static sim::CUsbEmulation* usb_;
};

model::CStatDataObj* UsbTest::model_ = nullptr;
sim::CDeviceBed* UsbTest::bed_ = nullptr;
sim::CUsbEmulation* UsbTest::usb_ = nullptr;

TEST_F(UsbTest, FindsEveryPrinterInterfaceInBusAndDeviceOrder) {
  Add(2, 2);
  Add(1, 9, 1);     // unidirectional
  Add(1, 5, 2, 8);  // mass storage: no printer
  Add(1, 7, 4);     // IPP over USB: left to the system
  Add(1, 3, 3);

  CUsb usb("TAVEN TS-5", kShort);
  std::vector<std::string> found;
  for (int i = 0; i < usb.DeviceCount(); ++i) found.push_back(UsbDeviceName(usb.Device(i)));
  EXPECT_EQ(found, (std::vector<std::string>{"001/003", "001/009", "002/002"}));

  std::uint8_t id[260] = {};
  std::uint32_t length = sizeof id;
  // A printer without an IN endpoint takes the request and never answers.
  ASSERT_TRUE(usb.Open(1));
  EXPECT_TRUE(usb.GetDeviceID(id, length));
  EXPECT_EQ(length, 0u);
  EXPECT_FALSE(usb.Open(3));
  EXPECT_EQ(usb.LastError(), ConnectionError::kNotFound);

  usb.Release();
  EXPECT_EQ(usb.DeviceCount(), 0);
}

TEST_F(UsbTest, TakesTheInterfaceFromTheKernelDriverAndGivesItBack) {
  CEmulatedUsbPrinter* printer = Add(1, 4);
  printer->SetUsblpBound(true);
  CUsb usb("", kShort);
  ASSERT_TRUE(usb.Open(0));
  EXPECT_FALSE(printer->UsblpBound());
  usb.Close();
  EXPECT_TRUE(printer->UsblpBound());
  EXPECT_EQ(printer->DriverEvents().detaches, 1);
  EXPECT_EQ(printer->DriverEvents().attaches, 1);
}

TEST_F(UsbTest, FaultsEndInTheirFailure) {
  const struct {
    const char* name;
    void (*fault)(CEmulatedUsbPrinter&);
    bool opens;  // the fault shows only on the write after a good open
    ConnectionError error;
    int errnoValue;
  } cases[] = {
      {"busy", [](CEmulatedUsbPrinter& p) { p.SetClaimBusy(true); }, false, ConnectionError::kBusy,
       EBUSY},
      {"gone before open", [](CEmulatedUsbPrinter& p) { p.SetUnplugged(true); }, false,
       ConnectionError::kNotFound, ENODEV},
      {"gone after open", [](CEmulatedUsbPrinter& p) { p.SetUnplugged(true); }, true,
       ConnectionError::kNotFound, ENODEV},
      {"stalled", [](CEmulatedUsbPrinter& p) { p.SetStallOut(true); }, true,
       ConnectionError::kTimeout, ETIMEDOUT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CEmulatedUsbPrinter* printer = Add(1, 6);
    CUsb usb("", kShort);
    ASSERT_EQ(usb.DeviceCount(), 1);
    if (c.opens) {
      ASSERT_TRUE(usb.Open(0));
    }
    c.fault(*printer);
    if (c.opens) {
      const std::uint8_t command[] = {0x1B, 0x7E, 0x49};
      EXPECT_FALSE(usb.Write(command, sizeof command));
    } else {
      EXPECT_FALSE(usb.Open(0));
      EXPECT_FALSE(usb.IsOpen());
    }
    EXPECT_EQ(usb.LastError(), c.error);
    EXPECT_EQ(usb.LastErrno(), c.errnoValue);
    usb.Release();
    usb_->Clear();
  }
}

}  // namespace
}  // namespace pelmora::port
