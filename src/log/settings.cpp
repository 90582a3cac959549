#include "log/settings.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

#include "log/ascii.h"

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

bool IsControl(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || c == 0x7F;
}

// Why `text` is no settings text, as the end of a sentence; empty when it is one. A NUL
// after the '=' of a key line is named as such (it would cut the value short unseen);
// any other control byte means the file is not text at all.
std::string TextProblem(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::size_t equals = line.find('=');
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (!IsControl(static_cast<unsigned char>(line[i])))
        continue;
      if (line[i] != '\0' || equals == std::string_view::npos || i < equals)
        return "is not a text file";
      std::string_view key = line.substr(0, equals);
      while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.remove_prefix(1);
      while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
      return "has a NUL byte in the value of " + std::string(key);
    }
  }
  return {};
}

}  // namespace

CSettings CSettings::Load() {
  return LoadFrom(SettingsPath());
}

CSettings CSettings::LoadFrom(const std::string& path) {
  std::string text;
  int error = 0;
  std::string problem;
  switch (CIniFile::ReadText(path, text, error)) {
    case CIniFile::ReadFailure::kNone:
      break;
    case CIniFile::ReadFailure::kMissing:
      return CSettings();
    case CIniFile::ReadFailure::kUnreadable:
      problem = "cannot be read (" + std::generic_category().message(error) + ")";
      break;
    case CIniFile::ReadFailure::kNotRegular:
      problem = "is not a regular file";
      break;
    case CIniFile::ReadFailure::kTooLarge:
      problem = "is larger than " + std::to_string(CIniFile::kMaxFileSize) + " bytes";
      break;
  }
  if (problem.empty())
    return FromText(text, path);
  return Unusable(path, problem);
}

CSettings CSettings::FromText(std::string_view text, const std::string& path) {
  if (std::string problem = TextProblem(text); !problem.empty())
    return Unusable(path, problem);
  CSettings settings = FromIni(CIniFile::Parse(text));
  // A relative device would be opened in whatever folder the program runs in.
  const std::optional<std::string> com1 = settings.file_.Find("Ports", "COM1");
  if (com1 && !com1->empty() && com1->front() != '/')
    return Unusable(path, "maps COM1 to a relative path (" + *com1 + ")");
  return settings;
}

CSettings CSettings::Unusable(const std::string& path, const std::string& problem) {
  CSettings settings;
  settings.problem_ =
      "The settings file " + path + " " + problem + ". None of its settings are used.";
  return settings;
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
    if (EqualsIgnoringCase(it->first, name)) {
      return it->second;
    }
  }
  if (!problem_.empty()) {
    return {};
  }
  std::string device = file_.GetString("Ports", name, "");
  if (!device.empty()) {
    return device;
  }
  for (const PortDefault& port : kPortDefaults) {
    if (EqualsIgnoringCase(port.name, name)) {
      return std::string(port.device);
    }
  }
  return {};
}

void CSettings::OverridePort(std::string_view name, std::string device) {
  overrides_.emplace_back(std::string(name), std::move(device));
}

}  // namespace pelmora::log
