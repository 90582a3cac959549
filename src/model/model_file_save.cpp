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
#include <memory>

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

// Whether the source's [SetData] lines have the addresses and lengths of the set lines,
// so that they can be rewritten in place.
bool LayoutMatches(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& layout,
                   const std::vector<CDataLine>& setLines) {
  if (layout.size() != setLines.size())
    return false;
  for (std::size_t i = 0; i < setLines.size(); ++i) {
    if (layout[i].first != setLines[i].address || layout[i].second != setLines[i].data.size())
      return false;
  }
  return true;
}

// The copy of the source text a save writes, a line at a time: the description put
// into [Option] and the set lines into [SetData], in place or, when the source's
// lines are laid out otherwise, as a block of their own at the end.
class CSettingCopy {
 public:
  CSettingCopy(std::string& out, const std::vector<CDataLine>& setLines, bool inPlace,
               std::string_view description)
      : out_(out), setLines_(setLines), inPlace_(inPlace), description_(description) {}

  // Copies the line `raw`; `content` is the line as the reader sees it, empty when
  // the reader skips it.
  void Copy(std::string_view raw, std::string_view content) {
    if (!content.empty() && content.front() == '[') {
      ApplySectionLine(content, section_, ended_);
      out_.append(raw);
    } else if (section_ == kSectionOption && !content.empty() &&
               raw.find('"') != std::string_view::npos) {
      PutDescription(out_, raw, description_);
    } else if (section_ == kSectionSetData && !content.empty() && !inPlace_) {
      return;  // a data line of a [SetData] laid out otherwise: the block at the end replaces it
    } else if (section_ == kSectionSetData && !content.empty() && next_ < setLines_.size()) {
      const std::size_t colon = raw.find(':');
      const std::string_view data = setLines_[next_++].data;
      const std::size_t at = out_.size();
      out_.append(raw);
      if (colon != std::string_view::npos)
        out_.replace(at + colon + 1, data.size(), data);
    } else {
      out_.append(raw);
    }
    out_ += '\n';
  }

  // Set lines not yet written go into a [SetData] block at the end.
  void Finish() {
    if (next_ >= setLines_.size())
      return;
    if (section_ != kSectionSetData || (ended_ & kSectionSetData >> 4) != 0 || !inPlace_)
      out_ += "[SetData]\n";
    for (; next_ < setLines_.size(); ++next_) AppendSetLine(out_, setLines_[next_]);
    out_ += "[End]\n";
  }

 private:
  std::string& out_;
  const std::vector<CDataLine>& setLines_;
  const bool inPlace_;
  const std::string_view description_;
  std::uint32_t section_ = kSectionHeader;
  std::uint32_t ended_ = 0;
  std::size_t next_ = 0;  // next set line to write
};

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
  const std::vector<CDataBlock>& blocks = model_->CurrentImage().Blocks();
  // All texts in one buffer that the model keeps; sized first so that it never moves.
  std::size_t size = 0;
  for (const CDataBlock& block : blocks) size += 2 * std::size_t{block.count};
  auto text = std::make_shared<std::string>();
  text->reserve(size);
  std::vector<CDataLine> lines;
  lines.reserve(blocks.size());
  for (const CDataBlock& block : blocks) {
    const std::size_t from = text->size();
    for (std::size_t j = 0; j < block.count; ++j) {
      if (block.IsKnown(j)) {
        *text += kHex[block.bytes[j] >> 4];
        *text += kHex[block.bytes[j] & 0xF];
      } else {
        *text += "XX";
      }
    }
    lines.push_back({block.address, std::string_view(*text).substr(from)});
  }
  model_->ReplaceSetLines(std::move(lines), std::move(text));
}

std::string CModelFile::WriteSettingCopy(std::string_view description) const {
  std::string out;
  out.reserve(textSize_ + 1024);
  const std::vector<CDataLine> none;
  const std::vector<CDataLine>& setLines = model_ ? model_->SetLines() : none;

  CSettingCopy copy(out, setLines, LayoutMatches(fileSetLayout_, setLines), description);

  // The lines are read twice in step: raw, to be copied, and as the reader sees
  // them (comment removed, trimmed; empty lines skipped, which the line numbers
  // tell), so that sections and data lines are told apart exactly as on load.
  CLineReader raws(Text());
  CLineReader lines(Text());
  std::string_view line;
  CLineReader::Status status = lines.Next(line);
  std::string_view raw;
  while (raws.NextRaw(raw)) {
    const bool seen = status != CLineReader::kEndOfFile && lines.LineNumber() == raws.LineNumber();
    copy.Copy(raw, seen ? line : std::string_view());
    if (seen)
      status = lines.Next(line);
  }
  copy.Finish();
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
