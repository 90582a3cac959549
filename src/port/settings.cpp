#include "port/settings.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace pelmora::log {

namespace {

struct PortDefault {
  std::string_view name;
  std::string_view device;
};
constexpr PortDefault kPortDefaults[] = {{"COM1", "/dev/ttyS0"}, {"LPT1", "0"}};

// The switch is a 32-bit number: anything that is not exactly
// such a number, whole, counts as "off" rather than being read leniently.
bool ParseLogSwitch(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  // from_chars would accept a leading '-'; the switch has no sign.
  if (text.empty() || text.front() == '-') {
    return false;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && value != 0;
}

}  // namespace

CSettings CSettings::Load() {
  return LoadFrom(SettingsPath());
}

CSettings CSettings::LoadFrom(const std::string& path) {
  std::optional<CIniFile> file = CIniFile::Load(path);
  return file ? FromIni(std::move(*file)) : CSettings();
}

CSettings CSettings::FromIni(CIniFile file) {
  CSettings settings;
  settings.file_ = std::move(file);
  const std::optional<std::string> log = settings.file_.Find("Log", "LOG");
  settings.logEnabled_ = log && ParseLogSwitch(*log);
  return settings;
}

std::string CSettings::SettingsPath() {
  const char* path = std::getenv(kSettingsVariable);
  return path != nullptr ? path : kSettingsPath;
}

std::string CSettings::PortDevice(std::string_view name) const {
  // The latest override wins, as a repeated command-line option would.
  for (auto it = overrides_.rbegin(); it != overrides_.rend(); ++it) {
    if (EqualIgnoringCase(it->first, name)) {
      return it->second;
    }
  }
  std::string device = file_.GetString("Ports", name, "");
  if (!device.empty()) {
    return device;
  }
  for (const PortDefault& port : kPortDefaults) {
    if (EqualIgnoringCase(port.name, name)) {
      return std::string(port.device);
    }
  }
  return {};
}

void CSettings::OverridePort(std::string_view name, std::string device) {
  overrides_.emplace_back(std::string(name), std::move(device));
}

}  // namespace pelmora::log
