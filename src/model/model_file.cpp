#include "model_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>

#include "log/ascii.h"
#include "result_codes.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

// Maps the pages of a fresh buffer in one call before the file is read into it:
// faulting them in one by one during the read cost several times as much.
// Only a hint: without it (older kernels) the read faults them in as before.
void PrefaultForWrite(char* data, std::size_t size) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t skip = (page - reinterpret_cast<std::uintptr_t>(data) % page) % page;
  if (size > skip + page)
    ::madvise(data + skip, (size - skip) / page * page, MADV_POPULATE_WRITE);
}

using log::EqualsIgnoringCase;

constexpr std::size_t kNameLimit = 258;

// Hexadecimal byte pairs, at least one pair; `bytes` receives them.
bool ParseHexPairs(std::string_view text, std::vector<std::uint8_t>& bytes) {
  if (text.size() < 2 || text.size() % 2 != 0)
    return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = detail::HexDigit(text[i]);
    const int lo = detail::HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0)
      return false;
    bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return true;
}

// A write template (`withData`: hex pairs then MM, optional NN, XX after MM) or a
// read template (hex pairs then MM and optional NN).
bool ParseTemplate(std::string_view text, bool withData, std::vector<std::uint8_t>& bytes) {
  std::size_t hex = 0;
  while (hex < text.size() && detail::HexDigit(text[hex]) >= 0) ++hex;
  if (!ParseHexPairs(text.substr(0, hex), bytes))
    return false;
  std::string_view rest = text.substr(hex);
  if (rest.empty() || rest.size() % 2 != 0)
    return false;
  bool mm = false, nn = false, xx = false;
  for (std::size_t i = 0; i < rest.size(); i += 2) {
    const std::string_view p = rest.substr(i, 2);
    if (p == "MM" && !mm) {
      mm = true;
      bytes.push_back(0xFE);
    } else if (p == "NN" && !nn) {
      nn = true;
      bytes.push_back(0xFD);
    } else if (p == "XX" && withData && !xx && mm) {
      xx = true;
      bytes.push_back(0xFF);
    } else {
      return false;
    }
  }
  return mm && (xx || !withData) && bytes.size() <= CStatDataObj::kTemplateMax;
}

// Format version of this program is 1.10: the file's first two digits must
// equal 1 and its last two must not exceed 10.
bool VersionAccepted(std::string_view v) {
  if (v.empty() || v.size() > 4)
    return false;
  for (const char c : v) {
    if (c < '0' || c > '9')
      return false;
  }
  auto number = [](std::string_view s) {
    int n = 0;
    for (const char c : s) n = n * 10 + (c - '0');
    return n;
  };
  const std::string_view head = v.substr(0, 2);
  const std::string_view tail = v.size() > 2 ? v.substr(v.size() - 2) : v;
  return number(head) == 1 && number(tail) <= 10;
}

std::uint32_t KeyBit(std::string_view key) {
  if (EqualsIgnoringCase(key, "Version"))
    return kKeyVersion;
  if (EqualsIgnoringCase(key, "CmdLine"))
    return kKeyCmdLine;
  if (EqualsIgnoringCase(key, "ModelName"))
    return kKeyModelName;
  if (EqualsIgnoringCase(key, "Interface"))
    return kKeyInterface;
  if (EqualsIgnoringCase(key, "DriverName"))
    return kKeyDriverName;
  return 0;
}

// ModelName and Interface: a list of quoted names, each added to the model.
bool ReadNameList(std::uint32_t bit, std::string_view value, std::vector<std::string_view>& pieces,
                  CStatDataObj& model) {
  detail::SplitPieces(value, pieces);
  for (const std::string_view piece : pieces) {
    std::string text;
    if (!detail::ParseQuoted(piece, kNameLimit, text))
      return false;
    if (bit == kKeyModelName) {
      model.AddModelName(std::move(text));
    } else {
      model.AddInterface(std::move(text));
    }
  }
  return true;
}

bool ReadDriverName(std::string_view value, CStatDataObj& model) {
  std::string text;
  if (!detail::ParseQuoted(value, kNameLimit, text))
    return false;
  model.SetDriverName(std::move(text));
  return true;
}

bool ReadDefaultOrder(std::string_view value, std::uint32_t& order) {
  if (EqualsIgnoringCase(value, "big")) {
    order = kBigEndian;
    return true;
  }
  return EqualsIgnoringCase(value, "little");
}

