#include "protocol/command_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelmora::protocol {

namespace {

std::string Failure(const char* what, const std::string& path, int error) {
  return std::string(what) + " \"" + path + "\": " + std::strerror(error);
}

}  // namespace

CCommandStream::CCommandStream(const model::CStatDataObj& model)
    : model_(model),
      init_(model.InitCommand()),
      reset_(model.ResetCommand()),
      write_(model.WriteTemplate()) {}

std::vector<std::uint8_t> CCommandStream::Build() const {
  // Each address is written at most once and lies in some block, so the image's byte
  // count bounds the number of commands. One allocation, with room for the padding
  // the last command may write, trimmed at the end.
  std::size_t bytes = 0;
  for (const model::CDataBlock& block : model_.CurrentImage().Blocks()) bytes += block.count;
  std::vector<std::uint8_t> out(init_.size() + bytes * write_.Size() + write_.PaddedSize() +
                                reset_.size());

  std::uint8_t* at = std::copy(init_.begin(), init_.end(), out.data());
  if (!write_.Empty()) {
    const std::size_t step = write_.Size();
    if (write_.PaddedSize() == CWriteTemplate::kWordBytes) {
      const CWriteTemplate::CWord word = write_.FirstWord();  // a copy, kept in registers
      ForEachKnownByte(model_, [&](std::uint16_t address, std::uint8_t data) {
        word.Build(address, data, at);
        at += step;
      });
    } else {
      ForEachKnownByte(model_, [&](std::uint16_t address, std::uint8_t data) {
        write_.BuildPadded(address, data, at);  // the next command overwrites the padding
        at += step;
      });
    }
  }
  at = std::copy(reset_.begin(), reset_.end(), at);
  out.resize(static_cast<std::size_t>(at - out.data()));
  return out;
}

std::vector<std::uint8_t> BuildCommandStream(const model::CStatDataObj& model) {
  return CCommandStream(model).Build();
}

bool WriteCommandFile(const std::string& path, std::span<const std::uint8_t> bytes,
                      std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Failure("Cannot create", path, errno);
    return false;
  }
  // One write normally takes everything; a short write continues where it stopped.
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      const int cause = n < 0 ? errno : EIO;
      ::close(fd);
      error = Failure("Cannot write", path, cause);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  // Some file systems report a failed write only here.
  if (::close(fd) != 0) {
    error = Failure("Cannot write", path, errno);
    return false;
  }
  return true;
}

bool WriteBinaryFile(const model::CStatDataObj& model, const std::string& path,
                     std::string& error) {
  return WriteCommandFile(path, BuildCommandStream(model), error);
}

}  // namespace pelmora::protocol
