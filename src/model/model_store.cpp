#include "model_store.h"

#include <algorithm>
#include <cstring>

namespace pelmora::model {

CText CModelStore::Keep(std::string_view s) {
  const char* begin = text.data();
  if (s.empty() || (s.data() >= begin && s.data() + s.size() <= begin + text.size()))
    return CText(s);
  const std::size_t n = std::min(s.size(), detail::kMaxViewLength);
  if (chunks_.empty() || chunkSize_ - chunkUsed_ < n) {
    chunkSize_ = std::max(kChunkSize, n);
    chunks_.push_back(std::make_unique<char[]>(chunkSize_));
    chunkUsed_ = 0;
  }
  char* to = chunks_.back().get() + chunkUsed_;
  std::memcpy(to, s.data(), n);
  chunkUsed_ += n;
  return CText(std::string_view(to, n));
}

void CModelStore::Clear() {
  text.clear();
  choices.clear();
  sets.clear();
  chunks_.clear();
  chunkUsed_ = 0;
  chunkSize_ = 0;
}

}  // namespace pelmora::model
