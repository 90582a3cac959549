// The commands of pelmora-cli, apart from command-line parsing.
#pragma once

#include <cstdio>
#include <string>

namespace pelmora::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Loads `path` as the start dialog would; prints the load message on `err` on failure.
int RunCheck(const std::string& path, std::FILE* out, std::FILE* err);

// Loads `path` and prints one line per item: PAGE, NAME, TEXT and STATE, tab-separated.
int RunShow(const std::string& path, std::FILE* out, std::FILE* err);

}  // namespace pelmora::cli
