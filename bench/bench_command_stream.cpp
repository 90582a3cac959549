// The binary command file of a full 64 KiB image (2,048 lines of 32 known bytes, a
// 5-byte write template): building the stream and writing it, against an anchor that
// writes the same bytes, built beforehand, with one buffered write. Prints the ratio of
// CPU times. The file goes to /dev/shm when there is one (else TMPDIR or /tmp): on a
// disk-backed folder the real time would measure the disk, not the program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "best_time_reporter.h"
#include "model/stat_data_obj.h"
#include "protocol/command_stream.h"

namespace {

using pelmora::model::CStatDataObj;

std::string g_path;

const CStatDataObj& FullModel() {
  static const CStatDataObj model = [] {
    CStatDataObj m;
    const std::uint8_t write[] = {0x1B, 0x57, 0xFE, 0xFD, 0xFF};
    const std::uint8_t init[] = {0x1B, 0x40};
    const std::uint8_t reset[] = {0x1B, 0x52};
    m.SetWriteTemplate(write);
    m.SetInitCommand(init);
    m.SetResetCommand(reset);
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::uint32_t line = 0; line < 2048; ++line) {
      // The lines view their texts, which must outlive the model.
      static std::deque<std::string> texts;
      std::string& text = texts.emplace_back();
      for (std::uint32_t j = 0; j < 32; ++j) {
        const std::uint32_t byte = (line * 32 + j) * 7 & 0xFF;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
      }
      m.SetLines().push_back({static_cast<std::uint16_t>(line * 32), text});
    }
    m.BuildImage(m.SetLines());
    return m;
  }();
  return model;
}

void BM_BuildAndWriteFile(benchmark::State& state) {
  const CStatDataObj& model = FullModel();
  std::string error;
  for (auto _ : state) {
    if (!pelmora::protocol::WriteBinaryFile(model, g_path, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
}

void BM_BuildOnly(benchmark::State& state) {
  const CStatDataObj& model = FullModel();
  for (auto _ : state) {
    std::vector<std::uint8_t> stream = pelmora::protocol::BuildCommandStream(model);
    benchmark::DoNotOptimize(stream.data());
  }
}

// The floor: the finished bytes, one open, one write, one close.
void BM_WritePrecomputed(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = pelmora::protocol::BuildCommandStream(FullModel());
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const ssize_t n = fd < 0 ? -1 : ::write(fd, bytes.data(), bytes.size());
    if (fd < 0 || ::close(fd) != 0 || n != static_cast<ssize_t>(bytes.size())) {
      state.SkipWithError("cannot write the file");
      break;
    }
  }
}

BENCHMARK(BM_BuildAndWriteFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WritePrecomputed)->Unit(benchmark::kMicrosecond);

void PrintSummary(const pelmora::bench::CBestTimeReporter& reporter) {
  const double built = reporter.CpuSeconds("BM_BuildAndWriteFile");
  const double anchor = reporter.CpuSeconds("BM_WritePrecomputed");
  std::printf("\nStream: %zu bytes, written to %s\n",
              pelmora::protocol::BuildCommandStream(FullModel()).size(), g_path.c_str());
  if (built > 0 && anchor > 0) {
    std::printf("Build and write / write precomputed, CPU time: %.2f  (must be <= 3)\n",
                built / anchor);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = ::access("/dev/shm", W_OK) == 0  ? "/dev/shm"
                          : tmp != nullptr && *tmp != '\0' ? tmp
                                                           : "/tmp";
  g_path = dir + "/pelmora-bench-XXXXXX";
  const int fd = ::mkstemp(g_path.data());
  if (fd < 0) {
    std::fprintf(stderr, "bench_command_stream: cannot create a temporary file\n");
    return 1;
  }
  ::close(fd);
  benchmark::Initialize(&argc, argv);
  int status = 0;
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    status = 2;
  } else {
    pelmora::bench::CBestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
  }
  benchmark::Shutdown();
  ::unlink(g_path.c_str());
  return status;
}
