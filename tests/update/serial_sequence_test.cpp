// The serial send and read-back through the Update button's dispatch, against the
// simulated printer on a pseudo-terminal.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "model/user_prompt.h"
#include "port/serial.h"
#include "scripted_prompt.h"
#include "sequence_test_support.h"
#include "update/app_state.h"
#include "update/update_printer_dlg.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using model::Answer;
using port::kOne5StopBits;
using port::kOneStopBit;
using test::ImageByte;
using test::kTs5;
using test::kTs5Custom;
using test::LoadModel;
using test::SimPrinter;
using Strings = std::vector<std::string>;

using test::kGetQ;
using test::kNotFound;
using test::kSendQ;

// True when every line of `lines` is in `text`, in that order.
bool InOrder(const std::string& text, const Strings& lines) {
  std::size_t at = 0;
  for (const std::string& line : lines) {
    at = text.find(line, at);
    if (at == std::string::npos)
      return false;
    at += line.size();
  }
  return true;
}

class SerialSequenceTest : public ::testing::Test {
 protected:
  // Runs the operation of `mode` on "Serial" as the Update (Get) button does.
  int Run(int mode, model::CStatDataObj& data, int stopBits = kOneStopBit) {
    CUpdatePrinterDlg dlg(prompt_, ui_);
    dlg.SetStopBits(stopBits);
    return dlg.DoModal(mode, data, [&] {
      const int result = dlg.RunOperation("Serial");
      closeCode_ = dlg.CloseCode(result);
      return result;
    });
  }
  Strings Asked() const { return test::AskedTexts(prompt_); }

  test::FlagGuard flag_;
  test::ScratchLog log_;
  pelmora::test::CScriptedPrompt prompt_{Answer::kOk};
  test::ScriptedUi ui_;
  int closeCode_ = -1;  // how the window would end after the last Run
};

TEST_F(SerialSequenceTest, SendWritesEveryKnownByteAndReadBackBringsThemBack) {
  SimPrinter printer;
  ASSERT_TRUE(printer.Started()) << printer.Error();
  model::CStatDataObj sent;
  LoadModel(sent, kTs5);
  const test::Bytes density = {0x7F, 0x80}, cutter = {0x01}, mode = {0x5A};
  sent.WriteBytes(0x10, density, 0);
  sent.WriteBytes(0x13, cutter, 0);
  sent.WriteBytes(0x20, mode, 0);

  ASSERT_EQ(Run(kModeUpdatePrinter, sent), kFinished);
  test::Bytes expected(0x10000, 0);
  for (std::uint32_t a = 0; a < expected.size(); ++a) expected[a] = ImageByte(sent, a).value_or(0);
  test::Bytes memory;
  ASSERT_TRUE(printer.Memory(memory)) << printer.Error();
  const auto head = [](const test::Bytes& bytes) {
    return pelmora::test::HexDump(
        std::span(bytes).first(std::min<std::size_t>(bytes.size(), 0x30)));
  };
  EXPECT_EQ(memory, expected) << "printer:\n" << head(memory) << "\nimage:\n" << head(expected);

  // A configuration reset to factory data takes the printer's bytes; the unknown byte
  // is neither asked for nor filled in.
  model::CStatDataObj read;
  LoadModel(read, kTs5);
  ASSERT_EQ(Run(kModeGetPrinterSetting, read), kFinished);
  for (std::uint32_t a = 0x0F; a <= 0x21; ++a)
    EXPECT_EQ(ImageByte(read, a), ImageByte(sent, a)) << a;
  EXPECT_EQ(Asked(), (Strings{kSendQ, kGetQ}));

  // The bar counts the 17 addresses from 0x10 to 0x20, gap included, and the final probe.
  ASSERT_EQ(ui_.progress.size(), 1u);
  EXPECT_EQ(ui_.progress[0].upperBound, 5u);
  std::vector<int> steps(18);
  for (int i = 0; i < 18; ++i) steps[i] = i + 1;
  EXPECT_EQ(ui_.progress[0].positions, steps);
  EXPECT_TRUE(ui_.progress[0].closed);
  EXPECT_TRUE(ui_.progress[0].destroyed);

  const std::string text = log_.Text();
  EXPECT_TRUE(InOrder(
      text, {"CUpdatePrinterDlg::SendDataSerial\n", "CSerial::Open\n", "CSerial::SetState\n",
             "CSerial::SetTimeOuts\n", "DeviceID : MFG:TAVEN;MDL:TS-5;\n", "DeviceID Len : 19\n",
             "Write Init Command\n", "Address : 0x0010\n", "Data : 0x7F\n", "Address : 0x0020\n",
             "Data : 0x5A\n", "Write Reset Command\n", "CUpdatePrinterDlg::GetDataSerial\n",
             "DeviceID Len : 19\n", "CStatDataObj::MakeReadCommand\n", "Address : 0x0010\n",
             "Reply Data : @BDC PS\r\nEE:10007F;\n", "Reply Data : @BDC PS\r\nEE:20005A;\n"}))
      << text;
  EXPECT_EQ(text.find("Address : 0x0012"), std::string::npos);
  EXPECT_EQ(text.find("Error"), std::string::npos) << text;
}

