// Process-wide state shared by the printer operations and the windows.
#pragma once

namespace pelmora::update {

// The "Don't display this message." choice of the send warning: false at start,
// set from the Warning dialog's check box, cleared whenever a configuration
// window closes. One user-interface thread reads and writes it.
bool& NoWarningFlag();

}  // namespace pelmora::update
