// The commands of pelmora-cli, apart from command-line parsing.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace pelmora::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Loads `path` as the start dialog would; prints the load message on `err` on failure.
int RunCheck(const std::string& path, std::FILE* out, std::FILE* err);

// Loads `path` and prints one line per item: PAGE, NAME, TEXT and STATE, tab-separated.
int RunShow(const std::string& path, std::FILE* out, std::FILE* err);

// Lists `<workdir>/model` (`settings` false) or `<workdir>/setting` as the start
// dialog does: FILE, PRINTER and DESCRIPTION per row, tab-separated.
int RunList(bool settings, const std::string& workdir, std::FILE* out, std::FILE* err);

// Writes the binary command file of `path`'s current image to `outPath`.
int RunBin(const std::string& path, const std::string& outPath, std::FILE* err);

struct EditOptions {
  std::string file;
  std::vector<std::pair<std::string, std::string>> sets;  // item name, value, in order
  bool show = false;
  std::string binPath;                                     // empty: no binary file
  std::string saveAs;                                      // empty: no save
  std::string description;
  bool hasDescription = false;
  bool overwrite = false;
  std::string workdir = ".";
};

// Applies the edits, then shows, writes the binary file and saves as asked.
int RunEdit(const EditOptions& options, std::FILE* out, std::FILE* err);

}  // namespace pelmora::cli
