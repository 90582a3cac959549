// Saving configurations: the copy of the source text, round trips through the
// reader, the overwrite question, and real faults during the write (injected
// through the file-operation seam, a full tmpfs, a folder owned by someone
// else, and a process killed in the middle of a save).
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <regex>
#include <stdexcept>

#include "model/file_ops.h"
#include "model/item_text.h"
#include "model/user_prompt.h"
#include "model_test_support.h"
#include "scripted_prompt.h"

namespace pelmora::model::test {
namespace {

using detail::FileOps;

constexpr std::string_view kSaveFailed =
    "Error! An exception happened, and a file couldn't be kept.";
constexpr std::string_view kOverwriteQuestion =
    "The same file already exists.\n\nWould you like to overwrite the current file?";

std::string Example(const std::string& name) {
  return std::string(PELMORA_SOURCE_DIR) + "/examples/" + name;
}

std::optional<std::string> ReadAll(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The entries of a folder, sorted; empty when it does not exist.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(std::string text) {
  std::erase(text, '\r');
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos)
      break;  // an unfinished last line is not a line
    lines.push_back(text.substr(pos, lf - pos));
    pos = lf + 1;
  }
  return lines;
}

// Every item of both pages with the text the window shows for it.
std::vector<std::string> ItemTexts(const CStatDataObj& model) {
  std::vector<std::string> out;
  for (const Page page : {kBasicPage, kAdvancedPage}) {
    for (const CItem& item : model.Items(page))
      out.push_back(item.name.Str() + " = " + GetItemText(model, item));
  }
  return out;
}

const CItem& ItemNamed(const CStatDataObj& model, const std::string& name) {
  for (const Page page : {kBasicPage, kAdvancedPage}) {
    for (const CItem& item : model.Items(page)) {
      if (item.name == name)
        return item;
    }
  }
  throw std::runtime_error("no item " + name);
}

// Gives every changeable item another value it accepts; returns how many changed.
int EditAll(CStatDataObj& model) {
  int changed = 0;
  for (const Page page : {kBasicPage, kAdvancedPage}) {
    for (const CItem& item : model.Items(page)) {
      if (!item.changeable)
        continue;
      const std::string before = GetItemText(model, item);
      std::vector<std::string> candidates;
      if (item.type == kBitItem)
        candidates = {item.OnText().Str(), item.OffText().Str()};
      for (auto c = item.Choices().rbegin(); c != item.Choices().rend(); ++c)
        candidates.push_back(c->name.Str());
      if (item.type == kNumberItem && item.Choices().empty()) {
        for (const char* t : {"1", "2", "3", "-1", "0.5", "10", "100", "0"}) {
          if (CheckValue(item, t))
            candidates.push_back(t);
        }
      }
      for (const std::string& t : candidates) {
        SetItemText(model, item, t);
        if (GetItemText(model, item) != before) {
          ++changed;
          break;
        }
      }
    }
  }
  return changed;
}

// A loaded configuration with a scratch base folder to save into.
struct Session {
  TempDir dir;
  CModelFile file;
  CStatDataObj model;
  CScriptedPrompt prompt;

  const std::string& Base() const { return dir.Path(); }
  std::string Folder() const { return dir.Path() + "/setting"; }
  std::string Saved(const std::string& name) const { return Folder() + "/" + name; }
  int LoadText(const std::string& text) { return file.Load(model, dir.Write("source.cfg", text)); }
  void Set(const std::string& item, const std::string& text) {
    SetItemText(model, ItemNamed(model, item), text);
  }
  // The text a save with `description` writes now.
  std::string Expected(std::string_view description) {
    file.RefreshSetData();
    return file.WriteSettingCopy(description);
  }
};

struct Reloaded {
  CModelFile file;
  CStatDataObj model;
  int result;
  explicit Reloaded(const std::string& path) : result(file.Load(model, path)) {}
};

// A small definition with two number items at 0010 and 0011, padded with
// comment lines so that its text takes more than one 4 KiB page.
std::string PaddedText() {
  Cfg c;
  c.extraHeader = "PrinterName = \"TAVEN Pad\"\n";
  for (int i = 0; i < 80; ++i) c.extraHeader += "! padding " + std::string(60, 'p') + "\n";
  c.standard += "\"Mode\" : type = number, address = 0011, range = (0, 255), scale = 1\n";
  c.defaults = "0010:0509\n";
  c.mask = "0010:0000\n";
  return c.Text();
}

// ---------------------------------------------------------------------------
// The copy of the source text.

TEST(SaveTest, SettingKeepsEveryLineAndRewritesSetDataInPlace) {
  const std::string source =
      "! a saved configuration\r\n"
      "Version = 0110\r\n"
      "PrinterName = \"TAVEN Fixture\"\n"
      "CmdLine = 1B57MMNNXX\nModelName = \"TAVEN T1\"\nInterface = \"Serial\"\n"
      "DriverName = \"TAVEN Driver\"\n"
      "\n"
      "[Standard]\n"
      "\"Speed\" : type = number, address = 0010, range = (0, 255), scale = 1\n"
      "\"Mode\" : type = number, address = 0021, range = (0, 255), scale = 1\n"
      "[End]\n"
      "[Default]\n0010:05xx\n0020:0102\n[End]\n"
      "[Mask]\n0010:0000\n0020:0000\n[End]\n"
      "[Option]\n"
      "! \"quoted\" comment\n"
      "Description = \"Old \\22one\\22\"   ! kept\n"
      "[End]\n"
      "   \n"
      "[SetData]\n"
      "! values as last saved\n"
      "0010:07xx! speed\n"
      "\n"
      "  0020:0304\n"
      "[End]\n"
      "! trailer\n";
  Session s;
  ASSERT_EQ(s.LoadText(source), kResultOk);
  s.Set("Speed", "9");
  s.Set("Mode", "200");
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "fixture.cfg", "New \"two\""), 1);
  EXPECT_TRUE(s.prompt.AskedSoFar().empty());
  const std::string expected =
      "! a saved configuration\n"
      "Version = 0110\n"
      "PrinterName = \"TAVEN Fixture\"\n"
      "CmdLine = 1B57MMNNXX\nModelName = \"TAVEN T1\"\nInterface = \"Serial\"\n"
      "DriverName = \"TAVEN Driver\"\n"
      "\n"
      "[Standard]\n"
      "\"Speed\" : type = number, address = 0010, range = (0, 255), scale = 1\n"
      "\"Mode\" : type = number, address = 0021, range = (0, 255), scale = 1\n"
      "[End]\n"
      "[Default]\n0010:05xx\n0020:0102\n[End]\n"
      "[Mask]\n0010:0000\n0020:0000\n[End]\n"
      "[Option]\n"
      "! \"quoted\" comment\n"
      "Description = \"New \\22two\\22\"   ! kept\n"
      "[End]\n"
      "   \n"
      "[SetData]\n"
      "! values as last saved\n"
      "0010:09XX! speed\n"
      "\n"
      "  0020:03C8\n"
      "[End]\n"
      "! trailer\n";
  EXPECT_EQ(ReadAll(s.Saved("fixture.cfg")), expected);
  EXPECT_EQ(s.model.FilePath(), s.Saved("fixture.cfg"));
}

