#include "choice_list_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace pelmora::model {

namespace {

constexpr std::size_t kFirstSize = 256;

// What the hash takes of a name: its first and last eight bytes, or for shorter
// ones overlapping four-byte halves or single bytes (all of a name of at most 16).
struct CNameWords {
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
};

CNameWords NameWords(std::string_view s) {
  const char* p = s.data();
  const std::size_t n = s.size();
  CNameWords w;
  if (n >= 8) {
    std::memcpy(&w.head, p, 8);
    std::memcpy(&w.tail, p + n - 8, 8);
  } else if (n >= 4) {
    std::uint32_t a = 0, b = 0;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, p + n - 4, 4);
    w.head = a;
    w.tail = b;
  } else if (n > 0) {
    w.head = std::uint64_t{static_cast<unsigned char>(p[0])} << 16 |
             std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
             static_cast<unsigned char>(p[n - 1]);
  }
  return w;
}

std::uint64_t SetWord(const CSetEntry& e) {
  return std::uint64_t{e.address} << 16 | std::uint64_t{e.data} << 8 | std::uint64_t{e.kind} << 3 |
         e.bit;
}

// Cheap rather than thorough, as an equal hash is always confirmed by a
// comparison: each choice's parts are multiplied independently and folded in.
std::uint32_t HashList(const CModelStore& store, const CChoice* choices, std::uint32_t count) {
  std::uint64_t h = count;
  for (std::uint32_t i = 0; i < count; ++i) {
    const CChoice& c = choices[i];
    const CNameWords w = NameWords(c.name);
    h = std::rotl(h, 5) ^ (w.head * 0x9E3779B97F4A7C15u) ^ (w.tail * 0xC2B2AE3D27D4EB4Fu) ^
        (static_cast<std::uint64_t>(c.Value()) * 0x165667B19E3779F9u) ^
        (c.name.size() | std::uint64_t{c.Sets().size()} << 32);
    const CSetEntry* set = store.sets.data() + c.Sets().Index();
    for (std::size_t k = 0; k < c.Sets().size(); ++k)
      h = std::rotl(h, 5) ^ SetWord(set[k]) * 0x27D4EB2F165667C5u;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 29;
  return static_cast<std::uint32_t>(h);
}

bool SameList(const CModelStore& store, const CChoice* a, const CChoice* b, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    if (a[i].Value() != b[i].Value() || a[i].Sets().size() != b[i].Sets().size() ||
        a[i].name.View() != b[i].name.View())
      return false;
    const CSetEntry* sa = store.sets.data() + a[i].Sets().Index();
    const CSetEntry* sb = store.sets.data() + b[i].Sets().Index();
    if (!std::equal(sa, sa + a[i].Sets().size(), sb))
      return false;
  }
  return true;
}

}  // namespace

void CChoiceListTable::Clear() {
  std::fill(slots_.begin(), slots_.end(), CSlot{});
  used_ = 0;
}

void CChoiceListTable::Release() {
  slots_.clear();
  slots_.shrink_to_fit();
  used_ = 0;
}

std::uint32_t CChoiceListTable::Share(const CModelStore& store, std::uint32_t first,
                                      std::uint32_t count) {
  // At most half full, so that probe runs stay short.
  if (2 * (used_ + 1) > slots_.size())
    Grow();
  const CChoice* list = store.choices.data() + first;
  const std::uint32_t hash = HashList(store, list, count);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    CSlot& slot = slots_[i];
    if (slot.count == 0) {
      slot = CSlot{hash, first, count};
      ++used_;
      return first;
    }
    if (slot.hash == hash && slot.count == count &&
        SameList(store, store.choices.data() + slot.first, list, count))
      return slot.first;
  }
}

void CChoiceListTable::Grow() {
  std::vector<CSlot> old = std::move(slots_);
  slots_.assign(std::max(kFirstSize, 2 * old.size()), CSlot{});
  const std::size_t mask = slots_.size() - 1;
  for (const CSlot& slot : old) {
    if (slot.count == 0)
      continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].count != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace pelmora::model
