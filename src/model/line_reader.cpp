#include "line_reader.h"

#include <cstring>

#include "scan.h"
#include "text_rules.h"

namespace pelmora::model {

namespace {

// What one scan of a line finds.
struct LineScan {
  std::size_t span = 0;                      // bytes before the line feed
  std::size_t end = std::string_view::npos;  // where a comment starts
  std::size_t returns = 0;                   // carriage returns in the line
};

// Scans the line at `base` up to its line feed; false when the text's closing
// 0xFF comes first. The text ends in 0xFF, so a special byte is always found.
inline bool ScanLine(const char* base, std::size_t left, LineScan& scan) {
  std::size_t end = std::string_view::npos;
  std::size_t returns = 0;
  // Quotes matter only to a `!`, which is rare: they are counted when one is met.
  bool quoted = false;
  std::size_t counted = 0;
  for (std::size_t i = 0;; ++i) {
    i += detail::FindAny<'\n', '\r', '!', '\xFF'>(base + i, left - i);
    const auto c = static_cast<unsigned char>(base[i]);
    if (c == '\n') {
      scan = LineScan{i, end, returns};
      return true;
    }
    if (c == 0xFF)
      return false;
    if (c == '\r') {
      ++returns;
    } else if (end == std::string_view::npos) {
      for (; counted < i; ++counted) quoted = quoted != (base[counted] == '"');
      counted = i + 1;
      if (!quoted)
        end = i;  // a `!` outside quotes
    }
  }
}

// `text` without its carriage returns; `scratch` holds it when it had any.
inline std::string_view DropReturns(std::string_view text, std::string& scratch) {
  if (text.find('\r') == std::string_view::npos)
    return text;
  scratch.clear();
  for (const char c : text) {
    if (c != '\r')
      scratch.push_back(c);
  }
  return scratch;
}

}  // namespace

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
    LineScan scan;
    if (!ScanLine(base, text_.size() - pos_, scan)) {
      // The end of the text; what was collected of the line is dropped.
      pos_ = text_.size();
      ++lineNumber_;
      return kEndOfFile;
    }
    pos_ += scan.span + 1;
    ++lineNumber_;

    std::string_view text(base, scan.end == std::string_view::npos ? scan.span : scan.end);
    if (scan.returns != 0)
      text = DropReturns(text, line_);
    text = detail::TrimLeft(text);
    if (scan.span - scan.returns > kMaxLine) {
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
  raw = DropReturns(std::string_view(base, span), line_);
  return true;
}

}  // namespace pelmora::model
