// The checks and count changes that hooks run on hot game paths, with 200 configured kinds and
// diagnostic lines off.
#include <benchmark/benchmark.h>

#include "base/config.h"
#include "bench/bench_world.h"
#include "cluster/cluster_link.h"
#include "counting/limits.h"
#include "counting/other_maps.h"
#include "counting/recount.h"
#include "counting/tiers.h"
#include "sim/server.h"

namespace {

// A small world: these calls do not depend on the level, only on the store and configuration.
constexpr int64_t kWorld = 10'000;

// The check of one configured kind (range 1) or one unconfigured kind, for team after team.
void CheckTeamAfterTeam(benchmark::State& state, BenchWorld& world) {
  const FString configured(Wrapped(world.kinds()[150]));
  const FString unconfigured(Wrapped(world.kinds()[250]));
  const FString& path = state.range(0) ? configured : unconfigured;
  int32_t team = 100001;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DinoAllowed(path, team));
    team = team == 105000 ? 100001 : team + 1;
  }
}

void BM_DinoAllowed(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  UpdateDinoCountAll();
  CheckTeamAfterTeam(state, world);
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

// The same check for a player of the VIP tier, which changes three kinds' limits: its limits in
// place of the base ones, and its form of the flag.
void BM_TierCheck(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  UpdateDinoCountAll();
  const Tier vip{1, &CurrentSettings().tiers.at(1)};
  const FString configured(Wrapped(world.kinds()[150]));
  const FString unconfigured(Wrapped(world.kinds()[250]));
  const FString& path = state.range(0) ? configured : unconfigured;
  int32_t team = 100001;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CheckLimits(path, team, vip).allowed());
    team = team == 105000 ? 100001 : team + 1;
  }
}

// Finding a player's tier: the group questions, one per tier until the first the player is in
// (the second here).
void BM_TierOf(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  static sim::ShooterPlayerController& player = [&]() -> sim::ShooterPlayerController& {
    auto& made = world.server().game().AddPlayer({"vip", 100001, 76561198000000009, 0});
    world.server().AddToGroup(76561198000000009, "VIP");
    return made;
  }();
  for (auto _ : state) benchmark::DoNotOptimize(TierOf(sim::ToHost<AController>(&player)));
}

// The same check in a cluster of six maps: each of the five others holds counts of every checked
// team (20 creatures in 20 kinds, the checked kind among them), far from the limits. The link to
// the cluster runs as in the game, its worker failing to reach a database that is not there, so
// each check also asks it for what it read.
void BM_ClusterCheck(benchmark::State& state) {
  BenchWorld& world = BenchWorld::Get(kWorld);
  UpdateDinoCountAll();
  ClusterSettings cluster;
  cluster.server_name = "TheIsland";
  cluster.socket = "/nonexistent/tamewarden-bench.sock";
  cluster.user = "bench";
  cluster.database = "bench";
  ApplyClusterSettings(cluster);
  ClusterOnTimer();  // hands the whole state over once, as the first timer does
  static const std::vector<std::vector<ClusterRow>> maps = [&] {
    std::vector<std::vector<ClusterRow>> made(5);
    for (std::size_t map = 0; map < made.size(); ++map) {
      for (int32_t team = 100001; team <= 105000; ++team) {
        made[map].push_back({team, "", 20});
        for (int k = 0; k < 20; ++k) {
          const int kind = k == 0 ? 150 : (team + k * 7 + static_cast<int>(map)) % 200;
          made[map].push_back({team, Wrapped(world.kinds()[kind]), 1});
        }
      }
    }
    return made;
  }();
  for (std::size_t map = 0; map < maps.size(); ++map)
    Others().ReplaceMap("Map" + std::to_string(map), maps[map]);
  CheckTeamAfterTeam(state, world);
  StopCluster();  // the other benchmarks run without a cluster
}

BENCHMARK(BM_DinoAllowed)->ArgName("configured")->Arg(1)->Arg(0);
BENCHMARK(BM_ClusterCheck)->ArgName("configured")->Arg(1)->Arg(0);
BENCHMARK(BM_TierCheck)->ArgName("configured")->Arg(1)->Arg(0);
BENCHMARK(BM_TierOf);
BENCHMARK(BM_UpdateDinoCount);

}  // namespace
