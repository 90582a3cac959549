// Saving a configuration: the set lines from the current image, the copy of the
// source text with them and the description put in, and the file written safely.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "atomic_file.h"
#include "log/ascii.h"
#include "messages.h"
#include "model_file.h"
#include "result_codes.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

using log::EqualsIgnoringCase;

constexpr std::string_view kSaveFailed =
    "Error! An exception happened, and a file couldn't be kept.";

// The description as it stands between the quotes of the Description line: the
// quote, backslash, apostrophe, question mark and every control byte escaped so
// the line reads back as typed, cut so that the line stays within 1,024 characters.
void AppendDescription(std::string& out, std::string_view description, std::size_t quoteAt,
                       std::size_t tail) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t written = 0;
  for (const char c : description) {
    const auto b = static_cast<unsigned char>(c);
    const bool escape = c == '"' || c == '\\' || c == '\'' || c == '?' || b < 0x20 || b == 0xFF;
    const std::size_t at = quoteAt + written + tail;
    if (escape ? at >= 1020 : at >= 1021)
      break;
    if (escape) {
      out += '\\';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
      written += 3;
    } else {
      out += c;
      ++written;
    }
  }
}

// Replaces the first quoted text of an [Option] line by the description.
void PutDescription(std::string& out, std::string_view raw, std::string_view description) {
  const std::size_t open = raw.find('"');
  std::size_t close = open + 1;
  while (close < raw.size() && !(raw[close] == '"' && raw[close - 1] != '\\')) ++close;
  const std::string_view tail = close < raw.size() ? raw.substr(close + 1) : std::string_view();
  out.append(raw.substr(0, open + 1));
  AppendDescription(out, description, open, tail.size());
  out += '"';
  out.append(tail);
}

// A set line as a data line: the address in lower-case hexadecimal, two digits
// below 0x100 and four from there on, a colon and the data.
void AppendSetLine(std::string& out, const CDataLine& line) {
  char address[8];
  std::snprintf(address, sizeof address,
                line.address < 0x100 ? "%02x:" : "%04x:", static_cast<unsigned>(line.address));
  out += address;
  out += line.data;
  out += '\n';
}

constexpr std::string_view kSameFile = "The same file already exists.";

// Hidden and not ending in .cfg, so no listing ever shows a temporary file.
constexpr std::string_view kTempPrefix = ".temp.cfg.";

// An exclusive flock on the setting folder, held while a save looks for names and
// renames (so that two saves cannot both find a name free, and `n.cfg` and `N.CFG`
// never both appear), and while it cleans up and creates its temporary file.
class CFolderLock {
 public:
  explicit CFolderLock(const std::string& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        break;
      }
    }
  }
  ~CFolderLock() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  CFolderLock(const CFolderLock&) = delete;
  CFolderLock& operator=(const CFolderLock&) = delete;

  int Fd() const { return fd_; }
  // 0 when the lock is held, else the errno that prevented it.
  int Error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

// Removes the temporary files that saves killed midway left in the folder. A save
// still running holds a lock on its own, so only files whose lock can be taken go.
// Runs under the folder lock, under which every save creates and locks its file.
void RemoveStaleTemporaryFiles(int folderFd) {
  const int listFd = ::dup(folderFd);
  if (listFd < 0)
    return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (!std::string_view(entry->d_name).starts_with(kTempPrefix))
      continue;
    const int fd = ::openat(folderFd, entry->d_name,
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
      continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(folderFd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

}  // namespace

std::string FindNameIgnoringCase(const std::string& folder, const std::string& name) {
  std::string found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (!EqualsIgnoringCase(entry->d_name, name))
        continue;
      if (found.empty() || name == entry->d_name)
        found = entry->d_name;
    }
    ::closedir(dir);
  }
  return found;
}

void CModelFile::RefreshSetData() {
  if (model_ == nullptr)
    return;
  static constexpr char kHex[] = "0123456789ABCDEF";
  // One set line per block of the current image, so that an image rebuilt from
  // lines of another layout (the factory data) is saved whole.
  std::vector<CDataLine> lines;
  for (const CDataBlock& block : model_->CurrentImage().Blocks()) {
    CDataLine line{block.address, {}};
    for (std::size_t j = 0; j < block.count; ++j) {
      if (block.IsKnown(j)) {
        line.data += kHex[block.bytes[j] >> 4];
        line.data += kHex[block.bytes[j] & 0xF];
      } else {
        line.data += "XX";
      }
    }
    lines.push_back(std::move(line));
  }
  model_->SetLines() = std::move(lines);
}

