#include "cli_commands.h"

#include "escape.h"
#include "model/item_text.h"
#include "model/model_file.h"
#include "model/result_codes.h"

namespace pelmora::cli {

namespace {

using model::CModelFile;
using model::CStatDataObj;

// Loads `path`; on failure writes the start dialog's message for the result.
bool LoadOrReport(CModelFile& file, CStatDataObj& data, const std::string& path,
                  std::FILE* err) {
  const int result = file.Load(data, path);
  if (result == model::kResultOk) return true;
  const std::string message =
      model::LoadResultMessage(result, file.GetErrorCode(), file.GetLineNumber());
  if (!message.empty()) std::fprintf(err, "%s\n", message.c_str());
  return false;
}

}  // namespace

int RunCheck(const std::string& path, std::FILE* /*out*/, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  return LoadOrReport(file, data, path, err) ? kExitOk : kExitFailed;
}

int RunShow(const std::string& path, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, path, err)) return kExitFailed;
  std::string text;
  for (const model::Page page : {model::kBasicPage, model::kAdvancedPage}) {
    for (const model::CItem& item : data.Items(page)) {
      text += page == model::kBasicPage ? "Basic\t" : "Advanced\t";
      AppendEscaped(text, item.name);
      text += '\t';
      AppendEscaped(text, model::GetItemText(data, item));
      text += item.changeable ? "\tchangeable\n" : "\tlocked\n";
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return std::fflush(out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace pelmora::cli
