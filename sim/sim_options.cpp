#include "sim_options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>

#include "model/model_file.h"
#include "model/result_codes.h"

namespace pelmora::sim {

namespace {

// Whole text as an unsigned number in `base`; "0x" is allowed before hex digits.
template <class T>
bool ParseNumber(std::string text, int base, T& value) {
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.erase(0, 2);
  }
  if (text.empty()) {
    return false;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

// Takes an option that has no value; false when `arg` is none of them.
bool TakeFlag(const std::string& arg, CSimCommandLine& out) {
  if (arg == "--help" || arg == "-h") {
    out.help = true;
  } else if (arg == "--no-device-id") {
    out.options.answerDeviceId = false;
  } else if (arg == "--no-reply") {
    out.options.answerReads = false;
  } else if (arg == "--init-from-model") {
    out.initFromModel = true;
  } else if (arg == "--verbose") {
    out.verbose = true;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(std::string_view arg) {
  static constexpr std::string_view kOptions[] = {"--device-id", "--bad-reply-at", "--slow-reply",
                                                  "--memory",    "--dump",         "--link"};
  return std::find(std::begin(kOptions), std::end(kOptions), arg) != std::end(kOptions);
}

// Takes the value of an option TakesValue names; false, with `error` set, when
// the option does not take it.
bool TakeValue(const std::string& arg, const std::string& text, CSimCommandLine& out,
               std::string& error) {
  if (arg == "--bad-reply-at") {
    std::uint16_t address = 0;
    if (!ParseNumber(text, 16, address)) {
      error = "--bad-reply-at takes a hexadecimal address from 0 to FFFF, not " + text;
      return false;
    }
    out.options.badReplyAt = address;
  } else if (arg == "--slow-reply") {
    std::uint32_t ms = 0;
    if (!ParseNumber(text, 10, ms)) {
      error = "--slow-reply takes milliseconds, not " + text;
      return false;
    }
    out.options.replyDelay = std::chrono::milliseconds(ms);
  } else if (arg == "--device-id") {
    out.options.deviceId = text;
  } else if (arg == "--memory") {
    out.memoryPath = text;
  } else if (arg == "--dump") {
    out.dumpPath = text;
  } else {
    out.linkPath = text;
  }
  return true;
}

// Takes an argument that is no option: the model file, given once.
bool TakeModelPath(const std::string& arg, CSimCommandLine& out, std::string& error) {
  if (arg.size() > 1 && arg[0] == '-') {
    error = "unknown option " + arg;
    return false;
  }
  if (!out.modelPath.empty()) {
    error = "one model file only: " + arg;
    return false;
  }
  out.modelPath = arg;
  return true;
}

}  // namespace

std::string SimUsage() {
  return "usage: pelmora-printer-sim MODEL.cfg [options]\n"
         "\n"
         "A simulated TAVEN printer of the model MODEL.cfg on a pseudo-terminal. Prints the\n"
         "terminal's device path on one line, then serves it until interrupted.\n"
         "\n"
         "  --device-id TEXT    answer the device ID request with TEXT\n"
         "                      (default MFG:TAVEN;MDL:<first ModelName>;)\n"
         "  --no-device-id      never answer the device ID request\n"
         "  --no-reply          never answer read commands\n"
         "  --bad-reply-at ADDR answer a read of ADDR (hex) with a malformed reply\n"
         "  --slow-reply MS     send every answer MS milliseconds late\n"
         "  --init-from-model   start with the file's saved (or factory) data in memory;\n"
         "                      without it the memory starts as zeros\n"
         "  --memory FILE       start with the memory of a dump file\n"
         "  --dump FILE         write the memory to FILE on SIGUSR1 and at exit\n"
         "                      (lines AAAA:HH..., 32 bytes each)\n"
         "  --link PATH         also make PATH a symbolic link to the terminal\n"
         "  --verbose           trace every command on standard error\n"
         "  --help              show this text\n";
}

bool ParseSimCommandLine(const std::vector<std::string>& args, CSimCommandLine& out,
                         std::string& error) {
  out = CSimCommandLine();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (TakeFlag(arg, out)) {
      continue;
    }
    if (!TakesValue(arg)) {
      if (!TakeModelPath(arg, out, error)) {
        return false;
      }
      continue;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return false;
    }
    if (!TakeValue(arg, args[++i], out, error)) {
      return false;
    }
  }
  if (out.modelPath.empty() && !out.help) {
    error = "no model file given";
    return false;
  }
  return true;
}

bool LoadSimModel(const std::string& path, model::CStatDataObj& model, std::string& error) {
  model::CModelFile file;
  const int result = file.Load(model, path);
  if (result == model::kResultOk) {
    return true;
  }
  error = path + ": " + model::LoadResultMessage(result, file.GetErrorCode(), file.GetLineNumber());
  return false;
}

bool InitSimMemory(const CSimCommandLine& line, const model::CStatDataObj& model,
                   CFakePrinter& printer, std::string& error) {
  if (line.initFromModel) {
    printer.LoadImage(model);
  }
  if (!line.memoryPath.empty()) {
    std::ifstream in(line.memoryPath, std::ios::binary);
    if (!in) {
      error = "cannot read " + line.memoryPath;
      return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string why;
    if (!ParseDump(text, printer.Memory(), why)) {
      error = line.memoryPath + ": " + why;
      return false;
    }
  }
  return true;
}

}  // namespace pelmora::sim
