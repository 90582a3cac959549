// Loading the largest definition file, against two anchors that read the same bytes:
// a bare line split and a minimal INI parser. Ends with the ratios of paired rounds:
// each round times one load and one run of each anchor, in CPU time, in an order that
// turns every round, and the medians of the per-round ratios are printed; a machine
// whose load changes moves both sides of a round alike.
//
//   bench_load [--rounds N] [benchmark flags]   run the benchmarks, then N paired rounds
//   bench_load --ratio-only [--rounds N]        only the paired rounds
//   bench_load --verify                         only check that the generated file loads
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ini.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// One load of the whole model, images and changeable flags included; false on failure.
bool LoadOnce() {
  CModelFile& file = Reader();
  CStatDataObj& model = Model();
  const int result = file.Load(model, g_path);
  file.CloseSource();
  benchmark::DoNotOptimize(model);
  return result == pelmora::model::kResultOk;
}

// Reads the file into a reused buffer and counts its lines with memchr; false on a
// short read.
bool MemchrLinesOnce() {
  static std::vector<char> buffer;
  buffer.resize(g_size);
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
  if (got != g_size)
    return false;
  std::size_t lines = 0;
  const char* p = buffer.data();
  const char* end = p + got;
  while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    ++lines;
    p = static_cast<const char*>(lf) + 1;
  }
  benchmark::DoNotOptimize(lines);
  return true;
}

int IgnoreEntry(void*, const char*, const char*, const char*) {
  return 1;
}

// The INI parser stops at nothing: lines it cannot read only count as errors. False
// when it cannot open the file.
bool IniParseOnce() {
  const int result = ini_parse(g_path.c_str(), IgnoreEntry, nullptr);
  benchmark::DoNotOptimize(result);
  return result >= 0;
}

void Repeat(benchmark::State& state, bool (*once)(), const char* failure) {
  for (auto _ : state) {
    if (!once()) {
      state.SkipWithError(failure);
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

void BM_Load(benchmark::State& state) {
  Repeat(state, LoadOnce, "Load did not return 1");
}
void BM_MemchrLines(benchmark::State& state) {
  Repeat(state, MemchrLinesOnce, "short read");
}
void BM_IniParse(benchmark::State& state) {
  Repeat(state, IniParseOnce, "ini_parse could not open the file");
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniParse)->Unit(benchmark::kMillisecond);

double CpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Paired rounds of the load and its two anchors; prints the median times and the
// median per-round ratios. False when a run failed.
bool RunPairedRounds(int rounds) {
  struct Contender {
    const char* name;
    bool (*once)();
    std::vector<double> seconds;
  };
  std::array<Contender, 3> contenders{{
      {"Load", LoadOnce, {}},
      {"ini_parse", IniParseOnce, {}},
      {"memchr lines", MemchrLinesOnce, {}},
  }};
  // One untimed pass of each, so that no round pays for first use.
  for (Contender& c : contenders) {
    if (!c.once())
      return false;
  }
  std::vector<double> toIni, toMemchr;
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t k = 0; k < contenders.size(); ++k) {
      Contender& c = contenders[(k + static_cast<std::size_t>(round)) % contenders.size()];
      const double start = CpuSeconds();
      if (!c.once())
        return false;
      c.seconds.push_back(CpuSeconds() - start);
    }
    toIni.push_back(contenders[0].seconds.back() / contenders[1].seconds.back());
    toMemchr.push_back(contenders[0].seconds.back() / contenders[2].seconds.back());
  }
  const double mb = static_cast<double>(g_size) / 1e6;
  std::printf("\nFile: %zu bytes, %u lines; %d paired rounds, CPU time, medians, MB = 10^6 bytes\n",
              g_size, pelmora::bench::kBigModelLines, rounds);
  for (const Contender& c : contenders) {
    const double seconds = Median(c.seconds);
    std::printf("%-16s %8.3f ms  %8.1f MB/s\n", c.name, seconds * 1e3, mb / seconds);
  }
  std::sort(toIni.begin(), toIni.end());
  std::printf("Load / ini_parse:   %.2f  (per-round %.2f to %.2f; target <= 1, must be <= 3)\n",
              Median(toIni), toIni.front(), toIni.back());
  std::printf("Load / memchr:      %.2f\n", Median(toMemchr));
  return true;
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
  // Our own flags come out of argv; the rest belongs to the benchmark library.
  bool ratioOnly = false;
  int rounds = 31;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ratio-only") == 0) {
      ratioOnly = true;
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
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
      if (!ratioOnly)
        benchmark::RunSpecifiedBenchmarks();
      if (!RunPairedRounds(rounds))
        status = 1;
    }
    benchmark::Shutdown();
  }
  ::unlink(g_path.c_str());
  return status;
}
