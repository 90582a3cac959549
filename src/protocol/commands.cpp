#include "protocol/commands.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "log/ascii.h"
#include "log/debug_log.h"
#include "protocol/write_template.h"

namespace pelmora::protocol {

namespace {

constexpr std::string_view kReplyHeader{"@BDC PS\r\n", 9};
constexpr std::uint8_t kReplyEndNul = 0x00;
constexpr std::uint8_t kReplyEndFormFeed = 0x0C;

using log::EqualsIgnoringCase;

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Two hex digits at `at`, high digit first; the caller has checked that both exist.
bool HexPair(std::span<const std::uint8_t> r, std::size_t at, std::uint32_t& value) {
  const int hi = log::HexDigit(static_cast<char>(r[at]));
  const int lo = log::HexDigit(static_cast<char>(r[at + 1]));
  if (hi < 0 || lo < 0)
    return false;
  value = static_cast<std::uint32_t>(hi << 4 | lo);
  return true;
}

// The address of a data field whose digits start at `at`: two digits for a one-byte
// address, else four in the command's order. `digits` receives how many it spans.
bool ReadFieldAddress(std::span<const std::uint8_t> reply, std::size_t at, std::uint32_t width,
                      std::uint32_t order, std::uint32_t& address, std::size_t& digits) {
  if (width == kAddressWidthLowByte) {
    digits = 2;
    return at + 2 <= reply.size() && HexPair(reply, at, address);
  }
  digits = 4;
  if (at + 4 > reply.size())
    return false;
  std::uint32_t first = 0, second = 0;
  if (order == kAddressHighFirst) {
    if (!HexPair(reply, at, first) || !HexPair(reply, at + 2, second))
      return false;
    address = first << 8 | second;
  } else if (order == kAddressLowFirst) {
    if (!HexPair(reply, at, first) || !HexPair(reply, at + 2, second))
      return false;
    address = second << 8 | first;
  }  // any other order: the address counts as 0, its digits unread
  return true;
}

// A data field whose address digits start at `at`: the address, two data digits, ';'.
// Gives the position of the ';', or nothing when the field is malformed or for another
// address; `data` receives the field's byte once its digits are read.
std::optional<std::size_t> ReadDataField(std::span<const std::uint8_t> reply, std::size_t at,
                                         std::uint16_t address, std::uint32_t width,
                                         std::uint32_t order, std::uint8_t& data) {
  const std::size_t n = reply.size();
  std::uint32_t fieldAddress = 0;
  std::size_t digits = 0;
  if (!ReadFieldAddress(reply, at, width, order, fieldAddress, digits) || fieldAddress != address) {
    return std::nullopt;
  }
  const std::size_t k = at + digits;
  std::uint32_t value = 0;
  if (k + 2 > n || !HexPair(reply, k, value))
    return std::nullopt;
  data = static_cast<std::uint8_t>(value);
  const std::size_t m = k + 2;
  if (m + 1 > n || reply[m] != ';')
    return std::nullopt;
  return m;
}

// The checks both builders make before touching `out`.
bool TemplateFits(std::size_t templateLength, std::size_t outSize, std::uint32_t& length) {
  if (outSize < templateLength) {
    length = static_cast<std::uint32_t>(templateLength);  // the size the caller would need
    return false;
  }
  if (templateLength == 0) {
    length = 0;
    return false;
  }
  return true;
}

}  // namespace

bool MakeWriteCommand(const model::CStatDataObj& model, std::uint16_t address, std::uint8_t data,
                      std::span<std::uint8_t> out, std::uint32_t& length) {
  log::CDebugLog scope("CStatDataObj::MakeWriteCommand");
  scope.Output("Address : 0x%04X\n", unsigned{address});
  scope.Output("Data : 0x%02X\n", unsigned{data});

  const CWriteTemplate compiled(model.WriteTemplate());
  if (!TemplateFits(compiled.Size(), out.size(), length))
    return false;
  compiled.Build(address, data, out.data());
  length = static_cast<std::uint32_t>(compiled.Size());
  return true;
}

bool MakeReadCommand(const model::CStatDataObj& model, std::uint16_t address,
                     std::span<std::uint8_t> out, std::uint32_t& length, std::uint32_t& width,
                     std::uint32_t& order) {
  log::CDebugLog scope("CStatDataObj::MakeReadCommand");
  scope.Output("Address : 0x%04X\n", unsigned{address});

  std::array<std::uint8_t, model::CStatDataObj::kTemplateMax> work{};
  const std::uint32_t n = model.GetReadTemplate(work.data());
  width = 0;
  order = 0;
  if (!TemplateFits(n, out.size(), length))
    return false;

  // The first address placeholder met decides the order; a high byte anywhere makes the
  // address two bytes wide.
  for (std::uint32_t i = 0; i < n; ++i) {
    if (work[i] == kAddressLowPlaceholder) {
      work[i] = static_cast<std::uint8_t>(address & 0xFF);
      if (width == 0)
        width = kAddressWidthLowByte;
      if (order == 0)
        order = kAddressLowFirst;
    } else if (work[i] == kAddressHighPlaceholder) {
      work[i] = static_cast<std::uint8_t>(address >> 8);
      width = kAddressWidthBothBytes;
      if (order == 0)
        order = kAddressHighFirst;
    }
  }
  std::copy_n(work.begin(), n, out.begin());
  length = n;
  return true;
}

bool AnalyzeReadData(const model::CStatDataObj& /*model*/, std::uint16_t address,
                     std::uint32_t width, std::uint32_t order, std::span<const std::uint8_t> reply,
                     std::uint8_t& data) {
  const std::size_t n = reply.size();
  if (n < kReplyHeader.size() || AsText(reply.first(kReplyHeader.size())) != kReplyHeader) {
    return false;
  }
  std::size_t i = kReplyHeader.size();
  for (;;) {
    if (i + 3 <= n && EqualsIgnoringCase(AsText(reply.subspan(i, 3)), "EE:")) {
      const auto end = ReadDataField(reply, i + 3, address, width, order, data);
      if (!end)
        return false;
      i = *end;
    }
    // Step over the byte; only a byte stepped onto can end the reply, so the one right
    // after the header never does.
    ++i;
    if (i >= n)
      return false;
    if (reply[i] == kReplyEndNul || reply[i] == kReplyEndFormFeed)
      return true;
  }
}

bool CheckDeviceID(const model::CStatDataObj& model, std::span<const std::uint8_t> deviceId) {
  const std::string_view id = AsText(deviceId);
  // The key is looked for only where at least 7 bytes remain.
  std::size_t p = 0;
  for (;; ++p) {
    if (p + 6 >= id.size())
      return false;
    if (EqualsIgnoringCase(id.substr(p, 4), "MDL:"))
      break;
  }
  std::string_view name = id.substr(p + 4);
  name = name.substr(0, std::min(name.find(';'), name.find('\0')));
  return std::any_of(model.ModelNames().begin(), model.ModelNames().end(),
                     [&](const std::string& entry) {
                       // Names compare as texts, which end at a NUL.
                       return EqualsIgnoringCase(name, std::string_view(entry.c_str()));
                     });
}

}  // namespace pelmora::protocol
