// Helpers shared by the fuzz targets that read definition files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/item_text.h"
#include "model/stat_data_obj.h"

namespace pelmora::fuzz {

// Shows and stores every item the way the configuration window and its dialogs do.
inline void ExerciseItems(model::CStatDataObj& data, const std::vector<model::CItem>& items) {
  for (const model::CItem& item : items) {
    const std::string text = GetItemText(data, item);
    SetItemText(data, item, text);
    if (item.type == model::kNumberItem)
      CheckValue(item, text);
    // Every choice the list offers, bounded so that huge lists stay fast.
    std::size_t tried = 0;
    for (const auto& choice : item.Choices()) {
      if (++tried > 16)
        break;
      SetItemText(data, item, choice.name);
      GetItemText(data, item);
    }
    if (item.type == model::kBitItem) {
      SetItemText(data, item, item.OnText());
      SetItemText(data, item, item.OffText());
    }
  }
}

}  // namespace pelmora::fuzz
