// The full recount against a scan that reads only what the recount must read, through the same
// host interface: the class check, the team and the dead bit of every actor.
#include <benchmark/benchmark.h>

#include "bench/bench_world.h"
#include "counting/dino_count_store.h"
#include "counting/recount.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"

namespace {

int64_t BareScan() {
  UWorld* world = ArkApi::GetApiUtils().GetGameWorld();
  ULevel* level = Field<"UWorld.PersistentLevel">(world);
  const TArray<AActor*> actors = Field<"ULevelBase.Actors">(level);
  UClass* const dino_class = Call<"APrimalDinoCharacter.GetPrivateStaticClass">();
  int64_t counted = 0;
  for (AActor* actor : actors) {
    if (actor == nullptr || !Call<"UObjectBaseUtility.IsA">(actor, dino_class)) continue;
    const int32_t team = Field<"AActor.TargetingTeam">(actor);
    if (!game_facts::IsRecountedTeam(team)) continue;
    if (BitFieldValue<"APrimalCharacter.bIsDead">(static_cast<APrimalDinoCharacter*>(actor)) != 0)
      continue;
    ++counted;
  }
  return counted;
}

void BM_BareScan(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(BareScan());
  if (BareScan() != world.tamed_living()) state.SkipWithError("the scan missed creatures");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Recount(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(state.range(0));
  for (auto _ : state) {
    UpdateDinoCountAll();
    benchmark::DoNotOptimize(Store().KindCount());
  }
  int64_t total = 0;
  Store().ForEachTeam([&](int32_t, int32_t count) { total += count; });
  if (total != world.tamed_living()) state.SkipWithError("the recount missed creatures");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Pairs of the same size next to each other, so each world is built once.
BENCHMARK(BM_BareScan)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recount)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareScan)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recount)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareScan)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recount)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
