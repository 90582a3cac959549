// The configuration window's logic, driven with scripted answers on a copy of
// the sample working folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/logic/config_dlg.h"
#include "editor_test_support.h"
#include "model/user_prompt.h"
#include "scripted_prompt.h"

namespace pelmora::app {
namespace {

using model::Answer;
using model::Buttons;
using pelmora::test::CScriptedPrompt;
using test::Cancel;
using test::Loaded;
using test::Pick;
using test::SampleFolder;
using test::SaveAs;
using test::ScriptedConfigUi;
using test::Type;
namespace fs = std::filesystem;

constexpr const char* kPrinter = "TAVEN TR-210";

class ConfigDlgTest : public ::testing::Test {
 protected:
  // Opens `relative` of the scratch folder: mode 1 from model/, 2 from setting/.
  void Open(const std::string& relative, const std::string& description = "Receipt") {
    loaded_ = std::make_unique<Loaded>(folder_ / relative);
    ASSERT_EQ(loaded_->result, 1);
    const bool setting = relative.rfind("setting/", 0) == 0;
    const std::string name = relative.substr(relative.find('/') + 1);
    dlg_.Start(setting ? 2 : 1, loaded_->model, loaded_->file, name, kPrinter, description,
               folder_.Path());
  }
  int Row(const std::string& name) const {
    const auto& rows = dlg_.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].name == name)
        return static_cast<int>(i);
    ADD_FAILURE() << "no row " << name;
    return -1;
  }
  std::string Value(const std::string& name) const {
    const int row = Row(name);
    return row < 0 ? std::string() : dlg_.Rows()[static_cast<std::size_t>(row)].value;
  }
  std::size_t Asked(const std::string& text) const {
    const auto& asked = prompt_.AskedSoFar();
    return static_cast<std::size_t>(
        std::count_if(asked.begin(), asked.end(), [&](const auto& a) { return a.text == text; }));
  }
  void TearDown() override { EXPECT_EQ(ui_.unscripted, 0) << "a window opened without script"; }

  SampleFolder folder_;
  CScriptedPrompt prompt_{Answer::kNo};
  ScriptedConfigUi ui_;
  CConfigDlg dlg_{prompt_, ui_};
  std::unique_ptr<Loaded> loaded_;
};

TEST_F(ConfigDlgTest, AdministratorWarningOncePerMoveToAdvanced) {
  Open("model/tr210.cfg");
  const std::string warning = "Configuration should be changed by administrator only";
  dlg_.SelectPage(model::kAdvancedPage);
  EXPECT_EQ(Asked(warning), 1u);
  EXPECT_EQ(prompt_.AskedSoFar().back().title, "Warning");
  EXPECT_EQ(Value("Sleep timer"), "300 s");

  // Refills while Advanced stays selected do not warn again.
  prompt_.Push(Answer::kOk);
  dlg_.FactorySetting();
  ui_.updatePrinter.push_back(1);
  dlg_.GetPrinterSetting();
  EXPECT_EQ(Asked(warning), 1u);

  dlg_.SelectPage(model::kBasicPage);
  dlg_.SelectPage(model::kAdvancedPage);
  EXPECT_EQ(Asked(warning), 2u);
}