struct FaultCase {
  const char* name;
  Strings simArgs;
  int mode;
  Answer question;  // the answer to "Send data to printer?" or "Get printer setting?"
  std::vector<test::ScriptedUi::WarningAnswer> warnings;
  int stopBits;
  int result;
  Strings asked;
  std::size_t warningsShown;
  bool flagAfter;
  const char* logged;
  const char* notLogged;
};

// Test names and failure output show the case by its name.
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialFaultTest : public SerialSequenceTest,
                        public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SerialFaultTest, GivesItsMessageLogLineAndResult) {
  const FaultCase& c = GetParam();
  SimPrinter printer(c.simArgs);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  prompt_.Push(c.question);
  for (const auto& answer : c.warnings) ui_.warningAnswers.push_back(answer);
  model::CStatDataObj data;
  LoadModel(data, kTs5);

  EXPECT_EQ(Run(c.mode, data, c.stopBits), c.result);
  EXPECT_EQ(Asked(), c.asked);
  EXPECT_EQ(ui_.warningsShown.size(), c.warningsShown);
  EXPECT_EQ(NoWarningFlag(), c.flagAfter);
  const std::string text = log_.Text();
  EXPECT_NE(text.find(c.logged), std::string::npos) << text;
  if (c.notLogged != nullptr) {
    EXPECT_EQ(text.find(c.notLogged), std::string::npos) << text;
  }
}

const std::string kOther = "MFG:TAVEN;MDL:TS-9;";
constexpr auto kOk = Answer::kOk;
constexpr int kUpd = kModeUpdatePrinter;
constexpr int kGet = kModeGetPrinterSetting;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, SerialFaultTest, ::testing::Values(
    FaultCase{"OtherModelSend", {"--device-id", kOther}, kUpd, kOk, {}, kOneStopBit, kFailed,
              {kNotFound}, 0, false, "ERROR : ModelID not found\n", "Write Init"},
    FaultCase{"OtherModelGet", {"--device-id", kOther}, kGet, kOk, {}, kOneStopBit, kFailed,
              {kNotFound}, 0, false, "DeviceID : MFG:TAVEN;MDL:TS-9;\n", "ModelID"},
    FaultCase{"CancelSend", {}, kUpd, Answer::kCancel, {}, kOneStopBit, kCancelled,
              {kSendQ}, 0, false, "DeviceID Len : 19\n", "Write Init"},
    FaultCase{"CancelGet", {}, kGet, Answer::kCancel, {}, kOneStopBit, kCancelled,
              {kGetQ}, 0, false, "DeviceID Len : 19\n", "MakeReadCommand"},
    // Ticking the box and answering No cancels, and still silences the dialog.
    FaultCase{"NoDeviceIdTickedNo", {"--no-device-id"}, kUpd, kOk, {{CWarningDlg::kNo, true}},
              kOneStopBit, kCancelled, {}, 1, true, "DeviceID Len : 0\n", "Write Init"},
    // Anything but Yes stops before the first write, and leaves the flag alone.
    FaultCase{"NoDeviceIdEscape", {"--no-device-id"}, kGet, kOk, {{CWarningDlg::kCancel, true}},
              kOneStopBit, kCancelled, {}, 1, false, "DeviceID Len : 0\n", "MakeReadCommand"},
    FaultCase{"NoReply", {"--no-reply"}, kGet, kOk, {}, kOneStopBit, kStopped,
              {kGetQ, "Error: Failed in analyze of data.\nAddress = 0x0010"}, 0, false,
              "Reply Data : \n", "0x0011"},
    // The part of a device ID past the 260-byte buffer is not taken for the first reply.
    FaultCase{"LongDeviceId", {"--device-id", "MFG:TAVEN;MDL:TS-5;" + std::string(400, 'X')},
              kGet, kOk, {}, kOneStopBit, kFinished, {kGetQ}, 0, false,
              "Reply Data : @BDC PS\r\nEE:100000;\n", "Error"},
    // An answer later than the byte gap still comes within the read time-out.
    FaultCase{"SlowReply", {"--slow-reply", "40"}, kGet, kOk, {}, kOneStopBit, kFinished,
              {kGetQ}, 0, false, "Reply Data : @BDC PS\r\nEE:200000;\n", "Error"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });
// clang-format on

