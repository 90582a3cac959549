// Loading whole definition files: results, error codes and line numbers of the
// header, section and data lines, the end-of-file checks and the line reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "model_test_support.h"

namespace pelmora::model::test {
namespace {

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// A form error: its code and the line that starts with `at` (nullptr: end of file).
struct FormCase {
  const char* what;
  Cfg cfg;
  std::uint32_t code;
  const char* at;
};

void ExpectFormError(const std::string& text, std::uint32_t code, std::uint32_t line,
                     const std::string& what) {
  Loader l;
  ASSERT_EQ(l.Load(text), kResultFormError) << what;
  EXPECT_EQ(Hex(l.Code()), Hex(code)) << what;
  EXPECT_EQ(l.Line(), line) << what;
}

void Expect(const FormCase& c) {
  const std::string text = c.cfg.Text();
  const std::uint32_t line = c.at ? LineOf(text, c.at) : EofLine(text);
  ASSERT_NE(line, 0u) << c.what << ": test row names no line";
  ExpectFormError(text, c.code, line, c.what);
}

TEST(ReaderTest, BaseFileLoads) {
  Loader l;
  ASSERT_EQ(l.Load(Cfg{}.Text()), kResultOk);
  EXPECT_EQ(l.model.DriverName(), "TAVEN Driver");
  EXPECT_EQ(l.model.ModelNames(), std::vector<std::string>{"TAVEN T1"});
  EXPECT_EQ(l.model.Interfaces(), std::vector<std::string>{"Serial"});
  ASSERT_EQ(l.model.BasicItems().size(), 1u);
  EXPECT_TRUE(l.model.AdvancedItems().empty());
  std::uint8_t buf[CStatDataObj::kTemplateMax] = {};
  EXPECT_EQ(l.model.GetResetCommand(buf), 0u);
  EXPECT_EQ(l.model.GetInitCommand(buf), 0u);
  EXPECT_EQ(l.model.GetReadTemplate(buf), 0u);
  EXPECT_EQ(l.model.GetWriteTemplate(nullptr), 0u);
}

TEST(ReaderTest, VersionCheck) {
  const struct {
    const char* value;
    int result;
  } rows[] = {
      {"0110", kResultOk},
      {"1", kResultOk},
      {"01", kResultOk},
      {"0100", kResultOk},
      {"0105", kResultOk},
      {"0109", kResultOk},
      {"0110 ! now", kResultOk},
      {"1.10", kResultBadVersion},
      {"110", kResultBadVersion},
      {"0111", kResultBadVersion},
      {"01100", kResultBadVersion},
      {"0010", kResultBadVersion},
      {"0210", kResultBadVersion},
      {"10", kResultBadVersion},
      {"011a", kResultBadVersion},
      {"+110", kResultBadVersion},
  };
  for (const auto& r : rows) {
    Loader l;
    EXPECT_EQ(l.Load(Cfg{.version = std::string("Version = ") + r.value + "\n"}.Text()), r.result)
        << r.value;
  }
}

TEST(ReaderTest, HeaderErrors) {
  const FormCase rows[] = {
      {"empty Version", {.version = "Version = \n"}, 0x10000001, "Version"},
      {"Version without value is keyless", {.version = "Version =\n"}, 0x10000001, nullptr},
      {"Version not a single word", {.version = "Version = 01 10\n"}, 0x10000000, "Version"},
      {"no Version", {.version = ""}, 0x10000001, nullptr},
      {"no CmdLine", {.cmdLine = ""}, 0x10000002, nullptr},
      {"no ModelName", {.modelName = ""}, 0x10000004, nullptr},
      {"no Interface", {.interfaces = ""}, 0x10000008, nullptr},
      {"no DriverName", {.driverName = ""}, 0x10000010, nullptr},
      {"no header at all",
       {.version = "", .cmdLine = "", .modelName = "", .interfaces = "", .driverName = ""},
       0x1000001F,
       nullptr},
      {"empty CmdLine", {.cmdLine = "CmdLine = \n"}, 0x10000002, "CmdLine"},
      {"ModelName entry unquoted",
       {.modelName = "ModelName = \"A\", B\n"},
       0x10000004,
       "ModelName"},
      {"ModelName junk after quote",
       {.modelName = "ModelName = \"A\" x\n"},
       0x10000004,
       "ModelName"},
      {"ModelName empty", {.modelName = "ModelName = \n"}, 0x10000004, "ModelName"},
      {"Interface unquoted", {.interfaces = "Interface = Serial\n"}, 0x10000008, "Interface"},
      {"DriverName unquoted", {.driverName = "DriverName = TAVEN\n"}, 0x10000010, "DriverName"},
      {"DriverName unclosed", {.driverName = "DriverName = \"TAVEN\n"}, 0x10000010, "DriverName"},
      {"Edian neither big nor little", {.extraHeader = "Edian = middle\n"}, 0x10000000, "Edian"},
      {"Edian two words", {.extraHeader = "Edian = big endian\n"}, 0x10000000, "Edian"},
      {"unknown key, two words", {.extraHeader = "Foo = a b\n"}, 0x10000000, "Foo"},
      {"unknown key, blank value", {.extraHeader = "Foo = \n"}, 0x10000000, "Foo"},
      {"unknown key, backslash", {.extraHeader = "Foo = a\\b\n"}, 0x10000000, "Foo"},
  };
  for (const auto& r : rows) Expect(r);
}

TEST(ReaderTest, HeaderLinesAccepted) {
  const char* rows[] = {
      "Edian = Big\n",    "edian = BIG\n", "EDIAN = little\n", "stray\n",
      "\"Quoted\" = 1\n", "Foo =\n",       "Foo = bar\n",      "PrinterName = \"Front desk\"\n",
      "   Foo\t=\tbar\n",
      "Foo = a , b\n",  // a blank before a comma is removed
  };
  for (const char* r : rows) {
    Loader l;
    EXPECT_EQ(l.Load(Cfg{.extraHeader = r}.Text()), kResultOk) << r;
  }
}

TEST(ReaderTest, EdianSetsDefaultByteOrder) {
  for (const char* edian : {"Edian = Big\n", "edian = BIG\n"}) {
    Loader l;
    ASSERT_EQ(l.Load(Cfg{.extraHeader = edian}.Text()), kResultOk) << edian;
    EXPECT_EQ(l.model.BasicItems()[0].byteOrder, kBigEndian) << edian;
  }
  Loader l;
  ASSERT_EQ(l.Load(Cfg{.extraHeader = "Edian = little\n"}.Text()), kResultOk);
  EXPECT_EQ(l.model.BasicItems()[0].byteOrder, kLittleEndian);
}

TEST(ReaderTest, ByteTemplates) {
  enum Which { kWrite, kRead, kReset, kInit };
  const struct {
    const char* line;
    Which which;
    std::vector<std::uint8_t> bytes;  // empty: the line is a form error
    std::uint32_t code;
  } rows[] = {
      {"CmdLine = 1B57MMNNXX", kWrite, {0x1B, 0x57, 0xFE, 0xFD, 0xFF}, 0},
      {"CmdLine = 1B57NNMMXX", kWrite, {0x1B, 0x57, 0xFD, 0xFE, 0xFF}, 0},
      {"CmdLine = 1b57MMXX", kWrite, {0x1B, 0x57, 0xFE, 0xFF}, 0},
      {"cmdline = 00MMXX", kWrite, {0x00, 0xFE, 0xFF}, 0},
      {"CmdLine = 1B5MMXX", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57mmXX", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57MMxx", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57MMNN", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57XXMM", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57NNXX", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57", kWrite, {}, 0x10000002},
      {"CmdLine = MMXX", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57MMXX1B", kWrite, {}, 0x10000002},
      {"CmdLine = 1B57MMNNXXZ", kWrite, {}, 0x10000002},
      {"CmdLine = 1B 57MMXX", kWrite, {}, 0x10000000},
      {"GetCmd = 1B52MMNN", kRead, {0x1B, 0x52, 0xFE, 0xFD}, 0},
      {"GetCmd = 1B52NNMM", kRead, {0x1B, 0x52, 0xFD, 0xFE}, 0},
      {"GetCmd = 1B52MM", kRead, {0x1B, 0x52, 0xFE}, 0},
      {"GetCmd = 1B52MMXX", kRead, {}, 0x10000000},
      {"GetCmd = 1B52NN", kRead, {}, 0x10000000},
      {"GetCmd = 1B52", kRead, {}, 0x10000000},
      {"RstCmd = 1b40", kReset, {0x1B, 0x40}, 0},
      {"RstCmd = 1B4", kReset, {}, 0x10000000},
      {"RstCmd = 1B40MM", kReset, {}, 0x10000000},
      {"RstCmd = ", kReset, {}, 0x10000000},
      {"InitLine = 1B401B3C", kInit, {0x1B, 0x40, 0x1B, 0x3C}, 0},
      {"InitLine = 1G", kInit, {}, 0x10000000},
  };
  for (const auto& r : rows) {
    // The row's line comes after the base CmdLine, so for CmdLine it is also the last value.
    const Cfg cfg{.extraHeader = std::string(r.line) + "\n"};
    if (r.bytes.empty()) {
      const std::string whole =
          std::string(r.line) + "\n";  // a prefix of the base CmdLine must not match
      Expect({r.line, cfg, r.code, whole.c_str()});
      continue;
    }
    Loader l;
    ASSERT_EQ(l.Load(cfg.Text()), kResultOk) << r.line;
    std::uint8_t buf[CStatDataObj::kTemplateMax] = {};
    const std::uint32_t n = r.which == kWrite   ? l.model.GetWriteTemplate(buf)
                            : r.which == kRead  ? l.model.GetReadTemplate(buf)
                            : r.which == kReset ? l.model.GetResetCommand(buf)
                                                : l.model.GetInitCommand(buf);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + n), r.bytes) << r.line;
  }
}

TEST(ReaderTest, TemplatesOver260BytesAreRefused) {
  const struct {
    std::string ok, tooLong;
    std::uint32_t code;
  } rows[] = {
      {"CmdLine = " + Repeat("1B", 258) + "MMXX", "CmdLine = " + Repeat("1B", 259) + "MMXX",
       0x10000002},
      {"GetCmd = " + Repeat("1B", 259) + "MM", "GetCmd = " + Repeat("1B", 260) + "MM", 0x10000000},
      {"RstCmd = " + Repeat("1B", 260), "RstCmd = " + Repeat("1B", 261), 0x10000000},
      {"InitLine = " + Repeat("1B", 260), "InitLine = " + Repeat("1B", 261), 0x10000000},
  };
  for (const auto& r : rows) {
    Loader l;
    EXPECT_EQ(l.Load(Cfg{.extraHeader = r.ok + "\n"}.Text()), kResultOk) << r.ok.substr(0, 12);
    Expect(
        {"261 bytes", {.extraHeader = r.tooLong + "\n"}, r.code, r.tooLong.substr(0, 20).c_str()});
  }
}

TEST(ReaderTest, NameListsAndDriverName) {
  Loader l;
  ASSERT_EQ(
      l.Load(Cfg{.modelName = "ModelName = \"T1, rev B\", \"T2  X\",\"T3\"\nModelName = \"T4\"\n",
                 .interfaces = "Interface = \"Serial\", \"USB\"\n"}
                 .Text()),
      kResultOk);
  EXPECT_EQ(l.model.ModelNames(), (std::vector<std::string>{"T1, rev B", "T2  X", "T3", "T4"}));
  EXPECT_EQ(l.model.Interfaces(), (std::vector<std::string>{"Serial", "USB"}));
  std::string out;
  EXPECT_EQ(l.model.GetModelName(3, out), 1);
  EXPECT_EQ(out, "T4");
  EXPECT_EQ(l.model.GetInterface(1, out), 1);
  EXPECT_EQ(out, "USB");
  EXPECT_EQ(l.model.GetDriverName(out), 1);
  EXPECT_EQ(out, "TAVEN Driver");
}

TEST(ReaderTest, QuotedStringEscapesAndLimits) {
  const struct {
    std::string quoted;
    std::string expected;
  } rows[] = {
      {R"("\41\42")", "AB"},
      {R"("\7a\7A")", "zz"},
      {R"("a\nb")", "a\nb"},
      {R"("a\Nb")", "a\nb"},
      {R"("C:\Apps")", "C:\\pps"},
      {R"("\4g")", "\\g"},
      {R"("a\qb")", "a\\qb"},
      {R"("  pad  ")", "  pad  "},
      {"\"" + std::string(300, 'a') + "\"", std::string(258, 'a')},
      {"\"" + Repeat("\\41", 300) + "\"", std::string(258, 'A')},
  };
  for (const auto& r : rows) {
    Loader l;
    ASSERT_EQ(l.Load(Cfg{.modelName = "ModelName = " + r.quoted + "\n",
                         .driverName = "DriverName = " + r.quoted + "\n"}
                         .Text()),
              kResultOk)
        << r.quoted;
    ASSERT_EQ(l.model.ModelNames().size(), 1u) << r.quoted;
    EXPECT_EQ(l.model.ModelNames()[0], r.expected) << r.quoted;
    EXPECT_EQ(l.model.DriverName(), r.expected) << r.quoted;
  }
}

TEST(ReaderTest, SectionLines) {
  const std::string item2 = "\"Second\" : type = bit, address = 10#1, On = \"a\", Off = \"b\"\n";
  const struct {
    const char* what;
    Cfg cfg;
    std::size_t basicItems;
  } accepted[] = {
      {"blank before ]", {.standardLine = "[Standard ]\n"}, 1},
      {"blank after [ and lower case", {.standardLine = "[ standard]\n"}, 1},
      {"[Foo] keeps the section", {.standard = Cfg{}.standard + "[Foo]\n" + item2}, 2},
      {"[End] keeps the section", {.standard = "[End]\n" + Cfg{}.standard + item2}, 2},
      {"[Option] in the header", {.extraHeader = "[Option]\n[End]\n[Foo]\n"}, 1},
  };
  for (const auto& r : accepted) {
    Loader l;
    ASSERT_EQ(l.Load(r.cfg.Text()), kResultOk) << r.what;
    EXPECT_EQ(l.model.BasicItems().size(), r.basicItems) << r.what;
  }
  const FormCase rows[] = {
      {"blank inside the name", {.standardLine = "[Stan dard]\n"}, 0x10000000, "[Stan"},
      {"second ]", {.standardLine = "[Standard]]\n"}, 0x10000000, "[Standard]]"},
      {"second [", {.standardLine = "[Stan[dard]\n"}, 0x10000000, "[Stan"},
      {"quote", {.standardLine = "[Stan\"dard]\n"}, 0x10000000, "[Stan"},
      {"backslash", {.standardLine = "[Stan\\dard]\n"}, 0x10000000, "[Stan"},
      {"bad line in [Standard]", {.standard = Cfg{}.standard + "[A B]\n"}, 0x20000100, "[A B]"},
      {"bad line in [Default]", {.defaults = "0010:05\n[A B]\n"}, 0x40001000, "[A B]"},
      {"bad line in [Mask]", {.mask = "0010:00\n[A B]\n"}, 0x40002000, "[A B]"},
      {"bad line in [SetData]", {.setData = "0010:00\n[A B]\n"}, 0x80020000, "[A B]"},
      // Characters after the ] join the name, so the items are read as header lines
      // (ignored: the key holds a quote) and [Standard] stays empty.
      {"text after ]", {.standardLine = "[Standard]x\n"}, 0x20000100, nullptr},
  };
  for (const auto& r : rows) Expect(r);
}

TEST(ReaderTest, DataLines) {
  const struct {
    const char* body;
    const char* failsAt;  // nullptr: accepted
  } rows[] = {
      {"0030:12x4\n", "0030:12x4"},
      {"0030:1x\n", "0030:1x"},
      {"0030:x1\n", "0030:x1"},
      {"0030:12xx\n", nullptr},
      {"0030:XxxX\n", nullptr},
      {":3456\n", ":3456"},
      {"0030:12\n:3456\n", nullptr},
      {"0030:1234 ! factory value\n", "0030:1234"},
      {"0030:1234! factory value\n", nullptr},
      {"30:12\n", nullptr},
      {"  001a:12\n", nullptr},
      {"030:12\n", "030:12"},
      {"00030:12\n", "00030:12"},
      {"0:12\n", "0:12"},
      {"003g:12\n", "003g:12"},
      {"0030\n", "0030"},
      {"0030:1\n", "0030:1"},
      {"0030:\n", "0030:"},
      {"0030:1G\n", "0030:1G"},
      {"0030:12 \n", "0030:12"},
      {"0030 :12\n", "0030 :12"},
      {"0030:12\t34\n", "0030:12"},
      {"0030:12:34\n", "0030:12"},
      {"0030:0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF\n", nullptr},
      {"0030:0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF01\n", "0030:0123"},
  };
  const struct {
    const char* name;
    std::uint32_t code;
    std::string Cfg::*field;
  } sections[] = {
      {"Default", 0x40001000, &Cfg::defaults},
      {"Mask", 0x40002000, &Cfg::mask},
      {"SetData", 0x80020000, &Cfg::setData},
  };
  for (const auto& s : sections) {
    for (const auto& r : rows) {
      Cfg cfg;
      cfg.*s.field = r.body;
      const std::string what = std::string(s.name) + ": " + r.body;
      if (!r.failsAt) {
        Loader l;
        EXPECT_EQ(l.Load(cfg.Text()), kResultOk) << what;
      } else {
        Expect({what.c_str(), cfg, s.code, r.failsAt});
      }
    }
  }
}

TEST(ReaderTest, DataLinesAreStoredAsWritten) {
  Loader l;
  ASSERT_EQ(l.Load(Cfg{.defaults = "0010:12xx\n:3456\n0020:aBxX\n"}.Text()), kResultOk);
  const auto& lines = l.model.DefaultLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].address, 0x10);
  EXPECT_EQ(lines[0].data, "12xx");
  EXPECT_EQ(lines[1].address, 0x12);  // running address: 0x10 plus two bytes
  EXPECT_EQ(lines[1].data, "3456");
  EXPECT_EQ(lines[2].address, 0x20);
  EXPECT_EQ(lines[2].data, "aBxX");
}

