#include "file_ops.h"

#include <unistd.h>

#include <cstdio>

namespace pelmora::model::detail {

namespace {

FileOps g_ops{::write, ::fsync, ::close, ::rename};

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
