#include "big_model.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace pelmora::bench {
namespace {

constexpr std::uint32_t kDataLines = 2048;
constexpr std::uint32_t kBytesPerLine = 32;

constexpr std::string_view kHeader =
    "! TAVEN TX-9000 benchmark model, generated\n"
    "Version = 0110\n"
    "ModelName = \"TAVEN TX-9000\", \"TAVEN TX-9000S\"\n"
    "Interface = \"USB\", \"Serial\", \"Parallel\"\n"
    "DriverName = \"TAVEN TX-9000 Series\"\n"
    "PrinterName = \"TAVEN TX-9000\"\n"
    "Edian = little\n"
    "CmdLine = 1B57MMNNXX\n"
    "GetCmd = 1B52MMNN\n"
    "InitLine = 1B40\n"
    "RstCmd = 1B3F0A00\n";
constexpr std::uint32_t kHeaderLines = 11;

constexpr std::string_view kOption =
    "[Option]\n"
    "Description = \"Generated model with the largest supported line count\"\n"
    "[End]\n";
constexpr std::uint32_t kOptionLines = 3;

// Section lines and their [End] lines around the items and the data.
constexpr std::uint32_t kFixedLines = kHeaderLines + 2 + 2 + (kDataLines + 2) * 2 + kOptionLines;

// Deterministic byte source so that every run parses the same text.
class Bytes {
 public:
  std::uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<std::uint8_t>(state_ >> 8);
  }

 private:
  std::uint32_t state_ = 0x2545F491u;
};

void AppendHex(std::string& out, std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out += kDigits[(value >> shift) & 0xF];
  }
}

void AppendDec(std::string& out, std::uint32_t value) {
  std::array<char, 12> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), "%u", value);
  out.append(buf.data(), static_cast<std::size_t>(n));
}

// Writes items into one page, handing out addresses in 0000-FFFF so that every
// item lies inside the image.
class ItemWriter {
 public:
  explicit ItemWriter(std::string& out) : out_(out) {}

  // Fills exactly `lines` lines with items; one line at least.
  void WritePage(std::uint32_t lines) {
    // One round of every kind takes 27 lines; single-line bit items fill the rest.
    constexpr std::uint32_t kRoundLines = 10 + 1 + 1 + 8 + 6 + 1;
    while (lines >= kRoundLines) {
      NumberWithChoices();
      PlainNumber();
      Bit();
      CodeWithValues();
      CodeWithTargets();
      Bit();
      lines -= kRoundLines;
    }
    for (; lines > 0; --lines) Bit();
  }

 private:
  // Reserves `width` consecutive bytes and returns the first address.
  std::uint32_t Take(std::uint32_t width) {
    if (next_ + width > 0x10000)
      next_ = 0;
    const std::uint32_t first = next_;
    next_ += width;
    return first;
  }

  void Name(std::string_view label) {
    out_ += '"';
    out_ += label;
    out_ += ' ';
    AppendDec(out_, ++serial_);
    out_ += "\" : ";
  }

  void Range(std::uint32_t first, std::uint32_t width) {
    AppendHex(out_, first, 4);
    if (width > 1) {
      out_ += '-';
      AppendHex(out_, first + width - 1, 4);
    }
  }

  // 10 lines: the item, eight choices, End.
  void NumberWithChoices() {
    Name("Print density");
    out_ += "type = number, address = ";
    Range(Take(2), 2);
    out_ +=
        ", range = (0, 65535), decimal = 0, unit = \"level\", "
        "CAUTION = \"Takes effect after reset.\", number = Start\n";
    for (std::uint32_t i = 0; i < 8; ++i) {
      out_ += "  \"Level ";
      AppendDec(out_, i + 1);
      out_ += "\" : number = ";
      AppendDec(out_, i * 3);
      out_ += '\n';
    }
    out_ += "  End : -\n";
  }

  // 1 line, in one of four flavours.
  void PlainNumber() {
    switch (flavour_++ % 4) {
      case 0:
        Name("Paper width");
        out_ += "type = number, address = ";
        Range(Take(2), 2);
        out_ += ", range = (0, 8000), scale = 10, decimal = 1, unit = \"mm\"\n";
        break;
      case 1:
        Name("Top margin");
        out_ += "type = number, address = ";
        Range(Take(2), 2);
        out_ +=
            ", range = (-500, 500), scale = 10, offset = 5, decimal = 1, unit = \"mm\", "
            "edian = big\n";
        break;
      case 2:
        Name("Line spacing");
        out_ += "type = number, address = ";
        Range(Take(1), 1);
        out_ += ", range = (0, 255), scale = 1, uniq = (0, 256), unit = \"dots\"\n";
        break;
      default:
        Name("Cut counter");
        out_ += "type = number, address = ";
        Range(Take(4), 4);
        out_ += ", range = (0, 2147483647), scale = 1\n";
        break;
    }
  }

