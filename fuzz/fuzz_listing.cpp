// libFuzzer target: any bytes as a file met by the folder listing. The reader must end
// in success or a form error with error code 1, 2 or 3 and a line within the text, and
// a success must have found both texts' lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/model_file.h"
#include "model/result_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static pelmora::model::CModelFile reader;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pelmora::model::CFileInfo row;
  const int result = reader.ReadListing(text, row);
  if (result == pelmora::model::kResultOk)
    return 0;
  if (result != pelmora::model::kResultFormError)
    std::abort();
  const std::uint32_t code = reader.GetErrorCode();
  if (code < 1 || code > 3)
    std::abort();
  // One past the last line when a text is missing: never beyond that.
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (reader.GetLineNumber() > lines + 2)
    std::abort();
  return 0;
}
