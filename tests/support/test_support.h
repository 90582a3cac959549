// Scratch folders, environment variables, current directory, whole-file I/O and a
// scratch log for the tests, so that no test touches the real settings file, state
// folder, log or working folder; and hex dumps and the printer's read reply.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pelmora::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to the file `name` in the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Makes `folder` the current directory for the life of the object.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& folder);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::string old_;
};

// A fresh folder that is the current directory for the life of the object.
class TempCwd : public TempDir {
 private:
  ScopedChdir chdir_{Path()};
};

// Sets (or, with nullopt, unsets) an environment variable and restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// "0000: 10 20 23 01 45", 16 bytes a line, each line led by the address of its first
// byte counted from `firstAddress`; "(no bytes)" for none. For failure messages.
std::string HexDump(std::span<const std::uint8_t> bytes, std::uint32_t firstAddress = 0);

// A read reply as the printer sends it: header, `fields`, NUL.
inline std::string Reply(const std::string& fields) {
  return "@BDC PS\r\n" + fields + std::string(1, '\0');
}

// Turns the diagnostic log on into a scratch file for the life of the object, every
// line stamped `stamp`.
class ScratchLog {
 public:
  explicit ScratchLog(std::uint32_t stamp = 1);
  ~ScratchLog();
  ScratchLog(const ScratchLog&) = delete;
  ScratchLog& operator=(const ScratchLog&) = delete;

  std::string Text() const { return ReadFile(path_); }
  void Clear() const { WriteFile(path_, ""); }
  // The lines written so far, each without its line end, and forgets them.
  std::vector<std::string> TakeLines();

 private:
  TempDir dir_;
  std::string path_ = dir_ / "VORSETTA.LOG";
};

}  // namespace pelmora::test