TEST(SaveTest, ModelGetsSetDataBlockWithAddressForms) {
  Cfg c;
  c.extraHeader = "PrinterName = \"TAVEN Fixture\"\n";
  c.standard = "\"Speed\" : type = number, address = 0005, range = (0, 255), scale = 1\n";
  c.defaults = "0005:01xx\n:0203\n00AB:05\n0123:02\n0ABC:04\n1234:03\n";
  c.mask = "0005:00\n";
  Session s;
  ASSERT_EQ(s.LoadText(c.Text()), kResultOk);
  s.Set("Speed", "255");
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "m.cfg", "Saved"), 1);
  std::string expected = c.Text();
  expected.replace(expected.find("\"Test\""), 6, "\"Saved\"");
  expected += "[SetData]\n05:FFXX\n07:0203\nab:05\n0123:02\n0abc:04\n1234:03\n[End]\n";
  const auto saved = ReadAll(s.Saved("m.cfg"));
  ASSERT_TRUE(saved);
  EXPECT_EQ(*saved, expected);

  Reloaded r(s.Saved("m.cfg"));
  ASSERT_EQ(r.result, kResultOk);
  EXPECT_EQ(Dump(r.model.CurrentImage()), Dump(s.model.CurrentImage()));
}

// Compares a saved text with its source line by line: only the text between the
// quotes of the Description line and the data after the colon of each [SetData]
// data line may differ; a source without [SetData] gets one block appended.
void ExpectSameLayout(const std::string& source, const std::string& saved) {
  const std::vector<std::string> in = Lines(source), out = Lines(saved);
  std::string section;
  bool hadSetData = false;
  for (std::size_t i = 0; i < in.size() && i < out.size(); ++i) {
    const std::string& line = in[i];
    const std::string trimmed = line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
    if (trimmed.starts_with('['))
      section = trimmed;
    hadSetData |= section == "[SetData]";
    if (section == "[Option]" && trimmed.starts_with("Description")) {
      EXPECT_EQ(out[i].substr(0, out[i].find('"')), line.substr(0, line.find('"')))
          << "line " << i + 1;
    } else if (section == "[SetData]" && !trimmed.empty() && trimmed[0] != '!' &&
               trimmed[0] != '[') {
      EXPECT_EQ(out[i].substr(0, out[i].find(':')), line.substr(0, line.find(':')))
          << "line " << i + 1;
      EXPECT_EQ(out[i].size(), line.size()) << "line " << i + 1;
    } else {
      EXPECT_EQ(out[i], line) << "line " << i + 1;
    }
  }
  if (hadSetData) {
    EXPECT_EQ(out.size(), in.size());
  } else {
    ASSERT_GE(out.size(), in.size() + 3);
    EXPECT_EQ(out[in.size()], "[SetData]");
    EXPECT_EQ(out.back(), "[End]");
  }
}

class ExampleRoundTrip : public ::testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRoundTrip,
                         ::testing::Values("model/tk30.cfg", "model/tl450.cfg", "model/tr210.cfg",
                                           "setting/front_counter.cfg"),
                         [](const auto& p) {
                           std::string n = p.param;
                           for (char& ch : n)
                             ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return n;
                         });