TEST(ReaderTest, EndOfFileChecks) {
  const FormCase rows[] = {
      {"no item", {.standard = ""}, 0x20000100, nullptr},
      {"no default data", {.defaults = ""}, 0x40001000, nullptr},
      {"no mask data", {.mask = ""}, 0x40002000, nullptr},
      {"no item, no mask data", {.standard = "", .mask = ""}, 0x60002100, nullptr},
      {"no Version, no item", {.version = "", .standard = ""}, 0x30000101, nullptr},
      {"[Option] not ended", {.tail = "[Option]\n"}, 0x80010000, nullptr},
      {"no [Option]", {.tail = ""}, 0x80010000, nullptr},
      {"last [End] without line feed", {.tail = "[Option]\n[End]"}, 0x80010000, nullptr},
      {"0xFF before [Option]", {.tail = "\xFF[Option]\n[End]\n"}, 0x80010000, nullptr},
      {"0xFF inside the [End] line",
       {.tail = "[Option]\n[En\xFF"
                "d]\n"},
       0x80010000,
       nullptr},
      {"0xFF inside the header",
       {.extraHeader = "Foo = b\xFF"
                       "ar\n"},
       0x20000100 | 0x40001000 | 0x40002000 | 0x80010000,
       nullptr},
  };
  for (const auto& r : rows) Expect(r);
  ExpectFormError("", 0x1000001F | 0x20000100 | 0x40001000 | 0x40002000 | 0x80010000, 1,
                  "empty file");
}

