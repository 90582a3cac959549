// What a loaded model keeps as it was loaded: the file text, the few strings that
// are not found in it as they stand, and the choice and set-target arrays.
#pragma once

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "item.h"
#include "text_view.h"

namespace pelmora::model {

// Leaves new elements uninitialised: the file text is read over them at once.
template <typename T>
struct CNoInitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = CNoInitAllocator<U>;
  };
  CNoInitAllocator() = default;
  template <typename U>
  CNoInitAllocator(const CNoInitAllocator<U>&) noexcept {}  // NOLINT
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... A>
  void construct(U* p, A&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
  }
};

// Filled by the reader during one load and read-only after it. The model and its
// copies share it, so the views of their items stay valid in every copy.
class CModelStore {
 public:
  std::vector<char, CNoInitAllocator<char>> text;  // the file text and its closing 0xFF byte
  std::vector<CChoice> choices;
  std::vector<CSetEntry> sets;

  // `s` itself when it lies in `text`, else a copy kept by the store: escapes
  // resolved, blanks dropped or carriage returns removed leave text not in the file.
  CText Keep(std::string_view s);
  // Empties everything but keeps the capacity, for the next load.
  void Clear();

 private:
  static constexpr std::size_t kChunkSize = 4096;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t chunkUsed_ = 0;
  std::size_t chunkSize_ = 0;
};

}  // namespace pelmora::model
