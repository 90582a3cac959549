// libFuzzer target: the save round trip. Any definition file that loads, edited as the
// configuration window edits it and saved, must load again with the same known bytes in
// its current and mask images and with the description it was saved with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_items.h"
#include "model/memory_image.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

namespace {

using pelmora::model::CDataBlock;
using pelmora::model::CMemoryImage;

// The blocks with unknown bytes blanked: a file has no way to carry their value.
std::vector<CDataBlock> Known(const CMemoryImage& image) {
  std::vector<CDataBlock> blocks = image.Blocks();
  for (CDataBlock& block : blocks) {
    for (std::size_t j = 0; j < block.count; ++j) {
      if (!block.IsKnown(j))
        block.bytes[j] = 0;
    }
  }
  return blocks;
}

bool Same(const std::vector<CDataBlock>& a, const std::vector<CDataBlock>& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].address != b[i].address || a[i].count != b[i].count || a[i].known != b[i].known ||
        a[i].bytes != b[i].bytes)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static pelmora::model::CModelFile source;
  static pelmora::model::CModelFile saved;
  static pelmora::model::CStatDataObj model;
  static pelmora::model::CStatDataObj again;
  // Every byte the copy escapes, and a plain one.
  static const std::string kDescription = "Copy \"1\" of 'a\\b'? x";

  source.Release();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (source.LoadText(model, text, "fuzz.cfg") != pelmora::model::kResultOk)
    return 0;
  pelmora::fuzz::ExerciseItems(model, model.BasicItems());
  pelmora::fuzz::ExerciseItems(model, model.AdvancedItems());
  source.RefreshSetData();
  const std::string copy = source.WriteSettingCopy(kDescription);

  saved.Release();
  if (saved.LoadText(again, copy, "fuzz.cfg") != pelmora::model::kResultOk)
    std::abort();
  if (!Same(Known(model.CurrentImage()), Known(again.CurrentImage())) ||
      !Same(Known(model.MaskImage()), Known(again.MaskImage())))
    std::abort();

  // The description travels only in a file the listing takes.
  pelmora::model::CFileInfo before;
  pelmora::model::CFileInfo after;
  if (source.ReadListing(text, before) == pelmora::model::kResultOk &&
      (saved.ReadListing(copy, after) != pelmora::model::kResultOk ||
       after.description != kDescription || after.printerName != before.printerName))
    std::abort();
  return 0;
}