// CmdLine, GetCmd, RstCmd and InitLine give the model a template or a command;
// any other key is passed over. False when the bytes are malformed.
bool ReadCommandKey(std::string_view key, std::uint32_t bit, std::string_view value,
                    CStatDataObj& model) {
  const bool isWrite = bit == kKeyCmdLine;
  const bool isRead = EqualsIgnoringCase(key, "GetCmd");
  const bool isReset = EqualsIgnoringCase(key, "RstCmd");
  const bool isInit = EqualsIgnoringCase(key, "InitLine");
  if (!isWrite && !isRead && !isReset && !isInit)
    return true;
  std::vector<std::uint8_t> bytes;
  const bool ok = (isWrite || isRead)
                      ? ParseTemplate(value, isWrite, bytes)
                      : ParseHexPairs(value, bytes) && bytes.size() <= CStatDataObj::kTemplateMax;
  if (!ok)
    return false;
  if (isWrite)
    model.SetWriteTemplate(bytes);
  if (isRead)
    model.SetReadTemplate(bytes);
  if (isReset)
    model.SetResetCommand(bytes);
  if (isInit)
    model.SetInitCommand(bytes);
  return true;
}

}  // namespace

struct CModelFile::CSplitters {
  detail::CAttributeSplitter item;
  detail::CAttributeSplitter choice;
};

CModelFile::CModelFile()
    : splitters_(std::make_unique<CSplitters>()),
      itemSplitter_(splitters_->item),
      choiceSplitter_(splitters_->choice) {}

CModelFile::~CModelFile() {
  CloseSource();
}

std::string_view CModelFile::Text() const {
  return !store_ || store_->text.empty() ? std::string_view()
                                         : std::string_view(store_->text.data(), textSize_ + 1);
}

void CModelFile::CloseSource() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void CModelFile::Release() {
  store_.reset();
  textSize_ = 0;
  fileSetLayout_.clear();
  basicCautions_.clear();
  advancedCautions_.clear();
  listTable_.Release();
  CloseSource();
}

int CModelFile::ReadFile(const std::string& path) {
  CloseSource();
  // Non-blocking so that a FIFO or device path cannot hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return kResultNoFile;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kResultNoFile;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  if (size > kMaxFileSize) {
    ::close(fd);
    return kResultNoMemory;
  }
  // The buffer's capacity is kept between loads; only the bytes read are touched.
  auto& buffer = store_->text;
  const std::size_t capacity = buffer.capacity();
  buffer.resize(size + 1);
  if (buffer.capacity() != capacity)
    PrefaultForWrite(buffer.data(), size);  // a kept buffer's pages are mapped already
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer.data() + got, size - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      ::close(fd);
      return kResultNoFile;
    }
    if (n == 0)
      break;  // the file shrank while being read
    got += static_cast<std::size_t>(n);
  }
  buffer.resize(got + 1);
  buffer[got] = '\xFF';
  textSize_ = got;
  fd_ = fd;
  return kResultOk;
}

int CModelFile::TakeText(std::string_view text) {
  CloseSource();
  if (text.size() > kMaxFileSize)
    return kResultNoMemory;
  auto& buffer = store_->text;
  buffer.resize(text.size() + 1);
  text.copy(buffer.data(), text.size());
  buffer[text.size()] = '\xFF';
  textSize_ = text.size();
  return kResultOk;
}

int CModelFile::Load(CStatDataObj& model, const std::string& path) {
  if (path.empty())
    return kResultException;
  return LoadSource(model, path, nullptr);
}

int CModelFile::LoadText(CStatDataObj& model, std::string_view text, const std::string& path) {
  return LoadSource(model, path, &text);
}

