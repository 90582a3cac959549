// libFuzzer target: any bytes as a printer's read reply and as its device ID. The
// analysis must stay inside the bytes it is given and only accept what has the shape
// of a reply or an ID.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "model/stat_data_obj.h"
#include "protocol/commands.h"

namespace {

using pelmora::model::CStatDataObj;

const CStatDataObj& Model() {
  static const CStatDataObj model = [] {
    CStatDataObj m;
    m.AddModelName("TAVEN T1");
    m.AddModelName("TP-9");
    return m;
  }();
  return model;
}

bool HasModelKey(std::span<const std::uint8_t> id) {
  for (std::size_t p = 0; p + 4 <= id.size(); ++p) {
    if ((id[p] | 0x20) == 'm' && (id[p + 1] | 0x20) == 'd' && (id[p + 2] | 0x20) == 'l' &&
        id[p + 3] == ':') {
      return true;
    }
  }
  return false;
}

}  // namespace

// Input: one byte of address width (low 2 bits) and order (next 2 bits), two bytes of
// expected address (high first), then the reply; the whole input is also a device ID.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  if (pelmora::protocol::CheckDeviceID(Model(), input) && !HasModelKey(input))
    std::abort();

  if (size < 3)
    return 0;
  const std::uint32_t width = data[0] & 3u;
  const std::uint32_t order = (data[0] >> 2) & 3u;
  const auto address = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
  const std::span<const std::uint8_t> reply = input.subspan(3);
  std::uint8_t byte = 0;
  if (pelmora::protocol::AnalyzeReadData(Model(), address, width, order, reply, byte)) {
    // Accepted: the header, then an end byte somewhere after the byte that follows it.
    constexpr std::string_view kHeader{"@BDC PS\r\n", 9};
    if (reply.size() < kHeader.size() + 2 ||
        !std::equal(kHeader.begin(), kHeader.end(), reply.begin())) {
      std::abort();
    }
    if (std::none_of(reply.begin() + 10, reply.end(),
                     [](std::uint8_t b) { return b == 0x00 || b == 0x0C; })) {
      std::abort();
    }
  }
  return 0;
}
