// Opening a printer device for this process alone, and why it could not be opened, in
// words for the user.
#pragma once

#include <string>

#include "log/settings.h"

namespace pelmora::port {

// "No `what` is set for `portName`.", followed by why the settings file gave none
// when it could not be read.
std::string NoDeviceSetMessage(const char* what, const char* portName,
                               const log::CSettings& settings);

// The cause of `error` (an errno from opening `device`) as the end of a sentence,
// e.g. "no such device". For a permission error it names the group owning the device,
// or `accessGroup` when the device's group is root or unknown, as the group to join.
std::string DescribeOpenError(const std::string& device, int error, const char* accessGroup);

// Opens `device` for reading and writing, non-blocking (the connections wait with their
// own deadlines), close-on-exec, with `extraFlags`, and takes an exclusive lock on it
// that keeps out every other connection object, root's included. Returns the
// descriptor, or -1 with `error` set (EBUSY when another holds the lock, ENOENT for an
// empty name).
int OpenLocked(const std::string& device, int extraFlags, int& error);

}  // namespace pelmora::port
