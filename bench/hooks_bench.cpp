// What a hook adds to a game call it only passes on, Debug off: a structure use that is no
// cloning and a slotting, through the detour against the game's own function called directly.
#include <benchmark/benchmark.h>

#include "bench/bench_world.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "sim/game/actions.h"

namespace {

constexpr int64_t kWorld = 10'000;
constexpr int32_t kOtherUse = 7;  // any structure use but cloning

// The two detours installed, so that their originals are the game's functions.
struct Installed {
  Installed() {
    auto& hooks = ArkApi::GetHooks();
    hooks.InstallHook<"APrimalStructure.TryMultiUse">(&Hook_APrimalStructure_TryMultiUse,
                                                      &Original<"APrimalStructure.TryMultiUse">);
    hooks.InstallHook<"UPrimalItem.AllowSlotting">(&Hook_UPrimalItem_AllowSlotting,
                                                   &Original<"UPrimalItem.AllowSlotting">);
  }
};

struct Scene {
  APrimalStructure* structure;
  APlayerController* player;
  UPrimalItem* item;
};

Scene& TheScene() {
  static Scene scene = [] {
    BenchWorld& world = BenchWorld::Get(kWorld);
    static Installed installed;
    sim::Game& game = world.server().game();
    auto& player = game.AddPlayer({"bencher", 100001, 1, 0});
    return Scene{sim::ToHost<APrimalStructure>(&game.AddStructure("bench_chamber")),
                 sim::ToHost<APlayerController>(&player),
                 sim::ToHost<UPrimalItem>(&game.AddItem(
                     "bench_item", *game.ItemClass("/Game/Bench/Item_Bench.Item_Bench")))};
  }();
  return scene;
}

void BM_StructureUse(benchmark::State& state) {
  Scene& scene = TheScene();
  const bool through_hook = state.range(0) != 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        through_hook
            ? Hook_APrimalStructure_TryMultiUse(scene.structure, scene.player, kOtherUse)
            : Original<"APrimalStructure.TryMultiUse">(scene.structure, scene.player, kOtherUse));
  }
}

void BM_Slotting(benchmark::State& state) {
  Scene& scene = TheScene();
  const bool through_hook = state.range(0) != 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        through_hook ? Hook_UPrimalItem_AllowSlotting(scene.item, nullptr, false)
                     : Original<"UPrimalItem.AllowSlotting">(scene.item, nullptr, false));
  }
}

BENCHMARK(BM_StructureUse)->ArgName("hooked")->Arg(0)->Arg(1);
BENCHMARK(BM_Slotting)->ArgName("hooked")->Arg(0)->Arg(1);

}  // namespace
