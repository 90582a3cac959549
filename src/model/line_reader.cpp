#include "line_reader.h"

#include <cstring>

#include "scan.h"
#include "text_rules.h"

namespace pelmora::model {

CLineReader::CLineReader(std::string_view text, std::uint32_t linesBefore)
    : text_(text), lineNumber_(linesBefore) {
  // The scans stop at the closing 0xFF instead of checking the length per byte.
  if (text_.empty() || text_.back() != '\xFF')
    text_ = {};
}

CLineReader::Status CLineReader::Next(std::string_view& line) {
  for (;;) {
    if (pos_ >= text_.size()) {
      ++lineNumber_;
      return kEndOfFile;
    }
    const char* base = text_.data() + pos_;
    const std::size_t left = text_.size() - pos_;
    std::size_t i = 0;
    std::size_t end = std::string_view::npos;  // where a comment starts
    std::size_t returns = 0;
    bool quoted = false;
    for (;; ++i) {
      // The text ends in 0xFF, so a special byte is always found.
      i += detail::FindAny<'\n', '\r', '"', '!', '\xFF'>(base + i, left - i);
      const auto c = static_cast<unsigned char>(base[i]);
      if (c == '\n')
        break;
      if (c == 0xFF) {
        // The end of the text; what was collected of the line is dropped.
        pos_ = text_.size();
        ++lineNumber_;
        return kEndOfFile;
      }
      if (c == '\r') {
        ++returns;
      } else if (end == std::string_view::npos) {
        if (c == '"') {
          quoted = !quoted;
        } else if (!quoted) {
          end = i;  // a `!` outside quotes
        }
      }
    }
    const std::size_t span = i;
    pos_ += span + 1;
    ++lineNumber_;

    std::string_view text(base, end == std::string_view::npos ? span : end);
    if (returns != 0 && text.find('\r') != std::string_view::npos) {
      line_.clear();
      for (const char c : text) {
        if (c != '\r')
          line_.push_back(c);
      }
      text = line_;
    }
    text = detail::TrimLeft(text);
    if (span - returns > kMaxLine) {
      line = text;
      return kTooLong;
    }
    if (text.empty())
      continue;
    line = text;
    return kLine;
  }
}

bool CLineReader::NextRaw(std::string_view& raw) {
  if (pos_ >= text_.size()) {
    ++lineNumber_;
    return false;
  }
  const char* base = text_.data() + pos_;
  const std::size_t left = text_.size() - pos_;
  const char* lf = static_cast<const char*>(std::memchr(base, '\n', left));
  const std::size_t span = lf ? static_cast<std::size_t>(lf - base) : left;
  if (lf == nullptr || std::memchr(base, '\xFF', span) != nullptr) {
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
      if (c != '\r')
        line_.push_back(c);
    }
    raw = line_;
  }
  return true;
}

}  // namespace pelmora::model
