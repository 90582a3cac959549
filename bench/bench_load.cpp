// Loading the largest definition file, against two anchors that read the same bytes:
// a bare line split and a minimal INI parser. Prints the speed ratios at the end.
//
//   bench_load [benchmark flags]   run the benchmarks
//   bench_load --verify            only check that the generated file loads
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ini.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "best_time_reporter.h"
#include "big_model.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

namespace {

using pelmora::model::CModelFile;
using pelmora::model::CStatDataObj;

std::string g_path;
std::size_t g_size = 0;

// The model and reader live across iterations and benchmark runs, as in the
// application, so their buffers are reused rather than faulted in afresh.
CModelFile& Reader() {
  static CModelFile file;
  return file;
}
CStatDataObj& Model() {
  static CStatDataObj model;
  return model;
}

void BM_Load(benchmark::State& state) {
  CModelFile& file = Reader();
  CStatDataObj& model = Model();
  for (auto _ : state) {
    const int result = file.Load(model, g_path);
    if (result != pelmora::model::kResultOk) {
      state.SkipWithError("Load did not return 1");
      break;
    }
    file.CloseSource();
    benchmark::DoNotOptimize(model);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

// Reads the file into a reused buffer and counts its lines with memchr.
void BM_MemchrLines(benchmark::State& state) {
  static std::vector<char> buffer;
  buffer.resize(g_size);
  for (auto _ : state) {
    const int fd = ::open(g_path.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t got = 0;
    while (fd >= 0 && got < buffer.size()) {
      const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
      if (n <= 0)
        break;
      got += static_cast<std::size_t>(n);
    }
    if (fd >= 0)
      ::close(fd);
    if (got != g_size) {
      state.SkipWithError("short read");
      break;
    }
    std::size_t lines = 0;
    const char* p = buffer.data();
    const char* end = p + got;
    while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      ++lines;
      p = static_cast<const char*>(lf) + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

int IgnoreEntry(void*, const char*, const char*, const char*) {
  return 1;
}

// The INI parser stops at nothing: lines it cannot read only count as errors.
void BM_IniParse(benchmark::State& state) {
  for (auto _ : state) {
    const int result = ini_parse(g_path.c_str(), IgnoreEntry, nullptr);
    if (result < 0) {
      state.SkipWithError("ini_parse could not open the file");
      break;
    }
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

BENCHMARK(BM_Load)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrLines)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniParse)->UseRealTime()->Unit(benchmark::kMillisecond);

void PrintSummary(const pelmora::bench::CBestTimeReporter& reporter) {
  const double load = reporter.Seconds("BM_Load");
  const double memchrLines = reporter.Seconds("BM_MemchrLines");
  const double ini = reporter.Seconds("BM_IniParse");
  const double mb = static_cast<double>(g_size) / 1e6;
  std::printf("\nFile: %zu bytes, %u lines; best run of each, MB = 10^6 bytes\n", g_size,
              pelmora::bench::kBigModelLines);
  for (const auto& [name, seconds] : reporter.Best()) {
    std::printf("%-16s %8.3f ms  %8.1f MB/s\n", name.c_str(), seconds * 1e3, mb / seconds);
  }
  if (load > 0 && ini > 0) {
    std::printf("Load / inih time:   %.2f  (target <= 1, must be <= 3)\n", load / ini);
  }
  if (load > 0 && memchrLines > 0) {
    std::printf("Load / memchr time: %.2f\n", load / memchrLines);
  }
}

// Writes the generated file to a fresh temporary file; false on failure.
bool WriteTempModel() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern =
      std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/pelmora-bench-XXXXXX.cfg";
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0)
    return false;
  g_path = pattern;
  const std::string text = pelmora::bench::MakeBigModel();
  g_size = text.size();
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0 && done == text.size();
}

// Loads the file once and describes the outcome; true when it loaded completely.
bool CheckLoad() {
  CModelFile& file = Reader();
  CStatDataObj& model = Model();
  const int result = file.Load(model, g_path);
  file.CloseSource();
  std::size_t changeable = 0;
  for (const auto* items : {&model.BasicItems(), &model.AdvancedItems()}) {
    for (const auto& item : *items) changeable += item.changeable != 0;
  }
  std::printf(
      "Generated file: result %d (error code 0x%08X, line %u), %zu Basic and %zu Advanced "
      "items, %zu changeable, image of %u bytes from %04X\n",
      result, file.GetErrorCode(), file.GetLineNumber(), model.BasicItems().size(),
      model.AdvancedItems().size(), changeable, model.GetImageSize(), model.GetFirstAddress());
  return result == pelmora::model::kResultOk && !model.BasicItems().empty() &&
         !model.AdvancedItems().empty() && model.GetImageSize() == 0x10000 &&
         model.GetFirstAddress() == 0 && changeable > 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool verifyOnly = argc == 2 && std::strcmp(argv[1], "--verify") == 0;
  if (!WriteTempModel()) {
    std::fprintf(stderr, "bench_load: cannot write a temporary file\n");
    return 1;
  }
  const bool loaded = CheckLoad();
  int status = loaded ? 0 : 1;
  if (!verifyOnly) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
      status = 2;
    } else {
      pelmora::bench::CBestTimeReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      PrintSummary(reporter);
    }
    benchmark::Shutdown();
  }
  ::unlink(g_path.c_str());
  return status;
}
