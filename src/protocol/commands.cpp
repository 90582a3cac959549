#include "protocol/commands.h"

#include <algorithm>
#include <array>
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

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Two hex digits at `at`, high digit first; the caller has checked that both exist.
bool HexPair(std::span<const std::uint8_t> r, std::size_t at, std::uint32_t& value) {
  const int hi = HexDigit(r[at]);
  const int lo = HexDigit(r[at + 1]);
  if (hi < 0 || lo < 0)
    return false;
  value = static_cast<std::uint32_t>(hi << 4 | lo);
  return true;
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
      // A data field: address digits, two data digits, ';'.
      const std::size_t j = i + 3;
      std::uint32_t fieldAddress = 0;
      std::size_t fieldWidth = 0;
      if (width == kAddressWidthLowByte) {
        if (j + 2 > n || !HexPair(reply, j, fieldAddress))
          return false;
        fieldWidth = 2;
      } else {
        if (j + 4 > n)
          return false;
        std::uint32_t first = 0, second = 0;
        if (order == kAddressHighFirst) {
          if (!HexPair(reply, j, first) || !HexPair(reply, j + 2, second))
            return false;
          fieldAddress = first << 8 | second;
        } else if (order == kAddressLowFirst) {
          if (!HexPair(reply, j, first) || !HexPair(reply, j + 2, second))
            return false;
          fieldAddress = second << 8 | first;
        }  // any other order: the address counts as 0, its digits unread
        fieldWidth = 4;
      }
      if (fieldAddress != address)
        return false;

      const std::size_t k = j + fieldWidth;
      std::uint32_t value = 0;
      if (k + 2 > n || !HexPair(reply, k, value))
        return false;
      data = static_cast<std::uint8_t>(value);
      const std::size_t m = k + 2;
      if (m + 1 > n || reply[m] != ';')
        return false;
      i = m;
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