TEST(ReaderTest, ClosingSectionsAndEndOfText) {
  const struct {
    const char* what;
    Cfg cfg;
  } rows[] = {
      {"[SetData] ended instead of [Option]", {.setData = "0010:07\n", .tail = ""}},
      {"[SetData] ended, [Option] open", {.setData = "0010:07\n", .tail = "[Option]\n"}},
      {"last line without line feed is ignored", {.tail = Cfg{}.tail + "Foo = a b"}},
      {"text after a 0xFF byte is ignored",
       {.tail = Cfg{}.tail + "\xFF"
                             "Foo = a b\n[Mask]\nzz\n"}},
  };
  for (const auto& r : rows) {
    Loader l;
    EXPECT_EQ(l.Load(r.cfg.Text()), kResultOk) << r.what;
  }
}

TEST(ReaderTest, LineLength) {
  // A comment line of `n` characters; comment characters count, carriage returns do not.
  auto comment = [](int n) { return "!" + std::string(n - 1, 'c'); };
  const struct {
    const char* what;
    Cfg cfg;
    std::uint32_t code;  // 0: accepted
    const char* at;
  } rows[] = {
      {"1024 in the header", {.extraHeader = comment(1024) + "\n"}, 0, nullptr},
      {"1024 and CRs", {.extraHeader = "\r" + comment(1024) + "\r\r\n"}, 0, nullptr},
      {"1024 data and a comment", {.defaults = "0010:05" + comment(1017) + "\n"}, 0, nullptr},
      {"1025 in the header", {.extraHeader = comment(1025) + "\n"}, 0x10000000, "!ccc"},
      {"1025 in [Standard]",
       {.standard = Cfg{}.standard + comment(1025) + "\n"},
       0x20000100,
       "!ccc"},
      {"1025 in [Mask]", {.mask = "0010:05" + comment(1018) + "\n"}, 0x40002000, "0010:05!"},
      {"1025 in [Option]",
       {.tail = "[Option]\n" + comment(1025) + "\n[End]\n"},
       0x80010000,
       "!ccc"},
      {"1025 with leading blanks",
       {.extraHeader = std::string(1020, ' ') + "a = b\n"},
       0x10000000,
       "   "},
  };
  for (const auto& r : rows) {
    if (r.code == 0) {
      Loader l;
      EXPECT_EQ(l.Load(r.cfg.Text()), kResultOk) << r.what;
    } else {
      Expect({r.what, r.cfg, r.code, r.at});
    }
  }
}

