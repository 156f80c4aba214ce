#include "counting/recount.h"

#include <optional>
#include <string>
#include <unordered_map>

#include "counting/blueprint_path.h"
#include "counting/dino_count_store.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "plugin/config.h"
#include "plugin/text.h"

namespace {

// What the recount knows about one creature class. A class's path does not change during one
// recount, so it is built once per class instead of once per creature.
struct ClassKind {
  KindCounts* kind = nullptr;    // null: no configured kind
  std::optional<int32_t> limit;  // read at the first counted creature of the kind
  std::string path_utf8;         // for the diagnostic lines
};

// Every member of "Dinos" is a kind. A section that is an array, string, number or boolean
// fails here, at key(), before any creature is counted; null or empty counts as no kinds.
void AddConfiguredKinds() {
  nlohmann::json& dinos = PluginConfig["Dinos"];
  for (auto member = dinos.begin(); member != dinos.end(); ++member) {
    AddKind(member.key());
  }
}

}  // namespace

void UpdateDinoCountAll() {
  ClearStore();
  AddConfiguredKinds();

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

    ++TeamTotal(team);
    UClass* cls = Field<"UObjectBase.Class">(actor);
    auto [entry, fresh] = class_kinds.try_emplace(cls);
    ClassKind& class_kind = entry->second;
    if (fresh) {
      const FString path = GetClassBlueprintPath(cls);
      class_kind.kind = FindKind(path);
      if (debug) class_kind.path_utf8 = ToUtf8(path);
    }
    if (class_kind.kind == nullptr) continue;

    const int32_t count = ++class_kind.kind->teams[team];
    if (!class_kind.limit) class_kind.limit = KindLimit(*class_kind.kind);
    if (count > *class_kind.limit) LimitExceeded(team) = true;
    debug("UpdateDinoCountAll: team_id: {}", team);
    debug("UpdateDinoCountAll: path_name: {}", class_kind.path_utf8);
    debug("UpdateDinoCountAll: count: {}", count);
  }
}
