// A console reporter that also keeps the best real and CPU seconds per iteration of
// every benchmark, so that a benchmark can close with the ratios it promises.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace pelmora::bench {

class CBestTimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) {
        continue;
      }
      const double iterations = static_cast<double>(run.iterations);
      Keep(best_, run.run_name.function_name, run.real_accumulated_time / iterations);
      Keep(bestCpu_, run.run_name.function_name, run.cpu_accumulated_time / iterations);
    }
  }

  // Best seconds per iteration of the benchmark `name`; 0 when it did not run.
  double Seconds(const std::string& name) const {
    const auto it = best_.find(name);
    return it == best_.end() ? 0.0 : it->second;
  }
  const std::map<std::string, double>& Best() const { return best_; }

  // Best CPU seconds (of the benchmark's thread) per iteration; 0 when it did not run.
  double CpuSeconds(const std::string& name) const {
    const auto it = bestCpu_.find(name);
    return it == bestCpu_.end() ? 0.0 : it->second;
  }

 private:
  static void Keep(std::map<std::string, double>& best, const std::string& name, double seconds) {
    auto [it, added] = best.try_emplace(name, seconds);
    if (!added)
      it->second = std::min(it->second, seconds);
  }

  std::map<std::string, double> best_;
  std::map<std::string, double> bestCpu_;
};

}  // namespace pelmora::bench
