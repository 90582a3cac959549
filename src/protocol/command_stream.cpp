#include "protocol/command_stream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "model/atomic_file.h"

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
  // Written through a link, so that the link stays; anything but a regular file
  // there (a FIFO would block, a device is no file to keep) is refused at once.
  std::string target = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error = Failure("Cannot create", path, EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      error = "Cannot create \"" + path + "\": it is not a regular file";
      return false;
    }
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  // A hidden temporary file beside it, renamed over it once complete: a full disk
  // or a failed write leaves the old file, never a part of the new one.
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  model::CAtomicFile file;
  if (!file.Create(folder, "." + base + ".", target)) {
    error = Failure("Cannot create", path, file.Error());
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!file.Write(text) || !file.Commit(target, true)) {
    error = Failure("Cannot write", path, file.Error());
    return false;
  }
  return true;
}

bool WriteBinaryFile(const model::CStatDataObj& model, const std::string& path,
                     std::string& error) {
  return WriteCommandFile(path, BuildCommandStream(model), error);
}

}  // namespace pelmora::protocol
