// The simulator's --usb mode: a command run with a simulated USB printer attached.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fake_printer.h"
#include "test_support.h"

namespace pelmora::sim {
namespace {

const std::string kProgram = PELMORA_PRINTER_SIM;
const std::string kTs5 = std::string(PELMORA_SOURCE_DIR) + "/tests/data/sequence/ts5.cfg";

// Runs the simulator with `args` and returns its exit status.
int RunSim(const std::string& args) {
  const int status = std::system((kProgram + " " + kTs5 + " " + args).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimUsbTest, RunsTheCommandWithThePrinterAttachedAndEndsWithItsStatus) {
  const pelmora::test::TempDir dir;
  const std::string dump = dir / "memory.txt";
  // The probe writes 0xAB to 0x0010 after the device ID.
  EXPECT_EQ(RunSim("--usb --dump " + dump + " -- " + PELMORA_USB_PROBE + " 1B7E571000AB"), 0);
  std::vector<std::uint8_t> memory(CFakePrinter::kMemorySize);
  std::string error;
  ASSERT_TRUE(ParseDump(pelmora::test::ReadFile(dump), memory, error)) << error;
  EXPECT_EQ(memory[0x10], 0xAB);

  EXPECT_EQ(RunSim("--usb -- sh -c 'exit 7'"), 7);
}

}  // namespace
}  // namespace pelmora::sim
