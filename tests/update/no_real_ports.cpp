// Keeps every test of the binary away from the machine's own serial ports: "COM1"
// names a device that does not exist unless a test points it somewhere else.
#include <gtest/gtest.h>

#include <optional>

#include "update/connection_settings.h"

namespace {

class NoRealPorts : public ::testing::Environment {
 public:
  void SetUp() override {
    pelmora::log::CSettings settings;
    settings.OverridePort("COM1", "/nonexistent/pelmora-test-com1");
    pelmora::update::SetConnectionSettings(settings);
  }
  void TearDown() override { pelmora::update::SetConnectionSettings(std::nullopt); }
};

[[maybe_unused]] const ::testing::Environment* const kNoRealPorts =
    ::testing::AddGlobalTestEnvironment(new NoRealPorts);

}  // namespace
