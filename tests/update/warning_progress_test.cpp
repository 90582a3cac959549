#include <gtest/gtest.h>

#include <string>

#include "update/app_state.h"
#include "update/progress_dlg.h"
#include "update/warning_dlg.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using test::FlagGuard;
using test::ScriptedUi;

TEST(WarningDlgTest, ModesPickTextsAndControls) {
  ScriptedUi ui;
  CWarningDlg connection;
  connection.DoModal(ui, CWarningDlg::kModeConnection, "");
  EXPECT_STREQ(connection.MessageText(),
               "Verify connection. Printer must be online and properly connected. Update printer?");
  EXPECT_TRUE(connection.IsCheckBoxShown());
  EXPECT_FALSE(connection.IsAddressShown());
  EXPECT_FALSE(connection.IsCancelShown());

  for (int mode : {1, 5}) {
    CWarningDlg network;
    network.DoModal(ui, mode, "192.168.0.7");
    EXPECT_STREQ(
        network.MessageText(),
        "Verify IP Address. Printer must be online and properly connected. Update printer?");
    EXPECT_FALSE(network.IsCheckBoxShown());
    EXPECT_TRUE(network.IsAddressShown());
    EXPECT_EQ(network.AddressText(), "IP Address : 192.168.0.7");
    EXPECT_TRUE(network.IsCancelShown());
  }
}

TEST(WarningDlgTest, ButtonsGiveTheirResultAndRecordTheCheckBox) {
  CWarningDlg dlg;
  EXPECT_EQ(dlg.CheckState(), 0);
  EXPECT_EQ(dlg.OnYes(true), 6);
  EXPECT_EQ(dlg.CheckState(), 1);
  EXPECT_EQ(dlg.OnNo(false), 7);
  EXPECT_EQ(dlg.CheckState(), 0);
  CWarningDlg escaped;
  EXPECT_EQ(escaped.OnCancel(), 2);
  EXPECT_EQ(escaped.CheckState(), 0);
}

TEST(WarningDlgTest, TickedNoStillSuppressesLaterWarnings) {
  FlagGuard guard;
  ScriptedUi ui;
  ui.warningAnswers = {{CWarningDlg::kNo, true}};
  EXPECT_EQ(ConfirmWithoutDeviceId(ui, CWarningDlg::kModeConnection), CWarningDlg::kNo);
  EXPECT_TRUE(NoWarningFlag());
  EXPECT_EQ(ConfirmWithoutDeviceId(ui, CWarningDlg::kModeConnection), kWarningNotShown);
  EXPECT_EQ(ConfirmWithoutDeviceId(ui, CWarningDlg::kModeNetwork, "10.0.0.1"), kWarningNotShown);
  EXPECT_EQ(ui.warningsShown.size(), 1u);
}

TEST(WarningDlgTest, FlagTakesTheCheckBoxWhateverTheAnswer) {
  struct {
    int mode;
    ScriptedUi::WarningAnswer answer;
    bool flagAfter;
  } cases[] = {
      {CWarningDlg::kModeConnection, {CWarningDlg::kYes, true}, true},
      {CWarningDlg::kModeConnection, {CWarningDlg::kYes, false}, false},
      // Escape leaves the box unrecorded, even when it was ticked.
      {CWarningDlg::kModeConnection, {CWarningDlg::kCancel, true}, false},
      {CWarningDlg::kModeNetwork, {CWarningDlg::kNo, false}, false},
      {CWarningDlg::kModeNetwork, {CWarningDlg::kCancel, false}, false},
  };
  for (const auto& c : cases) {
    FlagGuard guard;
    ScriptedUi ui;
    ui.warningAnswers = {c.answer};
    EXPECT_EQ(ConfirmWithoutDeviceId(ui, c.mode, "10.0.0.9"), c.answer.button);
    EXPECT_EQ(NoWarningFlag(), c.flagAfter);
    ASSERT_EQ(ui.warningsShown.size(), 1u);
    EXPECT_EQ(ui.warningsShown[0].mode, c.mode);
    EXPECT_EQ(ui.warningsShown[0].ipAddress, "10.0.0.9");
  }
}

TEST(ProgressDlgTest, RangeIsOneToTheBoundTakenAsSixteenBits) {
  struct {
    std::uint32_t bound;
    int upper;
  } cases[] = {{300, 300}, {65535, 65535}, {65536, 0}, {70000, 4464}, {0, 0}};
  for (const auto& c : cases) {
    CProgressDlg dlg(c.bound);
    EXPECT_EQ(dlg.Lower(), 1);
    EXPECT_EQ(dlg.Upper(), c.upper) << c.bound;
  }
}

TEST(ProgressDlgTest, SetPosStaysWithinTheRangeAndNeverGoesBack) {
  CProgressDlg dlg(10);
  dlg.SetPos(4);
  EXPECT_EQ(dlg.Pos(), 4);
  dlg.SetPos(3);
  EXPECT_EQ(dlg.Pos(), 4);
  dlg.SetPos(11);
  EXPECT_EQ(dlg.Pos(), 10);
  dlg.SetPos(0);
  EXPECT_EQ(dlg.Pos(), 10);

  CProgressDlg whole(65536);
  whole.SetPos(5);
  EXPECT_EQ(whole.Pos(), 1);
}

TEST(ProgressDlgTest, TimerStepsUpToTheBoundUntilClosed) {
  CProgressDlg dlg(3);
  dlg.OnTimer();
  EXPECT_EQ(dlg.Pos(), 1) << "no timer before the window is initialised";
  dlg.OnInitDialog();
  EXPECT_TRUE(dlg.IsTimerRunning());
  int seen[4];
  for (int& pos : seen) {
    dlg.OnTimer();
    pos = dlg.Pos();
  }
  EXPECT_EQ(seen[0], 2);
  EXPECT_EQ(seen[1], 3);
  EXPECT_EQ(seen[2], 3);
  EXPECT_EQ(seen[3], 3);
  dlg.Close();
  EXPECT_FALSE(dlg.IsTimerRunning());

  CProgressDlg stopped(3);
  stopped.OnInitDialog();
  stopped.Close();
  stopped.OnTimer();
  EXPECT_EQ(stopped.Pos(), 1);
}

}  // namespace
}  // namespace pelmora::update
