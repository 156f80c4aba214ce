// Runs the benchmarks, then prints the ratios that matter, measured in this one run.
#include <cstdio>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_world.h"

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf("\nRecount against a bare scan of the same level, same run:\n");
    for (const char* size : {"10000", "100000", "1000000"}) {
      const auto bare = seconds_.find(std::string("BM_BareScan/") + size);
      const auto recount = seconds_.find(std::string("BM_Recount/") + size);
      if (bare == seconds_.end() || recount == seconds_.end()) continue;
      std::printf("  %8s actors: recount %.2f ms, bare scan %.2f ms, ratio %.2f\n", size,
                  recount->second, bare->second, recount->second / bare->second);
    }
    const auto small = seconds_.find("BM_Recount/10000");
    const auto large = seconds_.find("BM_Recount/1000000");
    if (small != seconds_.end() && large != seconds_.end())
      std::printf("  growth from 10,000 to 1,000,000 actors: %.0fx (linear: 100x)\n",
                  large->second / small->second);
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  BenchWorld::Release();
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
