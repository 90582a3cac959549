// The settings the printer operations resolve port names through ("COM1" to a device).
#pragma once

#include <optional>

#include "log/settings.h"
#include "port/network.h"
#include "port/serial_settings.h"
#include "port/usb.h"

namespace pelmora::update {

// The settings in force for the next printer operation: those a front end put in place
// for this run (pelmora-cli's --device, tests), else the settings file as it is now.
log::CSettings ConnectionSettings();

// Puts `settings` in place for the operations that follow; nullopt goes back to the
// settings file. Not to be called while an operation runs.
void SetConnectionSettings(std::optional<log::CSettings> settings);
// What SetConnectionSettings put in place, if anything.
const std::optional<log::CSettings>& ConnectionSettingsOverride();

// The waits of the serial connection for the operations that follow: the defaults
// unless a test put shorter ones in place. Not to be changed while an operation runs.
const port::CSerialWaits& SerialWaits();
void SetSerialWaits(const port::CSerialWaits& waits);

// The same for the USB connection's transfer bounds.
const port::CUsbWaits& UsbWaits();
void SetUsbWaits(const port::CUsbWaits& waits);

// The same for the network connection's waits, ports and transfer bounds.
const port::CNetworkWaits& NetworkWaits();
void SetNetworkWaits(const port::CNetworkWaits& waits);

}  // namespace pelmora::update