TEST_F(ConfigDlgTest, ChangeSettingRunsTheDialogForTheItemType) {
  Open("model/tr210.cfg");
  // A number refused out of range, then accepted; the row shows the new value.
  ui_.changeValue.push_back([](CChangeValueDlg& dlg) {
    EXPECT_EQ(dlg.ValueText(), "150");
    EXPECT_EQ(dlg.Unit(), "mm/s");
    return Type({"300", "200"})(dlg);
  });
  dlg_.ChangeSetting(Row("Print speed"));
  EXPECT_EQ(Asked("This value is out of range."), 1u);
  EXPECT_EQ(Value("Print speed"), "200 mm/s");
  EXPECT_TRUE(dlg_.IsModified());
  EXPECT_TRUE(dlg_.RestoreEnabled());

  // Bit and code items get the choice dialog, opened on the current entry.
  ui_.changeChoice.push_back([](CChangeChoiceDlg& dlg) {
    EXPECT_EQ(dlg.Choices(), (std::vector<std::string>{"Enable", "Disable"}));
    EXPECT_EQ(dlg.Selected(), 0);
    return Pick(1)(dlg);
  });
  dlg_.ChangeSetting(Row("Auto cutter"));
  EXPECT_EQ(Value("Auto cutter"), "Disable");
  ui_.changeChoice.push_back(Pick(1));
  dlg_.ChangeSetting(Row("Print mode"));
  EXPECT_EQ(Value("Print mode"), "Draft");

  // No selection: nothing runs.
  dlg_.ChangeSetting(-1);
}

TEST_F(ConfigDlgTest, CancelledChangeLeavesTheFlagAndLockedItemRefuses) {
  Open("model/tr210.cfg");
  ui_.changeValue.push_back(Cancel<CChangeValueDlg>());
  dlg_.ChangeSetting(Row("Print density"));
  EXPECT_FALSE(dlg_.IsModified());

  dlg_.SelectPage(model::kAdvancedPage);
  dlg_.ChangeSetting(Row("Busy condition"));  // no dialog is scripted: none may open
  EXPECT_EQ(Asked("This item can't change."), 1u);
  EXPECT_EQ(prompt_.AskedSoFar().back().title, "Pelmora");
  EXPECT_FALSE(dlg_.IsModified());
}

TEST_F(ConfigDlgTest, FactoryAndRestoreSetting) {
  Open("setting/front_counter.cfg");
  EXPECT_EQ(Value("Print speed"), "200 mm/s");

  dlg_.FactorySetting();  // answered Cancel
  EXPECT_EQ(prompt_.AskedSoFar().back().title, "Warning");
  EXPECT_EQ(prompt_.AskedSoFar().back().text, "Return printer to original factory settings?");
  EXPECT_EQ(Value("Print speed"), "200 mm/s");
  EXPECT_FALSE(dlg_.IsModified());

  prompt_.Push(Answer::kOk);
  dlg_.FactorySetting();
  EXPECT_EQ(Value("Print speed"), "150 mm/s");
  EXPECT_TRUE(dlg_.RestoreEnabled());

  prompt_.Push(Answer::kOk);
  dlg_.RestoreSetting();
  EXPECT_EQ(prompt_.AskedSoFar().back().title, "Caution");
  EXPECT_EQ(prompt_.AskedSoFar().back().text, "Restore last saved settings?");
  EXPECT_EQ(Value("Print speed"), "200 mm/s");
  EXPECT_EQ(Value("Print mode"), "Draft");
  EXPECT_FALSE(dlg_.RestoreEnabled());
}

TEST_F(ConfigDlgTest, SaveAsCancelledKeepsTheEditsMarkedSoClosingAsks) {
  Open("setting/front_counter.cfg");
  ui_.changeValue.push_back(Type({"100"}));
  dlg_.ChangeSetting(Row("Print speed"));
  ui_.saveAs.push_back(Cancel<CSaveAsDlg>());
  EXPECT_FALSE(dlg_.SaveConfigurationAs());
  EXPECT_TRUE(dlg_.IsModified());
  EXPECT_TRUE(dlg_.RestoreEnabled());

  EXPECT_EQ(dlg_.Close(false), 2);  // "No": the window ends without saving
  EXPECT_EQ(Asked("Do you want to save this configuration?"), 1u);
  EXPECT_EQ(test::ReadFile(folder_ / "setting/front_counter.cfg").find("0000:FE64"),
            std::string::npos);
}