TEST(ReaderTest, CarriageReturnsDoNotCountAsLines) {
  std::string text = Cfg{.mask = "0010:00\n0011:1\n"}.Text();
  const std::uint32_t line = LineOf(text, "0011:1");
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ExpectFormError(crlf, 0x40002000, line, "CRLF file");

  Loader l;
  std::string ok;
  for (char c : Cfg{}.Text()) ok += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(l.Load(ok), kResultOk);
}

TEST(ReaderTest, PathResults) {
  TempDir dir;
  const struct {
    const char* what;
    std::string path;
    int result;
  } rows[] = {
      {"empty path", "", kResultException},
      {"missing file", dir.Path() + "/missing.cfg", kResultNoFile},
      {"directory", dir.Path(), kResultNoFile},
  };
  for (const auto& r : rows) {
    CModelFile file;
    CStatDataObj model;
    EXPECT_EQ(file.Load(model, r.path), r.result) << r.what;
  }
}

TEST(ReaderTest, TextLoadsAsTheFileDoes) {
  const std::string texts[] = {
      Cfg{}.Text(),
      Cfg{.setData = "0010:07\n"}.Text(),
      Cfg{.defaults = "0010:0G\n"}.Text(),
      Cfg{.version = "Version = 0111\n"}.Text(),
      Cfg{}.Text() + std::string("\0\xFF[Junk", 7),
      "",
  };
  for (const std::string& text : texts) {
    Loader l;
    CModelFile file;
    CStatDataObj model;
    EXPECT_EQ(file.LoadText(model, text, "in-memory.cfg"), l.Load(text)) << text;
    EXPECT_EQ(file.GetErrorCode(), l.Code()) << text;
    EXPECT_EQ(file.GetLineNumber(), l.Line()) << text;
    EXPECT_EQ(file.Text(), l.file.Text()) << text;
    EXPECT_EQ(Dump(model.CurrentImage()), Dump(l.model.CurrentImage())) << text;
    EXPECT_EQ(Dump(model.MaskImage()), Dump(l.model.MaskImage())) << text;
    EXPECT_EQ(model.FilePath(), "in-memory.cfg");
  }
}

