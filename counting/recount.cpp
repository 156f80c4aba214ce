#include "counting/recount.h"

#include <string>
#include <unordered_map>

#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/text.h"
#include "counting/blueprint_path.h"
#include "counting/dino_count_store.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"

namespace {

// What the recount knows about one creature class. A class's path does not change during one
// recount, so it is built once per class instead of once per creature.
struct ClassKind {
  const KindCounts* kind = nullptr;  // null: no configured kind
  std::string path_utf8;             // for the diagnostic lines
};

// A class's blueprint path comes from its default object's full name, which stays as long as the
// world does: it is built once per class and world, not at every recount.
const FString& ClassPath(UClass* cls, UWorld* world) {
  static UWorld* paths_world = nullptr;
  static std::unordered_map<UClass*, FString> paths;
  if (world != paths_world) {
    paths.clear();
    paths_world = world;
  }
  if (const auto it = paths.find(cls); it != paths.end()) return it->second;
  FString path = GetClassBlueprintPath(cls);  // before the entry: a failure leaves none behind
  return paths.emplace(cls, std::move(path)).first->second;
}

// Every living creature of a counted team in the running level, once for its team and, when its
// kind is one of `store`, once for the kind. Reads the kinds of `store`; writes only `counts`.
void CountLevel(const DinoCountStore& store, StoreCounts& counts) {
  UWorld* world = ArkApi::GetApiUtils().GetGameWorld();
  if (world == nullptr) return;
  ULevel* level = Field<"UWorld.PersistentLevel">(world);
  if (level == nullptr) return;
  const TArray<AActor*> actors = Field<"ULevelBase.Actors">(level);  // walk a copy

  UClass* const dino_class = Call<"APrimalDinoCharacter.GetPrivateStaticClass">();
  const DebugLines debug;
  std::unordered_map<UClass*, ClassKind> class_kinds;
  for (AActor* actor : actors) {
    if (actor == nullptr || !Call<"UObjectBaseUtility.IsA">(actor, dino_class)) continue;
    const int32_t team = Field<"AActor.TargetingTeam">(actor);
    if (!game_facts::IsRecountedTeam(team)) continue;
    auto* dino = static_cast<APrimalDinoCharacter*>(actor);
    if (BitFieldValue<"APrimalCharacter.bIsDead">(dino) != 0) continue;

    ++counts.team_totals[team];
    UClass* cls = Field<"UObjectBase.Class">(actor);
    auto [entry, added] = class_kinds.try_emplace(cls);
    ClassKind& class_kind = entry->second;
    if (added) {
      const FString& path = ClassPath(cls, world);
      class_kind.kind = store.FindKind(path);
      if (debug) class_kind.path_utf8 = ToUtf8(path);
    }
    if (class_kind.kind == nullptr) continue;

    const int32_t count = ++counts.kind_teams[class_kind.kind->ordinal()][team];
    debug("UpdateDinoCountAll: team_id: {}", team);
    debug("UpdateDinoCountAll: path_name: {}", class_kind.path_utf8);
    debug("UpdateDinoCountAll: count: {}", count);
  }
}

}  // namespace

void UpdateDinoCountAll() {
  // Everything is built aside and put in place at the end, so a recount that fails leaves the
  // counts as they were. The kinds are made anew only when the settings are not the ones the
  // store's kinds came from.
  DinoCountStore& live = Store();
  const std::shared_ptr<const Settings>& settings = SharedSettings();
  if (live.settings() == settings.get()) {
    StoreCounts counts = live.EmptyCounts();
    CountLevel(live, counts);
    live.ReplaceCounts(std::move(counts));
    return;
  }
  DinoCountStore fresh(settings);
  StoreCounts counts = fresh.EmptyCounts();
  CountLevel(fresh, counts);
  fresh.ReplaceCounts(std::move(counts));
  live = std::move(fresh);
}

void RecountOnTimer() {
  static int64_t seconds_since_recount = 0;
  const int32_t interval = CurrentSettings().general.recount_interval;
  if (interval <= 0) {
    seconds_since_recount = 0;
    return;
  }
  if (++seconds_since_recount < interval) return;
  seconds_since_recount = 0;
  Guarded("UpdateDinoCountAll", [] { UpdateDinoCountAll(); });
}
