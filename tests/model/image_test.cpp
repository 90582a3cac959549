// Memory images: blocks from data lines, byte reads and writes by address, the
// changeable flags, and what a load leaves in the model.
#include <gtest/gtest.h>

#include <vector>

#include "model_test_support.h"

namespace pelmora::model::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<CDataLine>;

const Lines kLines = {{0x30, "12xx34"}, {0x33, "5566"}, {0x40, "77"}};

TEST(ImageTest, BlockFromLine) {
  const struct {
    std::string data;
    std::string dump;
  } rows[] = {
      {"12xx34", "0030:12(FF)34"}, {"aB", "0030:AB"},
      {"XX", "0030:(FF)"},         {"x5", "0030:F5"},
      {"5X", "0030:(5F)"},         {std::string(64, '7'), "0030:" + std::string(64, '7')},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    model.BuildImage(Lines{{0x30, r.data}});
    EXPECT_EQ(Dump(model.CurrentImage()), r.dump) << r.data;
    const CDataBlock b = CDataBlock::FromLine({0x30, r.data});
    EXPECT_EQ(b.address, 0x30);
    EXPECT_EQ(b.count, r.data.size() / 2) << r.data;
  }
}

TEST(ImageTest, ReadBytes) {
  const struct {
    std::uint32_t address, n, result;
    Bytes bytes;
  } rows[] = {
      {0x30, 1, kReadOk, {0x12}},
      {0x30, 3, kReadUnknownData, {}},
      {0x31, 1, kReadUnknownData, {}},
      {0x32, 1, kReadOk, {0x34}},
      {0x32, 3, kReadOk, {0x34, 0x55, 0x66}},  // continues into the next block
      {0x34, 1, kReadOk, {0x66}},
      {0x35, 1, kReadNotPresent, {}},
      {0x2F, 1, kReadNotPresent, {}},
      {0x2F, 2, kReadNotPresent, {}},
      {0x38, 1, kReadNotPresent, {}},
      {0x34, 3, kReadNotPresent, {}},  // the next block does not start at 0x36
      {0x40, 1, kReadOk, {0x77}},
      {0x40, 2, kReadOutOfBlocks, {}},
      {0x50, 1, kReadOutOfBlocks, {}},
  };
  CStatDataObj model;
  ASSERT_EQ(model.BuildImage(kLines), 1);
  for (const auto& r : rows) {
    Bytes out(r.n, 0);
    EXPECT_EQ(model.ReadBytes(r.address, out), r.result) << std::hex << r.address << "/" << r.n;
    if (r.result == kReadOk) {
      EXPECT_EQ(out, r.bytes) << std::hex << r.address << "/" << r.n;
    }
  }
  // The mask image is read the same way, and blocks are walked in list order.
  model.MaskLines() = {{0x40, "77"}, {0x30, "12"}};
  ASSERT_EQ(model.BuildMaskImage(), 1);
  Bytes one(1);
  EXPECT_EQ(model.ReadBytes(0x40, one, CStatDataObj::kMaskImage), kReadOk);
  EXPECT_EQ(one, Bytes{0x77});
  EXPECT_EQ(model.ReadBytes(0x30, one, CStatDataObj::kMaskImage), kReadNotPresent);
}

TEST(ImageTest, WriteBytes) {
  const struct {
    std::uint32_t address;
    Bytes in;
    int mode, result;
    std::string dump;
  } rows[] = {
      {0x30, {0xAB}, kWriteCopy, 1, "0030:AB(FF)34 0033:5566 0040:77"},
      {0x32, {0x01, 0x02}, kWriteCopy, 1, "0030:12(FF)01 0033:0266 0040:77"},
      {0x31, {0xAB}, kWriteCopy, 1, "0030:12(AB)34 0033:5566 0040:77"},
      {0x30, {0x08}, kWriteSetBits, 1, "0030:1A(FF)34 0033:5566 0040:77"},
      {0x30, {0x02}, kWriteClearBits, 1, "0030:10(FF)34 0033:5566 0040:77"},
      {0x2F, {0x00}, kWriteCopy, 0, "0030:12(FF)34 0033:5566 0040:77"},
      {0x38, {0x00}, kWriteCopy, 0, "0030:12(FF)34 0033:5566 0040:77"},
      {0x41, {0x00}, kWriteCopy, 0, "0030:12(FF)34 0033:5566 0040:77"},
      {0x40, {0x01, 0x02}, kWriteCopy, 0, "0030:12(FF)34 0033:5566 0040:01"},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    ASSERT_EQ(model.BuildImage(kLines), 1);
    EXPECT_EQ(model.WriteBytes(r.address, r.in, r.mode), r.result) << std::hex << r.address;
    EXPECT_EQ(Dump(model.CurrentImage()), r.dump) << std::hex << r.address;
  }
}

