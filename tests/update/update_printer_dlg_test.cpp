#include "update/update_printer_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "device_bed.h"
#include "model/user_prompt.h"
#include "scripted_prompt.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using model::Answer;
using pelmora::test::CScriptedPrompt;
using test::ModelWith;
using test::ScriptedUi;
using test::TempCwd;
using Entries = std::vector<CIPAddressEntry>;

constexpr const char* kNotFound = "Printer not found. Check printer description or connection.";

UpdatePrinterEnvironment Env(int osVersion = 6, std::optional<std::uint32_t> baud = 9600,
                             bool driver = true, int* driverChecks = nullptr) {
  UpdatePrinterEnvironment env;
  env.osVersion = osVersion;
  env.com1DefaultBaud = [baud] { return baud; };
  env.driverInstalled = [driver, driverChecks](const model::CStatDataObj&) {
    if (driverChecks != nullptr)
      ++*driverChecks;
    return driver;
  };
  return env;
}

// A dialog initialised on `model` as its window would be, in a scratch folder.
class UpdatePrinterDlgTest : public ::testing::Test {
 protected:
  void Open(const std::vector<std::string>& interfaces, int mode = kModeUpdatePrinter,
            UpdatePrinterEnvironment env = Env()) {
    model_ = ModelWith(interfaces);
    dlg_ = std::make_unique<CUpdatePrinterDlg>(prompt_, ui_, std::move(env));
    dlg_->DoModal(mode, model_, [this] {
      dlg_->OnInitDialog();
      return 2;
    });
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& entry : dlg_->Connections()) texts.push_back(entry.text);
    return texts;
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> texts;
    for (const auto& asked : prompt_.AskedSoFar()) texts.push_back(asked.title + ": " + asked.text);
    return texts;
  }
  void AddTarget(const std::string& ip, const std::string& description) {
    dlg_->SetIPAddressText(ip);
    dlg_->SetDescriptionText(description);
    dlg_->OnAdd();
  }

  TempCwd cwd_;
  CScriptedPrompt prompt_{Answer::kOk};
  ScriptedUi ui_;
  model::CStatDataObj model_;
  std::unique_ptr<CUpdatePrinterDlg> dlg_;
};

struct OfferCase {
  const char* name;
  std::vector<std::string> interfaces;
  int mode;
  int osVersion;
  std::vector<std::string> offered;
};

// Test names and failure output show the case by its name.
void PrintTo(const OfferCase& c, std::ostream* os) {
  *os << c.name;
}

class OfferTest : public UpdatePrinterDlgTest, public ::testing::WithParamInterface<OfferCase> {};

