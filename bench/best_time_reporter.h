// A console reporter that also keeps the best real seconds per iteration of every
// benchmark, so that a benchmark can close with the ratios it promises.
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
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      auto [it, added] = best_.try_emplace(run.run_name.function_name, seconds);
      if (!added)
        it->second = std::min(it->second, seconds);
    }
  }

  // Best seconds per iteration of the benchmark `name`; 0 when it did not run.
  double Seconds(const std::string& name) const {
    const auto it = best_.find(name);
    return it == best_.end() ? 0.0 : it->second;
  }
  const std::map<std::string, double>& Best() const { return best_; }

 private:
  std::map<std::string, double> best_;
};

}  // namespace pelmora::bench
