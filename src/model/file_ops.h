// The file-system calls a save makes, gathered in one place so that tests can
// make any of them fail (a full disk, a failing fsync or rename) on demand.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace pelmora::model::detail {

struct FileOps {
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*fsync)(int fd);
  int (*close)(int fd);
  // With `replace` false, fails with EEXIST instead of replacing `to`.
  int (*rename)(const char* from, const char* to, bool replace);
};

// The calls in force; the real ones unless a test replaced them.
const FileOps& CurrentFileOps();
// Replaces the calls until the returned previous set is put back. Tests only.
FileOps ReplaceFileOps(const FileOps& ops);

}  // namespace pelmora::model::detail
