#include "counting/recount.h"

#include <chrono>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include <fmt/format.h>

#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/logger.h"
#include "base/text.h"
#include "counting/blueprint_path.h"
#include "counting/dino_count_store.h"
#include "counting/other_maps.h"
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

// What a recount found: `counts` against what `held` holds, the corrections among them
// `changed` (held.TeamsChangedBy).
RecountResult Compare(const DinoCountStore& held, const StoreCounts& counts,
                      const std::unordered_set<int32_t>& changed) {
  RecountResult result;
  result.teams = counts.team_totals.size();
  for (const auto& [team, total] : counts.team_totals)
    result.creatures += static_cast<std::size_t>(total);
  result.held_none = true;
  held.ForEachTeam([&](int32_t, int32_t) { result.held_none = false; });
  result.corrected = changed.size();
  return result;
}

std::string& LastLine() {
  static std::string line;
  return line;
}

std::string_view ReasonName(RecountReason reason) {
  switch (reason) {
    case RecountReason::kWorldStart:
      return "world start";
    case RecountReason::kLoad:
      return "load";
    case RecountReason::kReload:
      return "reload";
    case RecountReason::kUpdateDinos:
      return "UpdateDinos";
    case RecountReason::kTimer:
      return "timer";
  }
  return "unknown";
}

std::string Counted(std::size_t n, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

}  // namespace

RecountResult UpdateDinoCountAll() {
  // Everything is built aside and put in place at the end, so a recount that fails leaves the
  // counts as they were. The kinds are made anew only when the settings are not the ones the
  // store's kinds came from.
  DinoCountStore& live = Store();
  const std::shared_ptr<const Settings>& settings = SharedSettings();
  if (live.settings() == settings.get()) {
    StoreCounts counts = live.EmptyCounts();
    CountLevel(live, counts);
    const std::unordered_set<int32_t> changed = live.TeamsChangedBy(live, counts);
    const RecountResult result = Compare(live, counts, changed);
    live.ReplaceCounts(std::move(counts), &changed);
    PostClusterChanges();
    return result;
  }
  DinoCountStore fresh(settings);
  StoreCounts counts = fresh.EmptyCounts();
  CountLevel(fresh, counts);
  const RecountResult result = Compare(live, counts, live.TeamsChangedBy(fresh, counts));
  fresh.ReplaceCounts(std::move(counts));
  live = std::move(fresh);
  Others().Refeed();  // the other maps' counts, for the new kinds
  PostClusterChanges();
  return result;
}

std::string Recount(RecountReason reason) {
  const auto started = std::chrono::steady_clock::now();
  const RecountResult result = UpdateDinoCountAll();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  const bool first =
      result.held_none && (reason == RecountReason::kLoad || reason == RecountReason::kWorldStart);
  std::string line =
      fmt::format("Recount ({}): {} of {} in {} ms, {}", ReasonName(reason),
                  Counted(result.creatures, "creature", "creatures"),
                  Counted(result.teams, "team", "teams"), took.count(),
                  first ? "the first count since the plug-in loaded"
                        : Counted(result.corrected, "team count", "team counts") + " corrected");
  LastLine() = line;
  Log().info(line);
  return line;
}

const std::string& LastRecountLine() { return LastLine(); }

void RecountOnTimer() {
  static int64_t seconds_since_recount = 0;
  const int32_t interval = CurrentSettings().general.recount_interval;
  if (interval <= 0) {
    seconds_since_recount = 0;
    return;
  }
  if (++seconds_since_recount < interval) return;
  seconds_since_recount = 0;
  Guarded("UpdateDinoCountAll", [] { Recount(RecountReason::kTimer); });
}
