// The parallel send and read-back through the Update button's dispatch, against the
// printer on an emulated /dev/parport0 (the binary runs with the umockdev preload
// library).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "model/user_prompt.h"
#include "parallel_emulation.h"
#include "port/parallel.h"
#include "scripted_prompt.h"
#include "sequence_test_support.h"
#include "update/app_state.h"
#include "update/connection_settings.h"
#include "update/update_printer_dlg.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using model::Answer;
using test::ImageByte;
using test::kTs5;
using test::LoadModel;
using Strings = std::vector<std::string>;

using test::kGetQ;
using test::kNotFound;
using test::kSendQ;

class ParallelSequenceTest : public ::testing::Test {
 protected:
  // "LPT1" is the emulated port, "COM1" nothing.
  ParallelSequenceTest() {
    log::CSettings settings;
    settings.OverridePort("COM1", "/nonexistent/pelmora-test-com1");
    settings.OverridePort("LPT1", sim::CParallelEmulation::kDevicePath);
    SetConnectionSettings(settings);
  }
  ~ParallelSequenceTest() override { SetConnectionSettings(std::nullopt); }

  // The TS-5 printer on the emulated port, with the simulator's switches.
  void StartPrinter(sim::CSimOptions options = {}, sim::CParallelPrinterOptions parallel = {}) {
    LoadModel(printerModel_, kTs5);
    emulation_.emplace(printerModel_, std::move(options), parallel);
    std::string error;
    ASSERT_TRUE(emulation_->Start(error)) << error;
  }
  // Runs the operation of `mode` on "Parallel" as the Update (Get) button does; the
  // version code is the system's from the start.
  int Run(int mode, model::CStatDataObj& data) {
    CUpdatePrinterDlg dlg(prompt_, ui_);
    return dlg.DoModal(mode, data, [&] { return dlg.RunOperation("Parallel"); });
  }
  Strings Asked() const { return test::AskedTexts(prompt_); }

  test::FlagGuard flag_;
  test::ScratchLog log_;
  pelmora::test::CScriptedPrompt prompt_{Answer::kOk};
  test::ScriptedUi ui_;
  model::CStatDataObj printerModel_;
  std::optional<sim::CParallelEmulation> emulation_;
};

TEST_F(ParallelSequenceTest, SendWritesEveryKnownByteAndReadBackBringsThemBack) {
  StartPrinter();
  model::CStatDataObj sent;
  LoadModel(sent, kTs5);
  const test::Bytes density = {0x7F, 0x80}, mode = {0x5A};
  sent.WriteBytes(0x10, density, 0);
  sent.WriteBytes(0x20, mode, 0);

  ASSERT_EQ(Run(kModeUpdatePrinter, sent), kFinished);
  const std::vector<std::uint8_t> memory = emulation_->MemorySnapshot();
  for (std::uint32_t a = 0x0F; a <= 0x21; ++a)
    EXPECT_EQ(memory[a], ImageByte(sent, a).value_or(0)) << a;

  model::CStatDataObj read;
  LoadModel(read, kTs5);
  ASSERT_EQ(Run(kModeGetPrinterSetting, read), kFinished);
  for (std::uint32_t a = 0x0F; a <= 0x21; ++a)
    EXPECT_EQ(ImageByte(read, a), ImageByte(sent, a)) << a;
  EXPECT_EQ(Asked(), (Strings{kSendQ, kGetQ}));
  const std::string text = log_.Text();
  for (const char* line :
       {"CUpdatePrinterDlg::SendDataParallel\n", "CParallel::Open\n", "CParallel::SetTimeOuts\n",
        "DeviceID : MFG:TAVEN;MDL:TS-5;\n", "DeviceID Len : 19\n", "Write Reset Command\n",
        "CUpdatePrinterDlg::GetDataParallel\n", "Reply Data : @BDC PS\r\nEE:20005A;\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(text.find("Error"), std::string::npos) << text;
}

TEST_F(ParallelSequenceTest, FaultsGiveTheirMessagesAndResults) {
  sim::CSimOptions otherModel, noDeviceId;
  otherModel.deviceId = "MFG:TAVEN;MDL:TS-9;";
  noDeviceId.answerDeviceId = false;
  const struct {
    const char* name;
    sim::CSimOptions options;
    sim::CParallelPrinterOptions parallel;
    int mode;
    int result;
    Strings asked;
    std::size_t warningsShown;
    const char* logged;
  } cases[] = {
      // Another model is not the model's printer; no log line says so over parallel.
      {"other model",
       otherModel,
       {},
       kModeUpdatePrinter,
       kFailed,
       {kNotFound},
       0,
       "DeviceID : MFG:TAVEN;MDL:TS-9;\n"},
      // No device ID: the Warning dialog, then the send goes ahead.
      {"no device ID",
       noDeviceId,
       {},
       kModeUpdatePrinter,
       kFinished,
       {},
       1,
       "DeviceIoControl Failed : 6\n"},
      // A printer that cannot send back fails the first read with its address.
      {"cannot read back",
       {},
       {.ieee1284 = false},
       kModeGetPrinterSetting,
       kStopped,
       {"Error: Get data failed.\nAddress = 0x0010"},
       1,
       "ReadFile Failed : 5\n"},
  };
  for (const auto& c : cases) {
    emulation_.reset();
    StartPrinter(c.options, c.parallel);
    prompt_ = pelmora::test::CScriptedPrompt(Answer::kOk);
    ui_.warningsShown.clear();
    ui_.warningAnswers.push_back({CWarningDlg::kYes, false});
    model::CStatDataObj data;
    LoadModel(data, kTs5);
    EXPECT_EQ(Run(c.mode, data), c.result) << c.name;
    EXPECT_EQ(Asked(), c.asked) << c.name;
    EXPECT_EQ(ui_.warningsShown.size(), c.warningsShown) << c.name;
    EXPECT_NE(log_.Text().find(c.logged), std::string::npos) << c.name;
    ui_.warningAnswers.clear();
  }
  EXPECT_EQ(log_.Text().find("ModelID"), std::string::npos);
}

TEST_F(ParallelSequenceTest, APortInUseIsNamedWithTheCause) {
  StartPrinter();
  port::CParallel holder(6);
  ASSERT_TRUE(holder.Open("LPT1"));
  model::CStatDataObj data;
  LoadModel(data, kTs5);
  EXPECT_EQ(Run(kModeGetPrinterSetting, data), kFailed);
  EXPECT_EQ(Asked(), (Strings{std::string(kNotFound) +
                              "\nCannot open /dev/parport0 (LPT1): the port is in use by "
                              "another program."}));
}

}  // namespace
}  // namespace pelmora::update
