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
        milliseconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // CPU time: the machine is shared, and waiting for a core is not the recount's cost.
  void PrintRatios() const {
    std::printf("\nRecount against a bare scan of the same level, same run (CPU time):\n");
    for (const int size : {10'000, 100'000, 1'000'000}) {
      const auto bare = milliseconds_.find("BM_BareScan/" + std::to_string(size));
      const auto recount = milliseconds_.find("BM_Recount/" + std::to_string(size));
      if (bare == milliseconds_.end() || recount == milliseconds_.end()) continue;
      std::printf(
          "  %9d actors: recount %7.2f ms (%3.0f ns an actor), bare scan %7.2f ms, ratio %.2f\n",
          size, recount->second, recount->second * 1e6 / size, bare->second,
          recount->second / bare->second);
    }
  }

 private:
  std::map<std::string, double> milliseconds_;
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
