// The port map of every widget test that can reach Update or Get: "COM1" and "LPT1"
// name devices that do not exist, however the test binary was started (ctest, the
// screenshot script, by hand), so no test ever opens the machine's own port.
#pragma once

#include "log/settings.h"
#include "update/connection_settings.h"

namespace pelmora::test {

inline constexpr const char* kTestCom1 = "/nonexistent/pelmora-test-com1";
inline constexpr const char* kTestLpt1 = "/nonexistent/pelmora-test-lpt1";

// Puts the test port map in place for the rest of the run.
inline void UseTestPorts() {
  log::CSettings settings;
  settings.OverridePort("COM1", kTestCom1);
  settings.OverridePort("LPT1", kTestLpt1);
  update::SetConnectionSettings(settings);
}

}  // namespace pelmora::test
