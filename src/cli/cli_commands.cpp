#include "cli_commands.h"

#include <cerrno>
#include <cstring>

#include "cli_network.h"
#include "cli_prompt.h"
#include "cli_signals.h"
#include "cli_update_ui.h"
#include "escape.h"
#include "log/ascii.h"
#include "log/debug_log.h"
#include "log/settings.h"
#include "model/item_text.h"
#include "model/messages.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/save_name.h"
#include "port/deadline.h"
#include "port/serial.h"
#include "protocol/command_stream.h"
#include "update/connection_settings.h"
#include "update/update_printer_dlg.h"

namespace pelmora::cli {

namespace {

using model::CItem;
using model::CModelFile;
using model::CStatDataObj;

// Loads `path`; on failure writes the start dialog's message for the result.
bool LoadOrReport(CModelFile& file, CStatDataObj& data, const std::string& path, std::FILE* err) {
  const int result = file.Load(data, path);
  if (result == model::kResultOk)
    return true;
  const std::string message =
      model::LoadResultMessage(result, file.GetErrorCode(), file.GetLineNumber());
  if (!message.empty())
    std::fprintf(err, "%s\n", message.c_str());
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
      if (item.name == name)
        return &item;
    }
  }
  return nullptr;
}

// The text to store for `value`, or an empty optional with `error` set.
std::optional<std::string> ValueFor(const CItem& item, const std::string& value,
                                    std::string& error) {
  if (!item.changeable) {
    error = model::msg::kCannotChange;
    return std::nullopt;
  }
  std::vector<std::string_view> allowed;
  switch (item.type) {
    case model::kNumberItem:
      for (const model::CChoice& c : item.Choices()) {
        if (c.name == value)
          return value;
      }
      if (model::CheckValue(item, value))
        return value;
      error = model::msg::kOutOfRange;
      return std::nullopt;
    case model::kBitItem:
      // The exact text first, so that texts differing only in case stay apart.
      if (value == item.OnText() || value == item.OffText())
        return value;
      if (log::EqualsIgnoringCase(value, item.OnText()))
        return item.OnText().Str();
      if (log::EqualsIgnoringCase(value, item.OffText()))
        return item.OffText().Str();
      allowed = {item.OnText(), item.OffText()};
      break;
    default:
      for (const model::CChoice& c : item.Choices()) {
        if (c.name == value)
          return value;
        allowed.push_back(c.name);
      }
      break;
  }
  error = Quoted(value) + " is not a value of " + Quoted(item.name) + "; allowed:";
  for (const std::string_view a : allowed) {
    error += ' ';
    error += Quoted(a);
  }
  return std::nullopt;
}

// Refuses, before anything is done, a name Save As would refuse and an existing
// configuration that may not be replaced.
bool CheckSaveTarget(const std::string& saveAs, bool overwrite, const std::string& workdir,
                     std::FILE* err) {
  if (const std::string refused = model::CheckSaveName(saveAs); !refused.empty()) {
    std::fprintf(err, "%s\n", refused.c_str());
    return false;
  }
  if (!overwrite && !model::FindNameIgnoringCase(workdir + "/setting", saveAs).empty()) {
    std::fprintf(err, "The same file already exists.\n");
    return false;
  }
  return true;
}

// The description a save keeps when none is given: the loaded file's own.
std::string OwnDescription(CModelFile& file) {
  model::CFileInfo info;
  file.ReadListing(file.Text(), info);
  return info.description;
}

// Checks a requested save before any work and picks the description it keeps: the
// one given, else the loaded file's own. For the options of edit and get.
template <class Options>
bool PrepareSave(const Options& options, CModelFile& file, std::string& description,
                 std::FILE* err) {
  description = options.description;
  if (!options.hasSaveAs)
    return true;
  if (!CheckSaveTarget(options.saveAs, options.overwrite, options.workdir, err))
    return false;
  if (!options.hasDescription)
    description = OwnDescription(file);
  return true;
}

bool SaveAs(CModelFile& file, const std::string& saveAs, const std::string& description,
            const std::string& workdir, std::FILE* err) {
  CCliPrompt prompt(false, err);
  const bool exists = !model::FindNameIgnoringCase(workdir + "/setting", saveAs).empty();
  return exists ? file.OverwriteSetting(prompt, workdir, saveAs, description)
                : file.SaveSetting(prompt, workdir, saveAs, description);
}

