// Folder listings of model definitions and saved configurations: which names are
// kept, the results and their messages, and the order of the rows.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "model_test_support.h"
#include "scripted_prompt.h"

namespace pelmora::model::test {
namespace {

// A file that lists: PrinterName in the header, Description in [Option].
std::string Def(const std::string& printer, const std::string& description = "Desc") {
  return "Version = 0110\nPrinterName = \"" + printer + "\"\n[Standard]\n[End]\n[Option]\n" +
         "Description = \"" + description + "\"\n[End]\n";
}

// Contents that make the entry something other than a regular file.
const std::string kDir = "<dir>", kDangling = "<dangling>", kFifo = "<fifo>",
                  kDevNull = "<link to /dev/null>", kDevZero = "<link to /dev/zero>",
                  kHuge = "<4 GiB sparse>";

struct Entry {
  std::string name;
  std::string content;
};
using Row = std::array<std::string, 3>;  // file, printer, description

struct ListCase {
  const char* what;
  bool models;  // ListModels on model/, else ListSettings on setting/
  bool folder;  // whether the folder exists at all
  std::vector<Entry> files;
  int result;
  std::vector<Row> rows = {};
  // For 20 and 0xFF00: the file named; for 0xFF00 the code and the line that
  // starts with `at` in that file (nullptr: the end of the file).
  std::string file = {};
  std::uint32_t code = 0;
  const char* at = nullptr;
};

void Make(const std::string& folder, const Entry& e) {
  const std::string path = folder + "/" + e.name;
  if (e.content == kDir) {
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
  } else if (e.content == kDangling) {
    ASSERT_EQ(::symlink("nowhere.cfg", path.c_str()), 0) << path;
  } else if (e.content == kFifo) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
  } else if (e.content == kDevNull || e.content == kDevZero) {
    ASSERT_EQ(::symlink(e.content == kDevNull ? "/dev/null" : "/dev/zero", path.c_str()), 0);
  } else if (e.content == kHuge) {
    std::ofstream(path, std::ios::binary) << Def("Huge");
    ASSERT_EQ(::truncate(path.c_str(), off_t{4} << 30), 0) << path;
  } else {
    std::ofstream(path, std::ios::binary) << e.content;
  }
}

std::string FormMessage(const std::string& file, std::uint32_t code, std::uint32_t line) {
  char tail[64];
  std::snprintf(tail, sizeof tail, "\n ErrorCode = 0x%08X\n Line = %u", code, line);
  return "The form of the file isn't right.\n File Name = " + file + tail;
}

TEST(ListingTest, ResultsRowsAndMessages) {
  const std::string noPrinter = "Version = 0110\n[Option]\nDescription = \"D\"\n[End]\n";
  const std::string noDescription = "PrinterName = \"P\"\n[Option]\n[End]\n! end\n";
  const std::string neither = "Version = 0110\n\n[Option]\n[End]\n";
  // clang-format off
  const ListCase cases[] = {
      {"no folder", true, false, {}, kResultNoFile},
      {"empty folder", false, true, {}, kResultNoFile},
      {"only names that are not kept", true, true,
       {{"a.b.cfg", Def("P")}, {"a.txt", Def("P")}, {"cfg", Def("P")}, {"a.cfgx", Def("P")},
        {"dir.cfg", kDir}, {".temp.cfg.Ab12Cd", "garbage"}},
       kResultNoFile},
      // Further points are left out of the extension: "c..cfg" has the extension cfg.
      {"the extension is compared ignoring case", false, true,
       {{"B.CFG", Def("P", "upper")}, {"a.b.cfg", "garbage"}, {"c..cfg", Def("Q", "points")}},
       kResultOk, {{"B.CFG", "P", "upper"}, {"c..cfg", "Q", "points"}}},
      {"escapes are read, overlong text is cut", true, true,
       {{"a.cfg", Def("A\\22B", std::string(300, 'd'))}},
       kResultOk, {{"a.cfg", "A\"B", std::string(258, 'd')}}},
      {"reading stops once both are found", true, true,
       {{"a.cfg", Def("P") + "[Option]\nDescription = broken\n"}},
       kResultOk, {{"a.cfg", "P", "Desc"}}},
      // Entries that are no file to list are passed over, never waited on (a
      // FIFO), never read endlessly (/dev/zero), and a file too large to ever
      // load is not read at all.
      {"hostile entries are passed over", false, true,
       {{"a.cfg", Def("P")}, {"b.cfg", kDangling}, {"c.cfg", kFifo}, {"d.cfg", kDevNull},
        {"e.cfg", kDevZero}, {"f.cfg", kHuge}, {"g.cfg", kDir}},
       kResultOk, {{"a.cfg", "P", "Desc"}}},
      {"nothing but hostile entries", true, true,
       {{"b.cfg", kDangling}, {"c.cfg", kFifo}, {"d.cfg", kDevNull}, {"f.cfg", kHuge}},
       kResultNoFile},
      // Read a window at a time: a line far longer than a window, and [Option]
      // several windows in.
      {"a large file", true, true,
       {{"a.cfg", "PrinterName = \"P\"\n[Standard]\n" + std::string(200000, 'x') + "\n" +
                      std::string(300000, '\n') + "[Option]\n" +
                      "! " + std::string(100000, 'c') + "\nDescription = \"far\"\n"}},
       kResultOk, {{"a.cfg", "P", "far"}}},
      {"an error's line counts the lines of earlier windows", true, true,
       {{"x.cfg", std::string(100000, '\n') + "PrinterName = P\n"}},
       kResultFormError, {}, "x.cfg", 1, "PrinterName"},
      {"the first failing file in name order", true, true,
       {{"c.cfg", kDangling}, {"a.cfg", Def("P")}, {"b.cfg", noPrinter}},
       kResultFormError, {}, "b.cfg", 1},
      {"no PrinterName", true, true, {{"x.cfg", noPrinter}}, kResultFormError, {}, "x.cfg", 1},
      {"no Description", true, true, {{"x.cfg", noDescription}}, kResultFormError, {}, "x.cfg", 2},
      {"neither", false, true, {{"x.cfg", neither}}, kResultFormError, {}, "x.cfg", 3},
      {"PrinterName outside the header does not count", true, true,
       {{"x.cfg", "[Standard]\nPrinterName = \"P\"\n[Option]\nDescription = \"D\"\n[End]\n"}},
       kResultFormError, {}, "x.cfg", 1},
      {"Description outside [Option] does not count", true, true,
       {{"x.cfg", "PrinterName = \"P\"\nDescription = \"D\"\n[End]\n"}},
       kResultFormError, {}, "x.cfg", 2},
      {"PrinterName not quoted", true, true,
       {{"x.cfg", "Version = 0110\nPrinterName = TAVEN\n[Option]\nDescription = \"D\"\n"}},
       kResultFormError, {}, "x.cfg", 1, "PrinterName"},
      {"Description without its closing quote", true, true,
       {{"x.cfg", "PrinterName = \"P\"\n[Option]\n\nDescription = \"D\n[End]\n"}},
       kResultFormError, {}, "x.cfg", 2, "Description"},
      {"PrinterName line over 1024 characters", true, true,
       {{"x.cfg", "PrinterName = \"" + std::string(1010, 'p') + "\"\n[Option]\nDescription = \"D\"\n"}},
       kResultFormError, {}, "x.cfg", 1, "PrinterName"},
      {"a 0xFF byte ends the text", true, true,
       {{"x.cfg", "PrinterName = \"P\"\n[Option]\n\xFF" "Description = \"D\"\n"}},
       kResultFormError, {}, "x.cfg", 2},
      {"models sort by printer name, upper case first", true, true,
       {{"1.cfg", Def("Model B")}, {"2.cfg", Def("model a")}, {"3.cfg", Def("Model a")},
        {"4.cfg", Def("Model A")}},
       kResultOk,
       {{"4.cfg", "Model A", "Desc"}, {"1.cfg", "Model B", "Desc"}, {"3.cfg", "Model a", "Desc"},
        {"2.cfg", "model a", "Desc"}}},
      // Position i takes the first smallest row and swaps it in, which moves a.cfg
      // behind c.cfg although both have the same printer name.
      {"the selection sort on equal printer names", true, true,
       {{"a.cfg", Def("P2")}, {"b.cfg", Def("P1")}, {"c.cfg", Def("P2")}, {"d.cfg", Def("P1")}},
       kResultOk,
       {{"b.cfg", "P1", "Desc"}, {"d.cfg", "P1", "Desc"}, {"c.cfg", "P2", "Desc"},
        {"a.cfg", "P2", "Desc"}}},
      {"settings sort by file name, upper case first", false, true,
       {{"b.cfg", Def("1")}, {"B.cfg", Def("2")}, {"a.cfg", Def("3")}, {"A.cfg", Def("4")}},
       kResultOk,
       {{"A.cfg", "4", "Desc"}, {"B.cfg", "2", "Desc"}, {"a.cfg", "3", "Desc"},
        {"b.cfg", "1", "Desc"}}},
  };
  // clang-format on

  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir base;
    const std::string folder = base.Path() + (c.models ? "/model" : "/setting");
    // The other folder holds a file that lists, to show it is not the one read.
    ASSERT_EQ(::mkdir((base.Path() + (c.models ? "/setting" : "/model")).c_str(), 0755), 0);
    base.Write(c.models ? "setting/z.cfg" : "model/z.cfg", Def("Wrong folder"));
    if (c.folder) {
      ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    for (const Entry& e : c.files) Make(folder, e);

    CModelFile file;
    CScriptedPrompt prompt;
    std::vector<CFileInfo> rows{{"stale", "stale", "stale"}};
    const int result = c.models ? file.ListModels(prompt, rows, base.Path())
                                : file.ListSettings(prompt, rows, base.Path());
    ASSERT_EQ(result, c.result);
    EXPECT_TRUE(prompt.AskedSoFar().empty());

    std::vector<Row> got;
    if (result == kResultOk) {
      for (const CFileInfo& r : rows) got.push_back({r.fileName, r.printerName, r.description});
    }
    EXPECT_EQ(got, c.rows);

    std::vector<std::string> messages;
    if (result == kResultNoFile)
      messages = {"No configuration file exists."};
    if (result == kResultOpenFailed) {
      messages = {c.file + "cfg file don't open it.", "No configuration file exists."};
    }
    if (result == kResultFormError) {
      std::string text;
      for (const Entry& e : c.files) {
        if (e.name == c.file)
          text = e.content;
      }
      const std::uint32_t line = c.at ? LineOf(text, c.at) : EofLine(text);
      ASSERT_NE(line, 0u);
      EXPECT_EQ(file.GetErrorCode(), c.code);
      EXPECT_EQ(file.GetLineNumber(), line);
      messages = {FormMessage(c.file, c.code, line)};
    }
    if (result != kResultOk) {
      EXPECT_EQ(file.CurrentFileName(), c.file.empty() ? "Unidentified" : c.file);
    }
    EXPECT_EQ(ListResultMessages(result, file), messages);
  }
}

TEST(ListingTest, MessagesOfOtherResults) {
  const CModelFile fresh;
  EXPECT_EQ(fresh.CurrentFileName(), "Unidentified");
  EXPECT_EQ(ListResultMessages(kResultException, fresh),
            std::vector<std::string>{"Error! An exception occurred."});
  EXPECT_EQ(ListResultMessages(kResultNoMemory, fresh),
            std::vector<std::string>{"It is short of memory."});
  EXPECT_EQ(ListResultMessages(kResultFormError, fresh),
            std::vector<std::string>{FormMessage("Unidentified", 0, 0)});
  for (const int silent : {kResultOk, kResultBadVersion, 0, 99}) {
    EXPECT_TRUE(ListResultMessages(silent, fresh).empty()) << silent;
  }
}

// Root reads any file, so the unreadable file is listed as nobody when the
// test runs as root. The child reports the listing result as its exit status.
TEST(ListingTest, UnreadableFile) {
  TempDir base;
  ASSERT_EQ(::chmod(base.Path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((base.Path() + "/model").c_str(), 0755), 0);
  const std::string path = base.Write("model/a.cfg", Def("P"));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(77);
    }
    CModelFile file;
    CScriptedPrompt prompt;
    std::vector<CFileInfo> rows;
    const int result = file.ListModels(prompt, rows, base.Path());
    const std::vector<std::string> messages = {"a.cfgcfg file don't open it.",
                                               "No configuration file exists."};
    ::_exit(result == kResultOpenFailed && ListResultMessages(result, file) == messages ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77)
    GTEST_SKIP() << "cannot change to user 65534 to lose root's access";
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "listing an unreadable file did not give 20 and its messages naming a.cfg";
}

}  // namespace
}  // namespace pelmora::model::test
