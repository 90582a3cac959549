#include "update/system_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "update/connection_settings.h"
#include "update_test_support.h"

namespace pelmora::update {
namespace {

// Points "COM1" at `device` through a scratch settings file.
class PortSettings {
 public:
  explicit PortSettings(const std::string& device) {
    test::WriteFile(path_, "[Ports]\nCOM1=" + device + "\n");
    // The test binary keeps "COM1" away from real ports by an override; this test
    // wants the settings file's device instead.
    previous_ = ConnectionSettingsOverride();
    log::CSettings settings;
    settings.OverridePort("COM1", device);
    SetConnectionSettings(settings);
  }
  ~PortSettings() { SetConnectionSettings(previous_); }

 private:
  test::TempCwd cwd_;
  std::string path_ = cwd_ / "pelmora.conf";
  pelmora::test::ScopedEnv env_{"PELMORA_SETTINGS", path_};
  std::optional<log::CSettings> previous_;
};

TEST(SystemInfoTest, BehavesAsTheNewestVersionSoUsbIsOffered) {
  EXPECT_EQ(GetOSVersion(), 6);
}

TEST(SystemInfoTest, DefaultRateIsTheRateTheDeviceIsSetTo) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  PortSettings settings(slave);
  for (speed_t speed : {B9600, B115200, B300}) {
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    const std::uint32_t expected = speed == B9600 ? 9600 : speed == B115200 ? 115200 : 300;
    EXPECT_EQ(QueryDefaultBaudRate("COM1"), std::optional<std::uint32_t>(expected));
  }
  ::close(fd);
  ::close(master);
}

TEST(SystemInfoTest, NoRateWithoutADevice) {
  PortSettings settings("/nonexistent/ttyPELMORA");
  EXPECT_EQ(QueryDefaultBaudRate("COM1"), std::nullopt);
  PortSettings notATerminal("/dev/null");
  EXPECT_EQ(QueryDefaultBaudRate("COM1"), std::nullopt);
}

}  // namespace
}  // namespace pelmora::update
