// pelmora-cli: the command-line front end. Its output is a contract for scripts.
#include <malloc.h>

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "log/ascii.h"
#include "model/messages.h"
#include "update/update_printer_dlg.h"

namespace {

using pelmora::cli::EditOptions;
using pelmora::cli::TransferOptions;

// The texts of the dialog's radio buttons, and the codes they stand for.
using pelmora::update::LineChoice;
constexpr const auto& kParities = pelmora::update::kParityChoices;
constexpr const auto& kLengths = pelmora::update::kLengthChoices;
constexpr const auto& kStops = pelmora::update::kStopChoices;

template <std::size_t N>
std::vector<std::string> Texts(const LineChoice (&choices)[N]) {
  std::vector<std::string> texts;
  for (const LineChoice& c : choices) texts.emplace_back(c.text);
  return texts;
}

template <std::size_t N>
int Code(const LineChoice (&choices)[N], const std::string& text) {
  for (const LineChoice& c : choices) {
    if (text == c.text)
      return c.code;
  }
  return choices[0].code;
}

constexpr const char* kFileHelp = "model definition or saved configuration (.cfg)";
constexpr const char* kTransferExits =
    " Exit 0 when it finished, 1 when no printer was found or the transfer stopped on an "
    "error, 3 when a question was refused, 130 or 143 when ended by SIGINT or SIGTERM.";

// --save-as and the options that need it, as edit and get take them.
struct SaveArgs {
  CLI::Option* saveAs = nullptr;
  CLI::Option* description = nullptr;

  template <typename Options>
  void Add(CLI::App* cmd, Options& options) {
    saveAs = cmd->add_option("--save-as", options.saveAs,
                             "save under this name in WORKDIR/setting (as Save As does)");
    description = cmd->add_option("--description", options.description,
                                  "description of the saved configuration (default: FILE's own)");
    CLI::Option* overwrite = cmd->add_flag("--overwrite", options.overwrite,
                                           "replace a saved configuration of the same name");
    CLI::Option* workdir =
        cmd->add_option("--workdir", options.workdir, "working folder holding setting/")
            ->capture_default_str();
    description->needs(saveAs);
    overwrite->needs(saveAs);
    workdir->needs(saveAs);
  }

  template <typename Options>
  void Finish(Options& options) const {
    options.hasDescription = description->count() > 0;
    options.hasSaveAs = saveAs->count() > 0;
  }
};

// What send and get share on the command line; texts are turned into codes by Finish.
struct TransferArgs {
  TransferOptions options;
  std::uint32_t baud = 0;
  std::string parity = "Off";
  std::string length = "8bit";
  std::string stop = "1-bit";
  CLI::Option* baudOption = nullptr;
  // The TCP/IP options, which send alone has.
  std::vector<CLI::Option*> networkOptions;
  CLI::Option* verifyOption = nullptr;
  CLI::Option* deviceOption = nullptr;

  void Add(CLI::App* cmd, bool network = false) {
    cmd->add_option("FILE", options.file, kFileHelp)->required();
    // In the order the dialog tries the names.
    std::vector<std::string> connections{pelmora::update::kParallelName,
                                         pelmora::update::kSerialName};
    if (network)
      connections.emplace_back(pelmora::update::kTcpIpName);
    connections.emplace_back(pelmora::update::kUsbName);
    cmd->add_option("--connection", options.connection, "connection to the printer")
        ->transform(CLI::IsMember(connections, CLI::ignore_case))
        ->capture_default_str();
    if (network) {
      AddNetwork(cmd);
      verifyOption =
          cmd->add_flag("--verify", options.verify,
                        "read the printer back after the send and list every item that differs "
                        "(not over TCP/IP)");
    }
    std::vector<std::uint32_t> rates;
    rates.reserve(std::size(pelmora::update::kBaudList));
    for (const auto& entry : pelmora::update::kBaudList) rates.push_back(entry.number);
    baudOption = cmd->add_option("--baud", baud,
                                 "baud rate (default: the rate COM1 is set to when the "
                                 "dialog's list has it, else 256000)")
                     ->check(CLI::IsMember(rates));
    cmd->add_option("--parity", parity, "parity")
        ->transform(CLI::IsMember(Texts(kParities), CLI::ignore_case))
        ->capture_default_str();
    cmd->add_option("--length", length, "data length")
        ->transform(CLI::IsMember(Texts(kLengths), CLI::ignore_case))
        ->capture_default_str();
    cmd->add_option("--stop", stop, "stop bits")
        ->transform(CLI::IsMember(Texts(kStops), CLI::ignore_case))
        ->capture_default_str();
    deviceOption =
        cmd->add_option("--device", options.device,
                        "Serial: the device for COM1, Parallel: the port for LPT1 (a number N "
                        "for /dev/parportN, or a path), in this run instead of the settings "
                        "file's");
    cmd->add_flag("--yes", options.assumeYes,
                  "answer OK/Yes to every question (without it they are asked on the "
                  "terminal, or refused when there is none)");
  }