TEST_P(OfferTest, OffersTheModelsUsableConnectionsInItsOrderAndSpelling) {
  const OfferCase& c = GetParam();
  Open(c.interfaces, c.mode, Env(c.osVersion));
  EXPECT_EQ(Texts(), c.offered);
  EXPECT_EQ(dlg_->CurrentSelection(), c.offered.empty() ? -1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Models, OfferTest,
    ::testing::Values(
        OfferCase{"SerialAndNetworkUpdate", {"Serial", "TCP/IP"}, 1, 6, {"Serial", "TCP/IP"}},
        OfferCase{"NoNetworkReadBack", {"Serial", "TCP/IP"}, 2, 6, {"Serial"}},
        OfferCase{"CaseKept", {"usb", "PARALLEL", "tcp/ip"}, 1, 6, {"usb", "PARALLEL", "tcp/ip"}},
        OfferCase{"NoUsbOnCode1", {"USB", "Serial"}, 1, 1, {"Serial"}},
        OfferCase{"NoUsbOnCode4", {"USB", "Serial"}, 2, 4, {"Serial"}},
        OfferCase{"UsbOnCode0", {"USB"}, 1, 0, {"USB"}},
        OfferCase{"UnknownSkipped", {"Infrared", "Serial ", "Parallel"}, 1, 6, {"Parallel"}},
        OfferCase{"Nothing", {}, 1, 6, {}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(UpdatePrinterDlgTest, TitleAndButtonFollowTheMode) {
  Open({"Serial"}, kModeUpdatePrinter);
  EXPECT_STREQ(dlg_->Title(), "Update Printer");
  EXPECT_STREQ(dlg_->UpdateButtonText(), "Update");
  Open({"Serial"}, kModeGetPrinterSetting);
  EXPECT_STREQ(dlg_->Title(), "Get Printer Setting");
  EXPECT_STREQ(dlg_->UpdateButtonText(), "Get");
}

TEST_F(UpdatePrinterDlgTest, SerialDefaultsAndBaudList) {
  struct {
    std::optional<std::uint32_t> com1;
    const char* shown;
  } cases[] = {
      {9600, "9600"}, {110, "110"}, {14400, "14400"}, {12345, "256000"}, {std::nullopt, "256000"}};
  for (const auto& c : cases) {
    Open({"Serial"}, kModeUpdatePrinter, Env(6, c.com1));
    EXPECT_EQ(kBaudList[dlg_->BaudIndex()].text, c.shown);
    const port::CLineSettings s = dlg_->LineSettings();
    EXPECT_EQ(s.parity, port::kNoParity);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.stopBits, port::kOneStopBit);
  }
  dlg_->SetBaudIndex(12);
  dlg_->SetParity(port::kEvenParity);
  dlg_->SetByteSize(7);
  dlg_->SetStopBits(port::kOne5StopBits);
  const port::CLineSettings s = dlg_->LineSettings();
  EXPECT_EQ(s.baudRate, 115200u);
  EXPECT_EQ(s.parity, 2);
  EXPECT_EQ(s.byteSize, 7);
  EXPECT_EQ(s.stopBits, 1);
}

TEST_F(UpdatePrinterDlgTest, EachConnectionShowsItsControlsAndSize) {
  Open({"Parallel", "Serial", "TCP/IP", "USB"});
  const ControlLayout expected[] = {
      {false, false, false}, {false, true, false}, {true, false, true}, {false, false, false}};
  for (int i = 0; i < 4; ++i) {
    dlg_->OnSelchangeComboPort(i);
    EXPECT_EQ(dlg_->GetDialogType(), i);
    EXPECT_EQ(dlg_->Layout(), expected[i]) << "type " << i;
  }
  Open({});
  EXPECT_EQ(dlg_->GetDialogType(), kNoConnection);
  EXPECT_EQ(dlg_->Layout(), (ControlLayout{false, false, false}));
}

TEST_F(UpdatePrinterDlgTest, UsbWithoutDriverWarnsAndFallsBackToTheFirstEntry) {
  int checks = 0;
  Open({"TCP/IP", "USB"}, kModeUpdatePrinter, Env(6, 9600, false, &checks));
  dlg_->OnSelchangeComboPort(1);
  EXPECT_EQ(Asked(), (std::vector<std::string>{
                         "Warning: Please install a driver of a target printer to update a "
                         "printer by USB connection."}));
  EXPECT_EQ(dlg_->CurrentSelection(), 0);
  EXPECT_EQ(dlg_->GetDialogType(), kTcpIp);
  EXPECT_TRUE(dlg_->Layout().tcpIpShown);
  EXPECT_EQ(checks, 1);

  Open({"USB", "Serial"}, kModeUpdatePrinter, Env(6, 9600, true, &checks));
  EXPECT_EQ(checks, 1) << "the entry selected at start is not checked";
  dlg_->OnSelchangeComboPort(1);
  dlg_->OnSelchangeComboPort(0);
  EXPECT_EQ(checks, 2);
  EXPECT_EQ(dlg_->GetDialogType(), kUsb);
}

TEST_F(UpdatePrinterDlgTest, AddNeedsBothTextsAndReplacesTheSameAddress) {
  Open({"TCP/IP"});
  AddTarget("10.0.0.1", "");
  AddTarget("", "Desk");
  EXPECT_TRUE(dlg_->Rows().empty());
  EXPECT_EQ(Asked(), (std::vector<std::string>(
                         2, "Error: Please input IP Address and Description of Taven printer.")));
  AddTarget("host-a", "One");
  AddTarget("10.0.0.2", "Two");
  AddTarget("HOST-A", "One again");
  EXPECT_EQ(dlg_->Rows(), (Entries{{"HOST-A", "One again"}, {"10.0.0.2", "Two"}}));
}

TEST_F(UpdatePrinterDlgTest, SwitchingConnectionsEmptiesTheViewButKeepsTheTargets) {
  Open({"Serial", "TCP/IP"});
  dlg_->OnSelchangeComboPort(1);
  AddTarget("10.0.0.1", "One");
  dlg_->OnSelchangeComboPort(0);
  dlg_->OnSelchangeComboPort(1);
  EXPECT_TRUE(dlg_->Rows().empty());
  EXPECT_EQ(dlg_->AddressList().TargetList().size(), 1u);
  // A failed Add refills the view all the same.
  AddTarget("", "");
  EXPECT_EQ(dlg_->Rows(), (Entries{{"10.0.0.1", "One"}}));
}

TEST_F(UpdatePrinterDlgTest, RemoveTakesOnlyTheFirstSelectedRowAfterAsking) {
  Open({"TCP/IP"});
  AddTarget("10.0.0.1", "One");
  AddTarget("10.0.0.2", "Two");
  AddTarget("10.0.0.3", "Three");
  dlg_->OnRemove({});
  EXPECT_TRUE(prompt_.AskedSoFar().empty());

  prompt_.Push(Answer::kCancel);
  prompt_.Push(Answer::kOk);
  const int rows[] = {2, 1};
  dlg_->OnRemove(rows);
  EXPECT_EQ(dlg_->Rows().size(), 3u);
  dlg_->OnRemove(rows);
  EXPECT_EQ(dlg_->Rows(), (Entries{{"10.0.0.1", "One"}, {"10.0.0.3", "Three"}}));
  EXPECT_EQ(Asked(), (std::vector<std::string>(
                         2, "Warning: Removing printer will permanently delete printer.")));
}

TEST_F(UpdatePrinterDlgTest, DoubleClickPutsTheLastSelectedRowIntoTheEdits) {
  Open({"TCP/IP"});
  AddTarget("10.0.0.1", "One");
  AddTarget("10.0.0.2", "Two");
  dlg_->SetIPAddressText("");
  dlg_->SetDescriptionText("");
  const int rows[] = {1, 0};
  dlg_->OnDblclkList(rows);
  EXPECT_EQ(dlg_->IPAddressText(), "10.0.0.2");
  EXPECT_EQ(dlg_->DescriptionText(), "Two");
}

TEST_F(UpdatePrinterDlgTest, BrowseAddsTheChosenSavedPrinter) {
  test::WriteFile("IPAddress.lst", "\"10.0.0.1\",\"One\"\r\n\"\",\"Blank\"\r\n");
  Open({"TCP/IP"});
  auto pick = [this](int row, int result) {
    ui_.ipAddressList = [row, result](CIPAddressListDlg& dlg) {
      const int rows[] = {row};
      dlg.OnSelect(rows);
      return result;
    };
    dlg_->OnBrowse();
  };
  pick(0, 2);  // Back
  EXPECT_TRUE(dlg_->Rows().empty());
  pick(1, 1);  // a saved printer without an address is not added
  EXPECT_TRUE(dlg_->Rows().empty());
  pick(0, 1);
  EXPECT_EQ(dlg_->Rows(), (Entries{{"10.0.0.1", "One"}}));
}

struct DispatchCase {
  const char* name;
  int mode;
  std::vector<std::string> interfaces;
  bool notFoundShown;
  int result = kFailed;
};

// Test names and failure output show the case by its name.
void PrintTo(const DispatchCase& c, std::ostream* os) {
  *os << c.name;
}

class DispatchTest : public UpdatePrinterDlgTest,
                     public ::testing::WithParamInterface<DispatchCase> {
 protected:
  // An empty /dev and /sys for USB to look in, rather than the machine's own printers.
  sim::CDeviceBed noUsbPrinters_;
};

TEST_P(DispatchTest, NoPrinterAnswersAndTheDialogStaysOpen) {
  const DispatchCase& c = GetParam();
  Open(c.interfaces, c.mode);
  // A shortened address: the network update refuses it before sending anything.
  AddTarget("10.1", "One");
  prompt_ = CScriptedPrompt(Answer::kOk);
  EXPECT_EQ(dlg_->OnUpdate(), c.result);
  EXPECT_EQ(dlg_->CloseCode(c.result), 0);
  // A send that stopped keeps the window open; a read-back that stored nothing closes
  // it with nothing to refresh.
  EXPECT_EQ(dlg_->CloseCode(kStopped), c.mode == kModeGetPrinterSetting ? 2 : 0);
  // A port that does not open adds a line of its own after the message.
  const std::vector<std::string> asked = Asked();
  ASSERT_EQ(asked.size(), c.notFoundShown ? 1u : 0u);
  if (c.notFoundShown) {
    EXPECT_EQ(asked[0].substr(0, asked[0].find('\n')), std::string("Error: ") + kNotFound);
    EXPECT_EQ(prompt_.AskedSoFar()[0].buttons, model::Buttons::kOk);
  }
  // The known-printer list is written before the operation runs, whatever it is.
  EXPECT_TRUE(std::filesystem::exists("IPAddress.lst"));
}

INSTANTIATE_TEST_SUITE_P(
    Connections, DispatchTest,
    ::testing::Values(DispatchCase{"SendParallel", 1, {"Parallel"}, true},
                      DispatchCase{"SendSerial", 1, {"serial"}, true},
                      DispatchCase{"SendUsb", 1, {"USB"}, true},
                      DispatchCase{"SendNetworkReportsItself", 1, {"TCP/IP"}, false, kCancelled},
                      DispatchCase{"GetParallel", 2, {"PARALLEL"}, true},
                      DispatchCase{"GetSerial", 2, {"Serial"}, true},
                      DispatchCase{"GetUsb", 2, {"usb"}, true}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(UpdatePrinterDlgTest, NamesWithoutAnOperationFailSilently) {
  Open({"Serial"});
  EXPECT_EQ(dlg_->SendData("Infrared"), kFailed);
  EXPECT_EQ(dlg_->GetData("TCP/IP"), kFailed);
  EXPECT_EQ(dlg_->GetData(""), kFailed);
  EXPECT_TRUE(prompt_.AskedSoFar().empty());
}

TEST_F(UpdatePrinterDlgTest, UpdateWithoutAConnectionDoesNothing) {
  test::WriteFile("IPAddress.lst", "\"10.0.0.1\",\"One\"\n");
  Open({"Infrared"});
  EXPECT_EQ(dlg_->OnUpdate(), kFailed);
  EXPECT_TRUE(prompt_.AskedSoFar().empty());
  EXPECT_EQ(test::ReadFile("IPAddress.lst"), "\"10.0.0.1\",\"One\"\n");
}

TEST_F(UpdatePrinterDlgTest, CancelWritesNoFile) {
  test::WriteFile("IPAddress.lst", "\"10.0.0.1\",\"One\"\n");
  Open({"TCP/IP"});
  AddTarget("10.0.0.2", "Two");
  dlg_.reset();
  EXPECT_EQ(test::ReadFile("IPAddress.lst"), "\"10.0.0.1\",\"One\"\n");
}

TEST(UpdatePrinterDlgLogTest, TracesModeConnectionsAndLayout) {
  test::ScratchLog log;
  CScriptedPrompt prompt(Answer::kOk);
  ScriptedUi ui;
  model::CStatDataObj model = ModelWith({"Serial", "Infrared", "TCP/IP", "USB"});
  CUpdatePrinterDlg dlg(prompt, ui, Env(6, 9600, false));
  const int result = dlg.DoModal(kModeGetPrinterSetting, model, [&] {
    dlg.OnInitDialog();
    dlg.OnSelchangeComboPort(1);
    return 2;
  });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(log.Text(),
            "0000000007: \n"
            "0000000007: ---\n"
            "0000000007: CUpdatePrinterDlg::DoModal\n"
            "0000000007:   Mode : Get Printer Setting\n"
            "0000000007:   \n"
            "0000000007:   ---\n"
            "0000000007:   CUpdatePrinterDlg::InitControl\n"
            "0000000007:     Add : Serial\n"
            "0000000007:     Add : USB\n"
            "0000000007:     \n"
            "0000000007:     ---\n"
            "0000000007:     CUpdatePrinterDlg::DispControl\n"
            "0000000007:       DialogType : 1\n"
            "0000000007:   \n"
            "0000000007:   ---\n"
            "0000000007:   CUpdatePrinterDlg::OnSelchangeComboPort\n"
            "0000000007:     DialogType : 3\n"
            "0000000007:     \n"
            "0000000007:     ---\n"
            "0000000007:     CUpdatePrinterDlg::DispControl\n"
            "0000000007:       DialogType : 1\n");
}

}  // namespace
}  // namespace pelmora::update
