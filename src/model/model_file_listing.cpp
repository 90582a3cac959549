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

// Whether the listing looks at a folder entry: a listed name, and no folder; the
// entry's type saves a stat where the file system gives it.
bool IsListedEntry(const std::string& folder, const dirent& entry) {
  if (!IsListedName(entry.d_name) || entry.d_type == DT_DIR)
    return false;
  struct stat st {};
  return !(entry.d_type == DT_UNKNOWN && ::stat((folder + entry.d_name).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode));
}

// The names of the entries of `folder` the listing looks at, in the folder's order.
void CollectListedNames(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  while (const dirent* entry = ::readdir(dir)) {
    if (IsListedEntry(folder, *entry))
      names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
}

enum class Opened { kFile, kPassedOver, kFailed };

// Opens a file met by the listing. Non-blocking, so that a FIFO cannot hang the
// open; what is no file at all, not a regular file, or too large to ever load is
// passed over. `size` receives the size the file has now, as a load would read it.
Opened OpenListedFile(const std::string& path, int& fd, std::size_t& size) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return IsNoFile(errno) ? Opened::kPassedOver : Opened::kFailed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > CModelFile::kMaxFileSize) {
    ::close(fd);
    return Opened::kPassedOver;
  }
  size = static_cast<std::size_t>(st.st_size);
  return Opened::kFile;
}

// Reads at most `size` bytes, and no more than `left` in all: how many, 0 at the
// end, -1 when reading failed.
long ReadUpTo(int fd, std::size_t& left, char* into, std::size_t size) {
  while (left != 0) {
    const ssize_t n = ::read(fd, into, std::min(size, left));
    if (n < 0 && errno == EINTR)
      continue;
    if (n > 0)
      left -= static_cast<std::size_t>(n);
    return n;
  }
  return 0;
}

// PrinterName in the header and Description in [Option], looked for line by line
// through the sections as the reader follows them.
class CListedTexts {
 public:
  CListedTexts(detail::CAttributeSplitter& splitter, CFileInfo& row)
      : splitter_(splitter), row_(row) {}

  // Reads the lines of `reader`: 0 when the text goes on, else the result, with
  // `errorCode` set for a malformed text.
  int Scan(CLineReader& reader, std::uint32_t& errorCode) {
    std::string_view line;
    for (;;) {
      const CLineReader::Status status = reader.Next(line);
      if (status == CLineReader::kEndOfFile)
        return 0;
      if (line.front() == '[') {
        ApplySectionLine(line, section_, ended_);
        continue;
      }
      if (const int r = TakeLine(line, status == CLineReader::kLine, errorCode))
        return r;
    }
  }

  // The error code for the texts not found.
  std::uint32_t Missing() const { return (havePrinter_ ? 0u : 1u) | (haveDescription_ ? 0u : 2u); }

 private:
  int TakeLine(std::string_view line, bool whole, std::uint32_t& errorCode) {
    // Only the header and [Option] hold what is looked for.
    if (section_ != kSectionHeader && section_ != kSectionOption)
      return 0;
    const detail::Attribute attr = splitter_.ParseWhole(line);
    if (!attr.hasKey)
      return 0;
    const bool isPrinter =
        section_ == kSectionHeader && EqualsIgnoringCase(attr.key, "PrinterName");
    const bool isDescription =
        section_ == kSectionOption && EqualsIgnoringCase(attr.key, "Description");
    if (!isPrinter && !isDescription)
      return 0;
    std::string& field = isPrinter ? row_.printerName : row_.description;
    if (!whole || !detail::ParseQuoted(attr.value, kListedTextLimit, field)) {
      field.clear();
      errorCode = isPrinter ? 1 : 2;
      return kResultFormError;
    }
    (isPrinter ? havePrinter_ : haveDescription_) = true;
    return havePrinter_ && haveDescription_ ? kResultOk : 0;
  }

  detail::CAttributeSplitter& splitter_;
  CFileInfo& row_;
  std::uint32_t section_ = kSectionHeader;
  std::uint32_t ended_ = 0;
  bool havePrinter_ = false;
  bool haveDescription_ = false;
};

// A text walked a window at a time, each ending after its last line feed (the
// rest moves to the next window), so that memory stays bounded whatever the
// file's size. A line longer than the window is judged by its start.
class CListingWindows {
 public:
  enum Step { kLines, kMore, kEnd };

