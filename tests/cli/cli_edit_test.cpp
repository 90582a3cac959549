// The list, bin and edit commands of pelmora-cli, run as a user would run them
// on a copy of the sample working folder.
#include "cli_test_support.h"

namespace {

using namespace cli_test;

// A private copy of the sample working folder, removed afterwards.
class CliEdit : public testing::Test {
 protected:
  void SetUp() override { fs::copy(kSourceDir / "examples", dir_, fs::copy_options::recursive); }

  std::string Model() const { return (dir_ / "model" / "tr210.cfg").string(); }
  std::string Setting(const std::string& name) const { return (dir_ / "setting" / name).string(); }
  std::vector<std::string> Edit(std::vector<std::string> args) const {
    args.insert(args.begin(), {"edit", Model()});
    return args;
  }

  pelmora::test::TempDir tmp_;
  fs::path dir_ = tmp_.Path();
};

TEST_F(CliEdit, ListsModelsAndSettingsInListingOrder) {
  const RunResult models = RunCli({"list", "models", "--workdir", dir_.string()});
  EXPECT_EQ(models.exitCode, 0) << models.err;
  EXPECT_EQ(models.out,
            "tk30.cfg\tTAVEN TK-30\tKiosk ticket printer, 60 mm\n"
            "tl450.cfg\tTAVEN TL-450\tLabel printer, 4 inch, factory settings\n"
            "tr210.cfg\tTAVEN TR-210\tReceipt printer, 80 mm paper\n");

  fs::remove_all(dir_ / "setting");
  const RunResult none = RunCli({"list", "settings", "--workdir", dir_.string()});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, "No configuration file exists.\n");
  EXPECT_EQ(none.out, "");
}

TEST_F(CliEdit, RefusedEditsWriteNothing) {
  const std::string bin = (dir_ / "out.bin").string();
  const struct {
    std::string name, value, message;
  } cases[] = {
      {"Paper width", "999", "\"Paper width\": This value is out of range.\n"},
      {"Head rank", "1", "\"Head rank\": This item can't change.\n"},
      {"No such item", "1", "There is no item named \"No such item\".\n"},
      {"Auto cutter", "maybe",
       "\"Auto cutter\": \"maybe\" is not a value of \"Auto cutter\"; allowed: \"Enable\" "
       "\"Disable\"\n"},
  };
  for (const auto& c : cases) {
    const RunResult r =
        RunCli(Edit({"--set", "Paper width", "58", "--set", c.name, c.value, "--show", "--bin", bin,
                     "--save-as", "x.cfg", "--workdir", dir_.string()}));
    EXPECT_EQ(r.exitCode, 1) << c.name;
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_FALSE(fs::exists(bin)) << c.name;
    EXPECT_FALSE(fs::exists(Setting("x.cfg"))) << c.name;
  }
}

TEST_F(CliEdit, SavedConfigurationLoadsWithTheEdits) {
  const std::vector<std::string> sets = {"--set", "Paper width", "58",
                                         "--set", "Auto cutter", "Disable"};
  std::vector<std::string> args = sets;
  args.insert(args.end(), {"--show", "--save-as", "Shop.cfg", "--description",
                           "Counter \"A\", back\\room", "--workdir", dir_.string()});
  const RunResult edited = RunCli(Edit(args));
  ASSERT_EQ(edited.exitCode, 0) << edited.err;
  EXPECT_NE(edited.out.find("Basic\tPaper width\t58.0 mm\tchangeable\n"), std::string::npos);
  EXPECT_NE(edited.out.find("Basic\tAuto cutter\tDisable\tchangeable\n"), std::string::npos);

  // The saved file shows exactly what the edit showed, and lists with its description.
  const RunResult reloaded = RunCli({"show", Setting("Shop.cfg")});
  EXPECT_EQ(reloaded.out, edited.out);
  const RunResult listed = RunCli({"list", "settings", "--workdir", dir_.string()});
  EXPECT_NE(listed.out.find("Shop.cfg\tTAVEN TR-210\tCounter \"A\", back\\x5Croom\n"),
            std::string::npos)
      << listed.out;

  // The model's lines, comments included, come first and in order; only the
  // description and the appended data block differ.
  std::istringstream model(ReadFile(Model()));
  std::istringstream saved(ReadFile(Setting("Shop.cfg")));
  std::string a, b;
  while (std::getline(model, a)) {
    ASSERT_TRUE(std::getline(saved, b));
    if (!a.empty() && a.back() == '\r')
      a.pop_back();
    if (a.rfind("Description", 0) == 0) {
      EXPECT_EQ(b, "Description = \"Counter \\22A\\22, back\\5Croom\"");
    } else {
      EXPECT_EQ(b, a);
    }
  }
  ASSERT_TRUE(std::getline(saved, b));
  EXPECT_EQ(b, "[SetData]");
}

TEST_F(CliEdit, SaveNameIsCheckedAndAnExistingOneNeedsOverwrite) {
  // An empty name is a name Save As refuses, not the absence of a save.
  const RunResult empty = RunCli(Edit({"--save-as", "", "--workdir", dir_.string()}));
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.err, "File name is illegal.\n");

  const auto save = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {
        "--set", "Buzzer", "Off", "--save-as", "FRONT_counter.cfg", "--workdir", dir_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(Edit(args));
  };
  const std::string before = ReadFile(Setting("front_counter.cfg"));
  const RunResult refused = save({});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "The same file already exists.\n");
  EXPECT_EQ(ReadFile(Setting("front_counter.cfg")), before);

  const RunResult replaced = save({"--overwrite"});
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  // One file, named as typed.
  EXPECT_FALSE(fs::exists(Setting("front_counter.cfg")));
  const RunResult shown = RunCli({"show", Setting("FRONT_counter.cfg")});
  EXPECT_NE(shown.out.find("\tBuzzer\tOff\t"), std::string::npos) << shown.out;
}

TEST_F(CliEdit, BinaryFileIsTheSameStreamEverywhere) {
  const std::string direct = (dir_ / "direct.bin").string();
  const std::string edited = (dir_ / "edited.bin").string();
  ASSERT_EQ(RunCli({"bin", Setting("front_counter.cfg"), direct}).exitCode, 0);
  ASSERT_EQ(RunCli({"edit", Setting("front_counter.cfg"), "--bin", edited}).exitCode, 0);
  const std::string bytes = ReadFile(direct);
  EXPECT_EQ(bytes, ReadFile(edited));
  ASSERT_GT(bytes.size(), 5u);
  const RunResult toStdout = RunCli({"bin", Setting("front_counter.cfg"), "-"});
  EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out, bytes);

  const RunResult failed = RunCli({"bin", Model(), (dir_ / "no" / "such" / "dir.bin").string()});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.err.find("No such file or directory"), std::string::npos) << failed.err;
}

}  // namespace
