#include "sim_options.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>

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
    const auto value = [&](std::string& to) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      to = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      out.help = true;
    } else if (arg == "--device-id") {
      if (!value(text)) {
        return false;
      }
      out.options.deviceId = text;
    } else if (arg == "--no-device-id") {
      out.options.answerDeviceId = false;
    } else if (arg == "--no-reply") {
      out.options.answerReads = false;
    } else if (arg == "--bad-reply-at") {
      std::uint16_t address = 0;
      if (!value(text)) {
        return false;
      }
      if (!ParseNumber(text, 16, address)) {
        error = "--bad-reply-at takes a hexadecimal address from 0 to FFFF, not " + text;
        return false;
      }
      out.options.badReplyAt = address;
    } else if (arg == "--slow-reply") {
      std::uint32_t ms = 0;
      if (!value(text)) {
        return false;
      }
      if (!ParseNumber(text, 10, ms)) {
        error = "--slow-reply takes milliseconds, not " + text;
        return false;
      }
      out.options.replyDelay = std::chrono::milliseconds(ms);
    } else if (arg == "--init-from-model") {
      out.initFromModel = true;
    } else if (arg == "--memory") {
      if (!value(out.memoryPath)) {
        return false;
      }
    } else if (arg == "--dump") {
      if (!value(out.dumpPath)) {
        return false;
      }
    } else if (arg == "--link") {
      if (!value(out.linkPath)) {
        return false;
      }
    } else if (arg == "--verbose") {
      out.verbose = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (out.modelPath.empty()) {
      out.modelPath = arg;
    } else {
      error = "one model file only: " + arg;
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
