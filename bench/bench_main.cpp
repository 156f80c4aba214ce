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
        times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // CPU time: the machine is shared, and waiting for a core is not the recount's cost.
  void PrintRatios() const {
    std::printf("\nRecount against a bare scan of the same level, same run (CPU time):\n");
    for (const int size : {10'000, 100'000, 1'000'000}) {
      const auto bare = times_.find("BM_BareScan/" + std::to_string(size));
      const auto recount = times_.find("BM_Recount/" + std::to_string(size));
      if (bare == times_.end() || recount == times_.end()) continue;
      std::printf(
          "  %9d actors: recount %7.2f ms (%3.0f ns an actor), bare scan %7.2f ms, ratio %.2f\n",
          size, recount->second, recount->second * 1e6 / size, bare->second,
          recount->second / bare->second);
    }
    std::printf("\nWhat a hook adds to a call it passes on, Debug off (CPU time a call):\n");
    for (const char* name : {"BM_StructureUse", "BM_Slotting"}) {
      const auto direct = times_.find(std::string(name) + "/hooked:0");
      const auto hooked = times_.find(std::string(name) + "/hooked:1");
      if (direct == times_.end() || hooked == times_.end()) continue;
      std::printf("  %-16s direct %6.1f ns, through the hook %6.1f ns: %+.1f ns\n", name + 3,
                  direct->second, hooked->second, hooked->second - direct->second);
    }
    const auto configured = times_.find("BM_DinoAllowed/configured:1");
    const auto other = times_.find("BM_DinoAllowed/configured:0");
    if (configured != times_.end() && other != times_.end()) {
      std::printf(
          "\nDinoAllowed with 200 configured kinds, Debug off: %.1f ns for a configured "
          "kind, %.1f ns for another\n",
          configured->second, other->second);
      const auto cluster_configured = times_.find("BM_ClusterCheck/configured:1");
      const auto cluster_other = times_.find("BM_ClusterCheck/configured:0");
      if (cluster_configured != times_.end() && cluster_other != times_.end()) {
        std::printf(
            "The same in a cluster (the link running, five other maps' counts of every checked "
            "team): %.1f ns (ratio %.2f) "
            "and %.1f ns (ratio %.2f)\n",
            cluster_configured->second, cluster_configured->second / configured->second,
            cluster_other->second, cluster_other->second / other->second);
      }
      const auto tier_configured = times_.find("BM_TierCheck/configured:1");
      const auto tier_other = times_.find("BM_TierCheck/configured:0");
      const auto tier_of = times_.find("BM_TierOf");
      if (tier_configured != times_.end() && tier_other != times_.end() &&
          tier_of != times_.end()) {
        std::printf(
            "The same for a tier's player: %.1f ns (%.2f times) and %.1f ns (%.2f times), after "
            "%.1f ns of group questions to find the tier\n",
            tier_configured->second, tier_configured->second / configured->second,
            tier_other->second, tier_other->second / other->second, tier_of->second);
      }
    }
  }

 private:
  std::map<std::string, double> times_;  // in each benchmark's own unit
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
