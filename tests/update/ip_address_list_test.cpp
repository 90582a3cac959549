#include "update/ip_address_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/user_prompt.h"
#include "scripted_prompt.h"
#include "update/ip_address_list_dlg.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

using model::Answer;
using test::ReadFile;
using test::TempCwd;
using test::WriteFile;
using Entries = std::vector<CIPAddressEntry>;

constexpr const char* kFile = "IPAddress.lst";

struct LoadCase {
  const char* name;
  std::string file;
  Entries expected;
};

// Test names and failure output show the case by its name.
void PrintTo(const LoadCase& c, std::ostream* os) {
  *os << c.name;
}

class LoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, ReadsEveryLineIntoTheSavedList) {
  TempCwd cwd;
  WriteFile(kFile, GetParam().file);
  CIPAddressList list;
  list.Load();
  EXPECT_EQ(list.SavedList(), GetParam().expected);
  EXPECT_TRUE(list.TargetList().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LoadTest,
    ::testing::Values(
        LoadCase{"Plain",
                 "\"10.0.0.1\",\"Front desk\"\r\n\"10.0.0.2\",\"Back\"\r\n",
                 {{"10.0.0.1", "Front desk"}, {"10.0.0.2", "Back"}}},
        LoadCase{
            "CommaInsideQuotes", "\"10.0.0.1\",\"Desk, left\"\r\n", {{"10.0.0.1", "Desk, left"}}},
        LoadCase{"NoQuotes", "10.0.0.1,desk\r\n", {{"", ""}}},
        LoadCase{"BlankLineIsAnEntry",
                 "\"a\",\"b\"\r\n\r\n\"c\",\"d\"\r\n",
                 {{"a", "b"}, {"", ""}, {"c", "d"}}},
        LoadCase{"LastLineWithoutEnd", "\"a\",\"b\"\r\n\"c\",\"d\"", {{"a", "b"}, {"c", "d"}}},
        LoadCase{"LineFeedsOnly", "\"a\",\"b\"\n\"c\",\"d\"\n", {{"a", "b"}, {"c", "d"}}},
        LoadCase{"EmptyFile", "", {}},
        // The comma after the first text is inside an unclosed quote, so the
        // whole line is the first field.
        LoadCase{"OddQuotes", "\"abc,\"d\"\r\n", {{"abc,\"d", ""}}},
        // Only the first unquoted comma separates; the others are dropped.
        LoadCase{"ExtraCommas", "\"a\",,\"b\",x\r\n", {{"a", "b"}}},
        LoadCase{"TextOutsideQuotes", "x\"a\"y,\"b\"z\r\n", {{"a", "b"}}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(IPAddressListTest, MissingFileGivesEmptyListsAndNoFile) {
  TempCwd cwd;
  CIPAddressList list;
  list.Load();
  EXPECT_TRUE(list.SavedList().empty());
  EXPECT_FALSE(list.IsFileOpen());
  list.Save();
  EXPECT_FALSE(std::filesystem::exists(kFile));
}

TEST(IPAddressListTest, SaveWritesTargetsFirstThenSavedEntriesThatAreNoTargets) {
  TempCwd cwd;
  WriteFile(kFile, "\"10.0.0.1\",\"One\"\r\n\r\n\"10.0.0.2\",\"Two\"\r\n\"printer-A\",\"Old\"\r\n");
  CIPAddressList list;
  list.Load();
  list.AddTarget("PRINTER-a", "New");
  list.AddTarget("10.0.0.9", "Nine");
  list.Save();
  EXPECT_FALSE(list.IsFileOpen());
  EXPECT_EQ(ReadFile(kFile),
            "\"PRINTER-a\",\"New\"\r\n"
            "\"10.0.0.9\",\"Nine\"\r\n"
            "\"10.0.0.1\",\"One\"\r\n"
            "\"\",\"\"\r\n"
            "\"10.0.0.2\",\"Two\"\r\n");

  // The written file reads back as the same printers.
  CIPAddressList again;
  again.Load();
  EXPECT_EQ(again.SavedList(), (Entries{{"PRINTER-a", "New"},
                                        {"10.0.0.9", "Nine"},
                                        {"10.0.0.1", "One"},
                                        {"", ""},
                                        {"10.0.0.2", "Two"}}));
}

TEST(IPAddressListTest, SaveWithBothListsEmptyDeletesTheFile) {
  TempCwd cwd;
  WriteFile(kFile, "\"10.0.0.1\",\"One\"\r\n");
  CIPAddressList list;
  list.Load();
  list.SavedList().clear();
  list.Save();
  EXPECT_FALSE(std::filesystem::exists(kFile));
}

TEST(IPAddressListTest, LaterSaveRecreatesTheFile) {
  TempCwd cwd;
  CIPAddressList list;
  list.Load();
  list.AddTarget("10.0.0.1", "One");
  list.Save();
  list.AddTarget("10.0.0.2", "Two");
  list.Save();
  EXPECT_EQ(ReadFile(kFile), "\"10.0.0.1\",\"One\"\r\n\"10.0.0.2\",\"Two\"\r\n");
}

TEST(IPAddressListTest, DestroyingWithoutSaveLeavesTheFileAlone) {
  TempCwd cwd;
  const std::string text = "\"10.0.0.1\",\"One\"\r\n";
  WriteFile(kFile, text);
  {
    CIPAddressList list;
    list.Load();
    list.AddTarget("10.0.0.2", "Two");
    list.SavedList().clear();
  }
  EXPECT_EQ(ReadFile(kFile), text);
}

TEST(IPAddressListTest, FileThatCannotBeCreatedIsSkipped) {
  TempCwd cwd;
  std::filesystem::create_directory(kFile);
  CIPAddressList list;
  list.AddTarget("10.0.0.1", "One");
  list.Save();
  EXPECT_TRUE(std::filesystem::is_directory(kFile));
}

TEST(IPAddressListTest, TargetsAreMatchedIgnoringCase) {
  CIPAddressList list("unused.lst");
  list.AddTarget("host-a", "A");
  list.AddTarget("10.0.0.2", "B");
  list.AddTarget("HOST-A", "A again");
  EXPECT_EQ(list.TargetList(), (Entries{{"HOST-A", "A again"}, {"10.0.0.2", "B"}}));
  EXPECT_EQ(list.FindTarget("Host-A"), 0);
  EXPECT_EQ(list.FindTarget("10.0.0.3"), -1);
  list.RemoveTarget("10.0.0.3");
  EXPECT_EQ(list.TargetList().size(), 2u);
  list.RemoveTarget("host-a");
  EXPECT_EQ(list.TargetList(), (Entries{{"10.0.0.2", "B"}}));
}

TEST(IPAddressListDlgTest, SelectTakesTheFirstSelectedRow) {
  Entries saved{{"10.0.0.1", "One"}, {"10.0.0.2", "Two"}, {"10.0.0.3", "Three"}};
  pelmora::test::CScriptedPrompt prompt;
  CIPAddressListDlg dlg(saved, prompt);
  dlg.OnInitDialog();
  EXPECT_FALSE(dlg.OnSelect({}));
  EXPECT_EQ(dlg.ChosenIPAddress(), "");
  const int rows[] = {2, 1};
  EXPECT_TRUE(dlg.OnSelect(rows));
  EXPECT_EQ(dlg.ChosenIPAddress(), "10.0.0.2");
  EXPECT_EQ(dlg.ChosenDescription(), "Two");

  Entries none;
  CIPAddressListDlg empty(none, prompt);
  empty.OnInitDialog();
  const int first[] = {0};
  EXPECT_FALSE(empty.OnSelect(first));
}

TEST(IPAddressListDlgTest, RemoveAsksThenDeletesTheSavedEntry) {
  Entries saved{{"host-a", "One"}, {"10.0.0.2", "Two"}, {"HOST-A", "Three"}};
  pelmora::test::CScriptedPrompt prompt;
  prompt.Push(Answer::kCancel);
  prompt.Push(Answer::kOk);
  CIPAddressListDlg dlg(saved, prompt);
  dlg.OnInitDialog();

  dlg.OnRemove({});
  EXPECT_TRUE(prompt.AskedSoFar().empty());

  const int third[] = {2};
  dlg.OnRemove(third);
  EXPECT_EQ(saved.size(), 3u);
  // The row's address matches the first saved entry, whatever its case.
  dlg.OnRemove(third);
  EXPECT_EQ(saved, (Entries{{"10.0.0.2", "Two"}, {"HOST-A", "Three"}}));
  EXPECT_EQ(dlg.Rows(), saved);
  ASSERT_EQ(prompt.AskedSoFar().size(), 2u);
  EXPECT_EQ(prompt.AskedSoFar()[0].title, "Warning");
  EXPECT_EQ(prompt.AskedSoFar()[0].text, "Removing printer will permanently delete printer.");
  EXPECT_EQ(prompt.AskedSoFar()[0].buttons, model::Buttons::kOkCancel);
}

}  // namespace
}  // namespace pelmora::update