TEST_F(ConfigDlgTest, FirstSaveAsksForANameThenOverwrites) {
  Open("model/tr210.cfg");
  ui_.changeValue.push_back(Type({"180"}));
  dlg_.ChangeSetting(Row("Print speed"));

  ui_.saveAs.push_back([](CSaveAsDlg& dlg) {
    EXPECT_EQ(dlg.FileName(), "tr210.cfg");  // the model's name is the first proposal
    return SaveAs("shop.cfg", "Shop till")(dlg);
  });
  EXPECT_TRUE(dlg_.SaveConfiguration());
  EXPECT_EQ(dlg_.Mode(), 2);
  EXPECT_EQ(dlg_.FileName(), "shop.cfg");
  EXPECT_FALSE(dlg_.IsModified());
  EXPECT_EQ(dlg_.HeaderText(), "Printer : TAVEN TR-210\nDescription : Shop till");
  Loaded saved(folder_ / "setting/shop.cfg");
  ASSERT_EQ(saved.result, 1);

  // Mode 2: Save writes over the same file without asking for a name.
  ui_.changeValue.push_back(Type({"90"}));
  dlg_.ChangeSetting(Row("Print speed"));
  EXPECT_TRUE(dlg_.SaveConfiguration());
  Loaded again(folder_ / "setting/shop.cfg");
  ASSERT_EQ(again.result, 1);
  CConfigDlg reopened(prompt_, ui_);
  reopened.Start(2, again.model, again.file, "shop.cfg", kPrinter, "Shop till", folder_.Path());
  EXPECT_EQ(reopened.Rows()[1].value, "90 mm/s");
}

TEST_F(ConfigDlgTest, DeclinedOverwriteShowsSaveAsAgainWithTheLastTexts) {
  Open("model/tr210.cfg");
  ui_.changeValue.push_back(Type({"180"}));
  dlg_.ChangeSetting(Row("Print speed"));
  const std::string before = test::ReadFile(folder_ / "setting/front_counter.cfg");

  ui_.saveAs.push_back(SaveAs("FRONT_COUNTER.cfg", "Other"));  // exists, ignoring case
  ui_.saveAs.push_back([](CSaveAsDlg& dlg) {
    EXPECT_EQ(dlg.FileName(), "FRONT_COUNTER.cfg");
    EXPECT_EQ(dlg.Description(), "Other");
    return 2;
  });
  EXPECT_FALSE(dlg_.SaveConfiguration());  // overwrite answered No, then Cancel
  EXPECT_EQ(Asked("The same file already exists.\n\nWould you like to overwrite the current file?"),
            1u);
  EXPECT_EQ(dlg_.Mode(), 1);
  EXPECT_EQ(dlg_.FileName(), "tr210.cfg");
  EXPECT_EQ(dlg_.HeaderText(), "Printer : TAVEN TR-210\nDescription : Receipt");
  EXPECT_TRUE(dlg_.IsModified());
  EXPECT_EQ(test::ReadFile(folder_ / "setting/front_counter.cfg"), before);
}

TEST_F(ConfigDlgTest, FailedSaveKeepsTheWindowOpenAndTheEditsMarked) {
  Open("setting/front_counter.cfg");
  ui_.changeValue.push_back(Type({"100"}));
  dlg_.ChangeSetting(Row("Print speed"));
  // The settings folder turns into a file: nothing can be written there.
  fs::remove_all(folder_ / "setting");
  test::WriteFile(folder_ / "setting", "not a folder");

  EXPECT_FALSE(dlg_.SaveConfiguration());
  EXPECT_TRUE(dlg_.IsModified());
  const std::size_t reports = prompt_.AskedSoFar().size();
  EXPECT_GT(reports, 0u);

  prompt_.Push(Answer::kYes);
  EXPECT_EQ(dlg_.Close(true), 0);  // wanted to save, could not: stays open
  EXPECT_TRUE(dlg_.IsModified());
  EXPECT_EQ(dlg_.Close(true), 1);  // "No" this time: Exit
}