std::string CModelFile::WriteSettingCopy(std::string_view description) const {
  std::string out;
  out.reserve(textSize_ + 1024);
  const std::vector<CDataLine> none;
  const std::vector<CDataLine>& setLines = model_ ? model_->SetLines() : none;

  // The [SetData] lines of the source are rewritten in place only when they have
  // the layout of the set lines; otherwise they are left out and the set lines
  // are written as a block of their own at the end.
  bool inPlace = fileSetLayout_.size() == setLines.size();
  for (std::size_t i = 0; inPlace && i < setLines.size(); ++i) {
    inPlace = fileSetLayout_[i].first == setLines[i].address &&
              fileSetLayout_[i].second == setLines[i].data.size();
  }

  // The lines are read twice in step: raw, to be copied, and as the reader sees
  // them (comment removed, trimmed; empty lines skipped, which the line numbers
  // tell), so that sections and data lines are told apart exactly as on load.
  std::uint32_t section = kSectionHeader;
  std::uint32_t ended = 0;
  std::size_t next = 0;  // next set line to write
  CLineReader raws(Text());
  CLineReader lines(Text());
  std::string_view line;
  CLineReader::Status status = lines.Next(line);
  std::string_view raw;
  while (raws.NextRaw(raw)) {
    std::string_view content;  // the line as the reader sees it; empty when it skips it
    const bool seen = status != CLineReader::kEndOfFile && lines.LineNumber() == raws.LineNumber();
    if (seen)
      content = line;
    if (!content.empty() && content.front() == '[') {
      ApplySectionLine(content, section, ended);
      out.append(raw);
    } else if (section == kSectionOption && !content.empty() &&
               raw.find('"') != std::string_view::npos) {
      PutDescription(out, raw, description);
    } else if (section == kSectionSetData && !content.empty() && !inPlace) {
      // A data line of a [SetData] laid out otherwise: the block at the end replaces it.
      if (seen)
        status = lines.Next(line);
      continue;
    } else if (section == kSectionSetData && !content.empty() && next < setLines.size()) {
      const std::size_t colon = raw.find(':');
      const std::string& data = setLines[next++].data;
      const std::size_t at = out.size();
      out.append(raw);
      if (colon != std::string_view::npos)
        out.replace(at + colon + 1, data.size(), data);
    } else {
      out.append(raw);
    }
    out += '\n';
    if (seen)
      status = lines.Next(line);
  }

  // Set lines not yet written go into a [SetData] block at the end.
  if (next < setLines.size()) {
    if (section != kSectionSetData || (ended & kSectionSetData >> 4) != 0 || !inPlace) {
      out += "[SetData]\n";
    }
    for (; next < setLines.size(); ++next) AppendSetLine(out, setLines[next]);
    out += "[End]\n";
  }
  return out;
}

int CModelFile::SaveSetting(IUserPrompt& owner, const std::string& base, const std::string& name,
                            std::string_view description) {
  const std::string folder = base + "/setting";
  if (!FindNameIgnoringCase(folder, name).empty()) {
    const Answer answer =
        owner.Ask(msg::kAppTitle,
                  "The same file already exists.\n\nWould you like to overwrite the current file?",
                  Buttons::kYesNo);
    if (answer != Answer::kYes)
      return 0;
    return OverwriteSetting(owner, base, name, description);
  }
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    owner.Ask(msg::kAppTitle,
              std::string(kSaveFailed) + "\n" + folder + ": " + std::strerror(errno), Buttons::kOk);
    return 0;
  }
  return WriteSetting(owner, folder, name, false, description);
}

int CModelFile::OverwriteSetting(IUserPrompt& owner, const std::string& base,
                                 const std::string& name, std::string_view description) {
  return WriteSetting(owner, base + "/setting", name, true, description);
}

int CModelFile::WriteSetting(IUserPrompt& owner, const std::string& folder, const std::string& name,
                             bool replace, std::string_view description) {
  // The set lines stand for the last saved state (Restore Setting returns to
  // them), so they keep it when this save fails.
  std::vector<CDataLine> saved = model_ ? model_->SetLines() : std::vector<CDataLine>();
  auto fail = [&](const std::string& message) {
    if (model_ != nullptr)
      model_->SetLines() = std::move(saved);
    owner.Ask(msg::kAppTitle, message, Buttons::kOk);
    return 0;
  };
  auto failed = [&](const std::string& path, int error) {
    return fail(std::string(kSaveFailed) + "\n" + path + ": " + std::strerror(error));
  };
  RefreshSetData();
  const std::string text = WriteSettingCopy(description);
  const std::string target = folder + "/" + name;

  CAtomicFile temp;
  {
    const CFolderLock lock(folder);
    if (lock.Error() != 0)
      return failed(folder, lock.Error());
    RemoveStaleTemporaryFiles(lock.Fd());
    // The new file takes the permissions and owner of the one it replaces.
    const std::string previous = replace ? FindNameIgnoringCase(folder, name) : std::string();
    if (!temp.Create(folder, std::string(kTempPrefix),
                     previous.empty() ? target : folder + "/" + previous)) {
      return failed(temp.TempPath().empty() ? folder : temp.TempPath(), temp.Error());
    }
  }
  // Written outside the lock: other saves need not wait for this one's disk.
  if (!temp.Write(text))
    return failed(temp.TempPath(), temp.Error());
  {
    const CFolderLock lock(folder);
    if (lock.Error() != 0)
      return failed(folder, lock.Error());
    // Looked for again: another save may have taken the name meanwhile.
    const std::string replaced = FindNameIgnoringCase(folder, name);
    if (!replace && !replaced.empty())
      return fail(std::string(kSameFile));
    if (!temp.Commit(target, replace)) {
      if (temp.Error() == EEXIST && !replace)
        return fail(std::string(kSameFile));
      return failed(target, temp.Error());
    }
    // The name typed replaces one that differed only in case.
    if (replace && !replaced.empty() && replaced != name)
      ::unlink((folder + "/" + replaced).c_str());
  }
  CloseSource();
  fd_ = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (model_ != nullptr)
    model_->SetFilePath(target);
  return 1;
}

}  // namespace pelmora::model
