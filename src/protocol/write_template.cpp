#include "protocol/write_template.h"

#include <algorithm>

namespace pelmora::protocol {

CWriteTemplate::CWriteTemplate(std::span<const std::uint8_t> bytes)
    : size_(std::min(bytes.size(), kMaxSize)), words_((size_ + kWordBytes - 1) / kWordBytes) {
  for (std::size_t w = 0; w < words_; ++w) {
    std::array<std::uint8_t, kWordBytes> fixed{}, data{}, low{}, high{};
    for (std::size_t j = 0; j < kWordBytes && w * kWordBytes + j < size_; ++j) {
      const std::uint8_t b = bytes[w * kWordBytes + j];
      switch (b) {
        case kDataPlaceholder:
          data[j] = 1;
          break;
        case kAddressLowPlaceholder:
          low[j] = 1;
          break;
        case kAddressHighPlaceholder:
          high[j] = 1;
          break;
        default:
          fixed[j] = b;
          break;
      }
    }
    std::memcpy(&word_[w].fixed, fixed.data(), kWordBytes);
    std::memcpy(&word_[w].data, data.data(), kWordBytes);
    std::memcpy(&word_[w].low, low.data(), kWordBytes);
    std::memcpy(&word_[w].high, high.data(), kWordBytes);
  }
}

}  // namespace pelmora::protocol
