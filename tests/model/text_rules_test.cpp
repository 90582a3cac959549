// Attribute splitting: pieces of the usual form are read in one scan and all others
// cut first and read as they stand; both must give what the text rules say.
#include "model/text_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora::model::detail {
namespace {

// A piece as "key=value", or "-" when it has no key.
std::vector<std::string> Pieces(std::string_view text) {
  CAttributeSplitter splitter;
  std::vector<std::string> out;
  for (const Attribute& a : splitter.Split(text)) {
    out.push_back(a.hasKey ? std::string(a.key) + "=" + std::string(a.value) : "-");
  }
  return out;
}

TEST(TextRulesTest, SplitsAttributes) {
  using P = std::vector<std::string>;
  const struct {
    std::string text;
    P pieces;
  } cases[] = {
      {" type = number, address = 0000-0001", {"type=number", "address=0000-0001"}},
      // Blanks after a separator go, blanks before one go, other blanks stay.
      {"range = (0, 655 35)", {"range=(0,65535)"}},
      {"v = a  -b, w = a b", {"v=a-b", "w=a b"}},
      {"unit = \"a, b\" , x = 1", {"unit=\"a, b\"", "x=1"}},
      {"x = \"open ended  ", {"x=\"open ended"}},
      // No value after `=`, or no `=`, gives no key.
      {"a =, b = 2", {"-", "b=2"}},
      {"a = 1,", {"a=1", "-"}},
      {"", {"-"}},
      {"plain", {"-"}},
      // A comment ends the list, also right after `=`.
      {"a = !c, d = 1", {"a="}},
      {"a=!", {"-"}},
      // Keys with quotes are refused; parentheses in a key still split as parentheses.
      {"\"k\" = 1, z = 2", {"-", "z=2"}},
      {"k(1,2) = 2, z = 3", {"k(1,2)=2", "z=3"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pieces(c.text), c.pieces) << c.text;
  }
}

TEST(TextRulesTest, KeysIgnoreCaseOfLettersOnly) {
  const struct {
    const char* key;
    Key id;
  } cases[] = {
      {"type", Key::kType},   {"TyPe", Key::kType},     {"CAUTION", Key::kCaution},
      {"On", Key::kOn},       {"off", Key::kOff},       {"offset", Key::kOffset},
      {"offse", Key::kOther}, {"offsets", Key::kOther}, {"o", Key::kOther},
      {"un1t", Key::kOther},  {"T\xD9PE", Key::kOther}, {"type ", Key::kOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyOf(c.key), c.id) << c.key;
  }
}

}  // namespace
}  // namespace pelmora::model::detail
