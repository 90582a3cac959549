// Finds choice lists equal to one read earlier in the same load. Definition files
// repeat the same list (levels, baud rates, on/off) for many items; the items then
// share one copy in the model's store.
#pragma once

#include <cstdint>
#include <vector>

#include "model_store.h"

namespace pelmora::model {

class CChoiceListTable {
 public:
  // Forgets every list but keeps the capacity, for the next load.
  void Clear();
  // Frees the table.
  void Release();

  // The list of `count` (at least one) choices at index `first` of
  // `store.choices`, whose set targets are still indices into `store.sets`:
  // returns the first index of an earlier list with the same names, values and
  // set targets, or records the list and returns `first` when there is none.
  std::uint32_t Share(const CModelStore& store, std::uint32_t first, std::uint32_t count);

 private:
  // An empty slot has a count of 0.
  struct CSlot {
    std::uint32_t hash = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  void Grow();

  std::vector<CSlot> slots_;
  std::size_t used_ = 0;
};

}  // namespace pelmora::model
