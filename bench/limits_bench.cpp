// The checks and count changes that hooks run on hot game paths, with 200 configured kinds and
// diagnostic lines off.
#include <benchmark/benchmark.h>

#include "bench/bench_world.h"
#include "counting/limits.h"
#include "counting/recount.h"

namespace {

// A small world: these calls do not depend on the level, only on the store and configuration.
constexpr int64_t kWorld = 10'000;

void BM_DinoAllowed(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  UpdateDinoCountAll();
  const FString configured(Wrapped(world.kinds()[150]));
  const FString unconfigured(Wrapped(world.kinds()[250]));
  const FString& path = state.range(0) ? configured : unconfigured;
  int32_t team = 100001;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DinoAllowed(path, team));
    team = team == 105000 ? 100001 : team + 1;
  }
}

void BM_UpdateDinoCount(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  UpdateDinoCountAll();
  const FString path(Wrapped(world.kinds()[150]));
  int32_t team = 100001;
  int32_t change = 1;
  for (auto _ : state) {
    UpdateDinoCount(path, team, change);
    change = -change;  // up and down again, so counts stay put
    if (change > 0) team = team == 105000 ? 100001 : team + 1;
  }
}

BENCHMARK(BM_DinoAllowed)->ArgName("configured")->Arg(1)->Arg(0);
BENCHMARK(BM_UpdateDinoCount);

}  // namespace