  explicit CListingWindows(std::vector<char>& buffer) : buffer_(buffer) {
    buffer_.resize(kListingWindow + 2);  // room for a line feed and the closing 0xFF
  }

  // Fills the window from `source` as far as the text goes; false when reading failed.
  template <typename Source>
  bool Fill(const Source& source) {
    while (!end_ && filled_ < kListingWindow) {
      const long n = source(buffer_.data() + filled_, kListingWindow - filled_);
      if (n < 0)
        return false;
      if (n == 0)
        end_ = true;
      filled_ += static_cast<std::size_t>(n);
    }
    // A 0xFF byte ends the text.
    if (const void* ff = std::memchr(buffer_.data(), 0xFF, filled_)) {
      filled_ = Offset(ff);
      end_ = true;
    }
    return true;
  }

  // kLines with `lines` set to the window's whole lines, ending in a 0xFF byte;
  // kMore when the window holds no line end yet, kEnd when the text is over.
  Step Next(std::string_view& lines) {
    if (overlong_)
      return NextAfterOverlong(lines);
    const void* lf = ::memrchr(buffer_.data(), '\n', filled_);
    if (lf == nullptr) {
      if (end_)
        return kEnd;
      overlong_ = true;
      overlongStart_.assign(buffer_.data(), filled_);
      filled_ = 0;
      return kMore;
    }
    used_ = Offset(lf) + 1;
    kept_ = buffer_[used_];
    buffer_[used_] = '\xFF';
    restore_ = true;
    lines = std::string_view(buffer_.data(), used_ + 1);
    return kLines;
  }

  // After the lines Next gave: moves what follows them to the window's start.
  // True when the text is over.
  bool Done() {
    if (restore_)
      buffer_[used_] = kept_;
    std::memmove(buffer_.data(), buffer_.data() + used_, filled_ - used_);
    filled_ -= used_;
    return end_ && filled_ == 0;
  }

 private:
  // Inside a line longer than the window, its start kept: the rest up to its
  // line feed is passed over.
  Step NextAfterOverlong(std::string_view& lines) {
    const void* lf = std::memchr(buffer_.data(), '\n', filled_);
    if (lf == nullptr) {
      if (end_)
        return kEnd;  // an unfinished last line is left out
      filled_ = 0;
      return kMore;
    }
    overlong_ = false;
    overlongStart_ += "\n\xFF";
    used_ = Offset(lf) + 1;
    restore_ = false;
    lines = overlongStart_;
    return kLines;
  }

  std::size_t Offset(const void* at) const {
    return static_cast<std::size_t>(static_cast<const char*>(at) - buffer_.data());
  }

  std::vector<char>& buffer_;
  std::size_t filled_ = 0;
  bool end_ = false;
  bool overlong_ = false;
  std::string overlongStart_;
  std::size_t used_ = 0;  // bytes of the window the last lines took
  char kept_ = 0;         // the byte the closing 0xFF stands in for
  bool restore_ = false;
};

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
    CollectListedNames(folder, names);
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
      int fd = -1;
      std::size_t left = 0;
      const Opened opened = OpenListedFile(folder + name, fd, left);
      if (opened == Opened::kPassedOver)
        continue;
      if (opened == Opened::kFailed) {
        rows.clear();
        return kResultOpenFailed;
      }
      CFileInfo row;
      const int r = ScanListing(
          [&](char* into, std::size_t size) { return ReadUpTo(fd, left, into, size); }, row);
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
  CListedTexts texts(itemSplitter_, row);
  CListingWindows windows(listingBuffer_);
  std::uint32_t lines = 0;  // line feeds before the window
  // Reading stops as soon as both texts are found.
  for (;;) {
    if (!windows.Fill(source))
      return kResultOpenFailed;
    std::string_view window;
    const CListingWindows::Step step = windows.Next(window);
    if (step == CListingWindows::kEnd)
      break;
    if (step == CListingWindows::kMore)
      continue;
    reader_ = CLineReader(window, lines);
    const int r = texts.Scan(reader_, errorCode_);
    lines = reader_.LineNumber() - 1;
    const bool over = windows.Done();
    if (r != 0)
      return r;
    if (over)
      break;
  }
  // At the end of the text the line counter stands one past the last line feed.
  reader_ = CLineReader(std::string_view("\xFF", 1), lines);
  std::string_view none;
  reader_.Next(none);
  errorCode_ = texts.Missing();
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
