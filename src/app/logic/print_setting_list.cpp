#include "app/logic/print_setting_list.h"

#include "app/logic/config_dlg_texts.h"

namespace pelmora::app {

std::vector<CPrintLine> LayoutSettingList(const CPrintRequest& request, int lineHeight,
                                          int pageHeight) {
  std::vector<CPrintLine> lines;
  auto add = [&](std::string text) {
    const long long top = static_cast<long long>(lines.size() + 1) * lineHeight;
    if (pageHeight >= 0 && top >= pageHeight)
      return false;
    lines.push_back({static_cast<int>(top), std::move(text)});
    return true;
  };
  if (!add(editor_text::kPrinterLabel + request.printerName) ||
      !add(editor_text::kDescriptionLabel + request.description) || !add(std::string()) ||
      !add(request.advancedPage ? editor_text::kAdvancedPage : editor_text::kBasicPage))
    return lines;
  for (const CListRow& row : request.rows) {
    if (!add("  " + row.name.Str() + " : " + std::string(row.value)))
      break;
  }
  return lines;
}

}  // namespace pelmora::app