  void AddNetwork(CLI::App* cmd) {
    networkOptions = {
        cmd->add_option("--address", options.addresses,
                        "TCP/IP: a printer's address, as a row of the known-printer list: "
                        "IPv4 address, host name or ftp://HOST[:PORT] (repeatable)"),
        cmd->add_option("--address-list", options.addressList,
                        "TCP/IP: also every row of this known-printer list file "
                        "(IPAddress.lst format), after the --address rows, in file order"),
        cmd->add_option("--jobs", options.jobs,
                        "TCP/IP: update up to N printers at once (more than 1 needs --yes)")
            ->check(CLI::Range(1U, 256U))
            ->capture_default_str(),
        cmd->add_option("--wait", options.waitMs,
                        "TCP/IP: milliseconds to wait for a printer's device ID reply")
            ->check(CLI::Range(0U, 60000U))
            ->capture_default_str(),
    };
  }

  // The usage faults the parser cannot see; empty when there is none.
  std::string UsageError() const {
    const bool network =
        pelmora::log::EqualsIgnoringCase(options.connection, pelmora::update::kTcpIpName);
    for (const CLI::Option* option : networkOptions) {
      if (!network && option->count() > 0)
        return option->get_name() + " needs --connection TCP/IP";
    }
    if (deviceOption->count() > 0 &&
        !pelmora::log::EqualsIgnoringCase(options.connection, pelmora::update::kSerialName) &&
        !pelmora::log::EqualsIgnoringCase(options.connection, pelmora::update::kParallelName))
      return "--device needs --connection Serial or Parallel";
    if (network && verifyOption != nullptr && verifyOption->count() > 0)
      return "--verify needs a connection that can read back (not TCP/IP)";
    if (network && options.jobs > 1 && !options.assumeYes)
      return "--jobs above 1 needs --yes";
    return {};
  }

  const TransferOptions& Finish() {
    if (baudOption->count() > 0)
      options.baudRate = baud;
    options.parity = Code(kParities, parity);
    options.byteSize = Code(kLengths, length);
    options.stopBits = Code(kStops, stop);
    return options;
  }
};

CLI::App* AddCheck(CLI::App& app, std::string& file) {
  CLI::App* check = app.add_subcommand(
      "check",
      "Load FILE as the start dialog would; print nothing on success, the load message "
      "on standard error otherwise (exit 1).");
  check->add_option("FILE", file, kFileHelp)->required();
  return check;
}

CLI::App* AddShow(CLI::App& app, std::string& file) {
  CLI::App* show = app.add_subcommand(
      "show",
      "Load FILE and print one line per item, Basic page first: "
      "PAGE<TAB>NAME<TAB>TEXT<TAB>STATE, with control bytes and backslashes as \\xHH.");
  show->add_option("FILE", file, kFileHelp)->required();
  return show;
}

struct ListArgs {
  std::string what;
  std::string workdir = ".";
};

CLI::App* AddList(CLI::App& app, ListArgs& args) {
  CLI::App* list = app.add_subcommand(
      "list",
      "List the model definitions (models) or saved configurations (settings) of the "
      "working folder: FILE<TAB>PRINTER<TAB>DESCRIPTION per row, in listing order.");
  list->add_option("WHAT", args.what, "models or settings")
      ->required()
      ->check(CLI::IsMember({"models", "settings"}));
  list->add_option("--workdir", args.workdir, "working folder holding model/ and setting/")
      ->capture_default_str();
  return list;
}

CLI::App* AddBin(CLI::App& app, std::string& file, std::string& outPath) {
  CLI::App* bin = app.add_subcommand(
      "bin",
      "Write the binary command file of FILE's current image to OUT: the initialise "
      "command, one write command per known byte, the reset command.");
  bin->add_option("FILE", file, kFileHelp)->required();
  bin->add_option("OUT", outPath, "binary file to write; - for standard output")->required();
  return bin;
}

struct EditArgs {
  EditOptions options;
  std::vector<std::string> sets;  // names and values in turn
  SaveArgs save;

