// Eight-byte views of text and of short arrays that a loaded model keeps in one
// shared store, so that tens of thousands of items and choices stay small.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmora::model {

namespace detail {
// User-space addresses on the platforms built for (x86-64, AArch64 Linux) fit in 48
// bits, which leaves the top 16 bits of a pointer for a length.
inline constexpr unsigned kLengthShift = 48;
inline constexpr std::uint64_t kPointerMask = (std::uint64_t{1} << kLengthShift) - 1;
inline constexpr std::size_t kMaxViewLength = 0xFFFF;

inline std::uint64_t PackView(const void* p, std::size_t n) {
  return (reinterpret_cast<std::uintptr_t>(p) & kPointerMask) |
         std::uint64_t{std::min(n, kMaxViewLength)} << kLengthShift;
}
}  // namespace detail

static_assert(sizeof(void*) == 8, "views pack a length into the pointer's top bits");

// A read-only view of at most 65,535 characters owned elsewhere (the model's store,
// or a literal). Converts to std::string_view wherever one is expected.
class CText {
 public:
  CText() = default;
  CText(std::string_view s) : bits_(detail::PackView(s.data(), s.size())) {}  // NOLINT
  CText(const char* s) : CText(std::string_view(s)) {}                        // NOLINT
  CText(const std::string& s) : CText(std::string_view(s)) {}                 // NOLINT
  CText(std::string&&) = delete;                                              // would dangle

  std::string_view View() const { return {data(), size()}; }
  operator std::string_view() const { return View(); }  // NOLINT
  std::string Str() const { return std::string(View()); }
  // The packing is the point of the class, so the cast back is wanted.
  const char* data() const {
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<const char*>(bits_ & detail::kPointerMask);
  }
  std::size_t size() const { return static_cast<std::size_t>(bits_ >> detail::kLengthShift); }
  bool empty() const { return size() == 0; }
  char front() const { return *data(); }
  char operator[](std::size_t i) const { return data()[i]; }
  const char* begin() const { return data(); }
  const char* end() const { return data() + size(); }

  friend bool operator==(CText a, std::string_view b) { return a.View() == b; }
  // Any stream that takes a string_view (kept generic so this header needs no <ostream>).
  template <typename Stream>
  friend auto operator<<(Stream& os, CText t) -> decltype(os << std::string_view()) {
    return os << t.View();
  }

 private:
  std::uint64_t bits_ = 0;
};

// A read-only view of at most 65,535 records owned elsewhere. While a store is
// still growing it may instead hold an index into it (FromIndex), turned into a
// pointer by Rebase once the array has stopped moving.
template <typename T>
class CList {
 public:
  CList() = default;
  CList(const T* p, std::size_t n) : bits_(detail::PackView(p, n)) {}

  static CList FromIndex(std::size_t first, std::size_t n) {
    CList list;
    list.bits_ = (std::uint64_t{first} & detail::kPointerMask) |
                 std::uint64_t{std::min(n, detail::kMaxViewLength)} << detail::kLengthShift;
    return list;
  }
  CList Rebase(const T* base) const { return CList(base + Index(), size()); }
  // The index of a list made by FromIndex.
  std::size_t Index() const { return static_cast<std::size_t>(bits_ & detail::kPointerMask); }

  const T* data() const {
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<const T*>(bits_ & detail::kPointerMask);
  }
  std::size_t size() const { return static_cast<std::size_t>(bits_ >> detail::kLengthShift); }
  bool empty() const { return size() == 0; }
  const T& front() const { return *data(); }
  const T& operator[](std::size_t i) const { return data()[i]; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size(); }

 private:
  std::uint64_t bits_ = 0;
};

}  // namespace pelmora::model
