#include "update/ip_address_list.h"

#include "log/ascii.h"

namespace pelmora::update {

namespace {

// The text between the first and the last double quote; empty without two quotes.
std::string Unquote(std::string_view field) {
  const auto first = field.find('"');
  const auto last = field.rfind('"');
  if (first == std::string_view::npos || last == first)
    return {};
  return std::string(field.substr(first + 1, last - first - 1));
}

}  // namespace

bool SameIPAddress(std::string_view a, std::string_view b) {
  return log::EqualsIgnoringCase(a, b);
}

CIPAddressList::~CIPAddressList() {
  CloseFile();
}

void CIPAddressList::CloseFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

CIPAddressEntry CIPAddressList::ParseLine(std::string_view line) {
  // A comma inside quotes belongs to its field; the first one outside quotes
  // starts the description, and later ones outside quotes are dropped.
  std::string fields[2];
  int current = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      fields[current] += c;
    } else if (c == ',' && !quoted) {
      current = 1;
    } else {
      fields[current] += c;
    }
  }
  return {Unquote(fields[0]), Unquote(fields[1])};
}

std::string CIPAddressList::FormatLine(const CIPAddressEntry& entry) {
  return '"' + entry.ipAddress + "\",\"" + entry.description + '"';
}

void CIPAddressList::Load() {
  CloseFile();
  file_ = std::fopen(fileName_.c_str(), "rbe");
  if (file_ == nullptr)
    return;
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) text.append(chunk, n);

  // Lines end in LF, with an optional CR before it; text after the last line end
  // is one more line.
  std::string_view rest(text);
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    saved_.push_back(ParseLine(line));
  }
}

void CIPAddressList::Save() {
  if (file_ != nullptr) {
    CloseFile();
    std::remove(fileName_.c_str());
  }
  if (saved_.empty() && targets_.empty())
    return;
  std::FILE* out = std::fopen(fileName_.c_str(), "wbe");
  if (out == nullptr)
    return;
  auto write = [out](const CIPAddressEntry& entry) {
    const std::string line = FormatLine(entry) + "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
  };
  for (const CIPAddressEntry& entry : targets_) write(entry);
  for (const CIPAddressEntry& entry : saved_) {
    if (FindTarget(entry.ipAddress) == -1)
      write(entry);
  }
  std::fclose(out);
}

void CIPAddressList::AddTarget(std::string ipAddress, std::string description) {
  const int at = FindTarget(ipAddress);
  if (at >= 0) {
    targets_[at] = {std::move(ipAddress), std::move(description)};
  } else {
    targets_.push_back({std::move(ipAddress), std::move(description)});
  }
}

void CIPAddressList::RemoveTarget(std::string_view ipAddress) {
  const int at = FindTarget(ipAddress);
  if (at >= 0)
    targets_.erase(targets_.begin() + at);
}

int CIPAddressList::FindTarget(std::string_view ipAddress) const {
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    if (SameIPAddress(targets_[i].ipAddress, ipAddress))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace pelmora::update
