#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_printer.h"
#include "sim_options.h"
#include "test_support.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using pelmora::test::Reply;

model::CStatDataObj Model(const Bytes& write, const Bytes& read, const Bytes& init = {},
                          const Bytes& reset = {}) {
  model::CStatDataObj m;
  m.SetWriteTemplate(write);
  m.SetReadTemplate(read);
  m.SetInitCommand(init);
  m.SetResetCommand(reset);
  m.AddModelName("TR-210");
  m.AddModelName("TR210");
  return m;
}

const model::CStatDataObj kTr210 =
    Model({0x1B, 0x7E, 0x57, 0xFE, 0xFD, 0xFF}, {0x1B, 0x7E, 0x52, 0xFE, 0xFD}, {0x1B, 0x7E, 0x49},
          {0x1B, 0x7E, 0x5A, 0x00});
const Bytes kDeviceIdRequest = {0x1B, 0x01, '@', 'T', 'J', 'L', ' ', 'I', 'D', 0x0D, 0x0A};

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Feeds `input` and returns every answer, concatenated.
std::string Feed(CFakePrinter& printer, const Bytes& input) {
  std::vector<CFakePrinter::Answer> answers;
  printer.Receive(input, answers);
  std::string out;
  for (const auto& a : answers) out += Text(a);
  return out;
}

TEST(FakePrinter, AppliesWritesAndAnswersReads) {
  CFakePrinter printer(kTr210, {});
  // A command split across two arrivals, stray bytes before it, and a whole session.
  EXPECT_EQ(Feed(printer, {0x00, 0x42, 0x1B, 0x7E, 0x49, 0x1B, 0x7E, 0x57, 0x34}), "");
  EXPECT_EQ(Feed(printer, {0x12, 0xAB, 0x1B, 0x7E, 0x57, 0xFF, 0xFF, 0x07, 0x1B, 0x7E, 0x5A, 0x00,
                           0x1B, 0x7E, 0x52, 0x34, 0x12}),
            Reply("EE:3412AB;"));
  EXPECT_EQ(printer.Memory()[0x1234], 0xAB);
  EXPECT_EQ(printer.Memory()[0xFFFF], 0x07);
  const CSimCounters& n = printer.Counters();
  EXPECT_EQ(n.inits, 1u);
  EXPECT_EQ(n.writes, 2u);
  EXPECT_EQ(n.resets, 1u);
  EXPECT_EQ(n.reads, 1u);
  EXPECT_EQ(n.strayBytes, 2u);
  EXPECT_FALSE(printer.HasPendingInput());
}

TEST(FakePrinter, ReplyAddressFollowsTheReadTemplate) {
  const struct {
    const char* name;
    Bytes read;
    std::string fields;
  } cases[] = {
      {"low byte only", {0x1C, 0x52, 0xFE}, "EE:34AB;"},
      {"low byte first", {0x1C, 0x52, 0xFE, 0xFD}, "EE:3412AB;"},
      {"high byte first", {0x1C, 0x52, 0xFD, 0xFE}, "EE:1234AB;"},
  };
  for (const auto& c : cases) {
    CFakePrinter printer(Model({0x1C, 0x57, 0xFE, 0xFF}, c.read), {});
    EXPECT_EQ(Text(printer.ReadReply(0x1234, 0xAB)), Reply(c.fields)) << c.name;
  }
}

TEST(FakePrinter, FaultSwitches) {
  CFakePrinter plain(kTr210, {});
  EXPECT_EQ(Feed(plain, kDeviceIdRequest), "MFG:TAVEN;MDL:TR-210;");

  CSimOptions options;
  options.deviceId = "MFG:TAVEN;MDL:TL-450;";
  options.answerReads = false;
  CFakePrinter other(kTr210, options);
  EXPECT_EQ(Feed(other, kDeviceIdRequest), "MFG:TAVEN;MDL:TL-450;");
  EXPECT_EQ(Feed(other, {0x1B, 0x7E, 0x52, 0x00, 0x00}), "");
  EXPECT_EQ(other.Counters().reads, 1u);

  options = {};
  options.answerDeviceId = false;
  options.badReplyAt = 0x0002;
  CFakePrinter faulty(kTr210, options);
  EXPECT_EQ(Feed(faulty, kDeviceIdRequest), "");
  EXPECT_EQ(faulty.Counters().deviceIdRequests, 1u);
  EXPECT_EQ(Feed(faulty, {0x1B, 0x7E, 0x52, 0x01, 0x00, 0x1B, 0x7E, 0x52, 0x02, 0x00}),
            Reply("EE:010000;") + Reply("EE:0200GG;"));
}

