// The administrator's settings file: the switch of the diagnostic log and the
// devices behind the port names the program uses.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/ini_file.h"

namespace pelmora::log {

inline constexpr const char* kSettingsPath = "/etc/xdg/pelmora/pelmora.conf";
// When set, names the settings file to read instead (set but empty: none).
inline constexpr const char* kSettingsVariable = "PELMORA_SETTINGS";

// What the settings file says, read once at start-up; the program never writes it.
//   [Log]   LOG  = N        the log is on when N is a non-zero 32-bit number
//   [Ports] COM1 = /dev/... the serial device (default /dev/ttyS0)
//           LPT1 = N        the parallel port number (default 0)
// A missing file leaves every default. A file that exists but cannot be used (it
// cannot be read, is no regular file, is larger than CIniFile::kMaxFileSize, is not
// text, has a NUL byte in a value, or maps COM1 to a relative path) is not used at
// all: Problem() says why, the log stays off, and the ports map to no device rather
// than to a default that may be the wrong one.
class CSettings {
 public:
  // Nothing read: the log off, the default devices.
  CSettings() = default;

  // Reads the file SettingsPath() names.
  static CSettings Load();
  static CSettings LoadFrom(const std::string& path);
  // The settings of a file's contents `text`, checked as LoadFrom checks a file it
  // could read; `path` names the file in Problem().
  static CSettings FromText(std::string_view text, const std::string& path);
  static CSettings FromIni(CIniFile file);

  // Why the file read cannot be used, as sentences naming it for the user; empty when
  // it was used or missing.
  const std::string& Problem() const { return problem_; }

  // The value of kSettingsVariable when it is set, otherwise kSettingsPath.
  static std::string SettingsPath();

  // True only for a LOG value that is a whole number from 1 to 4294967295,
  // decimal or "0x" hex; a missing key, text, a negative number or one that does
  // not fit in 32 bits leaves the log off.
  bool LogEnabled() const { return logEnabled_; }

  // The device for a port name such as "COM1" or "LPT1" (ignoring case): an
  // override for this run, else the [Ports] entry when it is not empty, else the
  // built-in default; empty for a name with none of these, and for every name without
  // an override when the file cannot be used.
  std::string PortDevice(std::string_view name) const;

  // Makes `name` use `device` for this run only (a command-line option).
  void OverridePort(std::string_view name, std::string device);

 private:
  // Settings that use nothing of the file at `path`, for `problem`.
  static CSettings Unusable(const std::string& path, const std::string& problem);

  CIniFile file_;
  bool logEnabled_ = false;
  std::string problem_;
  std::vector<std::pair<std::string, std::string>> overrides_;
};

}  // namespace pelmora::log
