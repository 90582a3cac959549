// The known network printers: "IPAddress.lst" and the printers chosen for one update.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::update {

// One known printer. The address is kept as typed and compared ignoring case.
struct CIPAddressEntry {
  std::string ipAddress;
  std::string description;

  bool operator==(const CIPAddressEntry&) const = default;
};

// True when two IP address texts are equal ignoring ASCII letter case.
bool SameIPAddress(std::string_view a, std::string_view b);

// The saved list (read from the file) and the target list (the printers an update
// goes to). The file holds one printer a line, `"address","description"` ending in
// CR LF, targets first; there is no escape, so a double quote inside a text does not
// come back as typed.
//
// The file name is bare by default, so it is looked up in the current directory at
// each Load and Save.
class CIPAddressList {
 public:
  static constexpr const char* kFileName = "IPAddress.lst";

  explicit CIPAddressList(std::string fileName = kFileName) : fileName_(std::move(fileName)) {}
  // Closes the file if still open, without writing it.
  ~CIPAddressList();
  CIPAddressList(const CIPAddressList&) = delete;
  CIPAddressList& operator=(const CIPAddressList&) = delete;

  // Appends one saved entry per line of the file (a blank line too) and keeps the
  // file open until Save. A missing or unreadable file leaves the lists alone.
  void Load();
  // Closes and deletes the file if it is open; then, unless both lists are empty,
  // writes the targets and the saved entries that are not targets. A file that
  // cannot be created is skipped silently.
  void Save();

  // Replaces the texts of the first target with the same address in place, or
  // appends a new target.
  void AddTarget(std::string ipAddress, std::string description);
  // Takes out the first target with that address; nothing when there is none.
  void RemoveTarget(std::string_view ipAddress);
  // Index of the first target with that address, or -1.
  int FindTarget(std::string_view ipAddress) const;

  std::vector<CIPAddressEntry>& SavedList() { return saved_; }
  const std::vector<CIPAddressEntry>& SavedList() const { return saved_; }
  const std::vector<CIPAddressEntry>& TargetList() const { return targets_; }
  bool IsFileOpen() const { return file_ != nullptr; }
  const std::string& FileName() const { return fileName_; }

  // One line of the file, without its line end, and back.
  static CIPAddressEntry ParseLine(std::string_view line);
  static std::string FormatLine(const CIPAddressEntry& entry);

 private:
  void CloseFile();

  std::string fileName_;
  std::vector<CIPAddressEntry> saved_;
  std::vector<CIPAddressEntry> targets_;
  // Held from Load to Save: it decides whether Save deletes the file first.
  std::FILE* file_ = nullptr;
};

}  // namespace pelmora::update