TEST(FakePrinter, LoadImageTakesKnownBytesOnly) {
  model::CStatDataObj m = kTr210;
  m.SetLines() = {{0x0010, "0102xx04"}, {0xFFFE, "EEFF"}};
  ASSERT_EQ(m.BuildImage(m.SetLines()), 1);
  CFakePrinter printer(m, {});
  printer.Memory()[0x0012] = 0x77;
  printer.LoadImage(m);
  const auto memory = printer.Memory();
  EXPECT_EQ(memory[0x0010], 0x01);
  EXPECT_EQ(memory[0x0011], 0x02);
  EXPECT_EQ(memory[0x0012], 0x77);
  EXPECT_EQ(memory[0x0013], 0x04);
  EXPECT_EQ(memory[0xFFFE], 0xEE);
  EXPECT_EQ(memory[0xFFFF], 0xFF);
}

TEST(SimDump, RoundTripAndMalformedLines) {
  Bytes memory(CFakePrinter::kMemorySize);
  for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<std::uint8_t>(i * 31 + 7);
  const std::string text = FormatDump(memory);
  EXPECT_EQ(text.substr(0, 70),
            "0000:0726456483A2C1E0FF1E3D5C7B9AB9D8F71635547392B1D0EF0E2D4C6B8AA9C8\n");
  Bytes back(CFakePrinter::kMemorySize);
  std::string error;
  ASSERT_TRUE(ParseDump(text, back, error)) << error;
  EXPECT_EQ(back, memory);

  const struct {
    const char* text;
    bool ok;
  } cases[] = {
      {"\r\n0010:abCD\r\n\n", true}, {"FFFF:01", true},  {"FFFF:0102", false}, {"0010 0102", false},
      {"0010:012", false},           {"001G:01", false}, {"0010:0Z", false},   {"10:01", false},
  };
  for (const auto& c : cases) {
    Bytes target(CFakePrinter::kMemorySize);
    EXPECT_EQ(ParseDump(c.text, target, error), c.ok) << c.text;
  }
  Bytes target(CFakePrinter::kMemorySize);
  ASSERT_TRUE(ParseDump("\r\n0010:abCD\r\n", target, error));
  EXPECT_EQ(target[0x10], 0xAB);
  EXPECT_EQ(target[0x11], 0xCD);
  EXPECT_FALSE(ParseDump("0000:00\n0010:0Z\n", target, error));
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
}

TEST(SimCommandLine, OptionsAndMistakes) {
  CSimCommandLine line;
  std::string error;
  ASSERT_TRUE(ParseSimCommandLine({"m.cfg", "--no-reply", "--bad-reply-at", "0x00A1",
                                   "--slow-reply", "250", "--init-from-model", "--dump", "d.txt"},
                                  line, error))
      << error;
  EXPECT_EQ(line.modelPath, "m.cfg");
  EXPECT_FALSE(line.options.answerReads);
  EXPECT_TRUE(line.options.answerDeviceId);
  EXPECT_EQ(line.options.badReplyAt, 0x00A1);
  EXPECT_EQ(line.options.replyDelay.count(), 250);
  EXPECT_TRUE(line.initFromModel);
  EXPECT_EQ(line.dumpPath, "d.txt");
  EXPECT_FALSE(line.options.deviceId.has_value());

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"m.cfg", "--bogus"},
      {"m.cfg", "--dump"},
      {"m.cfg", "--bad-reply-at", "10000"},
      {"m.cfg", "--bad-reply-at", "0x"},
      {"m.cfg", "--slow-reply", "-5"},
      {"m.cfg", "other.cfg"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(ParseSimCommandLine(args, line, error)) << testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(ParseSimCommandLine({"--help"}, line, error));
  EXPECT_TRUE(line.help);
}

}  // namespace
}  // namespace pelmora::sim