TEST_P(ExampleRoundTrip, EditedValuesLoadAgain) {
  const std::string path = Example(GetParam());
  const auto source = ReadAll(path);
  ASSERT_TRUE(source) << path;
  Session s;
  ASSERT_EQ(s.file.Load(s.model, path), kResultOk);
  EXPECT_GE(EditAll(s.model), 3);
  const std::vector<std::string> edited = ItemTexts(s.model);
  const std::string description = "Edited \"copy\", 50% \\ it's done?";

  // No setting folder yet: the save makes it.
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "Saved Copy.cfg", description), 1);
  EXPECT_TRUE(s.prompt.AskedSoFar().empty());
  const auto saved = ReadAll(s.Saved("Saved Copy.cfg"));
  ASSERT_TRUE(saved);
  ExpectSameLayout(*source, *saved);
  struct stat st {};
  ASSERT_EQ(::stat(s.Saved("Saved Copy.cfg").c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(Names(s.Folder()), std::vector<std::string>{"Saved Copy.cfg"});

  Reloaded r(s.Saved("Saved Copy.cfg"));
  ASSERT_EQ(r.result, kResultOk);
  EXPECT_EQ(ItemTexts(r.model), edited);
  EXPECT_EQ(Dump(r.model.CurrentImage()), Dump(s.model.CurrentImage()));

  // The listing shows the source's printer name with the new description.
  CFileInfo original;
  CModelFile reader;
  ASSERT_EQ(reader.ReadListing(*source + '\xFF', original), kResultOk);
  std::vector<CFileInfo> rows;
  CModelFile lister;
  ASSERT_EQ(lister.ListSettings(s.prompt, rows, s.Base()), kResultOk);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].fileName, "Saved Copy.cfg");
  EXPECT_EQ(rows[0].printerName, original.printerName);
  EXPECT_EQ(rows[0].description, description);
}

TEST(SaveTest, DescriptionEscapesAndLength) {
  // The quote of `Description = "` stands at position 14: plain characters are
  // written while 14 + n < 1021, escapes while 14 + n < 1020.
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  const struct {
    std::string description;
    std::string written;  // between the quotes
    std::string listed;   // as the listing reads it back
  } rows[] = {
      {"say \"hi\"", "say \\22hi\\22", "say \"hi\""},
      {"C:\\dir", "C:\\5Cdir", "C:\\dir"},
      {"it's ok?", "it\\27s ok\\3F", "it's ok?"},
      {"tab\there", "tab\\09here", "tab\there"},
      {"two\nlines\r", "two\\0Alines\\0D", "two\nlines\r"},
      {"\x01\x1F!", "\\01\\1F!", "\x01\x1F!"},
      {"\xFF", "\\FF", "\xFF"},
      {"a ! b", "a ! b", "a ! b"},
      {"caf\xC3\xA9", "caf\xC3\xA9", "caf\xC3\xA9"},
      {"", "", ""},
      {std::string(2000, 'a'), std::string(1007, 'a'), std::string(258, 'a')},
      {std::string(2000, '"'), repeat("\\22", 336), std::string(258, '"')},
      {std::string(1006, 'a') + "\"b", std::string(1006, 'a'), std::string(258, 'a')},
  };
  Cfg c;
  c.extraHeader = "PrinterName = \"P\"\n";
  for (const auto& r : rows) {
    SCOPED_TRACE(r.written.substr(0, 40));
    Session s;
    ASSERT_EQ(s.LoadText(c.Text()), kResultOk);
    ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "d.cfg", r.description), 1);
    const auto saved = ReadAll(s.Saved("d.cfg"));
    ASSERT_TRUE(saved);
    const std::vector<std::string> lines = Lines(*saved);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Description = \"" + r.written + "\""),
              lines.end());

    CModelFile lister;
    std::vector<CFileInfo> listed;
    ASSERT_EQ(lister.ListSettings(s.prompt, listed, s.Base()), kResultOk);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].description, r.listed);
    EXPECT_EQ(Reloaded(s.Saved("d.cfg")).result, kResultOk);
  }
}

TEST(SaveTest, SecondSaveCopiesTheLoadedTextAgain) {
  Session s;
  ASSERT_EQ(s.file.Load(s.model, Example("model/tk30.cfg")), kResultOk);
  s.Set("Retract time", "10");
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "one.cfg", "first"), 1);
  const auto first = ReadAll(s.Saved("one.cfg"));
  s.Set("Retract time", "20");
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "two.cfg", "second"), 1);

  EXPECT_EQ(ReadAll(s.Saved("one.cfg")), first);
  const auto second = ReadAll(s.Saved("two.cfg"));
  ASSERT_TRUE(second);
  // One appended block, not the first save's block plus a new one.
  const std::vector<std::string> lines = Lines(*second);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[SetData]"), 1);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Description = \"second\""), lines.end());
  for (const auto& [name, text] : {std::pair{"one.cfg", "10 s"}, std::pair{"two.cfg", "20 s"}}) {
    Reloaded r(s.Saved(name));
    ASSERT_EQ(r.result, kResultOk) << name;
    EXPECT_EQ(GetItemText(r.model, ItemNamed(r.model, "Retract time")), text) << name;
  }
}

// Restoring the factory values rebuilds the image from [Default], whose lines
// are laid out differently from the file's [SetData]: the save must write the
// whole image, not squeeze it into the old lines.
TEST(SaveTest, FactoryValuesOfAnotherLayoutAreSavedWhole) {
  Cfg c;
  c.extraHeader = "PrinterName = \"P\"\n";
  c.standard += "\"Mode\" : type = number, address = 0011, range = (0, 255), scale = 1\n";
  c.defaults = "0010:0509\n";
  c.mask = "0010:0000\n";
  c.setData = "! saved\n10:07\n11:08\n";
  Session s;
  ASSERT_EQ(s.LoadText(c.Text()), kResultOk);
  ASSERT_EQ(Dump(s.model.CurrentImage()), "0010:07 0011:08");
  ASSERT_EQ(s.model.BuildImage(s.model.DefaultLines()), 1);
  const std::vector<std::string> factory = ItemTexts(s.model);
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "f.cfg", "factory"), 1);

  Reloaded r(s.Saved("f.cfg"));
  ASSERT_EQ(r.result, kResultOk);
  EXPECT_EQ(Dump(r.model.CurrentImage()), "0010:0509");
  EXPECT_EQ(ItemTexts(r.model), factory);
}

