// The command stream: golden streams for the shapes an image can take, equality with the
// address-by-address walk on random images, the logged form the send sequences use, and
// writing the binary command file.
#include "protocol/command_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>

#include "model/file_ops.h"
#include "model/memory_image.h"
#include "protocol/commands.h"
#include "protocol_test_support.h"

namespace pelmora::protocol::test {
namespace {

using Lines = std::vector<model::CDataLine>;

const Bytes kInit = B({0x1B, 0x40});
const Bytes kWrite = B({0x1B, 0x57, 0xFE, 0xFD, 0xFF});
const Bytes kReset = B({0x1B, 0x52});

Bytes W(std::uint16_t address, std::uint8_t data) {
  return B({0x1B, 0x57, address & 0xFF, address >> 8, data});
}

// The stream as the binary file describes it: one ReadBytes per address from the first
// address up, each command substituted byte by byte from the template.
Bytes ReferenceStream(const model::CStatDataObj& m) {
  Bytes out = m.InitCommand();
  for (std::uint32_t address = m.GetFirstAddress(); address <= 0xFFFF; ++address) {
    std::uint8_t data = 0;
    const std::uint32_t result = m.ReadBytes(address, std::span(&data, 1));
    if (result == model::kReadOutOfBlocks)
      break;
    if (result != model::kReadOk)
      continue;
    for (std::uint8_t b : m.WriteTemplate()) {
      out.push_back(b == 0xFF   ? data
                    : b == 0xFE ? static_cast<std::uint8_t>(address & 0xFF)
                    : b == 0xFD ? static_cast<std::uint8_t>(address >> 8)
                                : b);
    }
  }
  out.insert(out.end(), m.ResetCommand().begin(), m.ResetCommand().end());
  return out;
}

// The stream put together from the visitor form.
Bytes VisitedStream(const model::CStatDataObj& m, CommandLog log = CommandLog::kQuiet) {
  const CCommandStream stream(m);
  Bytes out(stream.InitCommand().begin(), stream.InitCommand().end());
  stream.ForEachWriteCommand(
      [&](std::uint16_t, std::uint8_t, std::span<const std::uint8_t> command) {
        out.insert(out.end(), command.begin(), command.end());
      },
      log);
  out.insert(out.end(), stream.ResetCommand().begin(), stream.ResetCommand().end());
  return out;
}

TEST(CommandStreamTest, GoldenStreams) {
  std::string wholeText;
  for (int i = 0; i < 32; ++i) wholeText += "C" + std::string(1, "0123456789ABCDEF"[i % 16]);
  const Lines wholeBlock = {{0x20, "B1B2"}, {0x10, wholeText}};
  const struct {
    const char* name;
    ModelParts parts;
    Bytes stream;
  } rows[] = {
      {"gap and unknown byte",
       {kInit, kWrite, kReset, {}, {{0x10, "AAxx"}, {0x20, "BB"}}},
       Cat({kInit, W(0x10, 0xAA), W(0x20, 0xBB), kReset})},
      {"no init or reset command",
       {{}, kWrite, {}, {}, {{0x10, "AAxx"}, {0x20, "BB"}}},
       Cat({W(0x10, 0xAA), W(0x20, 0xBB)})},
      {"no blocks", {kInit, kWrite, kReset, {}, {}}, Cat({kInit, kReset})},
      {"nothing at all", {{}, kWrite, {}, {}, {}}, {}},
      {"no write template", {kInit, {}, kReset, {}, {{0x10, "AA"}}}, Cat({kInit, kReset})},
      {"only unknown bytes", {kInit, kWrite, kReset, {}, {{0x10, "xxXX"}}}, Cat({kInit, kReset})},
      {"adjacent blocks",
       {{}, kWrite, {}, {}, {{0x10, "01"}, {0x11, "02"}}},
       Cat({W(0x10, 1), W(0x11, 2)})},
      {"last block ends at 0xFFFF",
       {{}, kWrite, kReset, {}, {{0xFFFE, "0102"}}},
       Cat({W(0xFFFE, 1), W(0xFFFF, 2), kReset})},
      {"block runs past 0xFFFF",
       {{}, kWrite, kReset, {}, {{0xFFFF, "0102"}}},
       Cat({W(0xFFFF, 1), kReset})},
      // The walk starts at the first block; a later block below it is never reached.
      {"later block below the first",
       {{}, kWrite, {}, {}, {{0x20, "BB"}, {0x10, "AA"}}},
       W(0x20, 0xBB)},
      {"later block below, then above",
       {{}, kWrite, {}, {}, {{0x30, "01"}, {0x10, "02"}, {0x40, "03"}}},
       Cat({W(0x30, 1), W(0x40, 3)})},
      // A later block that covers the first one's addresses: the first one answers for
      // them, the later one for the rest.
      {"overlapping blocks",
       {{}, kWrite, {}, {}, wholeBlock},
       [] {
         Bytes s = Cat({W(0x20, 0xB1), W(0x21, 0xB2)});
         for (int a = 0x22; a < 0x30; ++a) s = Cat({s, W(a, 0xC0 | (a - 0x10) % 16)});
         return s;
       }()},
      {"template of placeholders only", {{}, B({0xFF}), {}, {}, {{0x10, "0102"}}}, B({1, 2})},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const model::CStatDataObj m = MakeModel(r.parts);
    EXPECT_TRUE(SameBytes(r.stream, BuildCommandStream(m)));
    EXPECT_TRUE(SameBytes(r.stream, VisitedStream(m)));
    EXPECT_TRUE(SameBytes(r.stream, ReferenceStream(m)));  // the reference itself is right
  }
}

// Random images: sorted and unsorted, gaps, overlaps, unknown bytes, blocks near 0xFFFF,
// and templates with placeholders anywhere.
TEST(CommandStreamTest, SameAsAddressByAddressWalk) {
  std::mt19937 rng(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* digits = "0123456789ABCDEFxx";
  std::deque<std::string> texts;
  for (int round = 0; round < 2000; ++round) {
    ModelParts parts;
    for (int i = pick(0, 6); i > 0; --i)
      parts.init.push_back(static_cast<std::uint8_t>(pick(0, 255)));
    for (int i = pick(0, 20); i > 0; --i) {
      parts.write.push_back(
          static_cast<std::uint8_t>(pick(0, 3) == 0 ? pick(0xFD, 0xFF) : pick(0, 255)));
    }
    for (int i = pick(0, 3); i > 0; --i)
      parts.reset.push_back(static_cast<std::uint8_t>(pick(0, 255)));
    const int base = pick(0, 3) == 0 ? 0xFFC0 : pick(0, 0x100);
    for (int i = pick(0, 10); i > 0; --i) {
      model::CDataLine line;
      line.address = static_cast<std::uint16_t>(std::min(0xFFFF, base + pick(0, 0x60)));
      std::string& text = texts.emplace_back();  // the line views it
      for (int j = pick(pick(0, 20) == 0 ? 0 : 1, 32); j > 0; --j) {
        text += digits[pick(0, 15)];
        text += digits[pick(0, 17)];
      }
      line.data = text;
      parts.lines.push_back(line);
    }
    if (pick(0, 1) == 0) {
      std::sort(parts.lines.begin(), parts.lines.end(),
                [](const auto& a, const auto& b) { return a.address < b.address; });
    }
    const model::CStatDataObj m = MakeModel(parts);
    const Bytes expected = ReferenceStream(m);
    ASSERT_TRUE(SameBytes(expected, BuildCommandStream(m))) << "round " << round;
    ASSERT_TRUE(SameBytes(expected, VisitedStream(m))) << "round " << round;
  }
}

// The send sequences trace every command as MakeWriteCommand does, and send what it builds.
TEST(CommandStreamTest, LoggedWalkMatchesMakeWriteCommand) {
  for (const Bytes& tmpl : {kWrite, Bytes{}}) {
    SCOPED_TRACE(tmpl.empty() ? "no write template" : "write template");
    const model::CStatDataObj m =
        MakeModel({kInit, tmpl, kReset, {}, {{0x30, "01xx"}, {0x10, "02"}, {0x33, "0304"}}});
    ScratchLog log(kLogStamp);
    Bytes expected = m.InitCommand();
    for (std::uint16_t address : {0x30, 0x33, 0x34}) {
      std::uint8_t data = 0;
      ASSERT_EQ(m.ReadBytes(address, std::span(&data, 1)), model::kReadOk);
      std::array<std::uint8_t, kCommandBufferSize> command{};
      std::uint32_t length = 0;
      if (MakeWriteCommand(m, address, data, command, length) && length != 0) {
        expected.insert(expected.end(), command.begin(), command.begin() + length);
      }
    }
    expected.insert(expected.end(), kReset.begin(), kReset.end());
    const std::vector<std::string> expectedLog = log.TakeLines();
    ASSERT_EQ(expectedLog.size(), 3u * 5u);

    EXPECT_TRUE(SameBytes(expected, VisitedStream(m, CommandLog::kAsMakeWriteCommand)));
    EXPECT_EQ(log.TakeLines(), expectedLog);
    EXPECT_TRUE(SameBytes(expected, VisitedStream(m, CommandLog::kQuiet)));
    EXPECT_TRUE(SameBytes(expected, BuildCommandStream(m)));
    EXPECT_TRUE(log.TakeLines().empty());  // the binary file logs nothing per command
  }
}

class BinaryFileTest : public ::testing::Test {
 protected:
  static Bytes ReadFile(const std::string& path) { return Text(pelmora::test::ReadFile(path)); }

  pelmora::test::TempDir folder_;
  const std::string& dir_ = folder_.Path();
};

TEST_F(BinaryFileTest, ReplacesTheFileWithTheStream) {
  const model::CStatDataObj m =
      MakeModel({kInit, kWrite, kReset, {}, {{0x10, "AAxx"}, {0x20, "BB"}}});
  const std::string path = dir_ + "/out.bin";
  std::ofstream(path, std::ios::binary) << std::string(1000, 'z');  // longer than the stream
  std::string error = "untouched";
  ASSERT_TRUE(WriteBinaryFile(m, path, error));
  EXPECT_EQ(error, "untouched");
  EXPECT_TRUE(SameBytes(Cat({kInit, W(0x10, 0xAA), W(0x20, 0xBB), kReset}), ReadFile(path)));

  const model::CStatDataObj empty = MakeModel({});
  ASSERT_TRUE(WriteBinaryFile(empty, path, error));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

ssize_t ShortThenNoSpace(int fd, const void* data, std::size_t size) {
  static int calls = 0;
  if (calls++ % 2 == 0)
    return ::write(fd, data, std::min<std::size_t>(size, 3));
  errno = ENOSPC;
  return -1;
}

// Each failure names the cause and leaves whatever was there as it was, with no
// temporary file beside it.
TEST_F(BinaryFileTest, FailuresNameTheCause) {
  const model::CStatDataObj m = MakeModel({kInit, kWrite, kReset, {}, {{0x10, "AA"}}});
  const std::string old = dir_ + "/old.bin", fifo = dir_ + "/fifo.bin";
  std::ofstream(old, std::ios::binary) << "old";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const auto noSpace = [](model::detail::FileOps& o) { o.write = ShortThenNoSpace; };
  const auto renameFails = [](model::detail::FileOps& o) {
    o.rename = [](const char*, const char*, bool) { return errno = EXDEV, -1; };
  };
  const struct {
    const char* name;
    std::string path;
    std::string error;
    void (*inject)(model::detail::FileOps&) = nullptr;
  } rows[] = {
      {"missing folder", dir_ + "/no/out.bin",
       "Cannot create \"" + dir_ + "/no/out.bin\": " + std::strerror(ENOENT)},
      {"a folder", dir_, "Cannot create \"" + dir_ + "\": " + std::strerror(EISDIR)},
      {"a FIFO, not waited on", fifo, "Cannot create \"" + fifo + "\": it is not a regular file"},
      {"a device", "/dev/full", "Cannot create \"/dev/full\": it is not a regular file"},
      {"a full disk", old, "Cannot write \"" + old + "\": " + std::strerror(ENOSPC), noSpace},
      {"a failed rename", old, "Cannot write \"" + old + "\": " + std::strerror(EXDEV),
       renameFails},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    model::detail::FileOps ops = model::detail::CurrentFileOps();
    if (r.inject != nullptr)
      r.inject(ops);
    const model::detail::FileOps previous = model::detail::ReplaceFileOps(ops);
    std::string error;
    EXPECT_FALSE(WriteBinaryFile(m, r.path, error));
    model::detail::ReplaceFileOps(previous);
    EXPECT_EQ(error, r.error);
    EXPECT_EQ(ReadFile(old), B({'o', 'l', 'd'}));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"fifo.bin", "old.bin"}));
  }
}

}  // namespace
}  // namespace pelmora::protocol::test
