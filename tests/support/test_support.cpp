#include "test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "log/debug_log.h"

namespace pelmora::test {

namespace {

// Where scratch folders go: TMPDIR when set, else memory when the machine has it. The
// saves under test sync every file, which on a busy disk costs tens of milliseconds
// each, and no test checks what reaches the disk.
std::filesystem::path ScratchRoot() {
  if (std::getenv("TMPDIR") == nullptr && ::access("/dev/shm", W_OK | X_OK) == 0)
    return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// The stamp of the live ScratchLog; the tick source is a plain function.
std::uint32_t scratchStamp = 0;

}  // namespace

TempDir::TempDir() {
  std::string pattern = (ScratchRoot() / "pelmora-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed";
    return;
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string file = *this / name;
  WriteFile(file, bytes);
  return file;
}

ScopedChdir::ScopedChdir(const std::string& folder)
    : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(folder);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  std::filesystem::current_path(old_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = ::getenv(name))
    old_ = old;
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    ::setenv(name_, old_->c_str(), 1);
  } else {
    ::unsetenv(name_);
  }
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string HexDump(std::span<const std::uint8_t> bytes, std::uint32_t firstAddress) {
  std::string out;
  char buf[24];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(buf, sizeof buf, "%s%04zX:", i == 0 ? "" : "\n", firstAddress + i);
      out += buf;
    }
    std::snprintf(buf, sizeof buf, " %02X", unsigned{bytes[i]});
    out += buf;
  }
  return out.empty() ? "(no bytes)" : out;
}

ScratchLog::ScratchLog(std::uint32_t stamp) {
  scratchStamp = stamp;
  log::SetLogFilePath(path_);
  log::SetTickSource([] { return scratchStamp; });
  log::EnableLog(true);
}

ScratchLog::~ScratchLog() {
  log::EnableLog(false);
  log::SetTickSource(nullptr);
  log::SetLogFilePath({});
}

std::vector<std::string> ScratchLog::TakeLines() {
  std::ifstream in(path_, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  in.close();
  std::filesystem::remove(path_);
  return lines;
}

}  // namespace pelmora::test
