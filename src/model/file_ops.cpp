#include "file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pelmora::model::detail {

namespace {

int Rename(const char* from, const char* to, bool replace) {
  if (replace)
    return ::rename(from, to);
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS)
    return -1;
  // File systems without that flag: a hard link fails as well when the name is taken.
  if (::link(from, to) != 0)
    return -1;
  ::unlink(from);
  return 0;
}

FileOps g_ops{::write, ::fsync, ::close, Rename};

}  // namespace

const FileOps& CurrentFileOps() {
  return g_ops;
}

FileOps ReplaceFileOps(const FileOps& ops) {
  const FileOps previous = g_ops;
  g_ops = ops;
  return previous;
}

}  // namespace pelmora::model::detail
