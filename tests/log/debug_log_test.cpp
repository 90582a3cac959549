#include "log/debug_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "test_support.h"

namespace pelmora::log {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

std::uint32_t FixedTicks() {
  return 52331;
}

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogFilePath(logPath_);
    SetTickSource(FixedTicks);
    EnableLog(true);
  }
  void TearDown() override {
    EnableLog(false);
    SetTickSource(nullptr);
    SetLogFilePath("");
  }
  std::string Log() const { return ReadFile(logPath_); }

  TempDir dir_;
  const std::string logPath_ = dir_ / "VORSETTA.LOG";
};

TEST_F(DebugLogTest, ScopeWritesHeadingThenIndentedLines) {
  {
    CDebugLog log("CStatDataObj::MakeWriteCommand");
    log.Output("Address : 0x%04X\n", 0x12U);
    log.Output("Data : 0x%02X\n", 0x5AU);
  }
  EXPECT_EQ(Log(),
            "0000052331: \n"
            "0000052331: ---\n"
            "0000052331: CStatDataObj::MakeWriteCommand\n"
            "0000052331:   Address : 0x0012\n"
            "0000052331:   Data : 0x5A\n");
}

TEST_F(DebugLogTest, NestedScopesIndentByOuterDepthAndUnwind) {
  {
    CDebugLog outer("CUpdatePrinterDlg::SendDataSerial");
    outer.Output("outer %d\n", 1);
    {
      CDebugLog inner("CSerial::Open");
      inner.Output("CreateFile Failed : %d\n", 2);
    }
    outer.Output("outer %s\n", "again");
  }
  CDebugLog after;
  EXPECT_EQ(Log(),
            "0000052331: \n"
            "0000052331: ---\n"
            "0000052331: CUpdatePrinterDlg::SendDataSerial\n"
            "0000052331:   outer 1\n"
            "0000052331:   \n"
            "0000052331:   ---\n"
            "0000052331:   CSerial::Open\n"
            "0000052331:     CreateFile Failed : 2\n"
            "0000052331:   outer again\n"
            "0000052331: \n"
            "0000052331: ---\n");
}

TEST_F(DebugLogTest, ChannelsCountApartAndHighChannelsAreChannelZero) {
  CDebugLog zero("zero", 0);
  CDebugLog one("one", 1);
  one.Output("on one\n");
  CDebugLog high("high", 7);
  high.Output("on high\n");
  zero.Output("on zero\n");
  EXPECT_EQ(Log(),
            "0000052331: \n0000052331: ---\n0000052331: zero\n"
            "0000052331: \n0000052331: ---\n0000052331: one\n"
            "0000052331:   on one\n"
            "0000052331:   \n0000052331:   ---\n0000052331:   high\n"
            "0000052331:     on high\n"
            "0000052331:     on zero\n");
}

TEST_F(DebugLogTest, StampIsTenDigitsOfTheTickCount) {
  SetTickSource(nullptr);
  CDebugLog().Output("tick\n");
  EXPECT_TRUE(std::regex_search(Log(), std::regex(R"(\n[0-9]{10}: ---\n[0-9]{10}:   tick\n$)")))
      << Log();

  SetTickSource([] { return std::uint32_t{0xFFFFFFFF}; });
  CDebugLog().Output("max\n");
  EXPECT_NE(Log().find("4294967295:   max\n"), std::string::npos);
}

TEST_F(DebugLogTest, AppendsToExistingFileAndWritesLongLinesWhole) {
  WriteFile(logPath_, "earlier run\n");
  const std::string longText(3000, 'x');
  CDebugLog().Output("%s\n", longText.c_str());
  EXPECT_EQ(Log(), "earlier run\n0000052331: \n0000052331: ---\n0000052331:   " + longText + "\n");
}

TEST_F(DebugLogTest, DisabledLogCreatesNoFileButScopesStillCount) {
  EnableLog(false);
  CDebugLog outer("hidden");
  outer.Output("hidden\n");
  EXPECT_FALSE(std::filesystem::exists(logPath_));

  EnableLog(true);
  outer.Output("shown\n");
  EXPECT_EQ(Log(), "0000052331:   shown\n");
}

TEST_F(DebugLogTest, LinkAtLogPathIsNotFollowed) {
  const std::string target = dir_ / "target";
  WriteFile(target, "keep me\n");
  std::filesystem::create_symlink(target, logPath_);
  CDebugLog("scope").Output("line\n");
  EXPECT_EQ(ReadFile(target), "keep me\n");
  EXPECT_TRUE(std::filesystem::is_symlink(logPath_));

  // A dangling link must not create its target either.
  const std::string missing = dir_ / "missing";
  std::filesystem::remove(logPath_);
  std::filesystem::create_symlink(missing, logPath_);
  CDebugLog("scope").Output("line\n");
  EXPECT_FALSE(std::filesystem::exists(missing));

  // Nor may a hard link to another file take the lines.
  std::filesystem::remove(logPath_);
  std::filesystem::create_hard_link(target, logPath_);
  CDebugLog("scope").Output("line\n");
  EXPECT_EQ(ReadFile(target), "keep me\n");
}

TEST_F(DebugLogTest, FifoAtLogPathDoesNotBlock) {
  ASSERT_EQ(mkfifo(logPath_.c_str(), 0600), 0);
  CDebugLog("scope").Output("line\n");  // would hang if the open waited for a reader
  EXPECT_TRUE(std::filesystem::is_fifo(logPath_));
}

TEST_F(DebugLogTest, NewFileAndFoldersAreOwnerOnlyWhateverTheUmask) {
  const std::string state = dir_ / "state";
  ScopedEnv xdg("XDG_STATE_HOME", state);
  SetLogFilePath("");
  ASSERT_EQ(LogFilePath(), state + "/pelmora/VORSETTA.LOG");

  const mode_t oldMask = umask(0);
  CDebugLog("scope");
  umask(oldMask);

  struct stat info {};
  ASSERT_EQ(stat(LogFilePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600U);
  ASSERT_EQ(stat((state + "/pelmora").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700U);
}

TEST(DebugLogPath, RelativeStateHomeFallsBackToHome) {
  TempDir home;
  ScopedEnv homeVar("HOME", home.Path());
  for (const char* xdg : {"relative/state", ""}) {
    ScopedEnv xdgVar("XDG_STATE_HOME", std::string(xdg));
    EXPECT_EQ(LogFilePath(), home / ".local/state/pelmora/VORSETTA.LOG") << xdg;
  }
  ScopedEnv unset("XDG_STATE_HOME", std::nullopt);
  EXPECT_EQ(LogFilePath(), home / ".local/state/pelmora/VORSETTA.LOG");
}

}  // namespace
}  // namespace pelmora::log
