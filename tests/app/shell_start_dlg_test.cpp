#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/logic/start_dlg.h"
#include "model/user_prompt.h"
#include "scripted_prompt.h"
#include "shell_test_support.h"
#include "update/app_state.h"

namespace pelmora::app {
namespace {

namespace fs = std::filesystem;
using model::Buttons;
using pelmora::test::CScriptedPrompt;
using test::DefinitionText;
using test::SampleFolder;
using test::WriteFile;
using Strings = std::vector<std::string>;

// Records what the start dialog asked of its window; the configuration
// window runs `onConfig` and returns `configResult`.
class FakeStartUi : public IStartUi {
 public:
  void Minimise() override { calls.push_back("Minimise"); }
  void Restore() override { calls.push_back("Restore"); }
  int RunConfig(int mode, model::CStatDataObj& model, model::CModelFile& file,
                const model::CFileInfo& entry, const std::string& workingFolder) override {
    calls.push_back("RunConfig " + std::to_string(mode) + " " + entry.fileName + " " +
                    model.ModelNames().at(0) + " " + workingFolder);
    if (onConfig)
      onConfig(file);
    return configResult;
  }

  Strings calls;
  std::function<void(model::CModelFile&)> onConfig;
  int configResult = 2;
};

// The texts shown, checking that every box is "Pelmora" with OK only.
Strings Messages(const CScriptedPrompt& prompt) {
  Strings texts;
  for (const auto& asked : prompt.AskedSoFar()) {
    EXPECT_EQ(asked.title, "Pelmora");
    EXPECT_EQ(asked.buttons, Buttons::kOk);
    texts.push_back(asked.text);
  }
  return texts;
}

class StartDlgTest : public ::testing::Test {
 protected:
  // The trailing slash goes; paths below get exactly one.
  StartDlgTest() { dlg_.OnInitDialog(folder_.Path() + "/"); }

  SampleFolder folder_;
  CScriptedPrompt prompt_;
  FakeStartUi ui_;
  CStartDlg dlg_{prompt_, ui_};
};

// Each failed listing shows its messages and leaves the dialog choosing.
TEST_F(StartDlgTest, FailedListingShowsItsMessagesAndStaysChoosing) {
  struct Case {
    const char* name;
    std::function<void(const std::string& modelFolder)> prepare;
    Strings messages;
  };
  const std::vector<Case> cases = {
      {"no model folder",
       [](const std::string& dir) { fs::remove_all(dir); },
       {"No configuration file exists."}},
      {"no .cfg file kept",
       [](const std::string& dir) {
         fs::remove_all(dir);
         fs::create_directory(dir);
         WriteFile(dir + "/a.b.cfg", DefinitionText("P", "D"));
       },
       {"No configuration file exists."}},
      {"only a dangling link, which is passed over",
       [](const std::string& dir) {
         fs::remove_all(dir);
         fs::create_directory(dir);
         fs::create_symlink(dir + "/missing", dir + "/broken.cfg");
       },
       {"No configuration file exists."}},
      {"no PrinterName",
       [](const std::string& dir) { WriteFile(dir + "/bad.cfg", "Version = 0110\n"); },
       {"The form of the file isn't right.\n File Name = bad.cfg\n ErrorCode = 0x00000003\n "
        "Line = 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleFolder folder;
    c.prepare(folder / "model");
    CScriptedPrompt prompt;
    CStartDlg dlg(prompt, ui_);
    dlg.OnInitDialog(folder.Path());
    dlg.OnOK(CStartDlg::kModeNew);
    EXPECT_EQ(dlg.State(), CStartDlg::kStateChoose);
    EXPECT_TRUE(dlg.Rows().empty());
    EXPECT_EQ(Messages(prompt), c.messages);
  }
}

TEST_F(StartDlgTest, FailedLoadShowsItsMessageAndChangesNothing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {DefinitionText("TAVEN A", "old", "0999"), "Files version is illegal."},
      {"PrinterName = \"TAVEN A\"\n[Option]\nDescription = \"x\"\n",
       "The form of the file isn't right.\n ErrorCode = 0x"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(message);
    WriteFile(folder_ / "model/a.cfg", text);
    CScriptedPrompt prompt;
    CStartDlg dlg(prompt, ui_);
    dlg.OnInitDialog(folder_.Path());
    dlg.OnOK(CStartDlg::kModeNew);
    ASSERT_EQ(dlg.Rows().at(0).fileName, "a.cfg");
    dlg.OpenSelected({0});
    EXPECT_TRUE(ui_.calls.empty());
    const Strings shown = Messages(prompt);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(message, 0), 0u) << shown[0];
    EXPECT_EQ(dlg.State(), CStartDlg::kStateList);
    EXPECT_EQ(dlg.Rows().size(), 4u);
  }
}

// Opening runs the configuration window on the first selected row in listing
// order while minimised, clears the send warning afterwards and lists the
// folder again; File > Exit ends the dialog only after all that.
TEST_F(StartDlgTest, OpenSelectedRunsWindowThenRelists) {
  dlg_.OnOK(CStartDlg::kModeNew);
  dlg_.OpenSelected({});
  dlg_.OpenSelected({7});
  EXPECT_TRUE(ui_.calls.empty());

  ui_.onConfig = [](model::CModelFile&) { update::NoWarningFlag() = true; };
  dlg_.OpenSelected({2, 0, 1});
  EXPECT_EQ(ui_.calls,
            (Strings{"Minimise", "RunConfig 1 tk30.cfg TK-30 " + folder_.Path(), "Restore"}));
  EXPECT_FALSE(update::NoWarningFlag());
  EXPECT_EQ(dlg_.State(), CStartDlg::kStateList);
  EXPECT_EQ(dlg_.EndResult(), 0);

  ui_.configResult = 1;
  ui_.onConfig = [this](model::CModelFile&) {
    WriteFile(folder_ / "model/zz.cfg", DefinitionText("TAVEN Z", "late"));
  };
  dlg_.OpenSelected({0});
  EXPECT_EQ(dlg_.EndResult(), CStartDlg::kResultExit);
  EXPECT_EQ(dlg_.Rows().size(), 4u);
  EXPECT_EQ(ui_.calls.back(), "Restore");
  EXPECT_TRUE(Messages(prompt_).empty());
}

TEST_F(StartDlgTest, ConfigurationSavedUnderNewNameIsListedAfterClose) {
  dlg_.OnOK(CStartDlg::kModeOpen);
  ui_.onConfig = [this](model::CModelFile& file) {
    EXPECT_EQ(file.SaveSetting(prompt_, folder_.Path(), "a_new_one.cfg", "Back office"), 1);
  };
  dlg_.OpenSelected({0});
  ASSERT_EQ(dlg_.Rows().size(), 2u);
  EXPECT_EQ(dlg_.Rows()[0].fileName, "a_new_one.cfg");
  EXPECT_EQ(dlg_.Rows()[0].description, "Back office");
}

TEST_F(StartDlgTest, FailedRelistingEmptiesListButKeepsListState) {
  dlg_.OnOK(CStartDlg::kModeOpen);
  ui_.onConfig = [this](model::CModelFile&) { fs::remove(folder_ / "setting/front_counter.cfg"); };
  dlg_.OpenSelected({0});
  EXPECT_EQ(Messages(prompt_), (Strings{"No configuration file exists."}));
  EXPECT_EQ(dlg_.State(), CStartDlg::kStateList);
  EXPECT_TRUE(dlg_.Rows().empty());
}

}  // namespace
}  // namespace pelmora::app