// Save then reload gives the same image, mask and description, for every file
// that loads: the fixtures, and sections the reader passes over. An unknown
// section line or an [End] leaves the section current for the reader, so the
// copy must go on rewriting [SetData] and [Option] after it.
TEST(SaveTest, ReloadGivesTheSameImageMaskAndDescription) {
  Cfg unknown;
  unknown.extraHeader = "PrinterName = \"P\"\n";
  unknown.standard += "\"Mode\" : type = number, address = 0020, range = (0, 255), scale = 1\n";
  unknown.defaults = "0010:05\n0020:06\n";
  unknown.mask = "0010:00\n0020:00\n";
  unknown.setData = "0010:07\n[Note]\n0020:08\n";
  unknown.tail = "[Option]\n[Note]\nDescription = \"Old\"\n[End]\n";
  Cfg afterEnd = unknown;
  afterEnd.setData = "0010:07\n[End] ! still [SetData]\n0020:08\n";
  afterEnd.tail = "[Option]\n[End]\n\"quoted\" ! [Option] goes on\nDescription = \"Old\"\n[End]\n";

  std::vector<std::pair<std::string, std::string>> sources = {{"[Note]", unknown.Text()},
                                                              {"after [End]", afterEnd.Text()}};
  for (const char* folder : {"/tests/data", "/examples"}) {
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(std::string(PELMORA_SOURCE_DIR) + folder)) {
      if (e.path().extension() == ".cfg")
        sources.emplace_back(e.path().string(), *ReadAll(e.path().string()));
    }
  }
  int loadable = 0;
  for (const auto& [what, text] : sources) {
    SCOPED_TRACE(what);
    Session s;
    if (s.LoadText(text) != kResultOk)
      continue;
    ++loadable;
    EditAll(s.model);
    const std::string description = "New \"one\"";
    ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "r.cfg", description), 1);
    Reloaded r(s.Saved("r.cfg"));
    ASSERT_EQ(r.result, kResultOk);
    // A file has no way to carry the value of an unknown (xx) byte.
    const auto known = [](const CMemoryImage& image) {
      return std::regex_replace(Dump(image), std::regex(R"(\(..\))"), "(xx)");
    };
    EXPECT_EQ(known(r.model.CurrentImage()), known(s.model.CurrentImage()));
    EXPECT_EQ(known(r.model.MaskImage()), known(s.model.MaskImage()));
    CFileInfo before, after;
    s.file.ReadListing(text + '\xFF', before);
    if ((s.file.GetErrorCode() & 2) == 0) {
      r.file.ReadListing(*ReadAll(s.Saved("r.cfg")) + '\xFF', after);
      EXPECT_EQ(after.description, description);
    }
  }
  EXPECT_GE(loadable, 10);
}

// ---------------------------------------------------------------------------
// The overwrite question.

