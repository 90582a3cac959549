// Value encoding: bytes to display text, text to bytes, and the typed-number check.
// Every test runs under the C locale and under a German one, whose decimal comma
// must not leak into the texts.
#include "model/item_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <locale>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "model_test_support.h"

namespace pelmora::model::test {
namespace {

using Lines = std::vector<CDataLine>;

class ItemTextTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* name = GetParam();
    if (!std::setlocale(LC_ALL, name)) {
      GTEST_SKIP() << "locale " << name
                   << " is not installed; run scripts/install-deps.sh, which generates it";
    }
    try {
      std::locale::global(std::locale(name));
    } catch (const std::runtime_error&) {
      GTEST_SKIP() << "locale " << name
                   << " is not installed; run scripts/install-deps.sh, which generates it";
    }
    // The German run only means something if printf really writes a decimal comma.
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.1f", 0.5);
    ASSERT_STREQ(buf, std::string_view(name) == "C" ? "0.5" : "0,5");
  }
  void TearDown() override {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
  }
};

INSTANTIATE_TEST_SUITE_P(Locales, ItemTextTest, ::testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& p) {
                           std::string n = p.param;
                           for (char& c : n)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

CItem Make(std::uint32_t type, std::uint32_t address) {
  CItem item;
  item.type = type;
  item.address = address;
  return item;
}
// A number item at `first`..`last` with scale 1 and an unsigned or signed range.
CItem Num(std::uint32_t first, std::uint32_t last, std::int64_t min, std::int64_t max) {
  CItem item = Make(kNumberItem, first << 16 | last);
  item.SetScale(1);
  item.SetRange(min, max);
  item.isUnsigned = min >= 0 ? 1 : 0;
  return item;
}
CItem Scaled(CItem item, std::int32_t scale, std::uint32_t decimals, std::int32_t offset = 0) {
  item.SetScale(scale);
  item.decimals = decimals;
  item.SetOffset(offset);
  return item;
}
// The first worked example: two bytes at 0x20, scale 10, one decimal, unit "mm".
const CItem kMm = [] {
  CItem item = Scaled(Num(0x20, 0x21, 0, 65535), 10, 1);
  item.SetUnit("mm");
  return item;
}();

CItem BigEndian(CItem item) {
  item.byteOrder = kBigEndian;
  return item;
}
CItem Uniq(CItem item, std::uint32_t pair, std::uint32_t has = 1) {
  item.uniq = pair;
  item.hasUniq = has;
  return item;
}
CItem WithChoices(CItem item, const std::vector<ChoiceRow>& choices) {
  item.SetChoices(KeepChoices(choices));
  return item;
}

const CItem kBit = [] {
  CItem item = Make(kBitItem, 0x00400003);
  item.SetOnText("Enable");
  item.SetOffText("Disable");
  return item;
}();
const CItem kBaud =
    WithChoices(Make(kCodeItem, 0x00600000), {{"9600", 0, {}}, {"19200", 1, {}}, {"Max", 255, {}}});
CSetEntry BitSet(std::uint32_t byte, std::uint32_t bit, std::uint32_t data) {
  return CSetEntry::Bit(byte, bit, data);
}
CSetEntry ByteSet(std::uint32_t byte, std::uint32_t data) {
  return CSetEntry::Byte(byte, data);
}
const CItem kMode =
    WithChoices(Make(kCodeItem, 0), {{"Fast", 0, {BitSet(0x70, 0, 1), ByteSet(0x71, 3)}},
                                     {"Quiet", 0, {BitSet(0x70, 0, 0), ByteSet(0x71, 1)}},
                                     {"Eco", 0, {ByteSet(0x71, 2)}}});
CItem CodePair(std::uint32_t order) {
  CItem item = WithChoices(Make(kCodeItem, 0x00600061),
                           {{"A", 0x0102, {}}, {"B", 0x0201, {}}, {"Wide", 0, {ByteSet(0x71, 5)}}});
  item.byteOrder = order;
  return item;
}

TEST_P(ItemTextTest, GetItemText) {
  const CItem choices =
      WithChoices(Num(0x50, 0, 0, 255),
                  {{"1/2", 2, {}}, {"5", 5, {}}, {"Auto", 7, {}}, {"2.5", 3, {}}, {"Max", 20, {}}});
  CItem withUnit = choices;
  withUnit.SetUnit("mm");
  const CItem signedChoice = WithChoices(Num(0x50, 0, -10, 10), {{"Off", -1, {}}});
  const struct {
    const char* what;
    CItem item;
    Lines lines;
    std::string text;
  } rows[] = {
      // Worked examples.
      {"little-endian 125", kMm, {{0x20, "7D00"}}, "12.5 mm"},
      {"big-endian 125", BigEndian(kMm), {{0x20, "007D"}}, "12.5 mm"},
      {"signed byte", Num(0x30, 0, -10, 10), {{0x30, "FE"}}, "-2 "},
      {"uniq 0 shows 256", Uniq(Num(0x31, 0, 0, 255), 0x00000100), {{0x31, "00"}}, "256 "},
      {"bit on", kBit, {{0x40, "08"}}, "Enable"},
      {"choice with /", withUnit, {{0x50, "02"}}, "1/2 mm"},
      {"choice 5", withUnit, {{0x50, "05"}}, "5.0 mm"},
      // Choices.
      {"choice word gets .0", choices, {{0x50, "07"}}, "Auto.0 "},
      {"choice with a point", choices, {{0x50, "03"}}, "2.5 "},
      {"no matching choice", choices, {{0x50, "04"}}, "4 "},
      {"choice matched on the raw value", Scaled(choices, 10, 1), {{0x50, "14"}}, "Max.0 "},
      {"raw value beside a choice", Scaled(choices, 10, 1), {{0x50, "15"}}, "2.1 "},
      {"signed choice", signedChoice, {{0x50, "FF"}}, "Off.0 "},
      // Widths and signs.
      {"1-byte signed -128", Num(0x10, 0, -128, 127), {{0x10, "80"}}, "-128 "},
      {"1-byte signed 127", Num(0x10, 0, -128, 127), {{0x10, "7F"}}, "127 "},
      {"1-byte unsigned 255", Num(0x10, 0, 0, 255), {{0x10, "FF"}}, "255 "},
      {"single address is one byte", Num(0x01, 0, 0, 255), {{0x01, "0709"}}, "7 "},
      {"2-byte signed -1", Num(0x10, 0x11, -100, 100), {{0x10, "FFFF"}}, "-1 "},
      {"2-byte signed, top bit clear", Num(0x10, 0x11, -100, 100), {{0x10, "FF00"}}, "255 "},
      {"2-byte unsigned", Num(0x10, 0x11, 0, 65535), {{0x10, "FFFF"}}, "65535 "},
      {"3-byte signed stays positive", Num(0x10, 0x12, -100, 100), {{0x10, "FFFFFF"}}, "16777215 "},
      {"4-byte signed -1", Num(0x10, 0x13, -100, 100), {{0x10, "FFFFFFFF"}}, "-1 "},
      {"4-byte little-endian", Num(0x10, 0x13, 0, 100), {{0x10, "00000001"}}, "16777216 "},
      {"4-byte big-endian", BigEndian(Num(0x10, 0x13, 0, 100)), {{0x10, "00010000"}}, "65536 "},
      {"3-byte big-endian", BigEndian(Num(0x10, 0x12, 0, 100)), {{0x10, "000102"}}, "258 "},
      {"4-byte unsigned is exact",
       Num(0x10, 0x13, 0, 4294967295),
       {{0x10, "FFFFFFFF"}},
       "4294967295 "},
      {"4-byte unsigned, decimals",
       Scaled(Num(0x10, 0x13, 0, 4294967295), 100, 2),
       {{0x10, "FFFFFFFF"}},
       "42949672.95 "},
      {"4-byte unsigned choice",
       WithChoices(Num(0x10, 0x13, 0, 4294967295), {{"All", 4294967295, {}}}),
       {{0x10, "FFFFFFFF"}},
       "All.0 "},
      {"4-byte signed minimum",
       Num(0x10, 0x13, -2147483648, 100),
       {{0x10, "00000080"}},
       "-2147483648 "},
      // Scale, offset and rounding half away from zero.
      {"two decimals", Scaled(Num(0x10, 0, 0, 255), 3, 2), {{0x10, "02"}}, "0.67 "},
      {"two decimals, negative", Scaled(Num(0x10, 0, -100, 100), 3, 2), {{0x10, "FE"}}, "-0.67 "},
      {"half rounds up", Scaled(Num(0x10, 0, 0, 255), 2, 0), {{0x10, "05"}}, "3 "},
      {"negative half rounds down", Scaled(Num(0x10, 0, -100, 100), 2, 0), {{0x10, "FB"}}, "-3 "},
      {"0.125 to two places", Scaled(Num(0x10, 0, 0, 255), 8, 2), {{0x10, "01"}}, "0.13 "},
      {"0.015 to two places", Scaled(Num(0x10, 0, 0, 255), 200, 2), {{0x10, "03"}}, "0.02 "},
      {"small negative shows 0", Scaled(Num(0x10, 0, -100, 100), 10, 0), {{0x10, "FF"}}, "0 "},
      {"three decimals", Scaled(Num(0x10, 0, 0, 255), 1, 3), {{0x10, "01"}}, "1.000 "},
      {"five decimals", Scaled(Num(0x10, 0, 0, 255), 1, 5), {{0x10, "01"}}, "1.00000 "},
      {"offset", Scaled(Num(0x10, 0, 0, 255), 1, 0, -40), {{0x10, "32"}}, "10 "},
      {"offset and scale", Scaled(Num(0x10, 0, 0, 255), 10, 1, 20), {{0x10, "64"}}, "12.0 "},
      {"scale 0 shows as 1", Scaled(Num(0x10, 0, 0, 255), 0, 0), {{0x10, "07"}}, "7 "},
      {"scale 0 with offset", Scaled(Num(0x10, 0, 0, 255), 0, 0, 3), {{0x10, "07"}}, "10 "},
      // uniq.
      {"uniq b is sign-extended", Uniq(Num(0x10, 0, 0, 255), 0x0000FFFF), {{0x10, "00"}}, "-1 "},
      {"uniq not matching", Uniq(Num(0x10, 0, 0, 255), 0x0000FFFF), {{0x10, "05"}}, "5 "},
      {"uniq flag clear", Uniq(Num(0x10, 0, 0, 255), 0x00000100, 0), {{0x10, "00"}}, "0 "},
      {"uniq on 2 bytes", Uniq(Num(0x10, 0x11, 0, 65535), 0x01000007), {{0x10, "0001"}}, "7 "},
      {"uniq compares the low 16 bits",
       Uniq(Num(0x10, 0x13, 0, 100), 0x00000005),
       {{0x10, "00000100"}},
       "5 "},
      {"uniq on a 4-byte unsigned value",
       Uniq(Num(0x10, 0x13, 0, 100), 0xFFFF0007),
       {{0x10, "FFFFFFFF"}},
       "7 "},
      {"uniq before offset",
       Scaled(Uniq(Num(0x10, 0, 0, 255), 0x00000100), 1, 0, 10),
       {{0x10, "00"}},
       "266 "},
      // Bytes that cannot be read show raw 0.
      {"missing bytes", Scaled(Num(0x10, 0, 0, 255), 1, 0, 5), {{0x20, "07"}}, "5 "},
      {"unknown byte", Scaled(Num(0x10, 0, 0, 255), 1, 0, 5), {{0x10, "xx"}}, "5 "},
      {"second byte missing", Scaled(Num(0x10, 0x11, 0, 255), 1, 0, 5), {{0x10, "07"}}, "5 "},
      // Bit items.
      {"bit off", kBit, {{0x40, "F7"}}, "Disable"},
      {"bit on among others", kBit, {{0x40, "FF"}}, "Enable"},
      {"bit byte missing", kBit, {{0x41, "FF"}}, "Disable"},
      {"bit byte unknown", kBit, {{0x40, "xx"}}, "Disable"},
      // Code items.
      {"code value", kBaud, {{0x60, "01"}}, "19200"},
      {"code value unsigned", kBaud, {{0x60, "FF"}}, "Max"},
      {"code no match", kBaud, {{0x60, "05"}}, "9600"},
      {"code missing", kBaud, {{0x20, "01"}}, "9600"},
      {"code unknown", kBaud, {{0x60, "xX"}}, "9600"},
      {"code big-endian", CodePair(kBigEndian), {{0x60, "0102"}}, "A"},
      {"code little-endian", CodePair(kLittleEndian), {{0x60, "0102"}}, "B"},
      {"set targets, first", kMode, {{0x70, "0103"}}, "Fast"},
      {"set targets, second", kMode, {{0x70, "0001"}}, "Quiet"},
      {"set targets, other bits ignored", kMode, {{0x70, "FE01"}}, "Quiet"},
      {"set targets, byte only", kMode, {{0x70, "FF02"}}, "Eco"},
      {"set targets, no match", kMode, {{0x70, "0105"}}, "Fast"},
      {"set targets, missing", kMode, {{0x20, "00"}}, "Fast"},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    model.BuildImage(r.lines);
    EXPECT_EQ(GetItemText(model, r.item), r.text) << r.what;
  }
}

TEST_P(ItemTextTest, SetItemText) {
  const CItem choices = WithChoices(Num(0x10, 0, 0, 255), {{"5", 9, {}}, {"Auto", 7, {}}});
  const CItem twoBit = WithChoices(Make(kCodeItem, 0), {{"Two", 0, {BitSet(0x10, 0, 2)}}});
  const struct {
    const char* what;
    CItem item;
    Lines lines;
    std::string text;
    std::string dump;  // the image afterwards
  } rows[] = {
      // Worked examples and rounding.
      {"12.5", kMm, {{0x20, "0000"}}, "12.5", "0020:7D00"},
      {"12.5 big-endian", BigEndian(kMm), {{0x20, "0000"}}, "12.5", "0020:007D"},
      {"6553.5", kMm, {{0x20, "0000"}}, "6553.5", "0020:FFFF"},
      {"signed -2", Num(0x10, 0, -10, 10), {{0x10, "00"}}, "-2", "0010:FE"},
      {"half rounds up", Scaled(Num(0x10, 0, 0, 255), 2, 0), {{0x10, "00"}}, "1.25", "0010:03"},
      {"negative half rounds down",
       Scaled(Num(0x10, 0, -9, 9), 2, 0),
       {{0x10, "00"}},
       "-1.25",
       "0010:FD"},
      {"plus sign", Num(0x10, 0, 0, 255), {{0x10, "00"}}, "+7", "0010:07"},
      {"offset", Scaled(Num(0x10, 0, 0, 255), 1, 0, -40), {{0x10, "00"}}, "10", "0010:32"},
      {"offset and scale",
       Scaled(Num(0x10, 0, 0, 255), 10, 1, 20),
       {{0x10, "00"}},
       "12",
       "0010:64"},
      {"scale 0 stores as 1", Scaled(Num(0x10, 0, 0, 255), 0, 0), {{0x10, "00"}}, "7", "0010:07"},
      {"scale 0 with offset",
       Scaled(Num(0x10, 0, 0, 255), 0, 0, 3),
       {{0x10, "00"}},
       "7",
       "0010:04"},
      // Widths.
      {"cut to the item's width", Num(0x10, 0, 0, 255), {{0x10, "0000"}}, "300", "0010:2C00"},
      {"no uniq, 4 bytes",
       Num(0x10, 0x13, 0, 100000),
       {{0x10, "FFFFFFFF"}},
       "65536",
       "0010:00000100"},
      {"4-byte unsigned maximum",
       Num(0x10, 0x13, 0, 4294967295),
       {{0x10, "00000000"}},
       "4294967295",
       "0010:FFFFFFFF"},
      {"3 bytes big-endian",
       BigEndian(Num(0x10, 0x12, 0, 100)),
       {{0x10, "000000"}},
       "1193046",
       "0010:123456"},
      {"across blocks",
       Num(0x10, 0x11, 0, 65535),
       {{0x10, "00"}, {0x11, "00"}},
       "258",
       "0010:02 0011:01"},
      {"outside the image", Num(0x99, 0, 0, 255), {{0x10, "00"}}, "5", "0010:00"},
      // uniq and choices.
      {"uniq a becomes b",
       Uniq(Num(0x10, 0x11, 0, 65535), 0x00000100),
       {{0x10, "FFFF"}},
       "0",
       "0010:0001"},
      {"uniq flag clear",
       Uniq(Num(0x10, 0x11, 0, 65535), 0x00000100, 0),
       {{0x10, "FFFF"}},
       "0",
       "0010:0000"},
      {"choice name before number", choices, {{0x10, "00"}}, "5", "0010:09"},
      {"choice name", choices, {{0x10, "00"}}, "Auto", "0010:07"},
      {"number beside choices", choices, {{0x10, "00"}}, "6", "0010:06"},
      {"choice by its shown text", choices, {{0x10, "00"}}, "5.0", "0010:09"},
      // Bit items.
      {"bit on", kBit, {{0x40, "81"}}, "Enable", "0040:89"},
      {"bit on, other case", kBit, {{0x40, "81"}}, "eNABLE", "0040:89"},
      {"bit off", kBit, {{0x40, "89"}}, "Disable", "0040:81"},
      {"bit other text clears", kBit, {{0x40, "89"}}, "junk", "0040:81"},
      {"bit byte missing", kBit, {{0x41, "00"}}, "Enable", "0041:00"},
      // Code items.
      {"code value", kBaud, {{0x60, "00"}}, "19200", "0060:01"},
      {"code value 255", kBaud, {{0x60, "00"}}, "Max", "0060:FF"},
      {"code name is case-sensitive", kBaud, {{0x60, "00"}}, "max", "0060:00"},
      {"code name exactly", kBaud, {{0x60, "00"}}, "19200 ", "0060:00"},
      {"code 2 bytes big-endian", CodePair(kBigEndian), {{0x60, "0000"}}, "B", "0060:0201"},
      {"set targets", kMode, {{0x70, "FF00"}}, "Quiet", "0070:FE01"},
      {"set targets other way", kMode, {{0x70, "0000"}}, "Fast", "0070:0103"},
      {"bit data other than 1 clears", twoBit, {{0x10, "FF"}}, "Two", "0010:FE"},
      {"byte target, item width big-endian",
       CodePair(kBigEndian),
       {{0x70, "AAAAAAAA"}},
       "Wide",
       "0070:AA0005AA"},
      {"byte target, item width little-endian",
       CodePair(kLittleEndian),
       {{0x70, "AAAAAAAA"}},
       "Wide",
       "0070:AA0500AA"},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    model.BuildImage(r.lines);
    EXPECT_EQ(SetItemText(model, r.item, r.text), 1) << r.what;
    EXPECT_EQ(Dump(model.CurrentImage()), r.dump) << r.what;
  }
}

TEST_P(ItemTextTest, TextRoundTrip) {
  // What is shown can be typed back and gives the same bytes.
  const CItem items[] = {kMm, BigEndian(kMm), Scaled(Num(0x20, 0, -100, 100), 4, 2, 7),
                         Scaled(Num(0x20, 0x21, -30000, 30000), 3, 3, -11)};
  for (const CItem& item : items) {
    for (const char* data : {"7D00", "0100", "F0FF", "1F00"}) {
      CStatDataObj model;
      model.BuildImage(Lines{{0x20, data}});
      std::string text = GetItemText(model, item);
      ASSERT_FALSE(text.empty());
      if (const auto blank = text.find(' '); blank != std::string::npos)
        text.erase(blank);
      const std::string before = Dump(model.CurrentImage());
      SetItemText(model, item, text);
      EXPECT_EQ(Dump(model.CurrentImage()), before) << text;
    }
  }
}

TEST_P(ItemTextTest, CheckValue) {
  const struct {
    CItem item;
    std::vector<std::pair<const char*, int>> texts;
  } rows[] = {
      {kMm,
       {{"6553.5", 1},
        {"6553.6", 0},
        {"-1", 0},
        {"", 1},
        {"+5", 1},
        {"5.", 1},
        {".5", 1},
        {"12.5", 1},
        {"5-", 0},
        {"1.2.3", 0},
        {"1e3", 0},
        {" 5", 0},
        {"5 ", 0},
        {"1,5", 0},
        {"--5", 0},
        {"+-5", 0},
        {"0x10", 0},
        {"a", 0}}},
      {Num(0x10, 0, 0, 300), {{"255", 1}, {"256", 0}, {"300", 0}}},
      {Num(0x01, 0, 0, 1000), {{"255", 1}, {"256", 0}}},
      {Num(0x10, 0, -200, 200), {{"-128", 1}, {"-129", 0}, {"127", 1}, {"128", 0}}},
      {Num(0x10, 0x11, 0, 100000), {{"65535", 1}, {"65536", 0}}},
      {Num(0x10, 0x11, -40000, 40000), {{"-32768", 1}, {"-32769", 0}, {"32767", 1}, {"32768", 0}}},
      {Num(0x10, 0x12, 0, 20000000), {{"16777215", 1}, {"16777216", 0}}},
      {Num(0x10, 0x13, 0, 4294967295), {{"4294967295", 1}, {"4294967296", 0}}},
      {Scaled(Num(0x10, 0, 0, 255), 1, 0, -40), {{"-40", 1}, {"-41", 0}, {"215", 1}, {"216", 0}}},
      {Scaled(Num(0x10, 0, 1, 12), 10, 1),
       {{"0.05", 0}, {"0.1", 1}, {"1.1", 1}, {"1.25", 0}, {"1.5", 0}}},
      {Num(0x10, 0, 0, 0), {{"0", 1}, {"1", 0}}},
      // Choices are the item's own values even outside the range.
      {WithChoices(Num(0x10, 0, 0, 5), {{"80", 80, {}}, {"1/8", 8, {}}}),
       {{"80.0", 1}, {"80", 1}, {"1/8", 1}, {"80.00", 0}, {"1/8.0", 0}, {"8", 0}}},
      {Scaled(Make(kNumberItem, 0x00100000), 1, 0), {{"0", 1}, {"-1", 0}, {"1", 0}}},
  };
  for (const auto& r : rows) {
    for (const auto& [text, result] : r.texts) {
      EXPECT_EQ(CheckValue(r.item, text), result)
          << "\"" << text << "\" range " << r.item.RangeMin() << ".." << r.item.RangeMax();
    }
  }
}

}  // namespace
}  // namespace pelmora::model::test
