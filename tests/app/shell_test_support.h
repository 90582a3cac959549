// Scratch working folders for the start-up, start dialog and configuration window
// tests: a copy of the sample working folder that a test may change freely.
#pragma once

#include <filesystem>
#include <string>

#include "test_support.h"

namespace pelmora::app::test {

using pelmora::test::ReadFile;
using pelmora::test::ScopedChdir;
using pelmora::test::ScopedEnv;
using pelmora::test::TempDir;
using pelmora::test::WriteFile;

// A temporary copy of examples/ (model/, setting/ and the help file).
class SampleFolder : public TempDir {
 public:
  SampleFolder() {
    std::error_code error;
    std::filesystem::copy(PELMORA_EXAMPLES_DIR, Path(), std::filesystem::copy_options::recursive,
                          error);
  }
};

// A definition file that lists, and loads unless `version` is refused.
inline std::string DefinitionText(const std::string& printerName, const std::string& description,
                                  const std::string& version = "0110") {
  return "Version = " + version + "\nModelName = \"T1\"\nPrinterName = \"" + printerName +
         "\"\nDriverName = \"TAVEN T1\"\nInterface = \"Serial\"\nCmdLine = 1B57MMXX\n"
         "[Standard]\n\"Speed\" : type = number, address = 10, range = (0, 255), scale = 1\n"
         "[End]\n[Default]\n10:05\n[End]\n[Mask]\n10:00\n[End]\n[Option]\nDescription = \"" +
         description + "\"\n[End]\n";
}

}  // namespace pelmora::app::test