TEST(SaveTest, OverwriteQuestion) {
  const Answer kNone = Answer::kCancel;  // no question expected
  const struct {
    const char* what;
    std::vector<std::string> existing;
    std::string typed;
    Answer answer;
    int result;
    std::vector<std::string> after;
  } rows[] = {
      // clang-format off
      {"same name, No", {"a.cfg"}, "a.cfg", Answer::kNo, 0, {"a.cfg"}},
      {"same name, Yes", {"a.cfg"}, "a.cfg", Answer::kYes, 1, {"a.cfg"}},
      {"other case, No", {"Foo.cfg"}, "foo.cfg", Answer::kNo, 0, {"Foo.cfg"}},
      {"other case, Yes: one file named as typed", {"Foo.cfg"}, "foo.cfg", Answer::kYes, 1, {"foo.cfg"}},
      {"any entry of that name", {"Notes.txt"}, "notes.TXT", Answer::kYes, 1, {"notes.TXT"}},
      // Both ways round, since the folder's own order decides which entry is met first.
      {"the exact name wins over another case", {"Foo.cfg", "foo.cfg"}, "foo.cfg", Answer::kYes, 1,
       {"Foo.cfg", "foo.cfg"}},
      {"the exact name wins, other way round", {"Foo.cfg", "foo.cfg"}, "Foo.cfg", Answer::kYes, 1,
       {"Foo.cfg", "foo.cfg"}},
      {"no such name", {"other.cfg"}, "new.cfg", kNone, 1, {"new.cfg", "other.cfg"}},
      // clang-format on
  };

  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    Session s;
    ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
    ASSERT_EQ(::mkdir(s.Folder().c_str(), 0755), 0);
    // As root, a file of someone else's; replacing it keeps it theirs.
    const bool root = ::geteuid() == 0;
    for (const std::string& name : r.existing) {
      s.dir.Write("setting/" + name, "old " + name);
      ASSERT_EQ(::chmod(s.Saved(name).c_str(), 0640), 0);
      if (root) {
        ASSERT_EQ(::chown(s.Saved(name).c_str(), 65534, 65534), 0);
      }
    }
    s.Set("Speed", "77");
    const std::string expected = s.Expected("new");
    if (r.answer != kNone)
      s.prompt.Push(r.answer);

    EXPECT_EQ(s.file.SaveSetting(s.prompt, s.Base(), r.typed, "new"), r.result);
    const auto& asked = s.prompt.AskedSoFar();
    if (r.answer == kNone) {
      EXPECT_TRUE(asked.empty());
    } else {
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_EQ(asked[0].title, "Pelmora");
      EXPECT_EQ(asked[0].text, kOverwriteQuestion);
      EXPECT_EQ(asked[0].buttons, Buttons::kYesNo);
    }
    EXPECT_EQ(Names(s.Folder()), r.after);
    for (const std::string& name : r.after) {
      const bool written = r.result == 1 && name == r.typed;
      EXPECT_EQ(ReadAll(s.Saved(name)), written ? expected : "old " + name) << name;
    }
    // A replaced file keeps its permissions.
    if (r.result == 1 && std::count(r.existing.begin(), r.existing.end(), r.typed)) {
      struct stat st {};
      ASSERT_EQ(::stat(s.Saved(r.typed).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0640u);
      if (root) {
        EXPECT_EQ(std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid), "65534:65534");
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Faults during a save. Each leaves the old file byte for byte, no temporary
// file, a message naming the cause, and a configuration that saves on retry.

// The problem with a failed save's message, or an empty string. `err` 0: any
// cause, as long as it is not errno 0's text.
std::string MessageProblem(const CScriptedPrompt& prompt, int err) {
  const auto& asked = prompt.AskedSoFar();
  if (asked.empty())
    return "no message was shown";
  const auto& last = asked.back();
  const std::string head = std::string(kSaveFailed) + "\n";
  if (last.title != "Pelmora" || last.buttons != Buttons::kOk)
    return "wrong title or buttons: " + last.text;
  if (last.text.compare(0, head.size(), head) != 0)
    return "message does not start as it should: " + last.text;
  const std::string cause = last.text.substr(head.size());
  if (cause.empty() || cause.find('\n') != std::string::npos)
    return "cause is not one line: " + cause;
  if (cause.find(std::strerror(0)) != std::string::npos)
    return "cause names no error: " + cause;
  if (err != 0 && cause.find(std::strerror(err)) == std::string::npos) {
    return "cause does not say \"" + std::string(std::strerror(err)) + "\": " + cause;
  }
  return {};
}

// The problem with the folder after a failed save, or an empty string.
std::string FolderProblem(const std::string& folder, const std::vector<std::string>& names,
                          const std::string& file, const std::optional<std::string>& old) {
  std::string problem;
  const std::vector<std::string> found = Names(folder);
  if (found != names) {
    problem += "folder holds:";
    for (const std::string& n : found) problem += " " + n;
    problem += "; ";
  }
  if (ReadAll(folder + "/" + file) != old)
    problem += file + " changed; ";
  return problem;
}

// Runs `body` in a child process and returns what it returned: empty when all
// went well, "SKIP: why" when it could not run here, else the problems found.
std::string RunInChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0)
    return std::string("pipe: ") + std::strerror(errno);
  std::cout.flush();
  const pid_t pid = ::fork();
  if (pid < 0)
    return std::string("fork: ") + std::strerror(errno);
  if (pid == 0) {
    ::close(fds[0]);
    std::string text;
    try {
      text = body();
    } catch (const std::exception& e) {
      text = std::string("exception: ") + e.what();
    }
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0)
        break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(text.empty() ? 0 : 1);
  }
  ::close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status))
    return "child ended by signal " + std::to_string(WTERMSIG(status)) + "; " + text;
  return text;
}

class OpsGuard {
 public:
  explicit OpsGuard(const FileOps& ops) : previous_(detail::ReplaceFileOps(ops)) {}
  ~OpsGuard() { detail::ReplaceFileOps(previous_); }
  OpsGuard(const OpsGuard&) = delete;
  OpsGuard& operator=(const OpsGuard&) = delete;

 private:
  FileOps previous_;
};

int g_writeCalls = 0;
std::vector<ssize_t> g_writeResults;

ssize_t ShortThenNoSpace(int fd, const void* data, std::size_t size) {
  if (g_writeCalls++ == 0)
    return ::write(fd, data, std::min<std::size_t>(size, 10));
  errno = ENOSPC;
  return -1;
}
ssize_t RecordedWrite(int fd, const void* data, std::size_t size) {
  const ssize_t n = ::write(fd, data, size);
  g_writeResults.push_back(n < 0 ? -errno : n);
  return n;
}

