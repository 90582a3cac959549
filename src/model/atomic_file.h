// A file replaced whole or not at all: written to a temporary file beside it,
// every write checked, synced, then renamed over it.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::model {

// One replacement of one file. The temporary file is created in the target's
// folder (a rename never crosses file systems), hidden, and locked with flock
// for as long as it is open, so that a cleanup in another process can tell a
// live temporary file from one left by a killed writer. It is removed again
// unless Commit renamed it.
//
// Each failing step returns false and keeps the errno in Error(); which path to
// name in a message is the caller's choice.
class CAtomicFile {
 public:
  CAtomicFile() = default;
  ~CAtomicFile();
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;

  // Creates `<folder>/<prefix>XXXXXX`. It takes the permission bits of
  // `like` when that file exists (and, when we may, its owner and group),
  // else 0666 less the umask.
  bool Create(const std::string& folder, const std::string& prefix, const std::string& like);
  // Writes all of `text`, continuing short writes, then syncs it to the disk.
  bool Write(std::string_view text);
  // Closes the file and renames it to `target`. With `replace` false the rename
  // fails with EEXIST when `target` exists. The folder is synced afterwards so
  // that the new name survives a crash. The lock ends with the close, so a
  // caller whose cleanup runs under a lock on the folder holds that lock here.
  bool Commit(const std::string& target, bool replace);

  const std::string& TempPath() const { return temp_; }
  int Error() const { return error_; }

 private:
  bool Fail(int error);

  std::string folder_;
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace pelmora::model
