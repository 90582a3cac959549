// Helpers shared by the model-layer tests: a minimal valid definition file whose parts each test
// row can replace, and a loader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"
#include "scripted_prompt.h"
#include "test_support.h"

namespace pelmora::model::test {

using pelmora::test::CScriptedPrompt;
using pelmora::test::TempDir;

// A definition file that loads with result 1. Each part can be replaced; the
// section lines around `standard`, `defaults` and `mask` are added by Text().
struct Cfg {
  std::string version = "Version = 0110\n";
  std::string cmdLine = "CmdLine = 1B57MMNNXX\n";
  std::string modelName = "ModelName = \"TAVEN T1\"\n";
  std::string interfaces = "Interface = \"Serial\"\n";
  std::string driverName = "DriverName = \"TAVEN Driver\"\n";
  std::string extraHeader = "";
  std::string standardLine = "[Standard]\n";
  std::string standard = "\"Speed\" : type = number, address = 0010, range = (0, 255), scale = 1\n";
  std::string advance = "";  // the [Advance] section is written only when this is not empty
  std::string defaults = "0010:05\n";
  std::string mask = "0010:00\n";
  std::string setData = "";  // the [SetData] section is written only when this is not empty
  std::string tail = "[Option]\nDescription = \"Test\"\n[End]\n";

  std::string Text() const {
    std::string t = version + cmdLine + modelName + interfaces + driverName + extraHeader;
    t += standardLine + standard + "[End]\n";
    if (!advance.empty())
      t += "[Advance]\n" + advance + "[End]\n";
    t += "[Default]\n" + defaults + "[End]\n";
    t += "[Mask]\n" + mask + "[End]\n";
    if (!setData.empty())
      t += "[SetData]\n" + setData + "[End]\n";
    return t + tail;
  }
};

// The line number reported for findings at the end of the text: the line feeds
// before the end (a 0xFF byte ends the text early) plus one.
inline std::uint32_t EofLine(const std::string& text) {
  const auto end = std::find(text.begin(), text.end(), '\xFF');
  return static_cast<std::uint32_t>(std::count(text.begin(), end, '\n')) + 1;
}

// The 1-based number of the first line that starts with `prefix`, or 0.
inline std::uint32_t LineOf(const std::string& text, const std::string& prefix) {
  std::uint32_t line = 1;
  for (std::size_t pos = 0; pos < text.size(); ++line) {
    if (text.compare(pos, prefix.size(), prefix) == 0)
      return line;
    pos = text.find('\n', pos);
    if (pos == std::string::npos)
      break;
    ++pos;
  }
  return 0;
}

// Writes a text to a scratch file and loads it into a fresh model.
struct Loader {
  TempDir dir;
  CModelFile file;
  CStatDataObj model;
  int result = 0;

  int Load(const std::string& text) {
    result = file.Load(model, dir.Write("test.cfg", text));
    return result;
  }
  std::uint32_t Code() const { return file.GetErrorCode(); }
  std::uint32_t Line() const { return file.GetLineNumber(); }
};

// "0030:12(FF)34 0033:5566": every block with its bytes, unknown bytes in parentheses.
inline std::string Dump(const CMemoryImage& image) {
  std::string out;
  char buf[16];
  for (const CDataBlock& b : image.Blocks()) {
    std::snprintf(buf, sizeof buf, "%s%04X:", out.empty() ? "" : " ", unsigned{b.address});
    out += buf;
    for (std::size_t j = 0; j < b.count; ++j) {
      std::snprintf(buf, sizeof buf, b.IsKnown(j) ? "%02X" : "(%02X)", unsigned{b.bytes[j]});
      out += buf;
    }
  }
  return out;
}

// A choice as a test writes it.
struct ChoiceRow {
  CText name;
  std::int64_t value = 0;
  std::vector<CSetEntry> sets;
};
// The records a model's store would hold for `rows`, kept for the whole test run.
inline std::span<const CChoice> KeepChoices(const std::vector<ChoiceRow>& rows) {
  static std::deque<std::vector<CSetEntry>> sets;
  static std::deque<std::vector<CChoice>> lists;
  std::vector<CChoice>& list = lists.emplace_back();
  for (const ChoiceRow& s : rows) {
    const std::vector<CSetEntry>& kept = sets.emplace_back(s.sets);
    list.push_back({s.name, CList<CSetEntry>(kept.data(), kept.size()), s.value});
  }
  return list;
}

}  // namespace pelmora::model::test
