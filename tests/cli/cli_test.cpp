// Runs the real pelmora-cli binary and checks its output byte for byte: the
// output of `check` and `show` is a contract that scripts rely on.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

std::string FormError(unsigned errorCode, unsigned line) {
  char text[128];
  std::snprintf(text, sizeof text,
                "The form of the file isn't right.\n ErrorCode = 0x%08X\n Line = %u\n", errorCode,
                line);
  return text;
}

// gtest parameter names allow only letters, digits and underscores.
std::string TestName(const fs::path& path) {
  std::string name = path.stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)))
      c = '_';
  }
  return name;
}

// ---------------------------------------------------------------------------
// Well-formed files: every shipped example, plus fixtures for the less common
// text rules. Each has a golden `<stem>.show` in tests/data/cli, worked out by hand.

std::vector<fs::path> WellFormedFiles() {
  std::vector<fs::path> files;
  for (const char* folder : {"examples/model", "examples/setting"}) {
    for (const auto& entry : fs::directory_iterator(kSourceDir / folder)) {
      if (entry.path().extension() == ".cfg")
        files.push_back(entry.path());
    }
  }
  for (const char* fixture : {"escapes.cfg", "number_text.cfg", "image_gaps.cfg"}) {
    files.push_back(kDataDir / fixture);
  }
  std::sort(files.begin(), files.end());
  return files;
}

class WellFormedFile : public testing::TestWithParam<fs::path> {};

TEST_P(WellFormedFile, CheckPrintsNothing) {
  const RunResult r = RunCli({"check", GetParam().string()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

// Run a second time under German settings: should the front end ever adopt the
// environment's locale, a locale-aware printf would write "12,5" there.
TEST_P(WellFormedFile, ShowMatchesGolden) {
  const fs::path golden = kDataDir / (GetParam().stem().string() + ".show");
  ASSERT_TRUE(fs::exists(golden)) << "no golden file " << golden;
  const std::string expected = ReadFile(golden);
  for (const auto& env :
       std::vector<std::vector<std::string>>{{}, {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"}}) {
    SCOPED_TRACE(env.empty() ? "inherited locale" : env.front());
    const RunResult r = RunCli({"show", GetParam().string()}, env);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, WellFormedFile, testing::ValuesIn(WellFormedFiles()),
                         [](const auto& p) { return TestName(p.param); });

// ---------------------------------------------------------------------------
// Files that do not load: one small fixture per edge case, with the start
// dialog's message on stderr for both commands and nothing on stdout.

struct BadFile {
  const char* name;
  std::string message;
};

const std::vector<BadFile> kBadFiles = {
    {"does_not_exist.cfg", "No configuration file exists.\n"},
    {"bad_version.cfg", "Files version is illegal.\n"},
    {"empty_version.cfg", FormError(0x10000001, 1)},
    {"bad_cmdline.cfg", FormError(0x10000002, 6)},
    {"bad_header_word.cfg", FormError(0x10000000, 6)},
    {"bad_section.cfg", FormError(0x10000000, 7)},
    {"missing_keys.cfg", FormError(0x10000018, 14)},
    {"bad_bit_address.cfg", FormError(0x20000100, 8)},
    {"choice_end_no_colon.cfg", FormError(0x20000200, 12)},
    {"choice_list_at_eof.cfg", FormError(0x20000100, 10)},
    {"bad_data_line.cfg", FormError(0x40001000, 10)},
    {"continuation_first.cfg", FormError(0x40001000, 10)},
    {"data_trailing_comment.cfg", FormError(0x40002000, 12)},
    {"bad_setdata.cfg", FormError(0x80020000, 17)},
    {"empty_standard_mask.cfg", FormError(0x60002100, 14)},
    {"option_end_no_lf.cfg", FormError(0x80010000, 15)},
    {"ff_middle.cfg", FormError(0x80010000, 13)},
    // A 1024-character line passes; the 1025-character one two lines on fails.
    {"long_line.cfg", FormError(0x20000200, 11)},
    // Every end-of-file finding at once.
    {"empty.cfg", FormError(0xF001311F, 1)},
    // Bytes 0 to 255: one line feed, then a comment that the 0xFF ends.
    {"binary.cfg", FormError(0xF001311F, 2)},
};

void PrintTo(const BadFile& file, std::ostream* os) {
  *os << file.name;
}

class MalformedFile : public testing::TestWithParam<BadFile> {};

TEST_P(MalformedFile, ReportsLoadResult) {
  const fs::path path = kDataDir / GetParam().name;
  for (const char* command : {"check", "show"}) {
    SCOPED_TRACE(command);
    const RunResult r = RunCli({command, path.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedFile, testing::ValuesIn(kBadFiles),
                         [](const auto& p) { return TestName(p.param.name); });

TEST(CliLoad, DirectoryIsNoConfigurationFile) {
  const RunResult r = RunCli({"check", kDataDir.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "No configuration file exists.\n");
}

// ---------------------------------------------------------------------------
// Usage errors: one line on stderr, exit 2, nothing on stdout.

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const UsageCase& usage, std::ostream* os) {
  *os << usage.name;
}

class UsageError : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageError, OneLineAndExitTwo) {
  const RunResult r = RunCli(GetParam().args);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.back(), '\n');
}

const std::string kExample = (kSourceDir / "examples" / "model" / "tr210.cfg").string();

INSTANTIATE_TEST_SUITE_P(Cli, UsageError,
                         testing::Values(UsageCase{"no_command", {}},
                                         UsageCase{"unknown_command", {"frobnicate", kExample}},
                                         UsageCase{"check_without_file", {"check"}},
                                         UsageCase{"show_without_file", {"show"}},
                                         UsageCase{"two_files", {"check", kExample, kExample}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(CliHelp, DescribesEveryCommand) {
  const RunResult r = RunCli({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("check"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("show"), std::string::npos) << r.out;
}

}  // namespace
