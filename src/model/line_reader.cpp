#include "line_reader.h"

#include <cstring>

#include "text_rules.h"

namespace pelmora::model {

CLineReader::Status CLineReader::Next(std::string_view& line) {
  for (;;) {
    const char* base = text_.data() + pos_;
    const std::size_t left = text_.size() - pos_;
    const char* lf = static_cast<const char*>(std::memchr(base, '\n', left));
    const std::size_t span = lf ? static_cast<std::size_t>(lf - base) : left;
    // A 0xFF byte ends the text; what was collected of the line is dropped.
    if (left == 0 || std::memchr(base, '\xFF', span) != nullptr || lf == nullptr) {
      pos_ = text_.size();
      ++lineNumber_;
      return kEndOfFile;
    }
    pos_ += span + 1;
    ++lineNumber_;

    // Find where a comment starts and whether carriage returns must be dropped.
    std::size_t end = span;
    std::size_t returns = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < span; ++i) {
      const char c = base[i];
      if (c == '\r') {
        ++returns;
      } else if (end == span) {
        if (c == '"') {
          quoted = !quoted;
        } else if (c == '!' && !quoted) {
          end = i;
        }
      }
    }
    std::string_view text(base, end);
    if (returns != 0 && text.find('\r') != std::string_view::npos) {
      line_.clear();
      for (const char c : text) {
        if (c != '\r') line_.push_back(c);
      }
      text = line_;
    }
    text = detail::TrimLeft(text);
    if (span - returns > kMaxLine) {
      line = text;
      return kTooLong;
    }
    if (text.empty()) continue;
    line = text;
    return kLine;
  }
}

bool CLineReader::NextRaw(std::string_view& raw) {
  const char* base = text_.data() + pos_;
  const std::size_t left = text_.size() - pos_;
  const char* lf = static_cast<const char*>(std::memchr(base, '\n', left));
  const std::size_t span = lf ? static_cast<std::size_t>(lf - base) : left;
  if (left == 0 || lf == nullptr || std::memchr(base, '\xFF', span) != nullptr) {
    pos_ = text_.size();
    ++lineNumber_;
    return false;
  }
  pos_ += span + 1;
  ++lineNumber_;
  raw = std::string_view(base, span);
  if (raw.find('\r') != std::string_view::npos) {
    line_.clear();
    for (const char c : raw) {
      if (c != '\r') line_.push_back(c);
    }
    raw = line_;
  }
  return true;
}

}  // namespace pelmora::model
