#include "cli_commands.h"

#include "cli_prompt.h"
#include "escape.h"
#include "model/item_text.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/save_name.h"
#include "model/text_rules.h"
#include "protocol/command_stream.h"

namespace pelmora::cli {

namespace {

using model::CItem;
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

bool PrintItems(const CStatDataObj& data, std::FILE* out) {
  std::string text;
  for (const model::Page page : {model::kBasicPage, model::kAdvancedPage}) {
    for (const CItem& item : data.Items(page)) {
      text += page == model::kBasicPage ? "Basic\t" : "Advanced\t";
      AppendEscaped(text, item.name);
      text += '\t';
      AppendEscaped(text, model::GetItemText(data, item));
      text += item.changeable ? "\tchangeable\n" : "\tlocked\n";
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return std::fflush(out) == 0;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  AppendEscaped(out, text);
  return out + "\"";
}

const CItem* FindItem(const CStatDataObj& data, std::string_view name) {
  for (const model::Page page : {model::kBasicPage, model::kAdvancedPage}) {
    for (const CItem& item : data.Items(page)) {
      if (item.name == name) return &item;
    }
  }
  return nullptr;
}

// The text to store for `value`, or an empty optional with `error` set.
std::optional<std::string> ValueFor(const CItem& item, const std::string& value,
                                    std::string& error) {
  if (!item.changeable) {
    error = "This item can't change.";
    return std::nullopt;
  }
  std::vector<std::string_view> allowed;
  switch (item.type) {
    case model::kNumberItem:
      for (const model::CChoice& c : item.choices) {
        if (c.name == value) return value;
      }
      if (model::CheckValue(item, value)) return value;
      error = "This value is out of range.";
      return std::nullopt;
    case model::kBitItem:
      // The exact text first, so that texts differing only in case stay apart.
      if (value == item.onText || value == item.offText) return value;
      if (model::detail::EqualsNoCase(value, item.onText)) return item.onText;
      if (model::detail::EqualsNoCase(value, item.offText)) return item.offText;
      allowed = {item.onText, item.offText};
      break;
    default:
      for (const model::CChoice& c : item.choices) {
        if (c.name == value) return value;
        allowed.push_back(c.name);
      }
      break;
  }
  error = Quoted(value) + " is not a value of " + Quoted(item.name) + "; allowed:";
  for (const std::string_view a : allowed) error += " " + Quoted(a);
  return std::nullopt;
}

bool WriteBin(const CStatDataObj& data, const std::string& outPath, std::FILE* err) {
  std::string error;
  if (protocol::WriteBinaryFile(data, outPath, error)) return true;
  std::fprintf(err, "%s\n", error.c_str());
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
  return PrintItems(data, out) ? kExitOk : kExitFailed;
}

int RunList(bool settings, const std::string& workdir, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CCliPrompt prompt(false, err);
  std::vector<model::CFileInfo> rows;
  const int result = settings ? file.ListSettings(prompt, rows, workdir)
                              : file.ListModels(prompt, rows, workdir);
  if (result != model::kResultOk) {
    for (const std::string& message : model::ListResultMessages(result, file)) {
      std::fprintf(err, "%s\n", message.c_str());
    }
    return kExitFailed;
  }
  std::string text;
  for (const model::CFileInfo& row : rows) {
    AppendEscaped(text, row.fileName);
    text += '\t';
    AppendEscaped(text, row.printerName);
    text += '\t';
    AppendEscaped(text, row.description);
    text += '\n';
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return std::fflush(out) == 0 ? kExitOk : kExitFailed;
}

int RunBin(const std::string& path, const std::string& outPath, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, path, err)) return kExitFailed;
  return WriteBin(data, outPath, err) ? kExitOk : kExitFailed;
}

int RunEdit(const EditOptions& options, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, options.file, err)) return kExitFailed;

  // Every edit is checked before anything is written.
  for (const auto& [name, value] : options.sets) {
    const CItem* item = FindItem(data, name);
    if (item == nullptr) {
      std::fprintf(err, "There is no item named %s.\n", Quoted(name).c_str());
      return kExitFailed;
    }
    std::string error;
    const auto text = ValueFor(*item, value, error);
    if (!text) {
      std::fprintf(err, "%s: %s\n", Quoted(name).c_str(), error.c_str());
      return kExitFailed;
    }
    if (!model::SetItemText(data, *item, *text)) {
      std::fprintf(err, "It is short of memory.\n");
      return kExitFailed;
    }
  }

  std::string description = options.description;
  if (!options.saveAs.empty()) {
    if (const std::string refused = model::CheckSaveName(options.saveAs); !refused.empty()) {
      std::fprintf(err, "%s\n", refused.c_str());
      return kExitFailed;
    }
    if (!options.overwrite &&
        !model::FindNameIgnoringCase(options.workdir + "/setting", options.saveAs).empty()) {
      std::fprintf(err, "The same file already exists.\n");
      return kExitFailed;
    }
    if (!options.hasDescription) {
      model::CFileInfo info;
      file.ReadListing(file.Text(), info);
      description = info.description;
    }
  }

  if (options.show && !PrintItems(data, out)) return kExitFailed;
  if (!options.binPath.empty() && !WriteBin(data, options.binPath, err)) return kExitFailed;
  if (!options.saveAs.empty()) {
    CCliPrompt prompt(false, err);
    const bool exists =
        !model::FindNameIgnoringCase(options.workdir + "/setting", options.saveAs).empty();
    const int saved = exists ? file.OverwriteSetting(prompt, options.workdir, options.saveAs,
                                                     description)
                             : file.SaveSetting(prompt, options.workdir, options.saveAs,
                                                description);
    if (!saved) return kExitFailed;
  }
  return kExitOk;
}

}  // namespace pelmora::cli
