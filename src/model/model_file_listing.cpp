// Folder listings of model definitions and saved configurations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "log/ascii.h"
#include "messages.h"
#include "model_file.h"
#include "result_codes.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

using log::EqualsIgnoringCase;

constexpr std::size_t kListedTextLimit = 258;

// A name the folder search keeps: it matches `*.cfg` and its extension (what
// follows the first point, further points left out) is "cfg"; `a.b.cfg` is not kept.
bool IsListedName(std::string_view name) {
  if (name.size() < 4 || !EqualsIgnoringCase(name.substr(name.size() - 4), ".cfg"))
    return false;
  std::string extension;
  for (const char c : name.substr(name.find('.') + 1)) {
    if (c != '.')
      extension.push_back(c);
  }
  return EqualsIgnoringCase(extension, "cfg");
}

// The listing reads a file this many bytes at a time; a line longer than this
// is judged by its first this many bytes.
constexpr std::size_t kListingWindow = std::size_t{64} << 10;

// Whether a failed open means the entry is no file to list at all: a link to
// nowhere (dangling, looping, through a file, a name too long), a socket.
bool IsNoFile(int error) {
  return error == ENOENT || error == ELOOP || error == ENOTDIR || error == ENAMETOOLONG ||
         error == ENXIO || error == ENODEV;
}

// Sorts as a selection sort does (position i takes the first smallest row of
// positions i to n - 1, exchanged with the row at i), which decides the order of
// rows with equal keys. A tournament tree finds each minimum in log n comparisons
// instead of n, so a folder of thousands of files still lists at once.
void SelectionSort(std::vector<CFileInfo>& rows, bool byPrinter) {
  const std::size_t n = rows.size();
  if (n < 2)
    return;
  auto key = [&](std::size_t i) -> const std::string& {
    return byPrinter ? rows[i].printerName : rows[i].fileName;
  };
  // The better of two positions: the smaller key, or the lower position on a tie.
  auto better = [&](std::size_t a, std::size_t b) {
    if (a == n)
      return b;
    if (b == n)
      return a;
    const int c = key(a).compare(key(b));
    return c < 0 || (c == 0 && a < b) ? a : b;
  };
  std::size_t leaves = 1;
  while (leaves < n) leaves *= 2;
  std::vector<std::size_t> tree(2 * leaves, n);  // n stands for "no row"
  for (std::size_t i = 0; i < n; ++i) tree[leaves + i] = i;
  for (std::size_t v = leaves - 1; v >= 1; --v) tree[v] = better(tree[2 * v], tree[2 * v + 1]);
  auto update = [&](std::size_t i) {
    for (std::size_t v = (leaves + i) / 2; v >= 1; v /= 2) {
      tree[v] = better(tree[2 * v], tree[2 * v + 1]);
    }
  };
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::size_t least = tree[1];
    if (least != i)
      std::swap(rows[i], rows[least]);
    // Position i is settled: take it out, and let the exchanged row compete at its new place.
    tree[leaves + i] = n;
    update(i);
    update(least);
  }
}

}  // namespace

std::string CModelFile::CurrentFileName() const {
  return currentFile_.empty() ? std::string("Unidentified") : currentFile_;
}

int CModelFile::ListModels(IUserPrompt& owner, std::vector<CFileInfo>& rows,
                           const std::string& base) {
  return List(owner, rows, base + "/model/", true);
}

int CModelFile::ListSettings(IUserPrompt& owner, std::vector<CFileInfo>& rows,
                             const std::string& base) {
  return List(owner, rows, base + "/setting/", false);
}

