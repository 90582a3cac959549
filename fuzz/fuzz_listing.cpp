// libFuzzer target: any bytes as a file in a folder listing. The per-file reader must
// end in a result, and give the same result wherever the folder reader's windows
// happen to cut the text, and whatever follows a 0xFF byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/model_file.h"
#include "model/result_codes.h"

namespace {

using pelmora::model::CFileInfo;
using pelmora::model::CModelFile;

struct Listed {
  int result = 0;
  std::uint32_t code = 0;
  std::uint32_t line = 0;
  CFileInfo row;
};

Listed List(CModelFile& reader, std::string_view text) {
  Listed listed;
  listed.result = reader.ReadListing(text, listed.row);
  listed.code = reader.GetErrorCode();
  listed.line = reader.GetLineNumber();
  return listed;
}

// The same result, texts and error; the line `shift` lines further down.
void ExpectSame(const Listed& a, const Listed& b, std::uint32_t shift) {
  if (a.result != b.result || a.row.printerName != b.row.printerName ||
      a.row.description != b.row.description)
    std::abort();
  if (a.result != pelmora::model::kResultOk && (a.code != b.code || a.line + shift != b.line))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CModelFile reader;
  // Large enough that the text after it crosses the end of the reader's first window.
  static constexpr std::size_t kPadBytes = 65536 - 2048;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Listed listed = List(reader, text);
  if (listed.result == pelmora::model::kResultOk) {
    if (listed.row.printerName.size() > 258 || listed.row.description.size() > 258)
      std::abort();
  } else if (listed.result != pelmora::model::kResultFormError || listed.code < 1 ||
             listed.code > 3 || listed.line < 1) {
    std::abort();
  }

  // Whatever follows a 0xFF byte is not part of the text.
  if (const std::size_t ff = text.find('\xFF'); ff != std::string_view::npos)
    ExpectSame(List(reader, text.substr(0, ff)), listed, 0);

  // Comment lines before the text move it across the window's end, at a place the
  // input chooses, and move every line number by as many lines. Long comment lines,
  // not many empty ones, keep this cheap: the reader skips a comment at once.
  static std::string moved;
  const std::size_t padBytes = kPadBytes + (size > 0 ? data[0] * 8u : 0u);
  moved.clear();
  std::uint32_t padLines = 0;
  while (moved.size() < padBytes) {
    moved += '!';
    moved.append(std::min<std::size_t>(1000, padBytes - moved.size()), '-');
    moved += '\n';
    ++padLines;
  }
  moved.append(text);
  ExpectSame(listed, List(reader, moved), padLines);
  return 0;
}
