// The USB send and read-back through the Update button's dispatch, against simulated
// USB printers in a umockdev test bed (the test runs with libumockdev-preload).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_bed.h"
#include "model/user_prompt.h"
#include "scripted_prompt.h"
#include "sequence_test_support.h"
#include "sim_options.h"
#include "update/connection_settings.h"
#include "update/update_printer_dlg.h"
#include "update_test_support.h"
#include "usb_emulation.h"

namespace pelmora::update {
namespace {

using model::Answer;
using test::ImageByte;
using test::kTs5;
using test::LoadModel;
using Strings = std::vector<std::string>;

using test::kNotFound;
using test::kSendQ;
const std::string kOtherModel = "MFG:TAVEN;MDL:TS-9;";

class UsbSequenceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bed_ = new sim::CDeviceBed;
    usb_ = new sim::CUsbEmulation(*bed_);
  }
  static void TearDownTestSuite() {
    delete usb_;
    delete bed_;
  }
  void SetUp() override {
    saved_ = UsbWaits();
    SetUsbWaits({.writeMs = 200, .readMs = 100, .deviceIdWaitMs = 0});
    LoadModel(model_, kTs5);
  }
  void TearDown() override {
    usb_->Clear();
    SetUsbWaits(saved_);
  }

  // A TS-5 at 1/`address` that answers the device ID request with `deviceId` (nullopt:
  // its own; "": never).
  sim::CEmulatedUsbPrinter* Add(std::uint8_t address,
                                const std::optional<std::string>& deviceId = std::nullopt) {
    sim::CSimOptions options;
    options.deviceId = deviceId;
    options.answerDeviceId = deviceId != std::string();
    sim::CUsbDeviceLayout layout;
    layout.address = address;
    std::string error;
    sim::CEmulatedUsbPrinter* device =
        usb_->Add(layout, std::make_unique<sim::CFakePrinter>(model_, options), error);
    EXPECT_NE(device, nullptr) << error;
    return device;
  }

  // Runs the operation of `mode` on "USB" as the Update (Get) button does.
  int Run(int mode, model::CStatDataObj& data) {
    CUpdatePrinterDlg dlg(prompt_, ui_);
    return dlg.DoModal(mode, data, [&] { return dlg.RunOperation("USB"); });
  }
  Strings Asked() const { return test::AskedTexts(prompt_); }

  static sim::CDeviceBed* bed_;
  static sim::CUsbEmulation* usb_;
  port::CUsbWaits saved_;
  model::CStatDataObj model_;
  test::FlagGuard flag_;
  test::ScratchLog log_;
  pelmora::test::CScriptedPrompt prompt_{Answer::kOk};
  test::ScriptedUi ui_;
};

sim::CDeviceBed* UsbSequenceTest::bed_ = nullptr;
sim::CUsbEmulation* UsbSequenceTest::usb_ = nullptr;

TEST_F(UsbSequenceTest, UpdatesThePrinterOfTheModelAfterAnotherModelAndReadsItBack) {
  sim::CEmulatedUsbPrinter* other = Add(2, kOtherModel);
  sim::CEmulatedUsbPrinter* ours = Add(3);
  model::CStatDataObj sent;
  LoadModel(sent, kTs5);
  const test::Bytes density = {0x7F, 0x80}, mode = {0x5A};
  sent.WriteBytes(0x10, density, 0);
  sent.WriteBytes(0x20, mode, 0);

  ASSERT_EQ(Run(kModeUpdatePrinter, sent), kFinished);
  test::Bytes expected(0x10000, 0);
  for (std::uint32_t a = 0; a < expected.size(); ++a) expected[a] = ImageByte(sent, a).value_or(0);
  EXPECT_EQ(ours->MemorySnapshot(), expected);
  EXPECT_EQ(other->CountersSnapshot().writes, 0u);

  model::CStatDataObj read;
  LoadModel(read, kTs5);
  ASSERT_EQ(Run(kModeGetPrinterSetting, read), kFinished);
  for (std::uint32_t a = 0x0F; a <= 0x21; ++a)
    EXPECT_EQ(ImageByte(read, a), ImageByte(sent, a)) << a;
  const std::string text = log_.Text();
  EXPECT_NE(text.find("Device Count : 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Reply Data : @BDC PS\r\nEE:20005A;\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Error"), std::string::npos) << text;
}

TEST_F(UsbSequenceTest, NoPrinterOfTheModelFindsNone) {
  const struct {
    const char* name;
    std::vector<std::optional<std::string>> printers;  // device IDs, as Add takes them
    Strings asked;
    bool deviceNotFound;
  } cases[] = {
      {"none", {}, {std::string(kNotFound) + "\nNo USB printer was found."}, false},
      {"other and silent",
       {kOtherModel, ""},
       {std::string(kNotFound) +
        "\nNo USB printer of this model answered (asked: 001/002, 001/003)."},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint8_t address = 2;
    for (const auto& id : c.printers) Add(address++, id);
    prompt_ = pelmora::test::CScriptedPrompt(Answer::kOk);
    EXPECT_EQ(Run(kModeUpdatePrinter, model_), kFailed);
    EXPECT_EQ(Asked(), c.asked);
    EXPECT_TRUE(ui_.warningsShown.empty());
    EXPECT_EQ(log_.Text().find("Device Not Found\n") != std::string::npos, c.deviceNotFound);
    usb_->Clear();
  }
}

TEST_F(UsbSequenceTest, AHeldPrinterIsNamedWithTheCause) {
  Add(4)->SetClaimBusy(true);
  EXPECT_EQ(Run(kModeUpdatePrinter, model_), kFailed);
  EXPECT_EQ(Asked(), (Strings{std::string(kNotFound) +
                              "\nCannot open USB printer 001/004: it is held by another program "
                              "(the print spooler may be printing)."}));
}

TEST_F(UsbSequenceTest, AStalledTransferStopsTheSend) {
  Add(2)->SetStallOut(true, 1);  // the device ID request passes, the next write stalls
  EXPECT_EQ(Run(kModeUpdatePrinter, model_), kStopped);
  EXPECT_EQ(Asked(), (Strings{kSendQ, "Error: Send data failed.\nInitialise command"}));
  EXPECT_NE(log_.Text().find("Write Error\n"), std::string::npos) << log_.Text();
}

}  // namespace
}  // namespace pelmora::update
