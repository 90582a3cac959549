// pelmora-cli: the command-line front end. Its output is a contract for scripts.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "cli_commands.h"

int main(int argc, char** argv) {
  using namespace pelmora::cli;
  CLI::App app{"Pelmora command-line tool: checks and shows TAVEN printer configurations.",
               "pelmora-cli"};
  app.require_subcommand(1);

  std::string file;
  CLI::App* check = app.add_subcommand(
      "check", "Load FILE as the start dialog would; print nothing on success, the load message "
               "on standard error otherwise (exit 1).");
  check->add_option("FILE", file, "model definition or saved configuration (.cfg)")->required();

  CLI::App* show = app.add_subcommand(
      "show", "Load FILE and print one line per item, Basic page first: "
              "PAGE<TAB>NAME<TAB>TEXT<TAB>STATE, with control bytes and backslashes as \\xHH.");
  show->add_option("FILE", file, "model definition or saved configuration (.cfg)")->required();

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
  return kExitUsage;
}
