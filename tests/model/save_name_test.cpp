// The name check of Save As: the order of its three tests decides which message
// a name with several faults gets.
#include "model/save_name.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmora::model {
namespace {

constexpr const char* kOk = "";
constexpr const char* kIllegal = "File name is illegal.";
constexpr const char* kWrong = "There are wrong charactors in file name.";

TEST(SaveNameTest, Rules) {
  const struct {
    std::string name;
    const char* message;
  } rows[] = {
      {"front.cfg", kOk},
      {"front counter.cfg", kOk},  // a blank is allowed
      {"a.txt", kOk},              // any extension
      {"a.c?g", kOk},              // what follows the last point is not tested
      {"a.cfg ", kOk},
      {"a\001b.cfg", kOk},  // only the listed control characters are refused
      {"front", kIllegal},  // no point
      {".cfg", kIllegal},   // the point comes first
      {".", kIllegal},
      {"", kIllegal},
      {"a.", kIllegal},     // nothing after the point
      {"a:b", kIllegal},    // the point test comes before the character test
      {"a.b.cfg", kWrong},  // a point before the last one
      {"..cfg", kWrong},
      {"a.b.", kWrong},  // the character test comes before the end test
      {"a:b.", kWrong},
      {"C:front.cfg", kWrong},
      {"a.c/g", kWrong},  // would name another folder
      {std::string("a.c\0g", 5), kWrong},
      {std::string("a\0b.cfg", 7), kWrong},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(CheckSaveName(r.name), r.message) << '"' << r.name << '"';
  }
}

TEST(SaveNameTest, EveryForbiddenStemCharacter) {
  for (const char c : std::string("\"\\/:,;*?<>|\x07\x0C\x0A\x0D\x09\x0B")) {
    const std::string name = std::string("ab") + c + "cd.cfg";
    EXPECT_EQ(CheckSaveName(name), kWrong) << "character 0x" << std::hex << int(c);
    // After the point the same character is accepted, except the slash.
    if (c != '/') {
      EXPECT_EQ(CheckSaveName(std::string("abcd.c") + c + "g"), kOk) << int(c);
    }
  }
}

}  // namespace
}  // namespace pelmora::model
