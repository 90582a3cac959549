#include "atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "file_ops.h"

namespace pelmora::model {

CAtomicFile::~CAtomicFile() {
  if (fd_ >= 0)
    ::close(fd_);
  if (!temp_.empty() && !committed_)
    ::unlink(temp_.c_str());
}

bool CAtomicFile::Fail(int error) {
  error_ = error;
  return false;
}

bool CAtomicFile::Create(const std::string& folder, const std::string& prefix,
                         const std::string& like) {
  folder_ = folder;
  std::string temp = folder + "/" + prefix + "XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return Fail(errno);
  fd_ = fd;
  temp_ = std::move(temp);
  // Taken at once and never waited for: nobody else has the file open yet.
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
    return Fail(errno);

  mode_t mode = 0;
  struct stat st {};
  if (::stat(like.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    // Only root can give a file away; anyone else keeps the file as their own,
    // as a new file would be.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd_, st.st_uid, st.st_gid) != 0 && ::geteuid() == 0) {
      return Fail(errno);
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0)
    return Fail(errno);
  return true;
}

bool CAtomicFile::Write(std::string_view text) {
  const detail::FileOps& ops = detail::CurrentFileOps();
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ops.write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return Fail(n == 0 ? ENOSPC : errno);
    done += static_cast<std::size_t>(n);
  }
  if (ops.fsync(fd_) != 0)
    return Fail(errno);
  return true;
}

bool CAtomicFile::Commit(const std::string& target, bool replace) {
  const detail::FileOps& ops = detail::CurrentFileOps();
  // Some file systems report a failed write only at the close.
  const int fd = fd_;
  fd_ = -1;
  if (ops.close(fd) != 0)
    return Fail(errno);
  if (ops.rename(temp_.c_str(), target.c_str(), replace) != 0)
    return Fail(errno);
  committed_ = true;
  // Make the rename itself durable; the new content is in place either way.
  const int dirFd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace pelmora::model