int CModelFile::List(IUserPrompt& owner, std::vector<CFileInfo>& rows, const std::string& folder,
                     bool byPrinter) {
  rows.clear();
  currentFile_.clear();
  errorCode_ = 0;
  std::vector<std::string> names;
  try {
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!IsListedName(name))
          continue;
        // Folders are passed over; the entry's type saves a stat where the file system gives it.
        struct stat st {};
        if (entry->d_type == DT_DIR)
          continue;
        if (entry->d_type == DT_UNKNOWN && ::stat((folder + entry->d_name).c_str(), &st) == 0 &&
            S_ISDIR(st.st_mode)) {
          continue;
        }
        names.emplace_back(name);
      }
      ::closedir(dir);
    }
  } catch (const std::bad_alloc&) {
    owner.Ask(msg::kAppTitle, msg::kShortOfMemory, Buttons::kOk);
    return kResultNoFile;
  }
  if (names.empty())
    return kResultNoFile;
  // The directory's own order is arbitrary; sorting makes the file that a
  // failure names the same on every run.
  std::sort(names.begin(), names.end());

  try {
    rows.reserve(names.size());
    for (const std::string& name : names) {
      currentFile_ = name;
      // Non-blocking, so that a FIFO cannot hang the open; what is not a regular
      // file, and what is too large to ever load, is passed over.
      const int fd = ::open((folder + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
      if (fd < 0) {
        if (IsNoFile(errno))
          continue;
        rows.clear();
        return kResultOpenFailed;
      }
      struct stat st {};
      if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
          static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize) {
        ::close(fd);
        continue;
      }
      // Up to the size the file had when opened, as a load would read it.
      auto left = static_cast<std::size_t>(st.st_size);
      CFileInfo row;
      const int r = ScanListing(
          [&](char* into, std::size_t size) -> long {
            while (left != 0) {
              const ssize_t n = ::read(fd, into, std::min(size, left));
              if (n < 0 && errno == EINTR)
                continue;
              if (n > 0)
                left -= static_cast<std::size_t>(n);
              return n;
            }
            return 0;
          },
          row);
      ::close(fd);
      if (r != kResultOk) {
        rows.clear();
        return r;
      }
      row.fileName = name;
      rows.push_back(std::move(row));
    }
  } catch (const std::bad_alloc&) {
    rows.clear();
    return kResultNoMemory;
  }
  if (rows.empty()) {
    currentFile_.clear();
    return kResultNoFile;
  }

  SelectionSort(rows, byPrinter);
  return kResultOk;
}

int CModelFile::ReadListing(std::string_view text, CFileInfo& row) {
  return ScanListing(
      [&](char* into, std::size_t size) -> long {
        const std::size_t n = std::min(size, text.size());
        std::memcpy(into, text.data(), n);
        text.remove_prefix(n);
        return static_cast<long>(n);
      },
      row);
}

