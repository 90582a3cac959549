// The Change Setting and Save As dialogs and the printed lines, without widgets.
#include <gtest/gtest.h>

#include "app/logic/change_choice_dlg.h"
#include "app/logic/change_value_dlg.h"
#include "app/logic/print_setting_list.h"
#include "app/logic/save_as_dlg.h"
#include "editor_test_support.h"
#include "model/item_text.h"
#include "model/user_prompt.h"
#include "scripted_prompt.h"

namespace pelmora::app {
namespace {

using pelmora::test::CScriptedPrompt;
using test::Loaded;
using test::SampleFolder;

TEST(StripUnitTest, KeepsTheNumberBeforeTheUnit) {
  const struct {
    const char* text;
    const char* unit;
    const char* value;
  } cases[] = {
      {"12.30 mm", "mm", "12.30"}, {"-5 ", "", "-5"},           {"12.30 mm", "in", ""},
      {" 7 mm/s", "mm", "7"},      {"1/6 inch", "inch", "1/6"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripUnit(c.text, c.unit), c.value) << c.text;
}

class ChangeDlgTest : public ::testing::Test {
 protected:
  ChangeDlgTest() : loaded_(folder_ / "model/tr210.cfg") {}
  // Row index of `name` on `page`.
  int Row(model::Page page, const std::string& name) const {
    const auto& items = loaded_.model.Items(page);
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].name == name)
        return static_cast<int>(i);
    return -1;
  }
  std::string Text(model::Page page, const std::string& name) const {
    return model::GetItemText(loaded_.model,
                              loaded_.model.Items(page)[static_cast<std::size_t>(Row(page, name))]);
  }

