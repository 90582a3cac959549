#include "log/settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "test_support.h"

namespace pelmora::log {
namespace {

using namespace std::string_literals;
using test::ScopedEnv;
using test::TempDir;

TEST(Settings, LogSwitch) {
  struct Case {
    const char* name;
    std::optional<std::string> file;  // nullopt: no file at all
    bool enabled;
  };
  const Case cases[] = {
      {"no file", std::nullopt, false},
      {"empty file", "", false},
      {"no key", "[Log]\nOther = 1\n", false},
      {"key in another section", "[Ports]\nLOG = 1\n", false},
      {"zero", "[Log]\nLOG = 0\n", false},
      {"one", "[Log]\nLOG = 1\n", true},
      {"names ignore case", "[log]\nlog=1\n", true},
      {"quoted", "[Log]\nLOG = \"1\"\n", true},
      {"largest", "[Log]\nLOG = 4294967295\n", true},
      {"leading zeros", "[Log]\nLOG = 0000000000001\n", true},
      {"hex", "[Log]\nLOG = 0x10\n", true},
      {"empty value", "[Log]\nLOG =\n", false},
      {"garbage", "[Log]\nLOG = yes\n", false},
      {"trailing garbage", "[Log]\nLOG = 1abc\n", false},
      {"negative", "[Log]\nLOG = -1\n", false},
      {"plus sign", "[Log]\nLOG = +1\n", false},
      {"too big", "[Log]\nLOG = 4294967296\n", false},
      {"huge", "[Log]\nLOG = 99999999999999999999999999\n", false},
      {"hex too big", "[Log]\nLOG = 0x100000000\n", false},
      {"first key counts", "[Log]\nLOG = 0\nLOG = 1\n", false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir / "pelmora.conf";
    if (c.file) {
      test::WriteFile(path, *c.file);
    }
    ScopedEnv env(kSettingsVariable, path);
    EXPECT_EQ(CSettings::Load().LogEnabled(), c.enabled) << c.name;
  }
}

TEST(Settings, AFileThatCannotBeUsedIsNamedAndNotUsed) {
  struct Case {
    const char* name;
    std::string file;
    const char* problem;  // the sentence after the file's name; nullptr: usable
  };
  const Case cases[] = {
      {"usable", "[Log]\nLOG = 1\n[Ports]\nCOM1 = /dev/ttyUSB0\n", nullptr},
      {"tabs, CR LF and other bytes are text", "\xEF\xBB\xBF; caf\xE9\r\n[Log]\r\n\tLOG = 1\r\n",
       nullptr},
      {"binary",
       "\x7F"
       "ELF\x02\x01\x01\0\0\n[Log]\nLOG = 1\n"s,
       "is not a text file"},
      {"control byte", "[Log]\nLOG = 1\x1B\n", "is not a text file"},
      {"NUL in a value", "[Ports]\nCOM1 = /dev/ttyS1\0/x\n[Log]\nLOG = 1\n"s,
       "has a NUL byte in the value of COM1"},
      {"relative device", "[Log]\nLOG = 1\n[Ports]\nCOM1 = ttyUSB0\n",
       "maps COM1 to a relative path (ttyUSB0)"},
      {"too large", "[Log]\nLOG = 1\n;" + std::string(CIniFile::kMaxFileSize, 'x') + "\n",
       "is larger than 1048576 bytes"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir / "pelmora.conf";
    test::WriteFile(path, c.file);
    const CSettings settings = CSettings::LoadFrom(path);
    if (c.problem == nullptr) {
      EXPECT_EQ(settings.Problem(), "") << c.name;
      EXPECT_TRUE(settings.LogEnabled()) << c.name;
      continue;
    }
    EXPECT_EQ(settings.Problem(),
              "The settings file " + path + " " + c.problem + ". None of its settings are used.")
        << c.name;
    EXPECT_FALSE(settings.LogEnabled()) << c.name;
    EXPECT_EQ(settings.PortDevice("COM1"), "") << c.name;  // no guessed default
  }

  TempDir dir;
  EXPECT_EQ(CSettings::LoadFrom(dir / "missing.conf").Problem(), "");  // defaults, silently
  EXPECT_EQ(CSettings::LoadFrom(dir / "missing.conf").PortDevice("COM1"), "/dev/ttyS0");
  EXPECT_EQ(
      CSettings::LoadFrom(dir.Path()).Problem(),
      "The settings file " + dir.Path() + " is not a regular file. None of its settings are used.");
}

TEST(Settings, PathComesFromTheEnvironment) {
  {
    ScopedEnv env(kSettingsVariable, std::nullopt);
    EXPECT_EQ(CSettings::SettingsPath(), "/etc/xdg/pelmora/pelmora.conf");
  }
  {
    // Set but empty: no file is read, so the defaults hold.
    ScopedEnv env(kSettingsVariable, std::string());
    EXPECT_EQ(CSettings::SettingsPath(), "");
    EXPECT_FALSE(CSettings::Load().LogEnabled());
    EXPECT_EQ(CSettings::Load().PortDevice("COM1"), "/dev/ttyS0");
  }
}

TEST(Settings, PortDevices) {
  const CSettings defaults;
  EXPECT_EQ(defaults.PortDevice("COM1"), "/dev/ttyS0");
  EXPECT_EQ(defaults.PortDevice("LPT1"), "0");
  EXPECT_EQ(defaults.PortDevice("COM2"), "");

  CSettings settings = CSettings::FromIni(CIniFile::Parse(
      "[Ports]\ncom1 = /dev/ttyUSB0\nLPT1 =\nCOM2 = /dev/ttyS1\n[Log]\nCOM1 = /dev/wrong\n"));
  EXPECT_EQ(settings.PortDevice("COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(settings.PortDevice("Com1"), "/dev/ttyUSB0");
  EXPECT_EQ(settings.PortDevice("LPT1"), "0");  // an empty entry keeps the default
  EXPECT_EQ(settings.PortDevice("COM2"), "/dev/ttyS1");

  settings.OverridePort("LPT1", "2");
  settings.OverridePort("com1", "/dev/ttyACM0");
  settings.OverridePort("COM1", "/dev/ttyACM1");
  EXPECT_EQ(settings.PortDevice("LPT1"), "2");
  EXPECT_EQ(settings.PortDevice("COM1"), "/dev/ttyACM1");
  EXPECT_EQ(settings.PortDevice("COM2"), "/dev/ttyS1");
}

}  // namespace
}  // namespace pelmora::log