int CModelFile::ScanListing(const ListingSource& source, CFileInfo& row) {
  errorCode_ = 0;
  std::uint32_t section = kSectionHeader, ended = 0;
  bool havePrinter = false, haveDescription = false;

  // Reads the lines of one window (whole lines ending in 0xFF) after `before`
  // lines; 0 when the text goes on, else the result.
  auto scan = [&](std::string_view window, std::uint32_t before) {
    reader_ = CLineReader(window, before);
    std::string_view line;
    for (;;) {
      const CLineReader::Status status = reader_.Next(line);
      if (status == CLineReader::kEndOfFile)
        return 0;
      if (line.front() == '[') {
        ApplySectionLine(line, section, ended);
        continue;
      }
      // Only the header and [Option] hold what is looked for.
      if (section != kSectionHeader && section != kSectionOption)
        continue;
      const detail::Attribute attr = itemSplitter_.ParseWhole(line);
      if (!attr.hasKey)
        continue;
      const bool isPrinter =
          section == kSectionHeader && EqualsIgnoringCase(attr.key, "PrinterName");
      const bool isDescription =
          section == kSectionOption && EqualsIgnoringCase(attr.key, "Description");
      if (!isPrinter && !isDescription)
        continue;
      std::string& field = isPrinter ? row.printerName : row.description;
      if (status != CLineReader::kLine ||
          !detail::ParseQuoted(attr.value, kListedTextLimit, field)) {
        field.clear();
        errorCode_ = isPrinter ? 1 : 2;
        return kResultFormError;
      }
      (isPrinter ? havePrinter : haveDescription) = true;
      if (havePrinter && haveDescription)
        return kResultOk;
    }
  };

  // The text is walked a window at a time, each ending after its last line feed
  // (the rest moves to the next window), so that memory stays bounded whatever
  // the file's size and reading stops as soon as both texts are found.
  std::vector<char>& buffer = listingBuffer_;
  buffer.resize(kListingWindow + 2);  // room for a line feed and the closing 0xFF
  std::size_t filled = 0;
  std::uint32_t lines = 0;  // line feeds before the window
  bool end = false;
  bool overlong = false;  // inside a line longer than the window, its start kept
  std::string overlongStart;
  for (;;) {
    while (!end && filled < kListingWindow) {
      const long n = source(buffer.data() + filled, kListingWindow - filled);
      if (n < 0)
        return kResultOpenFailed;
      if (n == 0)
        end = true;
      filled += static_cast<std::size_t>(n);
    }
    // A 0xFF byte ends the text.
    if (const void* ff = std::memchr(buffer.data(), 0xFF, filled)) {
      filled = static_cast<std::size_t>(static_cast<const char*>(ff) - buffer.data());
      end = true;
    }
    int r = 0;
    if (overlong) {
      const void* lf = std::memchr(buffer.data(), '\n', filled);
      if (lf == nullptr) {
        if (end)
          break;  // an unfinished last line is left out
        filled = 0;
        continue;
      }
      overlong = false;
      overlongStart += "\n\xFF";
      r = scan(overlongStart, lines);
      lines = reader_.LineNumber() - 1;
      const std::size_t used =
          static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.data()) + 1;
      std::memmove(buffer.data(), buffer.data() + used, filled - used);
      filled -= used;
    } else {
      const void* lf = ::memrchr(buffer.data(), '\n', filled);
      if (lf == nullptr) {
        if (end)
          break;
        overlong = true;
        overlongStart.assign(buffer.data(), filled);
        filled = 0;
        continue;
      }
      const std::size_t used =
          static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.data()) + 1;
      const char kept = buffer[used];
      buffer[used] = '\xFF';
      r = scan(std::string_view(buffer.data(), used + 1), lines);
      buffer[used] = kept;
      lines = reader_.LineNumber() - 1;
      std::memmove(buffer.data(), buffer.data() + used, filled - used);
      filled -= used;
    }
    if (r != 0)
      return r;
    if (end && filled == 0)
      break;
  }
  // At the end of the text the line counter stands one past the last line feed.
  reader_ = CLineReader(std::string_view("\xFF", 1), lines);
  std::string_view none;
  reader_.Next(none);
  errorCode_ = (havePrinter ? 0u : 1u) | (haveDescription ? 0u : 2u);
  return kResultFormError;
}

std::vector<std::string> ListResultMessages(int result, const CModelFile& file) {
  switch (result) {
    case kResultException:
      return {msg::kException};
    case kResultNoMemory:
      return {msg::kShortOfMemory};
    case kResultNoFile:
      return {msg::kNoConfigurationFile};
    case kResultOpenFailed:
      return {file.CurrentFileName() + "cfg file don't open it.", msg::kNoConfigurationFile};
    case kResultFormError: {
      char tail[96];
      std::snprintf(tail, sizeof tail, "\n ErrorCode = 0x%08X\n Line = %u",
                    static_cast<unsigned>(file.GetErrorCode()),
                    static_cast<unsigned>(file.GetLineNumber()));
      return {"The form of the file isn't right.\n File Name = " + file.CurrentFileName() + tail};
    }
    default:
      return {};
  }
}

}  // namespace pelmora::model