  // 1 line.
  void Bit() {
    Name("Auto cut");
    out_ += "type = bit, address = ";
    AppendHex(out_, Take(1), 4);
    out_ += '#';
    AppendDec(out_, serial_ % 8);
    out_ += ", On = \"Enable\", Off = \"Disable\"";
    if (serial_ % 3 == 0)
      out_ += ", CAUTION = \"Check the cutter blade first.\"";
    out_ += '\n';
  }

  // 8 lines: the item, six choices with raw values, End.
  void CodeWithValues() {
    static constexpr std::array<std::string_view, 6> kRates = {"4800",  "9600",  "19200",
                                                               "38400", "57600", "115200"};
    Name("Baud rate");
    out_ += "type = code, address = ";
    Range(Take(1), 1);
    out_ += ", Code = Start\n";
    for (std::uint32_t i = 0; i < kRates.size(); ++i) {
      out_ += "  \"";
      out_ += kRates[i];
      out_ += " bps\" : Code = ";
      AppendHex(out_, i, 2);
      out_ += '\n';
    }
    out_ += "  End : -\n";
  }

  // 6 lines: the item, four choices with a bit and a byte target each, End.
  void CodeWithTargets() {
    static constexpr std::array<std::string_view, 4> kModes = {"Fast", "Normal", "Quiet", "Eco"};
    const std::uint32_t flagByte = Take(1);
    const std::uint32_t levelByte = Take(1);
    Name("Print mode");
    out_ += "type = code, CAUTION = \"Changes the print speed.\", Code = Start\n";
    for (std::uint32_t i = 0; i < kModes.size(); ++i) {
      out_ += "  \"";
      out_ += kModes[i];
      out_ += "\" : set = (";
      out_ += i == 0 ? '1' : '0';
      out_ += ", ";
      AppendHex(out_, flagByte, 4);
      out_ += "#0), set = (";
      AppendHex(out_, i + 1, 2);
      out_ += ", ";
      AppendHex(out_, levelByte, 4);
      out_ += ")\n";
    }
    out_ += "  End : -\n";
  }

  std::string& out_;
  std::uint32_t next_ = 0;
  std::uint32_t serial_ = 0;
  std::uint32_t flavour_ = 0;
};

// 2,048 lines of 32 bytes from 0000 to FFFF. Factory data has an unknown byte now
// and then; mask data locks a bit in every seventh byte.
void WriteData(std::string& out, bool mask, Bytes& bytes) {
  std::uint32_t n = 0;
  for (std::uint32_t line = 0; line < kDataLines; ++line) {
    AppendHex(out, line * kBytesPerLine, 4);
    out += ':';
    for (std::uint32_t i = 0; i < kBytesPerLine; ++i, ++n) {
      if (mask) {
        AppendHex(out, n % 7 == 0 ? 1u << (n % 8) : 0u, 2);
      } else if (n % 1999 == 0) {
        out += "xx";
      } else {
        AppendHex(out, bytes.Next(), 2);
      }
    }
    out += '\n';
  }
}

}  // namespace

std::uint32_t BigModelMinLines() {
  return kFixedLines + 1;
}

std::string MakeBigModel(std::uint32_t lineCount) {
  if (lineCount < BigModelMinLines())
    lineCount = BigModelMinLines();
  const std::uint32_t itemLines = lineCount - kFixedLines;
  // A quarter of the items on the Basic page, the rest on the Advanced page.
  const std::uint32_t basicLines = itemLines / 4 > 0 ? itemLines / 4 : 1;

  std::string out;
  out.reserve(static_cast<std::size_t>(lineCount) * 48);
  out += kHeader;
  ItemWriter items(out);
  out += "[Standard]\n";
  items.WritePage(basicLines);
  out += "[End]\n[Advance]\n";
  items.WritePage(itemLines - basicLines);
  out += "[End]\n";

  Bytes bytes;
  out += "[Default]\n";
  WriteData(out, false, bytes);
  out += "[End]\n[Mask]\n";
  WriteData(out, true, bytes);
  out += "[End]\n";
  out += kOption;
  return out;
}

bool WriteBigModel(const std::string& path, std::uint32_t lineCount) {
  const std::string text = MakeBigModel(lineCount);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace pelmora::bench