int CModelFile::LoadSource(CStatDataObj& model, const std::string& path,
                           const std::string_view* text) {
  try {
    model.Reset();
    model_ = &model;
    model.SetFilePath(path);
    basicCautions_.clear();
    advancedCautions_.clear();
    errorCode_ = 0;
    reader_ = CLineReader();
    pendingLists_.clear();
    listTable_.Clear();
    // A store still shared with a copy of an earlier model stays as it is.
    if (store_ && store_.use_count() == 1) {
      store_->Clear();
    } else {
      store_ = std::make_shared<CModelStore>();
    }
    model.AdoptStore(store_);
    const int opened = text != nullptr ? TakeText(*text) : ReadFile(path);
    if (opened != kResultOk)
      return opened;

    const int result = Parse();
    FinishStore();

    fileSetLayout_.clear();
    for (const CDataLine& line : model.SetLines()) {
      // A view's length fits in 16 bits.
      fileSetLayout_.emplace_back(line.address, static_cast<std::uint16_t>(line.data.size()));
    }
    // The model is completed whatever the parse found, as the window expects.
    if (model.SetLines().empty())
      model.SetLines() = model.DefaultLines();
    if (!model.BuildImage(model.SetLines()) || !model.BuildMaskImage())
      return kResultException;
    if (!model.MarkChangeable())
      return kResultNoMemory;
    // Exact sizes: the lists live as long as the model.
    basicCautions_.shrink_to_fit();
    advancedCautions_.shrink_to_fit();
    model.SetCautions(kBasicPage, std::move(basicCautions_));
    model.SetCautions(kAdvancedPage, std::move(advancedCautions_));
    basicCautions_.clear();
    advancedCautions_.clear();
    return result;
  } catch (const std::bad_alloc&) {
    // Choice lists not yet pointed into the store must not be followed.
    model.Reset();
    return kResultNoMemory;
  }
}

void CModelFile::FinishStore() {
  CModelStore& store = *store_;
  // Exact sizes: the arrays live as long as the model.
  store.choices.shrink_to_fit();
  store.sets.shrink_to_fit();
  for (CChoice& choice : store.choices) choice.SetSets(choice.Sets().Rebase(store.sets.data()));
  for (const CPendingList& list : pendingLists_) {
    CItem& item = (list.basic ? model_->BasicItems() : model_->AdvancedItems())[list.item];
    item.SetChoices(std::span<const CChoice>(store.choices.data() + list.first, list.count));
  }
  pendingLists_.clear();
  pendingLists_.shrink_to_fit();
  // Lists are no longer looked up once the load is over.
  listTable_.Release();
  model_->BasicItems().shrink_to_fit();
  model_->AdvancedItems().shrink_to_fit();
}

int CModelFile::Parse() {
  reader_ = CLineReader(std::string_view(store_->text.data(), textSize_ + 1));
  section_ = kSectionHeader;
  ended_ = 0;
  keysSeen_ = 0;
  errorCode_ = 0;
  firstLine_ = true;
  defaultOrder_ = kLittleEndian;
  runningAddress_ = 0;

  std::string_view line;
  for (;;) {
    const CLineReader::Status status = reader_.Next(line);
    if (status == CLineReader::kEndOfFile)
      break;
    if (status == CLineReader::kTooLong) {
      errorCode_ = section_;
      return kResultFormError;
    }
    int r = kResultOk;
    if (line.front() == '[') {
      r = ParseSectionLine(line);
    } else {
      switch (section_) {
        case kSectionHeader:
          r = ParseHeaderLine(line);
          break;
        case kSectionStandard:
        case kSectionAdvance:
          r = ParseItemLine(line, section_);
          if (r == kResultFormError)
            errorCode_ = section_;
          break;
        case kSectionDefault:
        case kSectionMask:
        case kSectionSetData:
          r = ParseDataLine(line);
          break;
        default:
          break;  // [Option] is read by the folder listing, not here
      }
    }
    if (r != kResultOk)
      return r;
  }
  return CheckCompleteness();
}

bool ParseSectionName(std::string_view line, std::string& name) {
  const std::string_view body = detail::TrimLeft(line.substr(1));
  name.clear();
  bool blank = false, closed = false;
  for (const char c : body) {
    // A backslash could only excuse a quote or another backslash that follows it,
    // but is refused itself, so none of these characters can stand in a name.
    if (c == '"' || c == '\\' || c == '[' || c == '\r' || c == '\n')
      return false;
    if (c == ']') {
      if (closed)
        return false;
      closed = true;
      continue;
    }
    if (detail::IsBlank(c)) {
      blank = true;
      continue;
    }
    if (blank)
      return false;
    name.push_back(c);
  }
  return true;
}

std::uint32_t SectionCode(std::string_view name) {
  static constexpr struct {
    std::string_view name;
    std::uint32_t code;
  } kSections[] = {{"Standard", kSectionStandard}, {"Advance", kSectionAdvance},
                   {"Default", kSectionDefault},   {"Mask", kSectionMask},
                   {"SetData", kSectionSetData},   {"Option", kSectionOption}};
  for (const auto& s : kSections) {
    if (EqualsIgnoringCase(name, s.name))
      return s.code;
  }
  return 0;
}