TEST(SaveFault, InjectedFaults) {
  const struct {
    const char* what;
    void (*install)(FileOps&);
    int err;
  } rows[] = {
      {"short write, then no space", [](FileOps& o) { o.write = ShortThenNoSpace; }, ENOSPC},
      {"write takes nothing",
       [](FileOps& o) { o.write = [](int, const void*, std::size_t) -> ssize_t { return 0; }; }, 0},
      {"fsync fails", [](FileOps& o) { o.fsync = [](int) { return errno = EIO, -1; }; }, EIO},
      {"close fails",
       [](FileOps& o) { o.close = [](int fd) { return ::close(fd), errno = EIO, -1; }; }, EIO},
      {"rename fails",
       [](FileOps& o) {
         o.rename = [](const char*, const char*, bool) { return errno = EXDEV, -1; };
       },
       EXDEV},
  };
  for (const auto& r : rows) {
    for (const bool overwrite : {true, false}) {
      SCOPED_TRACE(std::string(r.what) + (overwrite ? ", over a.cfg" : ", as new b.cfg"));
      Session s;
      ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
      ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "a.cfg", "old"), 1);
      const auto old = ReadAll(s.Saved("a.cfg"));
      s.Set("Speed", "99");
      const std::string name = overwrite ? "a.cfg" : "b.cfg";
      auto save = [&](CScriptedPrompt& p) {
        return overwrite ? s.file.OverwriteSetting(p, s.Base(), name, "new")
                         : s.file.SaveSetting(p, s.Base(), name, "new");
      };
      {
        FileOps ops = detail::CurrentFileOps();
        r.install(ops);
        g_writeCalls = 0;
        const OpsGuard guard(ops);
        CScriptedPrompt failed;
        EXPECT_EQ(save(failed), 0);
        EXPECT_EQ(MessageProblem(failed, r.err), "");
        EXPECT_EQ(failed.AskedSoFar().size(), 1u);
      }
      EXPECT_EQ(FolderProblem(s.Folder(), {"a.cfg"}, "a.cfg", old), "");
      CScriptedPrompt retry;
      EXPECT_EQ(save(retry), 1);
      EXPECT_TRUE(retry.AskedSoFar().empty());
      EXPECT_EQ(ReadAll(s.Saved(name)), s.Expected("new"));
    }
  }
}

// What a save asks of the file system, in order: every byte written to one
// hidden file in the folder (short and interrupted writes continued), that file
// synced and closed, then renamed over the target.
struct OpCall {
  std::string op;
  int fd;
  std::string from, to;
};
std::vector<OpCall> g_calls;
const FileOps g_realOps = detail::CurrentFileOps();
std::string g_written;
int g_interrupts = 0;

TEST(SaveFault, WritesSyncsThenRenames) {
  const FileOps recording{
      [](int fd, const void* data, std::size_t size) -> ssize_t {
        g_calls.push_back({"write", fd, {}, {}});
        if (g_interrupts > 0) {
          --g_interrupts;
          errno = EINTR;
          return -1;
        }
        const ssize_t n = ::write(fd, data, std::min<std::size_t>(size, 100));
        if (n > 0)
          g_written.append(static_cast<const char*>(data), static_cast<std::size_t>(n));
        return n;
      },
      [](int fd) {
        g_calls.push_back({"fsync", fd, {}, {}});
        return ::fsync(fd);
      },
      [](int fd) {
        g_calls.push_back({"close", fd, {}, {}});
        return ::close(fd);
      },
      [](const char* from, const char* to, bool replace) {
        g_calls.push_back({"rename", -1, from, to});
        return g_realOps.rename(from, to, replace);
      },
  };
  Session s;
  ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
  g_calls.clear();
  g_written.clear();
  g_interrupts = 2;
  {
    const OpsGuard guard(recording);
    ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "a.cfg", "x"), 1);
  }
  const auto saved = ReadAll(s.Saved("a.cfg"));
  ASSERT_TRUE(saved);
  EXPECT_EQ(g_written, *saved);
  ASSERT_GE(g_calls.size(), 4u);
  const int fd = g_calls[0].fd;
  const std::size_t n = g_calls.size();
  for (std::size_t i = 0; i + 3 < n; ++i) {
    EXPECT_EQ(g_calls[i].op, "write") << i;
    EXPECT_EQ(g_calls[i].fd, fd) << i;
  }
  EXPECT_GT(n - 3, saved->size() / 100);  // the writes were short and continued
  EXPECT_EQ(g_calls[n - 3].op + std::to_string(g_calls[n - 3].fd), "fsync" + std::to_string(fd));
  EXPECT_EQ(g_calls[n - 2].op + std::to_string(g_calls[n - 2].fd), "close" + std::to_string(fd));
  EXPECT_EQ(g_calls[n - 1].op, "rename");
  const std::filesystem::path temp = g_calls[n - 1].from;
  EXPECT_EQ(temp.parent_path(), std::filesystem::path(s.Folder()));
  EXPECT_TRUE(temp.filename().string().starts_with(".temp.cfg.")) << temp;
  EXPECT_EQ(g_calls[n - 1].to, s.Saved("a.cfg"));
}

TEST(SaveFault, TargetIsADirectory) {
  Session s;
  ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
  ASSERT_EQ(::mkdir(s.Folder().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(s.Saved("x.cfg").c_str(), 0755), 0);
  s.dir.Write("setting/x.cfg/inside", "kept");
  s.prompt.Push(Answer::kYes);
  EXPECT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "x.cfg", "new"), 0);
  ASSERT_EQ(s.prompt.AskedSoFar().size(), 2u);  // the overwrite question, then the failure
  EXPECT_EQ(s.prompt.AskedSoFar()[0].text, kOverwriteQuestion);
  EXPECT_EQ(MessageProblem(s.prompt, EISDIR), "");
  EXPECT_EQ(Names(s.Folder()), std::vector<std::string>{"x.cfg"});
  EXPECT_EQ(ReadAll(s.Saved("x.cfg/inside")), "kept");
  EXPECT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "y.cfg", "new"), 1);
  EXPECT_EQ(ReadAll(s.Saved("y.cfg")), s.Expected("new"));
}

