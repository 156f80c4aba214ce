#include "counting/recount.h"

#include <string>
#include <unordered_map>

#include "counting/blueprint_path.h"
#include "counting/dino_count_store.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/text.h"

namespace {

// What the recount knows about one creature class. A class's path does not change during one
// recount, so it is built once per class instead of once per creature.
struct ClassKind {
  const KindCounts* kind = nullptr;  // null: no configured kind
  std::string path_utf8;             // for the diagnostic lines
};

// Every member of "Dinos" is a kind, limited by its "Count" (9999 without one). A section that
// is an array, string, number or boolean fails here, at key(), before any creature is counted;
// null or empty counts as no kinds. A kind's limit is read under its key as the store holds it,
// so a name with bytes the key turned into '?' finds no member and is limited to 9999.
void AddConfiguredKinds(DinoCountStore& store) {
  const nlohmann::json* dinos = ConfigMember(PluginConfig(), "Dinos");
  if (dinos == nullptr) return;
  for (auto member = dinos->begin(); member != dinos->end(); ++member) {
    const std::string& name = member.key();
    std::string key = name;
    for (char& c : key) {
      if (static_cast<unsigned char>(c) > 0x7F) c = '?';
    }
    int32_t limit = 9999;
    if (const nlohmann::json* entry = ConfigMember(*dinos, key)) {
      if (!entry->is_object()) (void)entry->value("Count", 0);  // the library's type error
      if (const nlohmann::json* count = ConfigMember(*entry, "Count")) limit = ReadInt32(*count);
    }
    store.AddKind(name, limit);
  }
  store.SetTierCount(Tiers().size());
  for (const Tier& tier : Tiers()) {
    for (const auto& [key, count] : tier.counts) store.SetTierLimit(tier.index, key, count);
  }
}

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

    const int32_t count = ++counts.kind_teams[class_kind.kind->ordinal][team];
    if (count > class_kind.kind->limit) counts.limit_exceeded[team] = true;
    debug("UpdateDinoCountAll: team_id: {}", team);
    debug("UpdateDinoCountAll: path_name: {}", class_kind.path_utf8);
    debug("UpdateDinoCountAll: count: {}", count);
  }
  store.ForEachKind([&](const FString&, const KindCounts& kind) {
    for (const auto& [team, count] : counts.kind_teams[kind.ordinal]) {
      if (count > kind.limit) ++counts.kinds_over[team];
    }
  });
}

}  // namespace

void UpdateDinoCountAll() {
  // Everything is built aside and put in place at the end, so a recount that fails leaves the
  // counts as they were. The kinds are read anew only when the configuration changed.
  DinoCountStore& live = Store();
  DinoCountStore fresh;
  const bool new_kinds = live.kinds_generation() != ConfigGeneration();
  if (new_kinds) {
    AddConfiguredKinds(fresh);
    fresh.set_kinds_generation(ConfigGeneration());
  }
  DinoCountStore& target = new_kinds ? fresh : live;
  StoreCounts counts = target.EmptyCounts();
  CountLevel(target, counts);
  target.ReplaceCounts(std::move(counts));
  if (new_kinds) live = std::move(fresh);
}

void RecountOnTimer() {
  static int64_t seconds_since_recount = 0;
  const int32_t interval = RecountIntervalSeconds();
  if (interval <= 0) {
    seconds_since_recount = 0;
    return;
  }
  if (++seconds_since_recount < interval) return;
  seconds_since_recount = 0;
  Guarded("UpdateDinoCountAll", [] { UpdateDinoCountAll(); });
}
