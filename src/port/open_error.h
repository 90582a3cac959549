// Why a printer device could not be opened, in words for the user.
#pragma once

#include <string>

namespace pelmora::port {

// The cause of `error` (an errno from opening `device`) as the end of a sentence,
// e.g. "no such device". For a permission error it names the group owning the device,
// or `accessGroup` when the device's group is root or unknown, as the group to join.
std::string DescribeOpenError(const std::string& device, int error, const char* accessGroup);

}  // namespace pelmora::port