TEST_F(ConfigDlgTest, UpdateAndGetPrinterSetting) {
  Open("model/tr210.cfg");
  ui_.updatePrinter.push_back(2);
  dlg_.UpdatePrinter();  // nothing changed: no question
  EXPECT_EQ(prompt_.AskedSoFar().size(), 0u);

  ui_.changeValue.push_back(Type({"180"}));
  dlg_.ChangeSetting(Row("Print speed"));
  ui_.updatePrinter.push_back(1);
  dlg_.UpdatePrinter();  // asked to save, answered No; the dialog runs all the same
  prompt_.Push(Answer::kCancel);
  dlg_.UpdatePrinter();  // question dismissed: back to the window, nothing sent
  EXPECT_EQ(Asked("Do you want to save this configuration?"), 2u);
  EXPECT_TRUE(dlg_.IsModified());

  prompt_.Push(Answer::kOk);
  dlg_.RestoreSetting();
  const unsigned fills = dlg_.FillCount();
  ui_.updatePrinter.push_back(2);
  dlg_.GetPrinterSetting();  // cancelled: nothing changes
  EXPECT_EQ(dlg_.FillCount(), fills);
  EXPECT_FALSE(dlg_.IsModified());
  ui_.updatePrinter.push_back(1);
  dlg_.GetPrinterSetting();
  EXPECT_EQ(dlg_.FillCount(), fills + 1);
  EXPECT_TRUE(dlg_.RestoreEnabled());
  EXPECT_EQ(ui_.updateModes, (std::vector<int>{1, 1, 2, 2}));
}

TEST_F(ConfigDlgTest, ModelWithoutReadCommandOrAdvancedItems) {
  std::string text = test::ReadFile(folder_ / "model/tr210.cfg");
  text.erase(text.find("GetCmd"), text.find('\n', text.find("GetCmd")) - text.find("GetCmd") + 1);
  const std::size_t advance = text.find("[Advance]");
  text.erase(advance, text.find("[End]", advance) + 6 - advance);
  test::WriteFile(folder_ / "model/plain.cfg", text);
  Open("model/plain.cfg");
  EXPECT_FALSE(dlg_.HasGetPrinterSetting());
  EXPECT_FALSE(dlg_.HasAdvancedPage());
  dlg_.GetPrinterSetting();  // no dialog scripted: none may open
  dlg_.SelectPage(model::kAdvancedPage);
  EXPECT_EQ(dlg_.SelectedPage(), model::kBasicPage);
}

TEST_F(ConfigDlgTest, CreateBinaryFileReportsAFileThatCannotBeWritten) {
  Open("model/tr210.cfg");
  ui_.binaryPaths = {"", folder_ / "missing/out.bin"};
  dlg_.CreateBinaryFile();  // cancelled: nothing to report
  EXPECT_TRUE(prompt_.AskedSoFar().empty());
  dlg_.CreateBinaryFile();
  ASSERT_EQ(prompt_.AskedSoFar().size(), 1u);
  EXPECT_EQ(prompt_.AskedSoFar()[0].title, "Pelmora");
  EXPECT_NE(prompt_.AskedSoFar()[0].text.find("missing/out.bin"), std::string::npos);
  EXPECT_EQ(ui_.binaryFolders, (std::vector<std::string>(2, folder_.Path())));
  EXPECT_FALSE(dlg_.IsModified());
}

TEST_F(ConfigDlgTest, PrintsThePageShown) {
  Open("model/tr210.cfg", "Till 2");
  dlg_.SelectPage(model::kAdvancedPage);
  dlg_.PrintSettingList();
  ASSERT_EQ(ui_.printed.size(), 1u);
  const std::vector<std::string>& lines = ui_.printed[0];
  ASSERT_EQ(lines.size(), 4u + 10u);
  EXPECT_EQ(lines[0], "Printer : TAVEN TR-210");
  EXPECT_EQ(lines[1], "Description : Till 2");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Advanced");
  EXPECT_EQ(lines[4], "  Print buffer : 256 KB");
  EXPECT_EQ(lines[8], "  Head rank : 0 ");  // the blank before an empty unit stays
}

}  // namespace
}  // namespace pelmora::app
