// Item lines and choice lists of [Standard] and [Advance], read through whole-file loads.
#include <gtest/gtest.h>

#include <cstdio>

#include "model_test_support.h"

namespace pelmora::model::test {
namespace {

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

const std::string kBitTexts = ", On = \"Yes\", Off = \"No\"";

// Loads a file whose [Standard] section holds `items`; expects success.
const CItem& LoadOne(Loader& l, const std::string& items, const std::string& header = "") {
  const int r = l.Load(Cfg{.extraHeader = header, .standard = items}.Text());
  EXPECT_EQ(r, kResultOk) << items;
  static const CItem kNone{};
  return l.model.BasicItems().empty() ? kNone : l.model.BasicItems()[0];
}

TEST(ItemParserTest, AcceptedAndRefusedLines) {
  const struct {
    const char* what;
    std::string items;
    const char* failsAt;  // the line that starts so; nullptr: accepted
  } rows[] = {
      // Item names.
      {"name with colon", "\"A:B\" : type = bit, address = 10#1" + kBitTexts + "\n", nullptr},
      {"blanks around name", "  \"A\"\t:type = bit, address = 10#1" + kBitTexts + "\n", nullptr},
      {"bare End as item name", "End : type = bit, address = 10#1" + kBitTexts + "\n", nullptr},
      {"no colon", "\"A\" type = bit, address = 10#1" + kBitTexts + "\n", "\"A\""},
      {"colon last", "\"A\" :\n", "\"A\""},
      {"unquoted name", "A : type = bit, address = 10#1" + kBitTexts + "\n", "A :"},
      {"text after name", "\"A\" x : type = bit, address = 10#1" + kBitTexts + "\n", "\"A\""},
      // Finding the type.
      {"type in any case", "\"A\" : type = Number, address = 10, range = (0, 9), scale = 1\n",
       nullptr},
      {"unknown type only", "\"A\" : type = float, address = 10, range = (0, 9)\n", "\"A\""},
      {"unknown type passed over",
       "\"A\" : type = float, type = bit, address = 10#1" + kBitTexts + "\n", nullptr},
      {"no type", "\"A\" : address = 10#1" + kBitTexts + "\n", "\"A\""},
      {"keyless piece before type", "\"A\" : junk, type = bit, address = 10#1" + kBitTexts + "\n",
       "\"A\""},
      {"quoted type", "\"A\" : type = \"bit\", address = 10#1" + kBitTexts + "\n", "\"A\""},
      // Number items.
      {"Start not last",
       "\"A\" : type = number, address = 0010-0011, range = (0, 65535), number = Start, scale = 2\n"
       "\"x\" : number = 1\nEnd : -\n",
       "\"A\""},
      {"Start without range",
       "\"A\" : type = number, address = 0010, number = Start\n\"x\" : number = 1\nEnd : -\n",
       "\"A\""},
      {"Start with another value",
       "\"A\" : type = number, address = 10, range = (0, 9), number = Go\n", "\"A\""},
      {"no address", "\"A\" : type = number, range = (0, 9), scale = 1\n", "\"A\""},
      {"three-digit address", "\"A\" : type = number, address = 010, range = (0, 9)\n", "\"A\""},
      {"open address pair", "\"A\" : type = number, address = 0010-, range = (0, 9)\n", "\"A\""},
      {"blanks around -", "\"A\" : type = number, address = 0010 - 0011, range = (0, 9)\n",
       nullptr},
      {"scale twice", "\"A\" : type = number, address = 10, range = (0, 9), scale = 1, scale = 2\n",
       "\"A\""},
      {"address twice", "\"A\" : type = number, address = 10, address = 11, range = (0, 9)\n",
       "\"A\""},
      {"decimal twice",
       "\"A\" : type = number, address = 10, range = (0, 9), decimal = 1, decimal = 3\n", nullptr},
      {"unit twice",
       "\"A\" : type = number, address = 10, range = (0, 9), unit = \"a\", unit = \"b\"\n",
       nullptr},
      {"scale not an integer", "\"A\" : type = number, address = 10, range = (0, 9), scale = 1.5\n",
       "\"A\""},
      {"scale without value", "\"A\" : type = number, address = 10, scale =, range = (0, 9)\n",
       "\"A\""},
      {"keyless piece", "\"A\" : type = number, address = 10, range = (0, 9), junk\n", "\"A\""},
      {"range not closed", "\"A\" : type = number, address = 10, range = (0, 9\n", "\"A\""},
      {"text after range", "\"A\" : type = number, address = 10, range = (0, 9)x\n", "\"A\""},
      {"range not a number", "\"A\" : type = number, address = 10, range = (a, 9)\n", "\"A\""},
      {"uniq with one number", "\"A\" : type = number, address = 10, range = (0, 9), uniq = (1)\n",
       "\"A\""},
      {"bad edian", "\"A\" : type = number, address = 10, range = (0, 9), edian = middle\n",
       "\"A\""},
      {"unquoted unit", "\"A\" : type = number, address = 10, range = (0, 9), unit = mm\n",
       "\"A\""},
      {"unknown key ignored", "\"A\" : type = number, address = 10, range = (0, 9), foo = bar\n",
       nullptr},
      {"decimal 7", "\"A\" : type = number, address = 10, range = (0, 9), decimal = 7\n", "\"A\""},
      {"decimal 50", "\"A\" : type = number, address = 10, range = (0, 9), decimal = 50\n",
       "\"A\""},
      {"decimal -1", "\"A\" : type = number, address = 10, range = (0, 9), decimal = -1\n",
       "\"A\""},
      {"decimal 5", "\"A\" : type = number, address = 10, range = (0, 9), decimal = 5\n", nullptr},
      // CAUTION.
      {"malformed CAUTION last",
       "\"A\" : type = number, address = 10, range = (0, 9), CAUTION = \"Hot\" x\n", nullptr},
      {"malformed CAUTION not last",
       "\"A\" : type = number, address = 10, CAUTION = \"Hot\" x, range = (0, 9)\n", "\"A\""},
      {"unquoted CAUTION last",
       "\"A\" : type = number, address = 10, range = (0, 9), CAUTION = Hot\n", "\"A\""},
      // Bit items.
      {"bit 10#3", "\"B\" : type = bit, address = 10#3" + kBitTexts + "\n", nullptr},
      {"bit 0010#7", "\"B\" : type = bit, address = 0010#7" + kBitTexts + "\n", nullptr},
      {"bit 10#8", "\"B\" : type = bit, address = 10#8" + kBitTexts + "\n", "\"B\""},
      {"bit 1#3", "\"B\" : type = bit, address = 1#3" + kBitTexts + "\n", "\"B\""},
      {"bit 010#3", "\"B\" : type = bit, address = 010#3" + kBitTexts + "\n", "\"B\""},
      {"bit 10#", "\"B\" : type = bit, address = 10#" + kBitTexts + "\n", "\"B\""},
      {"bit without #", "\"B\" : type = bit, address = 10" + kBitTexts + "\n", "\"B\""},
      {"bit without Off", "\"B\" : type = bit, address = 10#3, On = \"Yes\"\n", "\"B\""},
      {"bit without address", "\"B\" : type = bit" + kBitTexts + "\n", "\"B\""},
      {"bit unquoted On", "\"B\" : type = bit, address = 10#3, On = Yes, Off = \"No\"\n", "\"B\""},
      {"bit keyless piece after Off", "\"B\" : type = bit, address = 10#3" + kBitTexts + ", junk\n",
       nullptr},
      {"bit keyless piece before On", "\"B\" : type = bit, address = 10#3, junk" + kBitTexts + "\n",
       "\"B\""},
      {"bit second address after Off",
       "\"B\" : type = bit, address = 10#3" + kBitTexts + ", address = 11#2\n", nullptr},
      {"bit second address before On",
       "\"B\" : type = bit, address = 10#3, address = 11#2" + kBitTexts + "\n", "\"B\""},
      // Code items.
      {"code without Start", "\"C\" : type = code, address = 0060\n", "\"C\""},
      {"Code = Start not last",
       "\"C\" : type = code, Code = Start, address = 0060\n\"a\" : Code = 1\nEnd : -\n", "\"C\""},
      {"Code with another value", "\"C\" : type = code, address = 0060, Code = Begin\n", "\"C\""},
      {"code keyless piece",
       "\"C\" : type = code, junk, Code = Start\n\"a\" : set = (1, 70)\nEnd : -\n", "\"C\""},
      // Choice lists.
      {"empty list", "\"Fan\" : type = code, Code = Start\nEnd : -\n", "End : -"},
      {"End without colon",
       "\"C\" : type = code, address = 0060, Code = Start\n\"a\" : Code = 01\nEnd\n", "End"},
      {"End :x", "\"C\" : type = code, address = 0060, Code = Start\n\"a\" : Code = 01\nEnd :x\n",
       nullptr},
      {"End with more text",
       "\"C\" : type = code, address = 60, Code = Start\n\"a\" : Code = 1\nEnd : a b, c d\n",
       nullptr},
      {"blank and comment lines in a list",
       "\"C\" : type = code, address = 60, Code = Start\n\n   ! note\n\"a\" : Code = 1\n\t\nEnd : "
       "-\n",
       nullptr},
      {"Code choice without item address",
       "\"C\" : type = code, Code = Start\n\"A\" : Code = 01\nEnd : -\n", "\"A\""},
      {"Code choice not hexadecimal",
       "\"C\" : type = code, address = 60, Code = Start\n\"A\" : Code = zz\nEnd : -\n", "\"A\""},
      {"number choice in a code list",
       "\"C\" : type = code, address = 60, Code = Start\n\"a\" : Code = 1\n\"A\" : number = 1\nEnd "
       ": -\n",
       "\"A\""},
      {"Code choice in a number list",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"A\" : Code = 1\nEnd "
       ": -\n",
       "\"A\""},
      {"set in a number list",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"A\" : set = (1, "
       "70)\nEnd : -\n",
       "\"A\""},
      {"number choice not decimal",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"A\" : number = "
       "abc\nEnd : -\n",
       "\"A\""},
      {"unknown choice key",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"A\" : number = 1, "
       "foo = 2\nEnd : -\n",
       "\"A\""},
      {"choice without attributes",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"A\" :\nEnd : -\n",
       "\"A\""},
      {"unquoted choice name",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\nA : number = 1\nEnd : "
       "-\n",
       "A :"},
      {"section line inside a list",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"a\" : number = "
       "1\n[Default]\nEnd : -\n",
       "[Default]"},
      {"long line inside a list",
       "\"N\" : type = number, address = 10, range = (0, 9), number = Start\n\"a\" : number = 1 !" +
           std::string(1020, 'c') + "\nEnd : -\n",
       "\"a\""},
      {"bit set target", "\"C\" : type = code, Code = Start\n\"a\" : set = (1, 0070#0)\nEnd : -\n",
       nullptr},
      {"byte set target", "\"C\" : type = code, Code = Start\n\"a\" : set = (FF, 71)\nEnd : -\n",
       nullptr},
      {"bit data of two digits",
       "\"C\" : type = code, Code = Start\n\"A\" : set = (10, 0070#0)\nEnd : -\n", "\"A\""},
      {"byte data of three digits",
       "\"C\" : type = code, Code = Start\n\"A\" : set = (100, 71)\nEnd : -\n", "\"A\""},
      {"set bit above 7", "\"C\" : type = code, Code = Start\n\"A\" : set = (1, 70#8)\nEnd : -\n",
       "\"A\""},
      {"set three-digit address",
       "\"C\" : type = code, Code = Start\n\"A\" : set = (1, 070)\nEnd : -\n", "\"A\""},
      {"set without parentheses", "\"C\" : type = code, Code = Start\n\"A\" : set = 1\nEnd : -\n",
       "\"A\""},
  };
  for (const auto& r : rows) {
    Loader l;
    const std::string text = Cfg{.standard = r.items}.Text();
    const int result = l.Load(text);
    if (!r.failsAt) {
      EXPECT_EQ(result, kResultOk) << r.what;
      continue;
    }
    ASSERT_EQ(result, kResultFormError) << r.what;
    EXPECT_EQ(Hex(l.Code()), Hex(kSectionStandard)) << r.what;
    // The failing line is searched after the [Standard] line.
    const std::size_t from = text.find("[Standard]\n");
    const std::uint32_t before = LineOf(text, "[Standard]");
    EXPECT_EQ(l.Line(), before + LineOf(text.substr(from + 11), r.failsAt)) << r.what;
  }
}

TEST(ItemParserTest, FailureInAdvanceReportsItsSection) {
  Loader l;
  const std::string text =
      Cfg{.advance = "\"B\" : type = bit, address = 10#8" + kBitTexts + "\n"}.Text();
  ASSERT_EQ(l.Load(text), kResultFormError);
  EXPECT_EQ(Hex(l.Code()), Hex(kSectionAdvance));
  EXPECT_EQ(l.Line(), LineOf(text, "\"B\""));
}

TEST(ItemParserTest, EndOfFileInsideAList) {
  const std::string head = Cfg{}.version + Cfg{}.cmdLine + Cfg{}.modelName + Cfg{}.interfaces +
                           Cfg{}.driverName +
                           "[Standard]\n\"C\" : type = code, address = 60, Code = Start\n"
                           "\"a\" : Code = 01\n";
  for (const std::string& text : {head, head + "End : -"}) {
    Loader l;
    ASSERT_EQ(l.Load(text), kResultFormError);
    EXPECT_EQ(Hex(l.Code()), Hex(kSectionStandard));
    EXPECT_EQ(l.Line(), EofLine(text));
  }
}

TEST(ItemParserTest, NumberFields) {
  const struct {
    std::string attributes;  // after `"N" : type = number, `
    std::string header;
    std::uint32_t address;
    std::int32_t scale, offset;
    std::int64_t rangeMin, rangeMax;
    std::uint32_t isUnsigned, uniq, hasUniq, byteOrder, decimals;
    std::string unit;
  } rows[] = {
      {"address = 0020-0021, range = (0, 65535), scale = 10, decimal = 1, unit = \"mm\"", "",
       0x00200021, 10, 0, 0, 65535, 1, 0, 0, kLittleEndian, 1, "mm"},
      {"address = 30, range = (-10, 10)", "", 0x00300000, 0, 0, -10, 10, 0, 0, 0, kLittleEndian, 0,
       ""},
      {"address = 10-11, range = ( -10 , 10 ), offset = -40", "", 0x00100011, 0, -40, -10, 10, 0, 0,
       0, kLittleEndian, 0, ""},
      {"address = 31, range = (0, 255), uniq = (0, 256), scale = 1", "", 0x00310000, 1, 0, 0, 255,
       1, 0x00000100, 1, kLittleEndian, 0, ""},
      {"address = 31, range = (+0, 10), uniq = (1, -1)", "", 0x00310000, 0, 0, 0, 10, 1, 0x0001FFFF,
       1, kLittleEndian, 0, ""},
      {"address = 0040", "", 0x00400000, 0, 0, 0, 0, 0, 0, 0, kLittleEndian, 0, ""},
      {"address = 10-13, range = (-9999999999, 4294967295), scale = 9999999999", "", 0x00100013,
       2147483647, 0, -2147483648, 4294967295, 0, 0, 0, kLittleEndian, 0, ""},
      {"address = 10-13, range = (0, 4294967296), uniq = (4294967295, 65537)", "", 0x00100013, 0, 0,
       0, 4294967295, 1, 0xFFFF0001, 1, kLittleEndian, 0, ""},
      {"address = 40, range = (0, 9), edian = big", "", 0x00400000, 0, 0, 0, 9, 1, 0, 0, kBigEndian,
       0, ""},
      {"address = 40, range = (0, 9), edian = BIG", "", 0x00400000, 0, 0, 0, 9, 1, 0, 0, kBigEndian,
       0, ""},
      {"address = 40, range = (0, 9)", "Edian = big\n", 0x00400000, 0, 0, 0, 9, 1, 0, 0, kBigEndian,
       0, ""},
      {"address = 40, range = (0, 9), edian = little", "Edian = big\n", 0x00400000, 0, 0, 0, 9, 1,
       0, 0, kLittleEndian, 0, ""},
      {"address = 40, offset = -2147483648, scale = -3", "", 0x00400000, -3, -2147483648, 0, 0, 0,
       0, 0, kLittleEndian, 0, ""},
      {"address = 40, decimal = 45", "", 0x00400000, 0, 0, 0, 0, 0, 0, 0, kLittleEndian, 4, ""},
      {"address = 40, decimal = 1, decimal = 3", "", 0x00400000, 0, 0, 0, 0, 0, 0, 0, kLittleEndian,
       3, ""},
      {"address = 40, decimal = 0", "", 0x00400000, 0, 0, 0, 0, 0, 0, 0, kLittleEndian, 0, ""},
      {"address = 40, unit = \"" + std::string(40, 'u') + "\"", "", 0x00400000, 0, 0, 0, 0, 0, 0, 0,
       kLittleEndian, 0, std::string(32, 'u')},
  };
  for (const auto& r : rows) {
    Loader l;
    const CItem& it = LoadOne(l, "\"N\" : type = number, " + r.attributes + "\n", r.header);
    const std::string what = r.header + r.attributes;
    EXPECT_EQ(it.type, kNumberItem) << what;
    EXPECT_EQ(Hex(it.address), Hex(r.address)) << what;
    EXPECT_EQ(it.Scale(), r.scale) << what;
    EXPECT_EQ(it.Offset(), r.offset) << what;
    EXPECT_EQ(it.RangeMin(), r.rangeMin) << what;
    EXPECT_EQ(it.RangeMax(), r.rangeMax) << what;
    EXPECT_EQ(it.isUnsigned, r.isUnsigned) << what;
    EXPECT_EQ(Hex(it.uniq), Hex(r.uniq)) << what;
    EXPECT_EQ(it.hasUniq, r.hasUniq) << what;
    EXPECT_EQ(it.byteOrder, r.byteOrder) << what;
    EXPECT_EQ(it.decimals, r.decimals) << what;
    EXPECT_EQ(it.Unit(), r.unit) << what;
  }
}

TEST(ItemParserTest, NumberChoiceLists) {
  const struct {
    std::string scale;
    std::int32_t expected;
  } rows[] = {{"", 1}, {", scale = 10", 10}};
  for (const auto& r : rows) {
    Loader l;
    const CItem& it =
        LoadOne(l, "\"N\" : type = number, address = 10, range = (0, 9)" + r.scale +
                       ", number = Start\n\"Low\" : number = -1\n\"" + std::string(100, 'h') +
                       "\" : number = +2\n\"All\" : number = 4294967295\nEnd : -\n");
    EXPECT_EQ(it.Scale(), r.expected);
    ASSERT_EQ(it.Choices().size(), 3u);
    EXPECT_EQ(it.Choices()[2].Value(), 4294967295);
    EXPECT_EQ(it.Choices()[0].name, "Low");
    EXPECT_EQ(it.Choices()[0].Value(), -1);
    EXPECT_EQ(it.Choices()[1].name, std::string(64, 'h'));
    EXPECT_EQ(it.Choices()[1].Value(), 2);
    EXPECT_TRUE(it.Choices()[1].Sets().empty());
  }
}

TEST(ItemParserTest, BitFields) {
  Loader l;
  const CItem& it =
      LoadOne(l, "\"Auto cut\" : type = bit, address = 0050#2, On = \"Enable\", Off = \"" +
                     std::string(100, 'o') + "\", CAUTION = \"Resets\", address = 11#1\n");
  EXPECT_EQ(it.type, kBitItem);
  EXPECT_EQ(it.name, "Auto cut");
  EXPECT_EQ(Hex(it.address), Hex(0x00500002));
  EXPECT_EQ(it.OnText(), "Enable");
  EXPECT_EQ(it.OffText(), std::string(64, 'o'));
}

TEST(ItemParserTest, CodeFieldsAndSetTargets) {
  Loader l;
  const CItem& it =
      LoadOne(l,
              "\"Mode\" : type = code, edian = little, CAUTION = \"c\", Code = Start\n"
              "\"Fast\" : set = (1, 0070#0), set = (03, 0071)\n"
              "\"Quiet\" : set = (0, 70#7), set = (fF, 0071), set = (2, 72)\n"
              "End : -\n",
              "Edian = big\n");
  EXPECT_EQ(it.type, kCodeItem);
  EXPECT_EQ(it.address, 0u);
  EXPECT_EQ(it.byteOrder, kBigEndian);  // code items always take the header's order
  ASSERT_EQ(it.Choices().size(), 2u);
  const struct {
    std::size_t choice, target;
    std::uint32_t kind, byteTarget, bitTarget, data;
  } rows[] = {
      {0, 0, CSetEntry::kBit, 0, 0x00700000, 1},  {0, 1, CSetEntry::kByte, 0x00710000, 0, 3},
      {1, 0, CSetEntry::kBit, 0, 0x00700007, 0},  {1, 1, CSetEntry::kByte, 0x00710000, 0, 0xFF},
      {1, 2, CSetEntry::kByte, 0x00720000, 0, 2},
  };
  ASSERT_EQ(it.Choices()[0].Sets().size(), 2u);
  ASSERT_EQ(it.Choices()[1].Sets().size(), 3u);
  for (const auto& r : rows) {
    const CSetEntry& s = it.Choices()[r.choice].Sets()[r.target];
    const std::string what =
        "choice " + std::to_string(r.choice) + " target " + std::to_string(r.target);
    EXPECT_EQ(s.kind, r.kind) << what;
    if (r.kind == CSetEntry::kByte) {
      EXPECT_EQ(Hex(s.ByteTarget()), Hex(r.byteTarget)) << what;
    } else {
      EXPECT_EQ(Hex(s.BitTarget()), Hex(r.bitTarget)) << what;
    }
    EXPECT_EQ(s.data, r.data) << what;
  }

  Loader l2;
  const CItem& c = LoadOne(l2,
                           "\"Baud\" : type = code, address = 0060-0061, Code = Start\n"
                           "\"9600\" : Code = 00\n\"19200\" : Code = 1f\n\"" +
                               std::string(70, 'n') + "\" : Code = FF\nEnd : -\n");
  EXPECT_EQ(Hex(c.address), Hex(0x00600061));
  EXPECT_EQ(c.byteOrder, kLittleEndian);
  ASSERT_EQ(c.Choices().size(), 3u);
  EXPECT_EQ(c.Choices()[1].Value(), 0x1F);
  EXPECT_EQ(c.Choices()[2].Value(), 0xFF);
  EXPECT_EQ(c.Choices()[2].name, std::string(64, 'n'));
}

// Items whose lists are equal share one copy; a list differing anywhere keeps its own.
TEST(ItemParserTest, EqualChoiceListsShared) {
  const std::string code = "\" : type = code, Code = Start\n";
  const std::string number = "\" : type = number, address = 20, range = (0, 9), number = Start\n";
  const std::string codeList =
      "\"Fast\" : set = (1, 0070#0), set = (03, 0071)\n\"Quiet and very long name\" : set = (0, "
      "0070#0)\n";
  const struct {
    const char* what;
    std::string first, second;  // item line tails and list bodies
    bool shared;
  } rows[] = {
      {"same code list", code + codeList, code + codeList, true},
      {"same number list", number + "\"x\" : number = 1\n", number + "\"x\" : number = 1\n", true},
      {"name differs inside", code + codeList,
       code + "\"Fast\" : set = (1, 0070#0), set = (03, 0071)\n\"Quiet and Very long name\" : "
              "set = (0, 0070#0)\n",
       false},
      {"name differs in length", number + "\"x\" : number = 1\n", number + "\"xx\" : number = 1\n",
       false},
      {"value differs", number + "\"x\" : number = 1\n", number + "\"x\" : number = 2\n", false},
      {"data differs", code + codeList,
       code + "\"Fast\" : set = (1, 0070#0), set = (04, 0071)\n\"Quiet and very long name\" : "
              "set = (0, 0070#0)\n",
       false},
      {"bit differs", code + codeList,
       code + "\"Fast\" : set = (1, 0070#1), set = (03, 0071)\n\"Quiet and very long name\" : "
              "set = (0, 0070#0)\n",
       false},
      {"byte instead of bit", code + codeList,
       code + "\"Fast\" : set = (1, 0070), set = (03, 0071)\n\"Quiet and very long name\" : "
              "set = (0, 0070#0)\n",
       false},
      {"address differs", code + codeList,
       code + "\"Fast\" : set = (1, 0070#0), set = (03, 0072)\n\"Quiet and very long name\" : "
              "set = (0, 0070#0)\n",
       false},
      {"one target fewer", code + codeList,
       code + "\"Fast\" : set = (1, 0070#0)\n\"Quiet and very long name\" : set = (0, 0070#0)\n",
       false},
      {"one choice fewer", code + codeList,
       code + "\"Fast\" : set = (1, 0070#0), set = (03, 0071)\n", false},
  };
  for (const auto& r : rows) {
    Loader l;
    ASSERT_EQ(
        l.Load(Cfg{.standard = "\"A" + r.first + "End : -\n\"B" + r.second + "End : -\n"}.Text()),
        kResultOk)
        << r.what;
    const CItem& a = l.model.BasicItems()[0];
    const CItem& b = l.model.BasicItems()[1];
    EXPECT_EQ(a.Choices().data() == b.Choices().data(), r.shared) << r.what;
  }
}

TEST(ItemParserTest, NamesAndCautionLists) {
  Loader l;
  ASSERT_EQ(
      l.Load(Cfg{
          .standard = "\"" + std::string(300, 'a') +
                      "\" : type = number, address = 10, range = (0, 9), CAUTION = \"Hot\"\n"
                      "\"\\41\\n\" : type = bit, address = 10#1" +
                      kBitTexts +
                      "\n"
                      "\"C\" : type = bit, address = 10#2" +
                      kBitTexts + ", CAUTION = \"" + std::string(200, 'k') +
                      "\"\n"
                      "\"D\" : type = number, address = 10, range = (0, 9), CAUTION = \"Bad\" x\n",
          .advance = "\"E\" : type = bit, address = 10#3" + kBitTexts +
                     "\n"
                     "\"F\" : type = bit, address = 10#4" +
                     kBitTexts + ", CAUTION = \"Cold\"\n"}
                 .Text()),
      kResultOk);
  ASSERT_EQ(l.model.BasicItems().size(), 4u);
  EXPECT_EQ(l.model.BasicItems()[0].name, std::string(258, 'a'));
  EXPECT_EQ(l.model.BasicItems()[1].name, "A\n");
  const struct {
    Page page;
    int index;
    int result;
    std::string text;
  } rows[] = {
      {kBasicPage, 0, 1, "Hot"},
      {kBasicPage, 1, 1, ""},
      {kBasicPage, 2, 1, std::string(128, 'k')},
      {kBasicPage, 3, 1, "Bad"},
      {kBasicPage, 4, 0, ""},
      {kBasicPage, -1, 0, ""},
      {kAdvancedPage, 0, 1, ""},
      {kAdvancedPage, 1, 1, "Cold"},
      {kAdvancedPage, 2, 0, ""},
  };
  for (const auto& r : rows) {
    std::string out = "stale";
    EXPECT_EQ(l.model.GetCaution(r.page, r.index, out), r.result) << r.page << "/" << r.index;
    EXPECT_EQ(out, r.text) << r.page << "/" << r.index;
  }
}

}  // namespace
}  // namespace pelmora::model::test
