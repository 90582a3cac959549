// Load of the generated definition file (with both images and the changeable flags,
// as Load builds them) against a do-nothing ini_parse of the same file: paired rounds
// in alternating order, CPU time, the median of the per-round ratio.
//
//   bench_load_ratio [ROUNDS]   default 41
#include <ini.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "big_model.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

namespace {

double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int IgnoreEntry(void*, const char*, const char*, const char*) {
  return 1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
  const std::string path = "/tmp/pelmora-load-ratio.cfg";
  if (!pelmora::bench::WriteBigModel(path)) {
    std::fprintf(stderr, "bench_load_ratio: cannot write %s\n", path.c_str());
    return 1;
  }
  // Reader and model live across rounds, as in the application.
  pelmora::model::CModelFile file;
  pelmora::model::CStatDataObj model;
  auto load = [&] {
    const double t = CpuSeconds();
    const int result = file.Load(model, path);
    file.CloseSource();
    if (result != pelmora::model::kResultOk) {
      std::fprintf(stderr, "bench_load_ratio: Load returned %d\n", result);
      std::exit(1);
    }
    return CpuSeconds() - t;
  };
  auto ini = [&] {
    const double t = CpuSeconds();
    if (ini_parse(path.c_str(), IgnoreEntry, nullptr) < 0) {
      std::fprintf(stderr, "bench_load_ratio: ini_parse cannot open the file\n");
      std::exit(1);
    }
    return CpuSeconds() - t;
  };
  load();  // warm up both
  ini();
  std::vector<double> ratios, loads, inis;
  for (int i = 0; i < rounds; ++i) {
    double l = 0, n = 0;
    if (i % 2 == 0) {
      l = load();
      n = ini();
    } else {
      n = ini();
      l = load();
    }
    loads.push_back(l);
    inis.push_back(n);
    ratios.push_back(l / n);
  }
  std::printf("%d paired rounds, CPU time: Load %.3f ms, ini_parse %.3f ms (medians)\n", rounds,
              Median(loads) * 1e3, Median(inis) * 1e3);
  std::printf("Load / ini_parse, median of per-round ratios: %.3f  (target <= 1.0)\n",
              Median(ratios));
  std::remove(path.c_str());
  return 0;
}
