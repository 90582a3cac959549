// Conversion between an item's bytes in the current image and the text shown for it.
#pragma once

#include <string>
#include <string_view>

#include "item.h"
#include "stat_data_obj.h"

namespace pelmora::model {

// The text shown for `item` from the current image of `model`: a number with its
// decimals followed by a blank and the unit, a choice name, or an on/off text.
// Missing or unknown bytes show as raw 0, the off text, or the first choice.
std::string GetItemText(const CStatDataObj& model, const CItem& item);

// Stores a choice (by its name or the text shown for it), an on/off text or a typed
// number into the current image.
// Bytes outside the image are not written. Returns 1 (0 is kept for a memory failure).
int SetItemText(CStatDataObj& model, const CItem& item, std::string_view text);

// Returns 1 when `text` is acceptable for the number item `item`: one of its choices
// (by name or shown text), or plain decimal notation whose raw value lies within the
// item's range and byte width.
int CheckValue(const CItem& item, std::string_view text);

}  // namespace pelmora::model
