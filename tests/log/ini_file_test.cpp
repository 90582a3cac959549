#include "log/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_support.h"

namespace pelmora::log {
namespace {

TEST(IniFile, LookupRules) {
  const CIniFile ini = CIniFile::Parse(
      "\xEF\xBB\xBF"
      "top = before any section\r\n"
      "; comment = no\n"
      "  # comment = no\n"
      "[ Printer ] trailing text\r\n"
      "ReadWait1 = 100 ; not a comment\r\n"
      "readwait1 = second\n"
      "Quoted = \"  inside  \"\n"
      "Single = 'x'\n"
      "Unbalanced = \"x'\n"
      "Empty =\n"
      "no equals sign here\n"
      " = no key\n"
      "[Broken\n"
      "AfterBroken = still Printer\n"
      "[Other]\n"
      "ReadWait1 = other section\n"
      "[printer]\n"
      "Late = found in a second block\n");

  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"", "top", "before any section"},
      {"Printer", "READWAIT1", "100 ; not a comment"},  // first of the two wins
      {"PRINTER", "Quoted", "  inside  "},
      {"Printer", "Single", "x"},
      {"Printer", "Unbalanced", "\"x'"},
      {"Printer", "Empty", ""},
      {"Printer", "AfterBroken", "still Printer"},
      {"Other", "ReadWait1", "other section"},
      {"Printer", "Late", "found in a second block"},
      {"Printer", "comment", std::nullopt},
      {"Printer", "no equals sign here", std::nullopt},
      {"Missing", "ReadWait1", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.Find(c.section, c.key), c.value) << c.section << " / " << c.key;
  }
  EXPECT_EQ(ini.GetString("Printer", "Empty", "default"), "");
  EXPECT_EQ(ini.GetString("Printer", "Nothing", "default"), "default");
}

TEST(IniFile, IntegerLookupReadsTheLeadingNumber) {
  struct Case {
    const char* line;  // empty: no key at all
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"", 50},  // missing key: the default
      {"Key =", 50},
      {"Key = \"\"", 50},
      {"Key = 120", 120},
      {"Key = 55zz", 55},
      {"Key = zz", 0},
      {"Key = 0", 0},
      {"Key = \"7\"", 7},
      {"Key = +8", 8},
      {"Key = -5", 0xFFFFFFFBU},
      {"Key = 0x1F", 0x1F},
      {"Key = 0x", 0},
      {"Key = 4294967295", 0xFFFFFFFFU},
      {"Key = 4294967296", 0},  // wraps
      {"Key = 100 ; comment", 100},
  };
  for (const Case& c : cases) {
    const CIniFile ini = CIniFile::Parse(std::string("[Printer]\n") + c.line + "\n");
    EXPECT_EQ(ini.GetInt("printer", "key", 50), c.expected) << c.line;
  }
}

TEST(IniFile, LoadReadsRegularFilesOnly) {
  test::TempDir dir;
  // The "Printer" section of a definition file, among lines that are not INI.
  const std::string cfg = dir / "model.cfg";
  test::WriteFile(cfg,
                  "! comment\r\nVersion = 0110\r\n[Printer]\r\nReadWait3 = 120\r\n[Standard]\r\n"
                  "\"Item\" : type = code, address = 20, Code = Start\r\n[End]\r\n");
  const std::optional<CIniFile> ini = CIniFile::Load(cfg);
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->GetInt("Printer", "ReadWait3", 50), 120U);
  EXPECT_EQ(ini->GetInt("Printer", "ReadWait2", 50), 50U);

  EXPECT_FALSE(CIniFile::Load(dir / "missing.cfg"));
  EXPECT_FALSE(CIniFile::Load(dir.Path()));
  const std::string large = dir / "large.cfg";
  test::WriteFile(large, std::string(CIniFile::kMaxFileSize + 1, '\n'));
  EXPECT_FALSE(CIniFile::Load(large));
}

}  // namespace
}  // namespace pelmora::log
