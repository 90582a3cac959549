#include "stat_data_obj.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace pelmora::model {

namespace {

// A byte of `image`, or nothing when it is not known.
std::optional<std::uint8_t> KnownByte(const CMemoryImage& image, std::uint32_t address) {
  std::uint8_t byte = 0;
  if (image.ReadBytes(address, {&byte, 1}) != kReadOk)
    return std::nullopt;
  return byte;
}

// An item whose choices set targets: every target of its widest choice (the first
// of equal ones) must be a bit the mask leaves clear or a byte the image knows.
bool TargetsChangeable(const CItem& item, const CMemoryImage& image, const CMemoryImage& mask) {
  const CChoice* widest = &item.Choices().front();
  for (const CChoice& c : item.Choices()) {
    if (c.Sets().size() > widest->Sets().size())
      widest = &c;
  }
  for (const CSetEntry& target : widest->Sets()) {
    if (target.kind == CSetEntry::kBit) {
      const auto byte = KnownByte(mask, target.address);
      if (!byte || ((*byte >> target.bit) & 1u))
        return false;
    } else if (!KnownByte(image, target.address)) {
      return false;
    }
  }
  return true;
}

// Every byte of a number or code item is known. Wide items are read in chunks so
// that no buffer of their size is needed.
bool BytesKnown(const CItem& item, const CMemoryImage& image) {
  const std::uint32_t n = item.ByteCount();
  std::array<std::uint8_t, 64> chunk{};
  for (std::uint32_t done = 0; done < n;) {
    const std::uint32_t step = std::min<std::uint32_t>(n - done, chunk.size());
    if (image.ReadBytes(item.FirstAddress() + done, {chunk.data(), step}) != kReadOk)
      return false;
    done += step;
  }
  return true;
}

}  // namespace

int CStatDataObj::Reset() {
  *this = CStatDataObj();
  return 1;
}

void CStatDataObj::Assign(std::vector<std::uint8_t>& to, std::span<const std::uint8_t> bytes) {
  const std::size_t n = std::min(bytes.size(), kTemplateMax);
  to.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

std::uint32_t CStatDataObj::CopyOut(const std::vector<std::uint8_t>& from, std::uint8_t* out) {
  if (out == nullptr || from.empty())
    return 0;
  std::memcpy(out, from.data(), from.size());
  return static_cast<std::uint32_t>(from.size());
}

template <typename T>
int CStatDataObj::GetEntry(const std::vector<T>& list, int i, std::string& out) {
  if (i < 0 || static_cast<std::size_t>(i) >= list.size())
    return 0;
  out = std::string_view(list[static_cast<std::size_t>(i)]);
  return 1;
}
template int CStatDataObj::GetEntry(const std::vector<std::string>&, int, std::string&);
template int CStatDataObj::GetEntry(const std::vector<CText>&, int, std::string&);

int CStatDataObj::GetDriverName(std::string& out) const {
  if (driverName_.empty())
    return 0;
  out = driverName_;
  return 1;
}

int CStatDataObj::GetFilePath(std::string& out) const {
  if (filePath_.empty())
    return 0;
  out = filePath_;
  return 1;
}

std::uint16_t CStatDataObj::GetFirstAddress() const {
  return image_.Empty() ? 0xFFFF : image_.Blocks().front().address;
}

std::uint32_t CStatDataObj::GetImageSize() const {
  std::uint32_t total = 0;
  for (const CDataBlock& b : image_.Blocks()) total += b.count;
  return total;
}

int CStatDataObj::GetCaution(Page page, int i, std::string& out) const {
  const auto& list = page == kBasicPage ? basicCautions_ : advancedCautions_;
  if (GetEntry(list, i, out))
    return 1;
  out.clear();
  return 0;
}

void CStatDataObj::SetCautions(Page page, std::vector<CText> cautions) {
  (page == kBasicPage ? basicCautions_ : advancedCautions_) = std::move(cautions);
}

int CStatDataObj::BuildImage(std::span<const CDataLine> lines) {
  image_.Build(lines);
  return 1;
}

int CStatDataObj::BuildMaskImage() {
  maskImage_.Build(maskLines_);
  return 1;
}

std::uint32_t CStatDataObj::ReadBytes(std::uint32_t address, std::span<std::uint8_t> out,
                                      ImageKind image) const {
  return (image == kCurrentImage ? image_ : maskImage_).ReadBytes(address, out);
}

bool CStatDataObj::IsChangeable(const CItem& item) const {
  if (item.HasChoices() && !item.Choices().front().Sets().empty())
    return TargetsChangeable(item, image_, maskImage_);
  if (item.type == kBitItem) {
    const auto byte = KnownByte(maskImage_, item.FirstAddress());
    return byte && ((*byte >> (item.BitNumber() & 0x7)) & 1u) == 0;
  }
  return BytesKnown(item, image_);
}

int CStatDataObj::MarkChangeable() {
  for (auto* list : {&basicItems_, &advancedItems_}) {
    for (CItem& item : *list) {
      if (IsChangeable(item))
        item.changeable = 1;
    }
  }
  return 1;
}

}  // namespace pelmora::model