// A real full disk: a 16 KiB tmpfs in a private mount namespace, filled so that
// one page is left, which the new text (over 4 KiB) does not fit. Where mounting
// is not permitted, the same sequence runs with the fault injected.
TEST(SaveFault, FullFilesystem) {
  Session old, edited;
  ASSERT_EQ(old.LoadText(PaddedText()), kResultOk);
  ASSERT_EQ(edited.LoadText(PaddedText()), kResultOk);
  edited.Set("Speed", "42");
  const std::string newText = edited.Expected("new");
  ASSERT_GT(newText.size(), 4096u);
  TempDir scratch;
  const std::string base = scratch.Path() + "/mnt";
  ASSERT_EQ(::mkdir(base.c_str(), 0755), 0);
  const std::string folder = base + "/setting";

  auto scenario = [&](bool realDisk) -> std::string {
    CScriptedPrompt p;
    if (old.file.SaveSetting(p, base, "a.cfg", "old") != 1)
      return "the first save failed";
    const auto oldBytes = ReadAll(folder + "/a.cfg");
    const std::string filler = base + "/filler";
    if (realDisk) {
      // Fill the disk, then free one page of it.
      const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const std::string page(4096, 'f');
      off_t size = 0;
      for (ssize_t n; (n = ::write(fd, page.data(), page.size())) > 0;) size += n;
      if (size < 4096 || ::ftruncate(fd, size - 4096) != 0)
        return "could not fill the tmpfs";
      ::close(fd);
    }
    std::string problems;
    {
      FileOps ops = detail::CurrentFileOps();
      ops.write = realDisk ? RecordedWrite : ShortThenNoSpace;
      g_writeCalls = 0;
      g_writeResults.clear();
      const OpsGuard guard(ops);
      CScriptedPrompt failed;
      if (edited.file.OverwriteSetting(failed, base, "a.cfg", "new") != 0)
        problems += "the save succeeded; ";
      problems += MessageProblem(failed, ENOSPC);
    }
    if (realDisk && !(g_writeResults.size() >= 2 && g_writeResults.front() > 0 &&
                      g_writeResults.back() == -ENOSPC)) {
      problems += "the disk did not give a short write and then ENOSPC; ";
    }
    problems += FolderProblem(folder, {"a.cfg"}, "a.cfg", oldBytes);
    ::unlink(filler.c_str());
    CScriptedPrompt retry;
    if (edited.file.OverwriteSetting(retry, base, "a.cfg", "new") != 1)
      problems += "the retry failed; ";
    if (ReadAll(folder + "/a.cfg") != newText)
      problems += "the retry wrote something else; ";
    return problems;
  };

  const std::string outcome = RunInChild([&]() -> std::string {
    if (::unshare(CLONE_NEWNS) != 0)
      return std::string("SKIP: unshare: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("SKIP: private mounts: ") + std::strerror(errno);
    }
    if (::mount("tmpfs", base.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=16k") != 0) {
      return std::string("SKIP: mount tmpfs: ") + std::strerror(errno);
    }
    return scenario(true);
  });
  if (outcome.starts_with("SKIP: ")) {
    std::cout << "[   INFO   ] full filesystem injected (ENOSPC after a short write); no tmpfs: "
              << outcome.substr(6) << "\n";
    RecordProperty("full_filesystem", "injected");
    EXPECT_EQ(scenario(false), "");
  } else {
    std::cout << "[   INFO   ] full filesystem: a real 16 KiB tmpfs\n";
    RecordProperty("full_filesystem", "tmpfs");
    EXPECT_EQ(outcome, "");
  }
}

// Root writes anywhere, so as root the child becomes nobody (65534) first.
TEST(SaveFault, FolderNotWritable) {
  Session s;
  ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "a.cfg", "old"), 1);
  const auto old = ReadAll(s.Saved("a.cfg"));
  s.Set("Speed", "13");
  const std::string bare = s.Base() + "/bare";  // a base where setting/ cannot be made
  ASSERT_EQ(::mkdir(bare.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(bare.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(s.Base().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(s.Folder().c_str(), 0555), 0);

  const std::string outcome = RunInChild([&]() -> std::string {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      return std::string("SKIP: cannot change to user 65534: ") + std::strerror(errno);
    }
    if (::access(s.Folder().c_str(), W_OK) == 0)
      return "SKIP: the folder is still writable";
    std::string problems;
    const struct {
      const char* what;
      std::string base, name;
      bool overwrite;
    } rows[] = {{"over a.cfg", s.Base(), "a.cfg", true},
                {"new b.cfg", s.Base(), "b.cfg", false},
                {"no setting folder", bare, "c.cfg", false}};
    for (const auto& r : rows) {
      CScriptedPrompt p;
      const int result = r.overwrite ? s.file.OverwriteSetting(p, r.base, r.name, "new")
                                     : s.file.SaveSetting(p, r.base, r.name, "new");
      if (result != 0)
        problems += std::string(r.what) + ": saved; ";
      const std::string m = MessageProblem(p, EACCES);
      if (!m.empty())
        problems += std::string(r.what) + ": " + m + "; ";
    }
    return problems;
  });
  ::chmod(s.Folder().c_str(), 0755);
  if (outcome.starts_with("SKIP: "))
    GTEST_SKIP() << outcome.substr(6);
  EXPECT_EQ(outcome, "");
  EXPECT_EQ(FolderProblem(s.Folder(), {"a.cfg"}, "a.cfg", old), "");
  EXPECT_TRUE(Names(bare).empty());
  EXPECT_EQ(s.file.OverwriteSetting(s.prompt, s.Base(), "a.cfg", "new"), 1);
  EXPECT_EQ(ReadAll(s.Saved("a.cfg")), s.Expected("new"));
}

// A temporary file whose lock is held belongs to a save still running (another
// process's; a second open file has a lock of its own) and stays; one whose
// lock is free was left by a killed save and goes.
TEST(SaveFault, CleanupSparesTheTemporaryFileOfARunningSave) {
  Session s;
  ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
  ASSERT_EQ(::mkdir(s.Folder().c_str(), 0755), 0);
  const std::string live = s.dir.Write("setting/.temp.cfg.live01", "live");
  s.dir.Write("setting/.temp.cfg.dead01", "dead");
  const int fd = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  ASSERT_EQ(s.file.SaveSetting(s.prompt, s.Base(), "a.cfg", "x"), 1);
  EXPECT_EQ(Names(s.Folder()), (std::vector<std::string>{".temp.cfg.live01", "a.cfg"}));
  ::close(fd);
  ASSERT_EQ(s.file.OverwriteSetting(s.prompt, s.Base(), "a.cfg", "x"), 1);
  EXPECT_EQ(Names(s.Folder()), std::vector<std::string>{"a.cfg"});
}

// Two processes save under one new name (or names differing only in case) at
// the same moment: one wins, the other is refused, and one file is left.
TEST(SaveFault, TwoSavesUnderOneNewName) {
  Session s;
  ASSERT_EQ(s.LoadText(PaddedText()), kResultOk);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string names[2] = {"n.cfg", round % 2 ? "N.CFG" : "n.cfg"};
    TempDir base;
    ASSERT_EQ(::mkdir((base.Path() + "/setting").c_str(), 0755), 0);
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t pids[2];
    for (int i = 0; i < 2; ++i) {
      pids[i] = ::fork();
      ASSERT_GE(pids[i], 0);
      if (pids[i] == 0) {
        ::close(start[1]);
        char c;
        while (::read(start[0], &c, 1) < 0 && errno == EINTR) {
        }
        CScriptedPrompt p(Answer::kNo);  // the overwrite question, if the other was quicker
        const int saved = s.file.SaveSetting(p, base.Path(), names[i], "x");
        const bool refused = p.AskedSoFar().size() == 1 &&
                             (p.AskedSoFar()[0].text == "The same file already exists." ||
                              p.AskedSoFar()[0].text == kOverwriteQuestion);
        ::_exit(saved == 1 && p.AskedSoFar().empty() ? 0 : saved == 0 && refused ? 1 : 2);
      }
    }
    ::close(start[0]);
    ::close(start[1]);  // both go
    int outcome[3] = {};
    for (const pid_t pid : pids) {
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      ++outcome[std::min(WEXITSTATUS(status), 2)];
    }
    EXPECT_EQ(outcome[0], 1) << "saves that won";
    EXPECT_EQ(outcome[1], 1) << "saves refused";
    EXPECT_EQ(Names(base.Path() + "/setting").size(), 1u);
  }
}