// Writes the binary command file to `outPath`, or to `out` when it is "-".
bool WriteBin(const CStatDataObj& data, const std::string& outPath, std::FILE* out,
              std::FILE* err) {
  std::string error;
  if (outPath == "-") {
    const std::vector<std::uint8_t> bytes = protocol::BuildCommandStream(data);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0)
      return true;
    error = std::string("Cannot write standard output: ") + std::strerror(errno);
  } else if (protocol::WriteBinaryFile(data, outPath, error)) {
    return true;
  }
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
  if (!LoadOrReport(file, data, path, err))
    return kExitFailed;
  return PrintItems(data, out) ? kExitOk : kExitFailed;
}

int RunList(bool settings, const std::string& workdir, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CCliPrompt prompt(false, err);
  std::vector<model::CFileInfo> rows;
  const int result =
      settings ? file.ListSettings(prompt, rows, workdir) : file.ListModels(prompt, rows, workdir);
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

int RunBin(const std::string& path, const std::string& outPath, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, path, err))
    return kExitFailed;
  return WriteBin(data, outPath, out, err) ? kExitOk : kExitFailed;
}

int RunEdit(const EditOptions& options, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, options.file, err))
    return kExitFailed;

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
      std::fprintf(err, "%s\n", model::msg::kShortOfMemory);
      return kExitFailed;
    }
  }

  std::string description;
  if (!PrepareSave(options, file, description, err))
    return kExitFailed;

  if (options.show && !PrintItems(data, out))
    return kExitFailed;
  if (!options.binPath.empty() && !WriteBin(data, options.binPath, out, err))
    return kExitFailed;
  if (options.hasSaveAs && !SaveAs(file, options.saveAs, description, options.workdir, err))
    return kExitFailed;
  return kExitOk;
}