TEST(ReaderTest, BinaryInputEndsInAResult) {
  std::string bytes;
  std::uint32_t x = 12345;
  for (int i = 0; i < 5000; ++i) {
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>((x >> 16) & 0xFF);
  }
  for (const std::string& text : {bytes, bytes + "\n", std::string(3000, '"') + "\n",
                                  std::string(70000, '\n'), std::string(5000, '[') + "\n"}) {
    Loader l;
    const int r = l.Load(text);
    EXPECT_TRUE(r == kResultOk || r == kResultFormError || r == kResultBadVersion) << r;
  }
}

// A copy views the texts of its own load, even after the reader has loaded again.
TEST(ReaderTest, CopyKeepsItsTextsAcrossLoads) {
  Loader l;
  Cfg c;
  c.standard =
      "\"Speed \\41\" : type = code, address = 0010, Code = Start\n"
      "\"Slow\" : Code = 01\nEnd : -\n";
  ASSERT_EQ(l.Load(c.Text()), kResultOk);
  const CStatDataObj copy = l.model;
  ASSERT_EQ(l.Load(Cfg().Text()), kResultOk);
  ASSERT_EQ(copy.BasicItems().size(), 1u);
  EXPECT_EQ(copy.BasicItems()[0].name, "Speed A");
  EXPECT_EQ(copy.BasicItems()[0].Choices()[0].name, "Slow");
  EXPECT_EQ(l.model.BasicItems()[0].name, "Speed");
}

}  // namespace
}  // namespace pelmora::model::test
