// Whether the printer driver a model names is in use by a print queue of this system.
#pragma once

#include "model/stat_data_obj.h"

namespace pelmora::protocol {

// True when some queue of the CUPS server this process talks to (the CUPS_SERVER
// environment variable, the client configuration, or the local default) reports a
// printer-make-and-model equal to the model's driver name, ignoring letter case.
// False when the model names no driver, when the server cannot be reached (the
// connection is given up after 3 seconds, an unanswered request after 5) and on any
// other error. Makes one request to that server and never browses the network.
bool IsDriverInstalled(const model::CStatDataObj& model);

}  // namespace pelmora::protocol
