#include "update/connection_settings.h"

#include <utility>

namespace pelmora::update {

namespace {

std::optional<log::CSettings>& RunSettings() {
  static std::optional<log::CSettings> settings;
  return settings;
}

port::CSerialWaits& RunSerialWaits() {
  static port::CSerialWaits waits;
  return waits;
}

port::CUsbWaits& RunUsbWaits() {
  static port::CUsbWaits waits;
  return waits;
}

port::CNetworkWaits& RunNetworkWaits() {
  static port::CNetworkWaits waits;
  return waits;
}

}  // namespace

log::CSettings ConnectionSettings() {
  // Read at every operation, so a port the administrator has just mapped is used.
  return RunSettings() ? *RunSettings() : log::CSettings::Load();
}

void SetConnectionSettings(std::optional<log::CSettings> settings) {
  RunSettings() = std::move(settings);
}

const std::optional<log::CSettings>& ConnectionSettingsOverride() {
  return RunSettings();
}

const port::CSerialWaits& SerialWaits() {
  return RunSerialWaits();
}

void SetSerialWaits(const port::CSerialWaits& waits) {
  RunSerialWaits() = waits;
}

const port::CUsbWaits& UsbWaits() {
  return RunUsbWaits();
}

void SetUsbWaits(const port::CUsbWaits& waits) {
  RunUsbWaits() = waits;
}

const port::CNetworkWaits& NetworkWaits() {
  return RunNetworkWaits();
}

void SetNetworkWaits(const port::CNetworkWaits& waits) {
  RunNetworkWaits() = waits;
}

}  // namespace pelmora::update