TEST(ImageTest, FirstAddressAndSize) {
  const struct {
    Lines lines;
    std::uint16_t first;
    std::uint32_t size;
  } rows[] = {
      {{}, 0xFFFF, 0},
      {{{0x40, "77"}, {0x30, "12xx"}}, 0x40, 3},
      {kLines, 0x30, 6},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    model.BuildImage(r.lines);
    EXPECT_EQ(model.GetFirstAddress(), r.first);
    EXPECT_EQ(model.GetImageSize(), r.size);
  }
}

CItem Make(std::uint32_t type, std::uint32_t address) {
  CItem item;
  item.type = type;
  item.address = address;
  return item;
}
CItem Number(std::uint32_t first, std::uint32_t last = 0) {
  return Make(kNumberItem, first << 16 | last);
}
CItem Bit(std::uint32_t byte, std::uint32_t bit) {
  return Make(kBitItem, byte << 16 | bit);
}
CSetEntry BitTarget(std::uint32_t byte, std::uint32_t bit) {
  return CSetEntry::Bit(byte, bit, 1);
}
CSetEntry ByteTarget(std::uint32_t byte) {
  return CSetEntry::Byte(byte, 1);
}
CItem Code(std::uint32_t first, std::vector<std::vector<CSetEntry>> choices) {
  CItem item = Make(kCodeItem, first << 16);
  std::vector<ChoiceRow> rows;
  for (auto& sets : choices) rows.push_back({.name = "c", .sets = std::move(sets)});
  item.SetChoices(KeepChoices(rows));
  return item;
}

TEST(ImageTest, MarkChangeable) {
  // Current: 0x10 known, 0x11 unknown, 0x12 and 0x13 known, then 0x20 and 0x21.
  // Mask: 0x11 and 0x12 all locked, bit 1 of 0x20 locked.
  const struct {
    const char* what;
    CItem item;
    std::uint32_t changeable;
  } rows[] = {
      {"bit, mask bit clear", Bit(0x10, 3), 1},
      {"bit, mask bit set", Bit(0x12, 0), 0},
      {"bit, other mask bit set", Bit(0x20, 0), 1},
      {"bit, this mask bit set", Bit(0x20, 1), 0},
      {"bit, no mask byte", Bit(0x30, 0), 0},
      {"bit, value unknown but mask clear", Bit(0x13, 0), 1},
      {"number", Number(0x10), 1},
      {"number on an xx byte", Number(0x11), 0},
      {"number covering an xx byte", Number(0x10, 0x11), 0},
      {"number, mask ignored", Number(0x12, 0x13), 1},
      {"number past the data", Number(0x13, 0x14), 0},
      {"number, last below first", Number(0x13, 0x11), 1},
      {"number, missing", Number(0x50), 0},
      {"code without targets", Code(0x21, {{}, {}}), 1},
      {"most targets decide", Code(0, {{ByteTarget(0x50)}, {BitTarget(0x20, 0), ByteTarget(0x21)}}),
       1},
      {"most targets lock", Code(0, {{BitTarget(0x20, 0)}, {BitTarget(0x20, 1), ByteTarget(0x21)}}),
       0},
      {"first of equal counts",
       Code(0, {{BitTarget(0x20, 0), ByteTarget(0x21)}, {ByteTarget(0x50), ByteTarget(0x21)}}), 1},
      {"first of equal counts locks",
       Code(0, {{ByteTarget(0x50), ByteTarget(0x21)}, {BitTarget(0x20, 0), ByteTarget(0x21)}}), 0},
      {"byte target on an xx byte", Code(0, {{ByteTarget(0x11)}}), 0},
      {"byte target ignores the mask", Code(0, {{ByteTarget(0x12)}}), 1},
      {"bit target, mask bit set", Code(0, {{BitTarget(0x11, 0)}}), 0},
      {"bit target, no mask byte", Code(0, {{BitTarget(0x30, 0)}}), 0},
      {"first choice without targets: address decides", Code(0x21, {{}, {BitTarget(0x20, 1)}}), 1},
      {"first choice without targets: address missing", Code(0x50, {{}, {BitTarget(0x20, 0)}}), 0},
  };
  for (const auto& r : rows) {
    CStatDataObj model;
    model.BuildImage(Lines{{0x10, "05xx0708"}, {0x20, "00"}, {0x21, "00"}});
    model.MaskLines() = {{0x10, "00FFFF00"}, {0x20, "02"}, {0x21, "00"}, {0x50, "00"}};
    model.BuildMaskImage();
    model.BasicItems().push_back(r.item);
    model.AdvancedItems().push_back(r.item);
    EXPECT_EQ(model.MarkChangeable(), 1) << r.what;
    EXPECT_EQ(model.BasicItems()[0].changeable, r.changeable) << r.what;
    EXPECT_EQ(model.AdvancedItems()[0].changeable, r.changeable) << r.what;
  }
  // The flag is only ever set, never cleared.
  CStatDataObj model;
  CItem locked = Number(0x50);
  locked.changeable = 1;
  model.BasicItems().push_back(locked);
  model.MarkChangeable();
  EXPECT_EQ(model.BasicItems()[0].changeable, 1u);
}

