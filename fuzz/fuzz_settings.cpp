// libFuzzer target: any bytes as the settings file. Parsing must end, lookups must
// agree with each other whatever the case of the names, and no value may hold a line
// end, since values never span lines. The checks the program makes of a file it read
// must leave COM1 an absolute device or no device at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "log/ini_file.h"
#include "log/settings.h"

namespace {

using pelmora::log::CIniFile;

void CheckKey(const CIniFile& ini, std::string_view section, std::string_view key,
              std::string_view otherCaseSection, std::string_view otherCaseKey) {
  const std::optional<std::string> value = ini.Find(section, key);
  if (value && value->find('\n') != std::string::npos)
    std::abort();
  if (ini.Find(otherCaseSection, otherCaseKey) != value)
    std::abort();
  if (ini.GetString(section, key, "\n") != (value ? *value : "\n"))
    std::abort();
  ini.GetInt(section, key, -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CIniFile ini = CIniFile::Parse(text);
  CheckKey(ini, "Log", "LOG", "lOG", "log");
  CheckKey(ini, "Ports", "COM1", "PORTS", "com1");
  CheckKey(ini, "Ports", "LPT1", "ports", "Lpt1");

  const pelmora::log::CSettings settings = pelmora::log::CSettings::FromIni(std::move(ini));
  settings.LogEnabled();
  for (const std::string_view port : {"COM1", "lpt1", "COM2"}) {
    if (settings.PortDevice(port).find('\n') != std::string::npos)
      std::abort();
  }

  // As the program takes the file: a file it uses gives COM1 an absolute device
  // without a NUL; one it refuses gives no device and nothing switched on.
  const pelmora::log::CSettings checked = pelmora::log::CSettings::FromText(text, "fuzz.conf");
  const std::string com1 = checked.PortDevice("COM1");
  if (checked.Problem().empty()) {
    if (com1.empty() || com1.front() != '/' || com1.find('\0') != std::string::npos)
      std::abort();
  } else if (!com1.empty() || checked.LogEnabled()) {
    std::abort();
  }
  return 0;
}
