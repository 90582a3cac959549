#include "sim_options.h"

#include <arpa/inet.h>

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
  } else if (arg == "--version") {
    out.version = true;
  } else if (arg == "--no-device-id") {
    out.options.answerDeviceId = false;
  } else if (arg == "--no-reply") {
    out.options.answerReads = false;
  } else if (arg == "--init-from-model") {
    out.initFromModel = true;
  } else if (arg == "--verbose") {
    out.verbose = true;
  } else if (arg == "--usb") {
    out.usb = true;
  } else if (arg == "--parallel") {
    out.parallel = true;
  } else if (arg == "--no-ieee1284") {
    out.parallelOptions.ieee1284 = false;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(std::string_view arg) {
  static constexpr std::string_view kOptions[] = {
      "--device-id", "--bad-reply-at", "--ignore-write-at", "--slow-reply", "--memory",
      "--dump",      "--link",         "--network",         "--ftp-port",   "--udp-port"};
  return std::find(std::begin(kOptions), std::end(kOptions), arg) != std::end(kOptions);
}

// A dotted IPv4 address in network byte order.
bool ParseAddress(const std::string& text, in_addr& address) {
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool TakeAddress(const std::string& text, CSimCommandLine& out, std::string& error) {
  in_addr address{};
  if (!ParseAddress(text, address)) {
    error = "--network takes a dotted IPv4 address, not " + text;
    return false;
  }
  out.networkAddresses.push_back(text);
  return true;
}

// --fleet BASE COUNT: COUNT printers from BASE upwards.
bool TakeFleet(const std::string& base, const std::string& countText, CSimCommandLine& out,
               std::string& error) {
  in_addr first{};
  std::uint32_t count = 0;
  if (!ParseAddress(base, first) || !ParseNumber(countText, 10, count) || count == 0) {
    error = "--fleet takes a dotted IPv4 address and a count, not " + base + " " + countText;
    return false;
  }
  const std::uint32_t start = ntohl(first.s_addr);
  if (count - 1 > 0xFFFFFFFFu - start) {
    error = "--fleet runs past 255.255.255.255";
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    in_addr address{htonl(start + i)};
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);
    out.networkAddresses.emplace_back(text);
  }
  return true;
}

bool TakePort(const std::string& arg, const std::string& text, std::uint16_t& port,
              std::string& error) {
  if (!ParseNumber(text, 10, port)) {
    error = arg + " takes a port number from 0 to 65535, not " + text;
    return false;
  }
  return true;
}

// Takes the value of an option TakesValue names; false, with `error` set, when
// the option does not take it.
bool TakeValue(const std::string& arg, const std::string& text, CSimCommandLine& out,
               std::string& error) {
  if (arg == "--bad-reply-at" || arg == "--ignore-write-at") {
    std::uint16_t address = 0;
    if (!ParseNumber(text, 16, address)) {
      error = arg + " takes a hexadecimal address from 0 to FFFF, not " + text;
      return false;
    }
    (arg == "--bad-reply-at" ? out.options.badReplyAt : out.options.ignoreWriteAt) = address;
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
  } else if (arg == "--network") {
    return TakeAddress(text, out, error);
  } else if (arg == "--ftp-port") {
    return TakePort(arg, text, out.ftpPort, error);
  } else if (arg == "--udp-port") {
    return TakePort(arg, text, out.udpPort, error);
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

// The USB and parallel modes run a command, and only they do.
bool CheckCommandMode(const CSimCommandLine& out, std::string& error) {
  const bool device = out.usb || out.parallel;
  const char* mode = out.usb ? "--usb" : "--parallel";
  if (out.usb && out.parallel) {
    error = "--usb and --parallel go one at a time";
    return false;
  }
  if (device && out.command.empty() && !out.help && !out.version) {
    error = std::string(mode) + " needs a command after --";
    return false;
  }
  if (!device && !out.command.empty()) {
    error = "a command after -- needs --usb or --parallel";
    return false;
  }
  if (device && (!out.networkAddresses.empty() || !out.linkPath.empty())) {
    error = std::string(mode) + " goes with neither --network nor --link";
    return false;
  }
  return true;
}

// The options that only one of the modes can use.
bool CheckNetworkMode(const CSimCommandLine& out, std::string& error) {
  if (out.networkAddresses.empty()) {
    return true;
  }
  if (!out.linkPath.empty()) {
    error = "--link is for the terminal; a network printer has none";
    return false;
  }
  if (out.networkAddresses.size() > 1 && !out.dumpPath.empty() &&
      out.dumpPath.find("%a") == std::string::npos) {
    error = "several printers need %a (the address) in the --dump path";
    return false;
  }
  return true;
}

}  // namespace

std::string SimUsage() {
  return "usage: pelmora-printer-sim MODEL.cfg [options]\n"
         "       pelmora-printer-sim MODEL.cfg --network ADDR [--network ADDR]... [options]\n"
         "       pelmora-printer-sim MODEL.cfg --usb [options] -- COMMAND [ARGS...]\n"
         "       pelmora-printer-sim MODEL.cfg --parallel [options] -- COMMAND [ARGS...]\n"
         "\n"
         "A simulated TAVEN printer of the model MODEL.cfg on a pseudo-terminal. Prints the\n"
         "terminal's device path on one line, then serves it until interrupted.\n"
         "\n"
         "With --network, simulated printers on a TCP/IP network instead, one per address:\n"
         "each answers the device ID request by UDP and takes command streams uploaded by\n"
         "anonymous FTP into its memory (the FTP server is python3-pyftpdlib). Prints\n"
         "\"ADDR udp:PORT ftp:PORT\" for each printer once all listen. The switches below\n"
         "apply to all of them; --device-id '' answers with a device ID of length 0.\n"
         "\n"
         "With --usb, runs COMMAND with a USB printer of the model attached (bus 1, device\n"
         "2, as /dev/bus/usb/001/002 in an emulated /dev and /sys that COMMAND sees through\n"
         "LD_PRELOAD=libumockdev-preload.so.0 and UMOCKDEV_DIR) and exits with COMMAND's\n"
         "exit status; --dump is written when COMMAND has ended.\n"
         "With --parallel, the printer on an emulated parallel port /dev/parport0 (umockdev)\n"
         "instead: runs COMMAND with the port attached (LD_PRELOAD and UMOCKDEV_DIR set\n"
         "for it) and exits with its status. --no-device-id makes the printer refuse the\n"
         "IEEE 1284 device ID; --no-ieee1284 makes it a printer that cannot send back.\n"
         "\n"
         "  --network ADDR      a printer at the IPv4 address ADDR (e.g. 127.0.0.2); repeatable\n"
         "  --fleet ADDR COUNT  COUNT printers at ADDR and the addresses after it\n"
         "  --ftp-port PORT     the FTP port of every printer (default 21; 0: any free)\n"
         "  --udp-port PORT     the device ID port of every printer (default 3289; 0: any)\n"
         "\n"
         "  --device-id TEXT    answer the device ID request with TEXT\n"
         "                      (default MFG:TAVEN;MDL:<first ModelName>;)\n"
         "  --no-device-id      never answer the device ID request (by UDP: stay silent)\n"
         "  --no-reply          never answer read commands\n"
         "  --no-ieee1284       (parallel) no IEEE 1284: no device ID, nothing sent back\n"
         "  --bad-reply-at ADDR answer a read of ADDR (hex) with a malformed reply\n"
         "  --ignore-write-at ADDR  take writes of ADDR (hex) without storing them\n"
         "  --slow-reply MS     send every answer MS milliseconds late\n"
         "  --init-from-model   start with the file's saved (or factory) data in memory;\n"
         "                      without it the memory starts as zeros\n"
         "  --memory FILE       start with the memory of a dump file\n"
         "  --dump FILE         write the memory to FILE on SIGUSR1 and at exit\n"
         "                      (lines AAAA:HH..., 32 bytes each); every %a in FILE\n"
         "                      becomes the printer's address (needed for several)\n"
         "  --link PATH         also make PATH a symbolic link to the terminal\n"
         "  --verbose           trace every command on standard error\n"
         "  --help              show this text\n"
         "  --version           show the program's version\n";
}

bool ParseSimCommandLine(const std::vector<std::string>& args, CSimCommandLine& out,
                         std::string& error) {
  out = CSimCommandLine();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      out.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (TakeFlag(arg, out)) {
      continue;
    }
    if (arg == "--fleet") {
      if (i + 2 >= args.size()) {
        error = "--fleet needs a first address and a count";
        return false;
      }
      if (!TakeFleet(args[i + 1], args[i + 2], out, error)) {
        return false;
      }
      i += 2;
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
  if (out.modelPath.empty() && !out.help && !out.version) {
    error = "no model file given";
    return false;
  }
  return CheckCommandMode(out, error) && CheckNetworkMode(out, error);
}

std::string DumpPathFor(const std::string& dumpPath, const std::string& address) {
  std::string path = dumpPath;
  for (std::size_t at = path.find("%a"); at != std::string::npos;
       at = path.find("%a", at + address.size())) {
    path.replace(at, 2, address);
  }
  return path;
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