TEST_F(SerialSequenceTest, AReplyThatCannotBeAnalysedKeepsTheBytesReadBeforeIt) {
  // The printer holds 7F 80 xx 01 / 5A; the third known byte's reply is malformed.
  SimPrinter printer({"--init-from-model", "--bad-reply-at", "13"}, kTs5Custom);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  model::CStatDataObj data;
  LoadModel(data, kTs5);
  EXPECT_EQ(Run(kModeGetPrinterSetting, data), kStopped);
  EXPECT_EQ(closeCode_, 1);  // the window closes and shows what was read
  EXPECT_EQ(Asked(), (Strings{kGetQ, "Error: Failed in analyze of data.\nAddress = 0x0013"}));
  EXPECT_EQ(ImageByte(data, 0x10), 0x7F);
  EXPECT_EQ(ImageByte(data, 0x11), 0x80);
  EXPECT_EQ(ImageByte(data, 0x13), 0x04);  // factory value kept
  EXPECT_EQ(ImageByte(data, 0x20), 0xA5);
  ASSERT_EQ(ui_.progress.size(), 1u);
  EXPECT_EQ(ui_.progress[0].positions.back(), 4);  // 0x10 to 0x13
  EXPECT_TRUE(ui_.progress[0].closed);
  EXPECT_NE(log_.Text().find("Analyze Error\n"), std::string::npos);
}

TEST_F(SerialSequenceTest, TickedWarningIsNotShownAgain) {
  SimPrinter printer({"--no-device-id"});
  ASSERT_TRUE(printer.Started()) << printer.Error();
  model::CStatDataObj data;
  LoadModel(data, kTs5);
  ui_.warningAnswers.push_back({CWarningDlg::kYes, true});
  EXPECT_EQ(Run(kModeUpdatePrinter, data), kFinished);
  ASSERT_EQ(ui_.warningsShown.size(), 1u);
  EXPECT_EQ(ui_.warningsShown[0].mode, CWarningDlg::kModeConnection);
  EXPECT_TRUE(NoWarningFlag());
  test::Bytes memory;
  ASSERT_TRUE(printer.Memory(memory)) << printer.Error();
  EXPECT_EQ(memory[0x13], 0x04);

  EXPECT_EQ(Run(kModeGetPrinterSetting, data), kFinished);
  EXPECT_EQ(ui_.warningsShown.size(), 1u);
  EXPECT_TRUE(Asked().empty());
}

TEST_F(SerialSequenceTest, APortThatDoesNotOpenIsNamedWithTheCause) {
  model::CStatDataObj data;
  LoadModel(data, kTs5);
  SimPrinter printer;
  ASSERT_TRUE(printer.Started()) << printer.Error();
  port::CSerial holder;  // keeps the simulator's port busy
  ASSERT_TRUE(holder.Open(printer.Device()));
  const std::string busy = printer.Device();
  const std::string denied = testing::TempDir() + "pelmora-denied-com1";
  test::WriteFile(denied, "");
  ::chmod(denied.c_str(), 0);
  struct group* own = ::getgrgid(::getegid());
  const struct {
    std::string device;
    int mode;
    int stopBits;
    std::string cause;
    const char* logged;
  } cases[] = {
      {"/nonexistent/pelmora-com1", kUpd, kOneStopBit,
       "Cannot open /nonexistent/pelmora-com1 (COM1): no such device.", "CreateFile Failed : 2\n"},
      {"/dev/null", kGet, kOneStopBit, "Cannot open /dev/null (COM1): not a serial port.",
       "CreateFile Failed : 25\n"},
      {busy, kUpd, kOneStopBit,
       "Cannot open " + busy + " (COM1): the port is in use by another program.",
       "CreateFile Failed : 16\n"},
      {denied, kGet, kOneStopBit,
       "Cannot open " + denied + " (COM1): permission denied; the group " +
           (own != nullptr && ::getegid() != 0 ? own->gr_name : "dialout") + " grants access.",
       "CreateFile Failed : 13\n"},
      {"", kUpd, kOneStopBit, "No device is set for COM1.", "CreateFile Failed : 2\n"},
  };
  for (const auto& c : cases) {
    if (c.device == denied && ::geteuid() == 0)
      continue;  // root opens it all the same
    test::ComPort com1(c.device);
    prompt_ = pelmora::test::CScriptedPrompt(Answer::kOk);
    EXPECT_EQ(Run(c.mode, data, c.stopBits), kFailed) << c.device;
    EXPECT_EQ(Asked(), (Strings{std::string(kNotFound) + "\n" + c.cause}));
    EXPECT_NE(log_.Text().find(c.logged), std::string::npos) << c.logged;
  }
  holder.Close();

  // A line setting the port refuses.
  prompt_ = pelmora::test::CScriptedPrompt(Answer::kOk);
  EXPECT_EQ(Run(kUpd, data, kOne5StopBits), kFailed);
  EXPECT_EQ(Asked(), (Strings{std::string(kNotFound) + "\nCannot set up " + busy +
                              " (COM1): the port does not take these line settings."}));
  EXPECT_NE(log_.Text().find("SetCommState Failed : 22\n"), std::string::npos);
  EXPECT_EQ(log_.Text().find("GetDeviceID"), std::string::npos);
}

}  // namespace
}  // namespace pelmora::update
