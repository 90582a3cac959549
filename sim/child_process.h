// Starting a helper program whose standard output the caller reads through a pipe.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pelmora::sim {

// Starts `argv[0]` (a path) with `argv` as its arguments, its standard input on
// /dev/null and its standard output on a pipe whose reading end goes to `output`. The
// child gets SIGTERM when this process ends, however it ends. True with `pid` set;
// false with `error` when the pipe or the fork failed (a failed exec shows as the
// child's exit status 127).
bool SpawnWithOutputPipe(const std::vector<std::string>& argv, pid_t& pid, int& output,
                         std::string& error);

}  // namespace pelmora::sim
