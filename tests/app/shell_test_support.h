// Scratch working folders and environment for the start-up and start dialog
// tests: a copy of the sample working folder that a test may change freely.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace pelmora::app::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pelmora-shell-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A temporary copy of examples/ (model/, setting/ and the help file).
class SampleFolder : public TempDir {
 public:
  SampleFolder() {
    std::error_code error;
    fs::copy(PELMORA_EXAMPLES_DIR, Path(), fs::copy_options::recursive, error);
  }
};

// Makes `folder` the current directory for the lifetime of the object.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& folder) : old_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~ScopedChdir() {
    std::error_code ignored;
    fs::current_path(old_, ignored);
  }
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  fs::path old_;
};

// Sets (or, with nullopt, unsets) an environment variable and restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = ::getenv(name))
      old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A definition file that lists, and loads unless `version` is refused.
inline std::string DefinitionText(const std::string& printerName, const std::string& description,
                                  const std::string& version = "0110") {
  return "Version = " + version + "\nModelName = \"T1\"\nPrinterName = \"" + printerName +
         "\"\nDriverName = \"TAVEN T1\"\nInterface = \"Serial\"\nCmdLine = 1B57MMXX\n"
         "[Standard]\n\"Speed\" : type = number, address = 10, range = (0, 255), scale = 1\n"
         "[End]\n[Default]\n10:05\n[End]\n[Mask]\n10:00\n[End]\n[Option]\nDescription = \"" +
         description + "\"\n[End]\n";
}

}  // namespace pelmora::app::test