// A child saves two different configurations in turn under one name until it
// is killed; whenever it dies the file holds one of them whole.
TEST(SaveFault, KilledWhileSaving) {
  Session a, b;
  ASSERT_EQ(a.file.Load(a.model, Example("model/tr210.cfg")), kResultOk);
  ASSERT_EQ(b.file.Load(b.model, Example("model/tr210.cfg")), kResultOk);
  EXPECT_GE(EditAll(b.model), 3);
  const std::string descriptionB(300, 'b');
  const std::string textA = a.Expected("first"), textB = b.Expected(descriptionB);
  ASSERT_NE(textA, textB);
  TempDir base;
  const std::string folder = base.Path() + "/setting";
  ASSERT_EQ(a.file.SaveSetting(a.prompt, base.Path(), "k.cfg", "first"), 1);

  int seenA = 0, seenB = 0, midWrite = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      CScriptedPrompt quiet;
      for (unsigned i = 0;; ++i) {
        if (i % 2 == 0) {
          b.file.OverwriteSetting(quiet, base.Path(), "k.cfg", descriptionB);
        } else {
          a.file.OverwriteSetting(quiet, base.Path(), "k.cfg", "first");
        }
      }
    }
    ::usleep(static_cast<useconds_t>(200 + (round * 397) % 6000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const auto now = ReadAll(folder + "/k.cfg");
    ASSERT_TRUE(now == textA || now == textB) << (now ? now->size() : 0) << " bytes";
    (now == textA ? seenA : seenB)++;
    // Each save removes what the kills before it left: at most the last one's file.
    std::vector<std::string> strays = Names(folder);
    std::erase(strays, "k.cfg");
    ASSERT_LE(strays.size(), 1u);
    midWrite += static_cast<int>(strays.size());
    for (const std::string& name : strays) EXPECT_TRUE(name.starts_with(".temp.cfg.")) << name;
  }
  ASSERT_EQ(a.file.OverwriteSetting(a.prompt, base.Path(), "k.cfg", "first"), 1);
  EXPECT_EQ(Names(folder), std::vector<std::string>{"k.cfg"});
  std::cout << "[   INFO   ] after the kills: " << seenA << " times the first text, " << seenB
            << " times the second; " << midWrite << " kills left a temporary file\n";
}

}  // namespace
}  // namespace pelmora::model::test