namespace {

int ExitStatus(int result) {
  switch (result) {
    case update::kFinished:
      return kExitOk;
    case update::kCancelled:
      return kExitCancelled;
    default:
      return kExitFailed;
  }
}

// Sets the dialog's line controls as the options give them; without a baud rate the
// dialog's own choice stays.
void SetLineControls(update::CUpdatePrinterDlg& dlg, const TransferOptions& options) {
  if (options.baudRate) {
    for (std::size_t i = 0; i < update::kBaudList.size(); ++i) {
      if (update::kBaudList[i].number == *options.baudRate)
        dlg.SetBaudIndex(static_cast<int>(i));
    }
  }
  dlg.SetParity(options.parity);
  dlg.SetByteSize(options.byteSize);
  dlg.SetStopBits(options.stopBits);
}

// Runs the Update Printer dialog in `mode` without its window: the connection and the
// line settings as the options give them, then the Update (Get) button's operation.
// The known-printer list is neither read nor written.
int RunTransfer(int mode, const TransferOptions& options, CStatDataObj& data, std::FILE* err) {
  log::CSettings settings = log::CSettings::Load();
  if (!settings.Problem().empty())
    std::fprintf(err, "%s\n", settings.Problem().c_str());
  log::EnableLog(settings.LogEnabled());
  if (!options.device.empty()) {
    const bool parallel = log::EqualsIgnoringCase(options.connection, update::kParallelName);
    settings.OverridePort(parallel ? "LPT1" : "COM1", options.device);
  }
  update::SetConnectionSettings(settings);

  CCliPrompt prompt(options.assumeYes, err);
  CCliUpdateUi ui(options.assumeYes, err);
  update::UpdatePrinterEnvironment env;
  env.com1DefaultBaud = [&]() -> std::optional<std::uint32_t> {
    if (options.baudRate)
      return std::nullopt;  // not needed: the option decides
    return port::DeviceBaudRate(settings.PortDevice("COM1"));
  };
  update::CUpdatePrinterDlg dlg(prompt, ui, env);

  bool offered = false;
  bool refused = false;
  int result = update::kFailed;
  const CStopSignals stopSignals;
  dlg.DoModal(mode, data, [&] {
    dlg.InitControl();
    const auto& entries = dlg.Connections();
    for (std::size_t i = 0; i < entries.size() && !offered; ++i) {
      if (!log::EqualsIgnoringCase(entries[i].text, options.connection))
        continue;
      offered = true;
      if (static_cast<int>(i) != dlg.CurrentSelection())
        dlg.OnSelchangeComboPort(static_cast<int>(i));
      // USB without the printer's driver falls back to the first entry (after its
      // warning): never run another connection than the one asked for.
      refused = static_cast<int>(i) != dlg.CurrentSelection();
    }
    if (!offered || refused)
      return 2;
    SetLineControls(dlg, options);
    result = dlg.RunOperation(dlg.ConnectionText());
    return result == update::kFinished ? 1 : 2;
  });
  update::SetConnectionSettings(std::nullopt);
  if (const int signal = port::StopSignal(); signal != 0)
    return 128 + signal;
  if (!offered) {
    std::fprintf(err, "%s offers no %s connection.\n", options.file.c_str(),
                 options.connection.c_str());
    return kExitFailed;
  }
  if (refused)
    return kExitFailed;
  return ExitStatus(result);
}

// Writes one line per item whose text differs between `sent` and `read` (two loads of
// the same file, so their items match one for one): PAGE, NAME, SENT and READ. Returns
// how many differ.
std::size_t ReportItemDifferences(const CStatDataObj& sent, const CStatDataObj& read,
                                  std::string& text) {
  std::size_t differing = 0;
  for (const model::Page page : {model::kBasicPage, model::kAdvancedPage}) {
    const auto& sentItems = sent.Items(page);
    const auto& readItems = read.Items(page);
    for (std::size_t i = 0; i < sentItems.size() && i < readItems.size(); ++i) {
      const std::string expected = model::GetItemText(sent, sentItems[i]);
      const std::string actual = model::GetItemText(read, readItems[i]);
      if (expected == actual)
        continue;
      ++differing;
      text += page == model::kBasicPage ? "Basic\t" : "Advanced\t";
      AppendEscaped(text, sentItems[i].name);
      text += '\t';
      AppendEscaped(text, expected);
      text += '\t';
      AppendEscaped(text, actual);
      text += '\n';
    }
  }
  return differing;
}

// The known bytes of the current image that differ, for a difference no item shows
// (a byte behind no item): "0xAAAA: sent HH, read HH" lines.
std::size_t ReportByteDifferences(const CStatDataObj& sent, const CStatDataObj& read,
                                  std::string& text) {
  std::size_t differing = 0;
  for (std::uint32_t address = sent.GetFirstAddress(); address <= 0xFFFF; ++address) {
    std::uint8_t expected = 0;
    std::uint8_t actual = 0;
    const std::uint32_t found = sent.ReadBytes(address, {&expected, 1});
    if (found == model::kReadOutOfBlocks)
      break;
    if (found != model::kReadOk || read.ReadBytes(address, {&actual, 1}) != model::kReadOk ||
        expected == actual)
      continue;
    ++differing;
    char line[48];
    std::snprintf(line, sizeof line, "0x%04X: sent %02X, read %02X\n",
                  static_cast<unsigned>(address), expected, actual);
    text += line;
  }
  return differing;
}

// Reads the printer back into a fresh load of the file and compares it with `sent`.
int VerifySend(const TransferOptions& options, const CStatDataObj& sent, std::FILE* out,
               std::FILE* err) {
  CModelFile file;
  CStatDataObj read;
  if (!LoadOrReport(file, read, options.file, err))
    return kExitFailed;
  // The user has just accepted this printer for the send: no second question.
  TransferOptions readBack = options;
  readBack.assumeYes = true;
  const int status = RunTransfer(update::kModeGetPrinterSetting, readBack, read, err);
  if (status != kExitOk) {
    std::fprintf(err, "Verify: the printer could not be read back after the send.\n");
    return status == kExitCancelled ? kExitFailed : status;
  }
  std::string text;
  std::size_t differing = ReportItemDifferences(sent, read, text);
  if (differing == 0)
    differing = ReportByteDifferences(sent, read, text);
  std::fwrite(text.data(), 1, text.size(), out);
  if (std::fflush(out) != 0)
    return kExitFailed;
  if (differing == 0) {
    std::fprintf(err, "Verify: the printer holds what was sent.\n");
    return kExitOk;
  }
  std::fprintf(err, "Verify: %zu %s not what was sent.\n", differing,
               differing == 1 ? "setting is" : "settings are");
  return kExitFailed;
}

}  // namespace

int RunSend(const TransferOptions& options, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, options.file, err))
    return kExitFailed;
  if (log::EqualsIgnoringCase(options.connection, update::kTcpIpName))
    return RunSendNetwork(options, data, out, err);
  const int status = RunTransfer(update::kModeUpdatePrinter, options, data, err);
  if (status != kExitOk || !options.verify)
    return status;
  return VerifySend(options, data, out, err);
}

int RunGet(const TransferOptions& options, std::FILE* out, std::FILE* err) {
  CModelFile file;
  CStatDataObj data;
  if (!LoadOrReport(file, data, options.file, err))
    return kExitFailed;
  std::string description;
  if (!PrepareSave(options, file, description, err))
    return kExitFailed;

  const int status = RunTransfer(update::kModeGetPrinterSetting, options, data, err);
  if (status != kExitOk)
    return status;
  if (!PrintItems(data, out))
    return kExitFailed;
  if (options.hasSaveAs && !SaveAs(file, options.saveAs, description, options.workdir, err))
    return kExitFailed;
  return kExitOk;
}

}  // namespace pelmora::cli