bool ApplySectionLine(std::string_view line, std::uint32_t& section, std::uint32_t& ended) {
  std::string name;
  if (!ParseSectionName(line, name))
    return false;
  if (EqualsIgnoringCase(name, "End")) {
    ended |= section >> 4;
  } else if (const std::uint32_t code = SectionCode(name)) {
    section = code;
  }
  return true;
}

int CModelFile::ParseSectionLine(std::string_view line) {
  if (!ApplySectionLine(line, section_, ended_)) {
    errorCode_ = section_;
    return kResultFormError;
  }
  firstLine_ = true;
  return kResultOk;
}

int CModelFile::ParseHeaderLine(std::string_view line) {
  const detail::Attribute attr = itemSplitter_.ParseWhole(line);
  if (!attr.hasKey)
    return kResultOk;
  const std::uint32_t bit = KeyBit(attr.key);
  auto fail = [&](std::uint32_t code) {
    errorCode_ = code;
    return kResultFormError;
  };
  const std::string_view value = attr.value;
  if (value.empty())
    return fail(kSectionHeader | bit);

  if (bit == kKeyModelName || bit == kKeyInterface) {
    if (!ReadNameList(bit, value, pieces_, *model_))
      return fail(kSectionHeader | bit);
  } else if (bit == kKeyDriverName) {
    if (!ReadDriverName(value, *model_))
      return fail(kSectionHeader | bit);
  } else if (EqualsIgnoringCase(attr.key, "PrinterName")) {
    // Read by the folder listing only.
  } else if (!detail::IsSingleWord(value)) {
    return fail(kSectionHeader);
  } else if (bit == kKeyVersion) {
    if (!VersionAccepted(value))
      return kResultBadVersion;
  } else if (EqualsIgnoringCase(attr.key, "Edian")) {
    if (!ReadDefaultOrder(value, defaultOrder_))
      return fail(kSectionHeader);
  } else if (!ReadCommandKey(attr.key, bit, value, *model_)) {
    return fail(kSectionHeader | bit);
  }
  keysSeen_ |= bit;
  return kResultOk;
}

int CModelFile::ParseDataLine(std::string_view line) {
  auto fail = [&] {
    errorCode_ = section_;
    return kResultFormError;
  };
  const std::size_t colon = line.find(':');
  std::uint16_t address = 0;
  if (colon == 0) {
    // Continues at the running address, but only right after another data line.
    if (firstLine_)
      return fail();
    address = runningAddress_;
  } else if (colon == 2 || colon == 4) {
    const auto a = detail::ParseAddress(line.substr(0, colon));
    if (!a)
      return fail();
    address = *a;
  } else {
    return fail();
  }
  const std::string_view data = line.substr(colon + 1);
  if (data.size() < 2 || data.size() > 2 * CDataBlock::kMaxBytes || data.size() % 2 != 0) {
    return fail();
  }
  for (std::size_t i = 0; i < data.size(); i += 2) {
    const bool x1 = data[i] == 'x' || data[i] == 'X';
    const bool x2 = data[i + 1] == 'x' || data[i + 1] == 'X';
    const bool hex = detail::HexValue(data[i]) >= 0 && detail::HexValue(data[i + 1]) >= 0;
    if (!(x1 && x2) && !hex)
      return fail();
  }
  std::vector<CDataLine>& list = section_ == kSectionDefault ? model_->DefaultLines()
                                 : section_ == kSectionMask  ? model_->MaskLines()
                                                             : model_->SetLines();
  list.push_back(CDataLine{address, store_->Keep(data)});
  runningAddress_ = static_cast<std::uint16_t>(address + data.size() / 2);
  firstLine_ = false;
  return kResultOk;
}

int CModelFile::CheckCompleteness() {
  std::uint32_t code = 0;
  if (keysSeen_ != kAllRequiredKeys)
    code |= kSectionHeader | (~keysSeen_ & kAllRequiredKeys);
  if (model_->BasicItems().empty())
    code |= kSectionStandard;
  if (model_->DefaultLines().empty())
    code |= kSectionDefault;
  if (model_->MaskLines().empty())
    code |= kSectionMask;
  if ((ended_ & ((kSectionOption | kSectionSetData) >> 4)) == 0)
    code |= kSectionOption;
  if (code == 0)
    return kResultOk;
  errorCode_ = code;
  return kResultFormError;
}

}  // namespace pelmora::model
