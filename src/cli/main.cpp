// pelmora-cli: the command-line front end. Its output is a contract for scripts.
#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <string>

#include "cli_commands.h"

int main(int argc, char** argv) {
  using namespace pelmora::cli;
  // Take the user's locale as the desktop application does; numbers must still
  // read and print the same under it.
  std::setlocale(LC_ALL, "");
  CLI::App app{"Pelmora command-line tool: checks, shows, edits and saves TAVEN printer "
               "configurations.",
               "pelmora-cli"};
  app.require_subcommand(1);
  const std::string fileHelp = "model definition or saved configuration (.cfg)";

  std::string file;
  CLI::App* check = app.add_subcommand(
      "check", "Load FILE as the start dialog would; print nothing on success, the load message "
               "on standard error otherwise (exit 1).");
  check->add_option("FILE", file, fileHelp)->required();

  CLI::App* show = app.add_subcommand(
      "show", "Load FILE and print one line per item, Basic page first: "
              "PAGE<TAB>NAME<TAB>TEXT<TAB>STATE, with control bytes and backslashes as \\xHH.");
  show->add_option("FILE", file, fileHelp)->required();

  std::string what;
  std::string workdir = ".";
  CLI::App* list = app.add_subcommand(
      "list", "List the model definitions (models) or saved configurations (settings) of the "
              "working folder: FILE<TAB>PRINTER<TAB>DESCRIPTION per row, in listing order.");
  list->add_option("WHAT", what, "models or settings")
      ->required()
      ->check(CLI::IsMember({"models", "settings"}));
  list->add_option("--workdir", workdir, "working folder holding model/ and setting/")
      ->capture_default_str();

  std::string outPath;
  CLI::App* bin = app.add_subcommand(
      "bin", "Write the binary command file of FILE's current image to OUT: the initialise "
             "command, one write command per known byte, the reset command.");
  bin->add_option("FILE", file, fileHelp)->required();
  bin->add_option("OUT", outPath, "binary file to write")->required();

  EditOptions edit;
  std::vector<std::string> sets;
  CLI::App* editCmd = app.add_subcommand(
      "edit", "Apply each --set in order to the first item of that name (Basic page first), "
              "then show, write the binary file and save as asked. A failed --set writes nothing.");
  editCmd->add_option("FILE", edit.file, fileHelp)->required();
  editCmd->add_option("--set", sets, "NAME VALUE: set item NAME to VALUE (repeatable)")
      ->type_size(2)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  editCmd->add_flag("--show", edit.show, "print the show lines after the edits");
  editCmd->add_option("--bin", edit.binPath, "write the edited command stream to this file");
  CLI::Option* saveAs = editCmd->add_option(
      "--save-as", edit.saveAs, "save under this name in WORKDIR/setting (as Save As does)");
  CLI::Option* description =
      editCmd->add_option("--description", edit.description,
                          "description of the saved configuration (default: FILE's own)");
  CLI::Option* overwrite = editCmd->add_flag("--overwrite", edit.overwrite,
                                             "replace a saved configuration of the same name");
  CLI::Option* editDir = editCmd->add_option("--workdir", edit.workdir,
                                             "working folder holding setting/")
                             ->capture_default_str();
  description->needs(saveAs);
  overwrite->needs(saveAs);
  editDir->needs(saveAs);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);  // prints the help of the command asked about
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "pelmora-cli: %s (see --help)\n", e.what());
    return kExitUsage;
  }

  if (check->parsed()) return RunCheck(file, stdout, stderr);
  if (show->parsed()) return RunShow(file, stdout, stderr);
  if (list->parsed()) return RunList(what == "settings", workdir, stdout, stderr);
  if (bin->parsed()) return RunBin(file, outPath, stderr);
  if (editCmd->parsed()) {
    for (std::size_t i = 0; i + 1 < sets.size(); i += 2) edit.sets.emplace_back(sets[i], sets[i + 1]);
    edit.hasDescription = description->count() > 0;
    return RunEdit(edit, stdout, stderr);
  }
  return kExitUsage;
}