  CLI::App* Add(CLI::App& app) {
    CLI::App* edit = app.add_subcommand(
        "edit",
        "Apply each --set in order to the first item of that name (Basic page first), "
        "then show, write the binary file and save as asked. A failed --set writes nothing.");
    edit->add_option("FILE", options.file, kFileHelp)->required();
    edit->add_option("--set", sets, "NAME VALUE: set item NAME to VALUE (repeatable)")
        ->type_size(2)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    edit->add_flag("--show", options.show, "print the show lines after the edits");
    edit->add_option("--bin", options.binPath,
                     "write the edited command stream to this file (- for standard output)");
    save.Add(edit, options);
    return edit;
  }

  const EditOptions& Finish() {
    for (std::size_t i = 0; i + 1 < sets.size(); i += 2)
      options.sets.emplace_back(sets[i], sets[i + 1]);
    save.Finish(options);
    return options;
  }
};

CLI::App* AddSend(CLI::App& app, TransferArgs& args) {
  CLI::App* send = app.add_subcommand(
      "send",
      std::string("Send FILE's current image to the printer as Update Printer does: the "
                  "initialise command, one write command per known byte, the reset command.") +
          kTransferExits +
          " Over TCP/IP, one line per address in the order given on standard output: "
          "ADDR<TAB>updated, ADDR<TAB>failed<TAB>REASON or ADDR<TAB>skipped; exit 0 when "
          "every printer was updated, 1 when any was not, 3 when a question was cancelled "
          "or could not be asked.");
  args.Add(send, true);
  return send;
}

CLI::App* AddGet(CLI::App& app, TransferArgs& args, SaveArgs& save) {
  CLI::App* get = app.add_subcommand(
      "get", std::string("Read the printer's settings into FILE's current image as Get Printer "
                         "Setting does, print the show lines of the result and save it as asked.") +
                 kTransferExits);
  args.Add(get);
  save.Add(get, args.options);
  return get;
}

int Run(int argc, char** argv) {
  using namespace pelmora::cli;
  // Take the user's locale as the desktop application does; numbers must still
  // read and print the same under it.
  std::setlocale(LC_ALL, "");
  CLI::App app{
      "Pelmora command-line tool: checks, shows, edits and saves TAVEN printer "
      "configurations, sends them to a printer and reads them back.",
      "pelmora-cli"};
  app.set_version_flag("--version", "pelmora-cli " PELMORA_VERSION);
  app.require_subcommand(1);

  std::string file;
  CLI::App* check = AddCheck(app, file);
  CLI::App* show = AddShow(app, file);
  ListArgs listArgs;
  CLI::App* list = AddList(app, listArgs);
  std::string outPath;
  CLI::App* bin = AddBin(app, file, outPath);
  EditArgs editArgs;
  CLI::App* edit = editArgs.Add(app);
  TransferArgs sendArgs;
  CLI::App* send = AddSend(app, sendArgs);
  TransferArgs getArgs;
  SaveArgs getSave;
  CLI::App* get = AddGet(app, getArgs, getSave);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);  // prints the help of the command asked about
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);  // prints the version
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "pelmora-cli: %s (see --help)\n", e.what());
    return kExitUsage;
  }

  if (check->parsed())
    return RunCheck(file, stdout, stderr);
  if (show->parsed())
    return RunShow(file, stdout, stderr);
  if (list->parsed())
    return RunList(listArgs.what == "settings", listArgs.workdir, stdout, stderr);
  if (bin->parsed())
    return RunBin(file, outPath, stdout, stderr);
  if (edit->parsed())
    return RunEdit(editArgs.Finish(), stdout, stderr);
  if (send->parsed()) {
    if (const std::string error = sendArgs.UsageError(); !error.empty()) {
      std::fprintf(stderr, "pelmora-cli: %s (see --help)\n", error.c_str());
      return kExitUsage;
    }
    return RunSend(sendArgs.Finish(), stdout, stderr);
  }
  if (get->parsed()) {
    getSave.Finish(getArgs.options);
    return RunGet(getArgs.Finish(), stdout, stderr);
  }
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // A run lives for one command and a model's arrays grow by doubling. Kept in the
  // main heap rather than in mappings of their own, the space of an outgrown array
  // is reused by the next one instead of being faulted in afresh page by page.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  // The option set-up and the commands may still throw (memory, the parser's own
  // faults); end with a message rather than an abort.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "pelmora-cli: %s\n", pelmora::model::msg::kShortOfMemory);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelmora-cli: %s\n", e.what());
  }
  return pelmora::cli::kExitFailed;
}
