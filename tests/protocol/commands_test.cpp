// Write and read commands from templates, read-reply analysis, the device ID check, and
// what the builders leave in the log.
#include "protocol/commands.h"

#include <gtest/gtest.h>

#include <array>

#include "protocol_test_support.h"

namespace pelmora::protocol::test {
namespace {

using namespace std::string_view_literals;

constexpr std::uint8_t kUntouched = 0xAA;

TEST(CommandsTest, MakeWriteCommand) {
  const Bytes long260(260, 0x1B);
  const struct {
    const char* name;
    Bytes tmpl;
    std::uint16_t address;
    std::uint8_t data;
    std::size_t outSize;
    bool ok;
    std::uint32_t length;
    Bytes command;
  } rows[] = {
      {"data, low, high", B({0x10, 0x20, 0xFE, 0xFD, 0xFF}), 0x0123, 0x45, 260, true, 5,
       B({0x10, 0x20, 0x23, 0x01, 0x45})},
      {"0xFF in the fixed part is the data byte too", B({0xFF, 0x57, 0xFE, 0xFD, 0xFF}), 0x1234,
       0x9A, 260, true, 5, B({0x9A, 0x57, 0x34, 0x12, 0x9A})},
      {"placeholders repeated, high first", B({0xFD, 0xFE, 0xFD, 0xFE, 0x00}), 0xA1B2, 0x00, 260,
       true, 5, B({0xA1, 0xB2, 0xA1, 0xB2, 0x00})},
      // Substituted values that look like placeholders are not substituted again.
      {"values equal to placeholders", B({0xFF, 0xFE, 0xFD}), 0xFDFF, 0xFE, 260, true, 3,
       B({0xFE, 0xFF, 0xFD})},
      {"no placeholder", B({0x1B, 0x40}), 0x0001, 0x02, 260, true, 2, B({0x1B, 0x40})},
      {"buffer exactly as long", B({0x10, 0x20, 0xFE, 0xFD, 0xFF}), 0x0001, 0x02, 5, true, 5,
       B({0x10, 0x20, 0x01, 0x00, 0x02})},
      {"260-byte template", long260, 0x0001, 0x02, 260, true, 260, long260},
      {"buffer one short", B({0x10, 0x20, 0xFE, 0xFD, 0xFF}), 0x0001, 0x02, 4, false, 5, {}},
      {"no template", {}, 0x0001, 0x02, 260, false, 0, {}},
      {"no template, no buffer", {}, 0x0001, 0x02, 0, false, 0, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const model::CStatDataObj m = MakeModel({.write = r.tmpl});
    Bytes out(r.outSize + 4, kUntouched);
    std::uint32_t length = 12345;
    EXPECT_EQ(MakeWriteCommand(m, r.address, r.data, std::span(out).first(r.outSize), length),
              r.ok);
    EXPECT_EQ(length, r.length);
    Bytes expected = r.command;
    expected.resize(out.size(), kUntouched);  // nothing written past the command
    EXPECT_TRUE(SameBytes(expected, out));
  }
}

TEST(CommandsTest, MakeReadCommand) {
  const struct {
    const char* name;
    Bytes tmpl;
    std::size_t outSize;
    bool ok;
    std::uint32_t length, width, order;
    Bytes command;  // for address 0x1234
  } rows[] = {
      {"low byte only", B({0x1B, 0x52, 0xFE}), 260, true, 3, 1, 2, B({0x1B, 0x52, 0x34})},
      {"low before high", B({0x1B, 0xFE, 0xFD}), 260, true, 3, 2, 2, B({0x1B, 0x34, 0x12})},
      {"high before low", B({0x1B, 0xFD, 0xFE}), 260, true, 3, 2, 1, B({0x1B, 0x12, 0x34})},
      {"high byte only", B({0x1B, 0xFD}), 260, true, 2, 2, 1, B({0x1B, 0x12})},
      {"low, high, low", B({0xFE, 0xFD, 0xFE}), 260, true, 3, 2, 2, B({0x34, 0x12, 0x34})},
      {"0xFF stays", B({0xFF, 0xFE, 0xFF}), 260, true, 3, 1, 2, B({0xFF, 0x34, 0xFF})},
      {"no address", B({0x1B, 0x52}), 260, true, 2, 0, 0, B({0x1B, 0x52})},
      {"buffer one short", B({0x1B, 0xFD, 0xFE}), 2, false, 3, 0, 0, {}},
      {"no template", {}, 260, false, 0, 0, 0, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const model::CStatDataObj m = MakeModel({.read = r.tmpl});
    Bytes out(r.outSize + 4, kUntouched);
    std::uint32_t length = 12345, width = 7, order = 7;
    EXPECT_EQ(MakeReadCommand(m, 0x1234, std::span(out).first(r.outSize), length, width, order),
              r.ok);
    EXPECT_EQ(length, r.length);
    EXPECT_EQ(width, r.width);
    EXPECT_EQ(order, r.order);
    Bytes expected = r.command;
    expected.resize(out.size(), kUntouched);
    EXPECT_TRUE(SameBytes(expected, out));
  }
}

TEST(CommandsTest, AnalyzeReadData) {
  const Bytes h = Text("@BDC PS\r\n");
  const struct {
    const char* name;
    Bytes reply;
    std::uint16_t address;
    std::uint32_t width, order;
    bool ok;
    int data;  // -1: the output is left alone
  } rows[] = {
      {"high byte first", Cat({h, Text("EE:012345;\f")}), 0x0123, 2, 1, true, 0x45},
      {"read as low byte first", Cat({h, Text("EE:012345;\f")}), 0x0123, 2, 2, false, -1},
      {"low byte first", Cat({h, Text("EE:230145;\f")}), 0x0123, 2, 2, true, 0x45},
      {"one address byte, lower case", Cat({h, Text("ee:7fab;\0"sv)}), 0x7F, 1, 2, true, 0xAB},
      {"mixed case", Cat({h, Text("eE:7FaB;\0"sv)}), 0x7F, 1, 2, true, 0xAB},
      {"one address byte checked against all of it", Cat({h, Text("EE:7FAB;\0"sv)}), 0x017F, 1, 2,
       false, -1},
      {"bytes stepped over before the field", Cat({h, Text("x\r\nEE:7FAB;\0"sv)}), 0x7F, 1, 2, true,
       0xAB},
      {"the last of several fields", Cat({h, Text("EE:7F01;EE:7F02;\f")}), 0x7F, 1, 2, true, 2},
      {"a field for another address", Cat({h, Text("EE:7F01;EE:8002;\f")}), 0x7F, 1, 2, false, -1},
      {"no ';'", Cat({h, Text("EE:7FAB\0"sv)}), 0x7F, 1, 2, false, -1},
      {"other byte for ';'", Cat({h, Text("EE:7FAB:\0"sv)}), 0x7F, 1, 2, false, -1},
      {"no end byte", Cat({h, Text("EE:7FAB;")}), 0x7F, 1, 2, false, -1},
      {"no end byte, trailing text", Cat({h, Text("EE:7FAB;xyz")}), 0x7F, 1, 2, false, -1},
      {"bad address digit", Cat({h, Text("EE:7G01;\0"sv)}), 0x7F, 1, 2, false, -1},
      {"bad data digit", Cat({h, Text("EE:7FG1;\0"sv)}), 0x7F, 1, 2, false, -1},
      {"bad digit of the second address byte", Cat({h, Text("EE:01 345;\0"sv)}), 0x0103, 2, 1,
       false, -1},
      {"cut in the address", Cat({h, Text("EE:012")}), 0x0123, 2, 1, false, -1},
      {"cut in the data", Cat({h, Text("EE:01234")}), 0x0123, 2, 1, false, -1},
      {"cut before ';'", Cat({h, Text("EE:7FAB")}), 0x7F, 1, 2, false, -1},
      {"'EE' without ':' is stepped over", Cat({h, Text("EE;7FAB;\0"sv)}), 0x7F, 1, 2, true, -1},
      {"an end byte before the field", Cat({h, Text("x\fEE:7FAB;\0"sv)}), 0x7F, 1, 2, true, -1},
      // The byte right after the header is stepped over, never taken as the end.
      {"end byte right after the header", Cat({h, Text("\0"sv)}), 0x7F, 1, 2, false, -1},
      {"end byte second after the header", Cat({h, Text("\0\0"sv)}), 0x7F, 1, 2, true, -1},
      {"no address width or order: address 0", Cat({h, Text("EE:zzzz45;\0"sv)}), 0x0000, 0, 0, true,
       0x45},
      {"no address width or order, address 1", Cat({h, Text("EE:000145;\0"sv)}), 0x0001, 0, 0,
       false, -1},
      {"header only", h, 0x7F, 1, 2, false, -1},
      {"short header", Text("@BDC PS\r"), 0x7F, 1, 2, false, -1},
      {"other header", Cat({Text("@BDC PT\r\n"), Text("EE:7FAB;\0"sv)}), 0x7F, 1, 2, false, -1},
      {"header in lower case", Cat({Text("@bdc ps\r\n"), Text("EE:7FAB;\0"sv)}), 0x7F, 1, 2, false,
       -1},
      {"empty", {}, 0x7F, 1, 2, false, -1},
  };
  const model::CStatDataObj m;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    std::uint8_t data = kUntouched;
    EXPECT_EQ(AnalyzeReadData(m, r.address, r.width, r.order, r.reply, data), r.ok)
        << HexDump(r.reply);
    if (r.ok) {
      EXPECT_EQ(data, r.data < 0 ? kUntouched : r.data);
    }
  }
}

TEST(CommandsTest, CheckDeviceID) {
  const struct {
    const char* name;
    Bytes id;
    std::vector<std::string> names;
    bool ok;
  } rows[] = {
      {"second name, other case",
       Text("MFG:Maker;MDL:Model-A;CMD:X;"),
       {"Model-B", "model-a"},
       true},
      {"no equal name", Text("MFG:Maker;MDL:Model-A;CMD:X;"), {"Model-A2"}, false},
      {"prefix of a name", Text("MFG:Maker;MDL:Model;CMD:X;"), {"Model-A"}, false},
      {"key in lower case", Text("mfg:Maker;mdl:Model-A;"), {"Model-A"}, true},
      {"name up to the end", Text("MFG:Maker;MDL:Model-A"), {"Model-A"}, true},
      {"name up to a NUL", Text("MDL:Model-A\0junk;"sv), {"Model-A"}, true},
      {"blank kept", Text("MDL:Model-A ;"), {"Model-A"}, false},
      {"first key counts", Text("MDL:Other;MDL:Model-A;"), {"Model-A"}, false},
      {"no key", Text("MFG:Maker;MODEL:Model-A;"), {"Model-A"}, false},
      {"key starts 7 bytes before the end", Text("MFG:X;MDL:ABC"), {"ABC"}, true},
      {"key starts 6 bytes before the end", Text("MFG:X;MDL:AB"), {"AB"}, false},
      {"key alone", Text("MDL:"), {""}, false},
      {"no names", Text("MFG:Maker;MDL:Model-A;"), {}, false},
      {"empty", {}, {"Model-A"}, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const model::CStatDataObj m = MakeModel({.names = r.names});
    EXPECT_EQ(CheckDeviceID(m, r.id), r.ok);
  }
}

TEST(CommandsTest, BuildersLogTheirAddressAndData) {
  ScratchLog log(kLogStamp);
  std::array<std::uint8_t, kCommandBufferSize> out{};
  std::uint32_t length = 0, width = 0, order = 0;
  const model::CStatDataObj m = MakeModel({.write = B({0xFE, 0xFD, 0xFF})});
  MakeWriteCommand(m, 0x0012, 0x5A, out, length);
  // Logged before the template is looked at, so also when there is none.
  MakeReadCommand(m, 0xABCD, out, length, width, order);
  const std::vector<std::string> expected = {
      "0000052331: ",
      "0000052331: ---",
      "0000052331: CStatDataObj::MakeWriteCommand",
      "0000052331:   Address : 0x0012",
      "0000052331:   Data : 0x5A",
      "0000052331: ",
      "0000052331: ---",
      "0000052331: CStatDataObj::MakeReadCommand",
      "0000052331:   Address : 0xABCD",
  };
  EXPECT_EQ(log.TakeLines(), expected);
}

}  // namespace
}  // namespace pelmora::protocol::test
