#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/logic/app_paths.h"
#include "app/logic/vorsetta_app.h"
#include "log/debug_log.h"
#include "shell_test_support.h"
#include "update/app_state.h"

namespace pelmora::app {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

// Each run reads its own settings file and logs into its own state folder.
class VorsettaAppTest : public ::testing::Test {
 protected:
  void TearDown() override { log::EnableLog(false); }

  std::string LogPath() const { return dir_ / "state/pelmora/VORSETTA.LOG"; }

  TempDir dir_;
  ScopedEnv settings_{"PELMORA_SETTINGS", dir_ / "pelmora.conf"};
  ScopedEnv state_{"XDG_STATE_HOME", dir_ / "state"};
};

TEST_F(VorsettaAppTest, MarksStartAndEndWhenSettingsSwitchLogOn) {
  log::SetLogFilePath("");
  WriteFile(dir_ / "pelmora.conf", "[Log]\nLOG = 1\n");
  {
    CVorsettaApp app;
    const std::string started = ReadFile(LogPath());
    EXPECT_NE(started.find("---\n"), std::string::npos);
    EXPECT_NE(started.find(": CVorsettaApp : Start\n"), std::string::npos) << started;
    EXPECT_EQ(started.find("CVorsettaApp : End"), std::string::npos);
  }
  const std::string log = ReadFile(LogPath());
  const auto start = log.find("CVorsettaApp : Start");
  const auto end = log.find(": CVorsettaApp : End\n");
  ASSERT_NE(end, std::string::npos) << log;
  EXPECT_LT(start, end);
}

TEST_F(VorsettaAppTest, WritesNoLogWhenSwitchIsOffOrMissing) {
  for (const std::optional<std::string>& settings :
       {std::optional<std::string>("[Log]\nLOG = 0\n"), std::optional<std::string>()}) {
    std::filesystem::remove(dir_ / "pelmora.conf");
    if (settings)
      WriteFile(dir_ / "pelmora.conf", *settings);
    { CVorsettaApp app; }
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
  }
}

TEST_F(VorsettaAppTest, RunsStartDialogInsideNetworkSession) {
  CVorsettaApp app;
  update::NoWarningFlag() = true;
  bool sessionDuringDialog = false;
  bool warningFlagAtStart = true;
  const int result = app.InitInstance([&] {
    sessionDuringDialog = app.HasNetworkSession();
    warningFlagAtStart = CVorsettaApp::NoWarningFlag();
    return 1;
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(sessionDuringDialog);
  EXPECT_FALSE(warningFlagAtStart);
  EXPECT_FALSE(app.HasNetworkSession());
}

// The working folder's help file first, then the installed copy, else the missing own one
// (which grays the menu item).
TEST(HelpFilePath, WorkingFolderFirstThenTheInstalledCopy) {
  const TempDir dir;
  const std::string work = dir / "work";
  const std::string data = dir / "share";
  std::filesystem::create_directories(work);
  std::filesystem::create_directories(data);
  const std::string own = work + "/VORSETTA.HLP";
  const std::string installed = data + "/VORSETTA.HLP";
  EXPECT_EQ(HelpFilePath(work, data), own);
  WriteFile(installed, "<html></html>");
  EXPECT_EQ(HelpFilePath(work, data), installed);
  WriteFile(own, "<html></html>");
  EXPECT_EQ(HelpFilePath(work, data), own);
  EXPECT_EQ(HelpFilePath(work, ""), own);
}

}  // namespace
}  // namespace pelmora::app
