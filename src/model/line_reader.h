// Splits definition-file text into logical lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelmora::model {

// Walks a text buffer that ends in a 0xFF byte. A line ends at a line feed;
// carriage returns are dropped; a `!` outside double quotes starts a comment
// that runs to the line feed; a 0xFF byte ends the text and drops the
// unfinished line. Returned lines are trimmed on the left and never empty.
class CLineReader {
 public:
  enum Status { kLine, kEndOfFile, kTooLong };
  static constexpr std::size_t kMaxLine = 1024;

  CLineReader() = default;
  // `text` must end in a 0xFF byte (a text that does not reads as empty); the
  // reader never looks beyond it.
  // `linesBefore`: lines counted before this text, for a text read in parts.
  explicit CLineReader(std::string_view text, std::uint32_t linesBefore = 0);

  // Reads the next non-empty line into `line` (valid until the next call).
  // Returns kTooLong for a line of more than 1024 characters counting comment
  // characters (`line` then holds it all the same), after which reading may go
  // on with the next line.
  Status Next(std::string_view& line);

  // Reads the next line as it stands in the text, carriage returns dropped but
  // comments, blanks and empty lines kept. False at the end of the text.
  bool NextRaw(std::string_view& raw);

  // Lines counted so far: every line feed, and the 0xFF that ends the text.
  std::uint32_t LineNumber() const { return lineNumber_; }
  std::size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint32_t lineNumber_ = 0;
  std::string line_;
};

}  // namespace pelmora::model
