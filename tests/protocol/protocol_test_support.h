// Helpers shared by the protocol tests: byte strings from text, a model built from
// templates and data lines, golden comparisons with a hex dump, and a scratch log file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "log/debug_log.h"
#include "model/stat_data_obj.h"
#include "test_support.h"

namespace pelmora::protocol::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// The bytes of a text, NULs included: Text("a\0b"sv).
inline Bytes Text(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

using pelmora::test::HexDump;

// Byte-for-byte equality; on a mismatch, both sides as hex dumps and the first offset
// that differs.
inline ::testing::AssertionResult SameBytes(std::span<const std::uint8_t> expected,
                                            std::span<const std::uint8_t> actual) {
  if (std::equal(expected.begin(), expected.end(), actual.begin(), actual.end())) {
    return ::testing::AssertionSuccess();
  }
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  return ::testing::AssertionFailure()
         << "first difference at offset " << at << " (expected " << expected.size()
         << " bytes, got " << actual.size() << ")\nexpected:\n"
         << HexDump(expected) << "\nactual:\n"
         << HexDump(actual);
}

// A model with the given commands and current image; every other part stays empty.
struct ModelParts {
  Bytes init{}, write{}, reset{}, read{};
  std::vector<model::CDataLine> lines{};
  std::vector<std::string> names{};
};

inline model::CStatDataObj MakeModel(const ModelParts& parts) {
  model::CStatDataObj m;
  m.SetInitCommand(parts.init);
  m.SetWriteTemplate(parts.write);
  m.SetResetCommand(parts.reset);
  m.SetReadTemplate(parts.read);
  for (const std::string& name : parts.names) m.AddModelName(name);
  m.SetLines() = parts.lines;
  m.BuildImage(m.SetLines());
  return m;
}

using pelmora::test::ScratchLog;
// The stamp of every line the protocol tests log.
inline constexpr std::uint32_t kLogStamp = 52331;

}  // namespace pelmora::protocol::test