TEST(ImageTest, LoadBuildsImagesAndFlags) {
  const std::string items =
      "\"Speed\" : type = number, address = 0010, range = (0, 255), scale = 1\n"
      "\"Lock\" : type = bit, address = 10#0, On = \"a\", Off = \"b\"\n"
      "\"Free\" : type = bit, address = 10#1, On = \"a\", Off = \"b\"\n"
      "\"Gone\" : type = number, address = 0030, range = (0, 255), scale = 1\n"
      "\"Unknown\" : type = number, address = 0011, range = (0, 255), scale = 1\n";
  const struct {
    const char* what;
    std::string setData;
    std::string dump;
  } rows[] = {
      {"no [SetData]: factory data", "", "0010:05(FF) 0020:0607"},
      {"[SetData]", "0010:09\n", "0010:09"},
  };
  for (const auto& r : rows) {
    Loader l;
    ASSERT_EQ(l.Load(Cfg{.standard = items,
                         .defaults = "0010:05xx\n0020:0607\n",
                         .mask = "0010:01\n",
                         .setData = r.setData}
                         .Text()),
              kResultOk)
        << r.what;
    EXPECT_EQ(Dump(l.model.CurrentImage()), r.dump) << r.what;
    EXPECT_EQ(Dump(l.model.MaskImage()), "0010:01") << r.what;
    EXPECT_EQ(l.model.DefaultLines().size(), 2u) << r.what;
    if (r.setData.empty()) {
      ASSERT_EQ(l.model.SetLines().size(), 2u);
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(l.model.SetLines()[i].address, l.model.DefaultLines()[i].address);
        EXPECT_EQ(l.model.SetLines()[i].data, l.model.DefaultLines()[i].data);
      }
    } else {
      ASSERT_EQ(l.model.SetLines().size(), 1u);
      EXPECT_EQ(l.model.SetLines()[0].data, "09");
    }
    const auto& it = l.model.BasicItems();
    ASSERT_EQ(it.size(), 5u);
    const std::uint32_t expected[] = {1, 0, 1, 0, 0};
    for (std::size_t i = 0; i < it.size(); ++i)
      EXPECT_EQ(it[i].changeable, expected[i]) << r.what << " " << it[i].name;
  }
}

TEST(ImageTest, NameAndPathAccessors) {
  Loader l;
  const std::string path = l.dir.Path() + "/test.cfg";
  ASSERT_EQ(l.Load(Cfg{.modelName = "ModelName = \"A\", \"B\"\n"}.Text()), kResultOk);
  std::string out = "stale";
  const struct {
    int index, result;
    const char* text;
  } rows[] = {{0, 1, "A"}, {1, 1, "B"}, {2, 0, nullptr}, {-1, 0, nullptr}};
  for (const auto& r : rows) {
    out = "stale";
    EXPECT_EQ(l.model.GetModelName(r.index, out), r.result) << r.index;
    if (r.text) {
      EXPECT_EQ(out, r.text) << r.index;
    }
  }
  EXPECT_EQ(l.model.GetInterface(1, out), 0);
  EXPECT_EQ(l.model.GetFilePath(out), 1);
  EXPECT_EQ(out, path);

  CStatDataObj empty;
  out = "stale";
  EXPECT_EQ(empty.GetDriverName(out), 0);
  EXPECT_EQ(empty.GetFilePath(out), 0);
  EXPECT_EQ(out, "stale");
  EXPECT_EQ(empty.GetCaution(kBasicPage, 0, out), 0);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace pelmora::model::test
