// Keeps every test of the binary away from the machine's own ports: "COM1" and "LPT1"
// name devices that do not exist unless a test points them somewhere else.
#include <gtest/gtest.h>

#include <optional>

#include "update/connection_settings.h"

namespace {

class NoRealPorts : public ::testing::Environment {
 public:
  void SetUp() override {
    pelmora::log::CSettings settings;
    settings.OverridePort("COM1", "/nonexistent/pelmora-test-com1");
    settings.OverridePort("LPT1", "/nonexistent/pelmora-test-lpt1");
    pelmora::update::SetConnectionSettings(settings);
  }
  void TearDown() override { pelmora::update::SetConnectionSettings(std::nullopt); }
};

[[maybe_unused]] const ::testing::Environment* const kNoRealPorts =
    ::testing::AddGlobalTestEnvironment(new NoRealPorts);

}  // namespace
