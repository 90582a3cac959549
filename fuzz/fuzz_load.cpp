// libFuzzer target: any bytes as a definition file. Load must end in a result code;
// a loaded model must survive showing and storing every item's text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_items.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Reused across inputs, as the start dialog reuses them (with Release) between loads.
  static pelmora::model::CModelFile reader;
  static pelmora::model::CStatDataObj model;

  // From memory: a temporary file costs a truncate per input, which waits for the disk.
  reader.Release();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (reader.LoadText(model, text, "fuzz.cfg") == pelmora::model::kResultOk) {
    pelmora::fuzz::ExerciseItems(model, model.BasicItems());
    pelmora::fuzz::ExerciseItems(model, model.AdvancedItems());
    model.GetImageSize();
    model.GetFirstAddress();
  }
  return 0;
}
