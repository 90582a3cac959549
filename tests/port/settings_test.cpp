#include "port/settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "port_test_support.h"

namespace pelmora::log {
namespace {

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