  SampleFolder folder_;
  Loaded loaded_;
  CScriptedPrompt prompt_;
};

TEST_F(ChangeDlgTest, NumberWithCautionAndRangeCheck) {
  CChangeValueDlg dlg(prompt_);
  const int row = Row(model::kBasicPage, "Print density");
  const int result = dlg.DoModal(loaded_.model, model::kBasicPage, row, "0 ", [&](auto& d) {
    EXPECT_EQ(d.ItemName(), "Print density");
    EXPECT_EQ(d.Caution(), "Higher density shortens the life of the print head.");
    EXPECT_FALSE(d.MoveValueUp());
    EXPECT_FALSE(d.HasChoices());
    EXPECT_EQ(d.ValueText(), "0");
    EXPECT_FALSE(d.OnOk("4", -1));
    EXPECT_FALSE(d.OnOk("1x", -1));
    EXPECT_TRUE(d.OnOk("-3", -1));
    return 1;
  });
  EXPECT_EQ(result, 1);
  ASSERT_EQ(prompt_.AskedSoFar().size(), 2u);
  EXPECT_EQ(prompt_.AskedSoFar()[0].title, "Pelmora");
  EXPECT_EQ(prompt_.AskedSoFar()[0].text, "This value is out of range.");
  EXPECT_EQ(Text(model::kBasicPage, "Print density"), "-3 ");
}

TEST_F(ChangeDlgTest, NumberWithChoicesTakesAPickedEntryWithoutRangeCheck) {
  const int row = Row(model::kBasicPage, "Line spacing");
  CChangeValueDlg dlg(prompt_);
  // "1/8" picked from the list is stored as its raw value.
  EXPECT_EQ(dlg.DoModal(loaded_.model, model::kBasicPage, row, "1/6 inch",
                        [](CChangeValueDlg& d) {
                          EXPECT_TRUE(d.MoveValueUp());  // no caution text
                          EXPECT_EQ(d.ChoiceNames(), (std::vector<std::string>{"1/6", "1/8"}));
                          EXPECT_EQ(d.ValueText(), "1/6");
                          return d.OnOk("1/8", 1) ? 1 : 2;
                        }),
            1);
  EXPECT_EQ(Text(model::kBasicPage, "Line spacing"), "1/8 inch");
  // OK on the unchanged text keeps the choice.
  EXPECT_EQ(dlg.DoModal(loaded_.model, model::kBasicPage, row, "1/8 inch",
                        [](CChangeValueDlg& d) { return d.OnOk(d.ValueText(), -1) ? 1 : 2; }),
            1);
  EXPECT_TRUE(prompt_.AskedSoFar().empty());
  EXPECT_EQ(Text(model::kBasicPage, "Line spacing"), "1/8 inch");
}

TEST_F(ChangeDlgTest, ChoiceDialogOpensOnTheCurrentEntry) {
  struct Case {
    model::Page page;
    const char* item;
    const char* current;
    int selected;
  } cases[] = {
      {model::kBasicPage, "Buzzer", "On", 0},
      {model::kBasicPage, "Buzzer", "Off", 1},
      {model::kBasicPage, "Buzzer", "on", 1},  // compared exactly
      {model::kBasicPage, "Code page", "PC858 (Euro)", 2},
      {model::kBasicPage, "Code page", "nothing like it", 0},
      {model::kAdvancedPage, "Data length", "7 bits", 1},
  };
  for (const Case& c : cases) {
    CChangeChoiceDlg dlg(prompt_);
    int selected = -1;
    EXPECT_EQ(dlg.DoModal(loaded_.model, c.page, Row(c.page, c.item), c.current,
                          [&](CChangeChoiceDlg& d) {
                            selected = d.Selected();
                            return 2;
                          }),
              2);
    EXPECT_EQ(selected, c.selected) << c.item << " " << c.current;
  }
}

TEST_F(ChangeDlgTest, ChoiceDialogStoresTheEntryChosen) {
  CChangeChoiceDlg dlg(prompt_);
  const int row = Row(model::kBasicPage, "Code page");
  EXPECT_EQ(dlg.DoModal(loaded_.model, model::kBasicPage, row, "PC437 (USA)",
                        [](CChangeChoiceDlg& d) {
                          EXPECT_TRUE(d.MoveValueUp());
                          d.OnOk(3);
                          return 1;
                        }),
            1);
  EXPECT_EQ(dlg.SelectedText(), "PC866 (Cyrillic)");
  EXPECT_EQ(Text(model::kBasicPage, "Code page"), "PC866 (Cyrillic)");
}

TEST(SaveAsDlgTest, RefusedNamesKeepTheDialogOpenAndCancelKeepsTheTexts) {
  CScriptedPrompt prompt;
  CSaveAsDlg dlg(prompt);
  std::string name = "tr210.cfg";
  std::string description = "Receipt";
  EXPECT_EQ(dlg.DoModal(name, description,
                        [](CSaveAsDlg& d) {
                          EXPECT_EQ(d.FileName(), "tr210.cfg");
                          EXPECT_FALSE(d.OnSave("noext", "x"));
                          EXPECT_FALSE(d.OnSave("a.b.cfg", "x"));
                          EXPECT_TRUE(d.OnSave("new name.cfg", "typed"));
                          return 2;  // and then Cancel after all
                        }),
            2);
  EXPECT_EQ(name, "tr210.cfg");
  EXPECT_EQ(description, "Receipt");
  ASSERT_EQ(prompt.AskedSoFar().size(), 2u);
  EXPECT_EQ(prompt.AskedSoFar()[0].text, "File name is illegal.");
  EXPECT_EQ(prompt.AskedSoFar()[1].text, "There are wrong charactors in file name.");

  EXPECT_EQ(dlg.DoModal(name, description,
                        [](CSaveAsDlg& d) { return d.OnSave("shop.cfg", "") ? 1 : 2; }),
            1);
  EXPECT_EQ(name, "shop.cfg");
  EXPECT_EQ(description, "");
}

TEST(PrintLayoutTest, LinesAtMultiplesOfTheCharacterHeightCutAtThePage) {
  const std::vector<CListRow> rows = {{"Speed", "150 mm/s"}, {"Density", "0 "}, {"Mode", "Draft"}};
  CPrintRequest request{"TAVEN T1", "Shop", false, rows, {}};
  const std::vector<CPrintLine> all = LayoutSettingList(request, 40);
  ASSERT_EQ(all.size(), 7u);
  const char* texts[] = {
      "Printer : TAVEN T1", "Description : Shop", "", "Basic", "  Speed : 150 mm/s",
      "  Density : 0 ",     "  Mode : Draft"};
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].top, static_cast<int>(i + 1) * 40);
    EXPECT_EQ(all[i].text, texts[i]);
  }
  // A sheet 240 units high keeps the lines whose top lies above its end.
  EXPECT_EQ(LayoutSettingList(request, 40, 240).size(), 5u);
  request.advancedPage = true;
  EXPECT_EQ(LayoutSettingList(request, 40)[3].text, "Advanced");
}

}  // namespace
}  // namespace pelmora::app
