#include "command_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Status = CCommandMatcher::Status;

struct Case {
  const char* name;
  Bytes input;
  bool idle;
  Status status;
  CommandKind kind = CommandKind::kDeviceId;
  std::uint16_t address = 0;
  std::uint8_t data = 0;
  std::size_t length = 0;
};

void Check(const CCommandMatcher& matcher, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const CCommandMatcher::CMatch m = matcher.Match(c.input, c.idle);
    EXPECT_EQ(m.status, c.status) << c.name;
    if (m.status == Status::kCommand && c.status == Status::kCommand) {
      EXPECT_EQ(m.command.kind, c.kind) << c.name;
      EXPECT_EQ(m.command.address, c.address) << c.name;
      EXPECT_EQ(m.command.data, c.data) << c.name;
      EXPECT_EQ(m.length, c.length) << c.name;
    }
  }
}

TEST(CommandMatcher, TwoByteAddressModel) {
  CCommandMatcher m;
  m.Add(CommandKind::kDeviceId, Bytes{0x1B, 0x01, '@', 'T', 'J', 'L', ' ', 'I', 'D', 0x0D, 0x0A});
  m.Add(CommandKind::kInit, Bytes{0x1B, 0x7E, 0x49});
  m.Add(CommandKind::kReset, Bytes{0x1B, 0x7E, 0x5A, 0x00});
  m.Add(CommandKind::kWrite, Bytes{0x1B, 0x7E, 0x57, 0xFE, 0xFD, 0xFF});
  m.Add(CommandKind::kRead, Bytes{0x1B, 0x7E, 0x52, 0xFE, 0xFD});
  m.Add(CommandKind::kReset, Bytes{});  // a model without such a command
  Check(
      m,
      {
          {"write",
           {0x1B, 0x7E, 0x57, 0x34, 0x12, 0xAB, 0x99},
           false,
           Status::kCommand,
           CommandKind::kWrite,
           0x1234,
           0xAB,
           6},
          {"write of placeholder values",
           {0x1B, 0x7E, 0x57, 0xFE, 0xFD, 0xFF},
           false,
           Status::kCommand,
           CommandKind::kWrite,
           0xFDFE,
           0xFF,
           6},
          {"read",
           {0x1B, 0x7E, 0x52, 0xFF, 0x00},
           false,
           Status::kCommand,
           CommandKind::kRead,
           0x00FF,
           0,
           5},
          {"initialise", {0x1B, 0x7E, 0x49}, false, Status::kCommand, CommandKind::kInit, 0, 0, 3},
          {"reset",
           {0x1B, 0x7E, 0x5A, 0x00},
           false,
           Status::kCommand,
           CommandKind::kReset,
           0,
           0,
           4},
          {"device ID",
           {0x1B, 0x01, '@', 'T', 'J', 'L', ' ', 'I', 'D', 0x0D, 0x0A},
           false,
           Status::kCommand,
           CommandKind::kDeviceId,
           0,
           0,
           11},
          {"start of several", {0x1B}, true, Status::kNeedMore},
          {"start of a write", {0x1B, 0x7E, 0x57, 0x34}, true, Status::kNeedMore},
          {"reset with a wrong last byte", {0x1B, 0x7E, 0x5A, 0x01}, false, Status::kNoCommand},
          {"device ID with LF for CR",
           {0x1B, 0x01, '@', 'T', 'J', 'L', ' ', 'I', 'D', 0x0A},
           false,
           Status::kNoCommand},
          {"stray byte", {0x00, 0x1B, 0x7E, 0x49}, false, Status::kNoCommand},
          {"nothing yet", {}, false, Status::kNeedMore},
      });
}

TEST(CommandMatcher, PlaceholdersByValueWhereverTheyStand) {
  CCommandMatcher m;
  // The data byte leads; the low address byte appears twice and must agree.
  m.Add(CommandKind::kWrite, Bytes{0xFF, 0x57, 0xFE, 0xFE});
  // A read template's 0xFF is a fixed byte.
  m.Add(CommandKind::kRead, Bytes{0x1C, 0xFF, 0xFE});
  Check(m, {
               {"leading data byte",
                {0x42, 0x57, 0x10, 0x10},
                false,
                Status::kCommand,
                CommandKind::kWrite,
                0x0010,
                0x42,
                4},
               {"repeated address disagrees", {0x42, 0x57, 0x10, 0x11}, false, Status::kNoCommand},
               {"read with its fixed 0xFF",
                {0x1C, 0xFF, 0x20},
                false,
                Status::kCommand,
                CommandKind::kRead,
                0x0020,
                0,
                3},
               {"read without it", {0x1C, 0x00, 0x20}, false, Status::kNoCommand},
           });
}

TEST(CommandMatcher, ACommandThatALongerOneExtendsWaitsForIdle) {
  CCommandMatcher m;
  m.Add(CommandKind::kInit, Bytes{0x1B, 0x40});
  m.Add(CommandKind::kWrite, Bytes{0x1B, 0x40, 0xFE, 0xFF});
  Check(m, {
               {"busy line", {0x1B, 0x40}, false, Status::kNeedMore},
               {"idle line", {0x1B, 0x40}, true, Status::kCommand, CommandKind::kInit, 0, 0, 2},
               {"longer one complete",
                {0x1B, 0x40, 0x05, 0x06},
                false,
                Status::kCommand,
                CommandKind::kWrite,
                0x0005,
                0x06,
                4},
               {"neither", {0x1B, 0x41}, true, Status::kNoCommand},
           });
  // Equal patterns: the one added first wins.
  CCommandMatcher tie;
  tie.Add(CommandKind::kReset, Bytes{0x1B, 0x52});
  tie.Add(CommandKind::kRead, Bytes{0x1B, 0x52});
  Check(tie, {{"tie", {0x1B, 0x52}, false, Status::kCommand, CommandKind::kReset, 0, 0, 2}});
}

}  // namespace
}  // namespace pelmora::sim
