// Folder listings of model definitions and saved configurations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

#include "model_file.h"
#include "result_codes.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

using detail::EqualsNoCase;

constexpr std::size_t kListedTextLimit = 258;

// A name the folder search keeps: it matches `*.cfg` and its extension (what
// follows the first point, further points left out) is "cfg"; `a.b.cfg` is not kept.
bool IsListedName(std::string_view name) {
  if (name.size() < 4 || !EqualsNoCase(name.substr(name.size() - 4), ".cfg"))
    return false;
  std::string extension;
  for (const char c : name.substr(name.find('.') + 1)) {
    if (c != '.')
      extension.push_back(c);
  }
  return EqualsNoCase(extension, "cfg");
}

// Reads a whole regular file into `buffer`, followed by the 0xFF that ends the text.
bool ReadWhole(const std::string& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  std::size_t got = 0;
  if (ok) {
    buffer.resize(static_cast<std::size_t>(st.st_size) + 1);
    while (got + 1 < buffer.size()) {
      const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - 1 - got);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      got += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
  if (!ok)
    return false;
  buffer.resize(got + 1);
  buffer[got] = '\xFF';
  return true;
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
    owner.Ask("Pelmora", "It is short of memory.", Buttons::kOk);
    return kResultNoFile;
  }
  if (names.empty())
    return kResultNoFile;
  // The directory's own order is arbitrary; sorting makes the file that a
  // failure names the same on every run.
  std::sort(names.begin(), names.end());

  try {
    rows.resize(names.size());
    std::vector<char> buffer;
    for (std::size_t i = 0; i < names.size(); ++i) {
      currentFile_ = names[i];
      if (!ReadWhole(folder + names[i], buffer)) {
        rows.clear();
        return kResultOpenFailed;
      }
      const int r = ReadListing(std::string_view(buffer.data(), buffer.size()), rows[i]);
      if (r != kResultOk) {
        rows.clear();
        return r;
      }
      rows[i].fileName = names[i];
    }
  } catch (const std::bad_alloc&) {
    rows.clear();
    return kResultNoMemory;
  }

  SelectionSort(rows, byPrinter);
  return kResultOk;
}

int CModelFile::ReadListing(std::string_view text, CFileInfo& row) {
  errorCode_ = 0;
  reader_ = CLineReader(text);
  std::uint32_t section = kSectionHeader;
  bool havePrinter = false, haveDescription = false;
  std::string name;
  std::string_view line;
  while (!(havePrinter && haveDescription)) {
    const CLineReader::Status status = reader_.Next(line);
    if (status == CLineReader::kEndOfFile)
      break;
    // Only the header and [Option] hold what is looked for; elsewhere only a
    // section line matters.
    if (section != kSectionHeader && section != kSectionOption && line.front() != '[')
      continue;
    const detail::Attribute attr = itemSplitter_.ParseWhole(line);
    if (!attr.hasKey) {
      if (line.front() == '[' && ParseSectionName(line, name)) {
        if (const std::uint32_t code = SectionCode(name))
          section = code;
      }
      continue;
    }
    const bool isPrinter = section == kSectionHeader && EqualsNoCase(attr.key, "PrinterName");
    const bool isDescription = section == kSectionOption && EqualsNoCase(attr.key, "Description");
    if (!isPrinter && !isDescription)
      continue;
    std::string& field = isPrinter ? row.printerName : row.description;
    if (status != CLineReader::kLine || !detail::ParseQuoted(attr.value, kListedTextLimit, field)) {
      field.clear();
      errorCode_ = isPrinter ? 1 : 2;
      return kResultFormError;
    }
    (isPrinter ? havePrinter : haveDescription) = true;
  }
  if (havePrinter && haveDescription)
    return kResultOk;
  errorCode_ = (havePrinter ? 0u : 1u) | (haveDescription ? 0u : 2u);
  return kResultFormError;
}

std::vector<std::string> ListResultMessages(int result, const CModelFile& file) {
  switch (result) {
    case kResultException:
      return {"Error! An exception occurred."};
    case kResultNoMemory:
      return {"It is short of memory."};
    case kResultNoFile:
      return {"No configuration file exists."};
    case kResultOpenFailed:
      return {file.CurrentFileName() + "cfg file don't open it.", "No configuration file exists."};
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
