// Saving a configuration: the set lines from the current image, the copy of the
// source text with them and the description put in, and the file written safely.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_ops.h"
#include "model_file.h"
#include "result_codes.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

using detail::EqualsNoCase;

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

// Writes `text` to a fresh file beside `target` and renames it over `target`, so
// that `target` is always either the old or the new content. `previous` is the
// file being replaced (it may differ from `target` in case). On failure the
// temporary file is removed and `error` names the cause.
bool WriteFileAtomically(const std::string& folder, const std::string& target,
                         const std::string& previous, std::string_view text, std::string& error) {
  const detail::FileOps& ops = detail::CurrentFileOps();
  // The new file keeps the permissions of the one it replaces.
  mode_t mode = 0;
  struct stat st {};
  if (::stat(previous.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // A hidden name that does not end in .cfg, so no listing ever shows it.
  std::string temp = folder + "/.temp.cfg.XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  auto fail = [&](const std::string& what, int err, bool open) {
    if (open)
      ops.close(fd);
    ::unlink(temp.c_str());
    error = what + ": " + std::strerror(err);
    return false;
  };
  if (::fchmod(fd, mode) != 0)
    return fail(temp, errno, true);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ops.write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return fail(temp, n == 0 ? ENOSPC : errno, true);
    done += static_cast<std::size_t>(n);
  }
  if (ops.fsync(fd) != 0)
    return fail(temp, errno, true);
  if (ops.close(fd) != 0)
    return fail(temp, errno, false);
  if (ops.rename(temp.c_str(), target.c_str()) != 0)
    return fail(target, errno, false);
  // Make the rename itself durable; the new content is in place either way.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

std::string FindNameIgnoringCase(const std::string& folder, const std::string& name) {
  std::string found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (!EqualsNoCase(entry->d_name, name))
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
    const Answer answer = owner.Ask(
        "Pelmora", "The same file already exists.\n\nWould you like to overwrite the current file?",
        Buttons::kYesNo);
    if (answer != Answer::kYes)
      return 0;
    return OverwriteSetting(owner, base, name, description);
  }
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    owner.Ask("Pelmora", std::string(kSaveFailed) + "\n" + folder + ": " + std::strerror(errno),
              Buttons::kOk);
    return 0;
  }
  return WriteSetting(owner, folder, name, {}, description);
}

int CModelFile::OverwriteSetting(IUserPrompt& owner, const std::string& base,
                                 const std::string& name, std::string_view description) {
  const std::string folder = base + "/setting";
  return WriteSetting(owner, folder, name, FindNameIgnoringCase(folder, name), description);
}

int CModelFile::WriteSetting(IUserPrompt& owner, const std::string& folder, const std::string& name,
                             const std::string& replaced, std::string_view description) {
  // The set lines stand for the last saved state (Restore Setting returns to
  // them), so they keep it when this save fails.
  std::vector<CDataLine> saved = model_ ? model_->SetLines() : std::vector<CDataLine>();
  RefreshSetData();
  const std::string text = WriteSettingCopy(description);
  const std::string target = folder + "/" + name;
  std::string error;
  const std::string previous = replaced.empty() ? target : folder + "/" + replaced;
  if (!WriteFileAtomically(folder, target, previous, text, error)) {
    if (model_ != nullptr)
      model_->SetLines() = std::move(saved);
    owner.Ask("Pelmora", std::string(kSaveFailed) + "\n" + error, Buttons::kOk);
    return 0;
  }
  // The name typed replaces one that differed only in case.
  if (!replaced.empty() && replaced != name)
    ::unlink((folder + "/" + replaced).c_str());
  CloseSource();
  fd_ = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (model_ != nullptr)
    model_->SetFilePath(target);
  return 1;
}

}  // namespace pelmora::model
