#include "log/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "log/ascii.h"

namespace pelmora::log {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

int DigitValue(char c, int base) {
  int digit = base;
  if (c >= '0' && c <= '9') {
    digit = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    digit = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    digit = c - 'A' + 10;
  }
  return digit < base ? digit : -1;
}

// The leading number of `value`, as the private-profile integer lookup reads it.
std::uint32_t LeadingNumber(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) {
    ++i;
  }
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  std::uint32_t base = 10;
  if (i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  std::uint32_t number = 0;  // unsigned, so overflow wraps instead of being undefined
  for (; i < value.size(); ++i) {
    const int digit = DigitValue(value[i], static_cast<int>(base));
    if (digit < 0) {
      break;
    }
    number = number * base + static_cast<std::uint32_t>(digit);
  }
  return negative ? 0U - number : number;
}

}  // namespace

std::optional<CIniFile> CIniFile::Load(const std::string& path) {
  std::string text;
  int error = 0;
  if (ReadText(path, text, error) != ReadFailure::kNone) {
    return std::nullopt;
  }
  return Parse(text);
}

CIniFile::ReadFailure CIniFile::ReadText(const std::string& path, std::string& text, int& error) {
  text.clear();
  error = 0;
  // O_NONBLOCK so that a FIFO named by mistake cannot hang start-up.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return error == ENOENT || error == ENOTDIR ? ReadFailure::kMissing : ReadFailure::kUnreadable;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    error = errno;
    close(fd);
    return ReadFailure::kUnreadable;
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    return ReadFailure::kNotRegular;
  }
  if (static_cast<std::uint64_t>(info.st_size) > kMaxFileSize) {
    close(fd);
    return ReadFailure::kTooLarge;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      error = errno;
      close(fd);
      return ReadFailure::kUnreadable;
    }
    if (got == 0) {
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
    // The file may grow while we read it; stay within the limit anyway.
    if (text.size() > kMaxFileSize) {
      close(fd);
      return ReadFailure::kTooLarge;
    }
  }
  close(fd);
  return ReadFailure::kNone;
}

CIniFile CIniFile::Parse(std::string_view text) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }

  CIniFile file;
  std::string section;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    if (line.empty() || line.front() == ';' || line.front() == '#') {
      continue;
    }
    if (line.front() == '[') {
      const std::size_t closing = line.find(']');
      if (closing != std::string_view::npos) {
        section = Trim(line.substr(1, closing - 1));
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) {
      continue;
    }
    file.entries_.push_back(
        Entry{section, std::string(key), std::string(Unquote(Trim(line.substr(equals + 1))))});
  }
  return file;
}

std::optional<std::string> CIniFile::Find(std::string_view section, std::string_view key) const {
  for (const Entry& entry : entries_) {
    if (EqualsIgnoringCase(entry.section, section) && EqualsIgnoringCase(entry.key, key)) {
      return entry.value;
    }
  }
  return std::nullopt;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> value = Find(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

std::uint32_t CIniFile::GetInt(std::string_view section, std::string_view key,
                               std::int32_t fallback) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value || value->empty()) {
    return static_cast<std::uint32_t>(fallback);
  }
  return LeadingNumber(*value);
}

}  // namespace pelmora::log
