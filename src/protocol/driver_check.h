// Whether the printer driver a model names is in use by a print queue of this system.
#pragma once

#include <chrono>

#include "model/stat_data_obj.h"

namespace pelmora::protocol {

// How long a connected server may leave the request unanswered.
inline constexpr std::chrono::milliseconds kDriverReplyBound{5000};

// The print service's client library, loaded when a check first needs it.
inline constexpr const char* kCupsLibrary = "libcups.so.2";

// True when some queue of the CUPS server this process talks to (the CUPS_SERVER
// environment variable, the client configuration, or the local default) reports a
// printer-make-and-model equal to the model's driver name, ignoring letter case.
// False when the model names no driver, when the server cannot be reached (the
// connection is given up after 3 seconds, an unanswered request after `replyBound`) and
// on any other error, also when `cupsLibrary` cannot be loaded or lacks a function the
// check calls. Makes one request to that server and never browses the network.
bool IsDriverInstalled(const model::CStatDataObj& model,
                       std::chrono::milliseconds replyBound = kDriverReplyBound,
                       const char* cupsLibrary = kCupsLibrary);

}  // namespace pelmora::protocol
