// Cryopods, soul traps and creature-spawning items: a player may not bring out a creature of a
// kind the team has no room for. These hooks only check; they never change the counts.
#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "notify/messages.h"
#include "notify/refusals.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "counting/tiers.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/logger.h"
#include "base/text.h"

namespace {

constexpr char kEquipped[] = "Hook_AShooterCharacter_OnWeaponEquipped";
constexpr char kUse[] = "Hook_UPrimalItem_AllowUseInInventory";

using game_facts::kSoulTrapPathIndex;

// The blueprint path of a soul trap's stored creature. The text is formatted as UTF-8 and comes
// back byte by byte, so a byte above 0x7F becomes '?'.
FString SoulTrapPath(const FString& stored) {
  return FString(std::string_view(fmt::format("Blueprint'{}'", ToUtf8(stored))));
}

// The equipping player's team and tier, and the weapon to put away on a refusal.
struct Equipper {
  int32_t team_id;
  const Tier* tier;
  AShooterPlayerController* controller;
  AShooterWeapon* weapon;
};

// Checks one creature stored in the equipped item. A refused one gets its own message and its
// own unequip request; the unequip happens even when the message cannot be sent.
void CheckStored(std::string_view road, const FString& path_name, const Equipper& who) {
  LogDebug("Hook_AShooterCharacter_OnWeaponEquipped - path_name: {}", ToUtf8(path_name));
  const LimitCheck check = CheckLimits(path_name, who.team_id, who.tier);
  if (check.allowed()) return;
  Guarded(kEquipped, [&] {
    LogRefusal(road, who.team_id, path_name, check);
    NotifyLimit(check, who.controller);
  });
  Call<"AShooterWeapon.StartUnequip">(who.weapon);
}

// Every creature class a cryopod holds, in order; the walk goes on past a refusal.
void CheckCryopod(UPrimalItem* item, const Equipper& who) {
  const TArray<FCustomItemData> datas = Field<"UPrimalItem.CustomItemDatas">(item);
  for (const FCustomItemData& data : datas) {
    for (UClass* cls : data.CustomDataClasses)
      CheckStored("Cryopod", GetClassBlueprintPath(cls), who);
  }
}

// The eleventh string of every soul-trap entry that has one.
void CheckSoulTrap(UPrimalItem* item, const Equipper& who) {
  const TArray<FCustomItemData> datas = Field<"UPrimalItem.CustomItemDatas">(item);
  for (const FCustomItemData& data : datas) {
    if (data.CustomDataStrings.Num() <= kSoulTrapPathIndex) continue;
    CheckStored("Soul trap", SoulTrapPath(data.CustomDataStrings[kSoulTrapPathIndex]), who);
  }
}

void CheckEquipped(AShooterCharacter* character, AShooterWeapon* weapon) {
  AShooterPlayerController* controller =
      ArkApi::GetApiUtils().FindControllerFromCharacter(character);
  if (controller == nullptr || weapon == nullptr) return;
  UPrimalItem* item = Field<"AShooterWeapon.AssociatedPrimalItem">(weapon);
  if (item == nullptr) return;
  FString full_name;
  Call<"UObjectBaseUtility.GetFullName">(item, &full_name, nullptr);
  if (full_name.IsEmpty()) return;
  LogDebug("Hook_AShooterCharacter_OnWeaponEquipped - itemNameFull: {}", ToUtf8(full_name));

  const bool cryopod = FindIgnoreCase(full_name, FString("PrimalItem_WeaponEmptyCryopod_C")) >= 0;
  const bool soul_trap = FindIgnoreCase(full_name, FString("SoulTrap_DS_C")) >= 0;
  if (!cryopod && !soul_trap) return;
  const int32_t team_id = GetTeamID(PlayerStateOf(controller));
  if (team_id == 0) return;
  const Equipper who{team_id, TierOf(controller), controller, weapon};
  if (cryopod) CheckCryopod(item, who);
  if (soul_trap) CheckSoulTrap(item, who);
}

// The creature an item spawns: its "ItemMap" entry, else the item's own path (also without an
// "ItemMap", which the configuration check warns about). A map that is no object, or an entry
// that is no text, cannot pass the check; should one be live anyway it is logged and the item is
// checked under its own path, so a broken map neither blocks nor frees every spawner.
FString SpawnedCreature(const FString& item_path) {
  const nlohmann::json* map = ConfigMember(PluginConfig(), "ItemMap");
  if (map == nullptr) return item_path;
  if (!map->is_object()) {
    LogError(kUse, "\"ItemMap\" is no object; the item is checked under its own path");
    return item_path;
  }
  const std::string key = ToUtf8(item_path);
  const nlohmann::json* entry = ConfigMember(*map, key);
  if (entry == nullptr) return item_path;
  if (!entry->is_string()) {
    LogError(kUse,
             "\"ItemMap\" entry " + key + " is no text; the item is checked under its own path");
    return item_path;
  }
  return FString(std::string_view(entry->get_ref<const std::string&>()));
}

// Refuses (sets `refuse`, then tells the player) a creature-spawning consumable that the game
// allowed when the player's team has no room for the creature it spawns.
void CheckSpawn(UPrimalItem* item, bool allowed, AShooterPlayerController* controller,
                bool& refuse) {
  const DebugLines debug;
  const FString item_path = GetBlueprintPath(item);
  if (debug) debug("Hook_UPrimalItem_AllowUseInInventory: path_name: {}", ToUtf8(item_path));
  if (!allowed || controller == nullptr ||
      Field<"UPrimalItem.MyItemType">(item) != game_facts::kConsumableItemType ||
      Field<"UPrimalItem.MyConsumableType">(item) != game_facts::kSpawnerConsumableType) {
    return;
  }
  AShooterPlayerState* player_state = PlayerStateOf(controller);
  if (player_state == nullptr) return;
  const int32_t team_id = GetTeamID(player_state);
  debug("Hook_UPrimalItem_AllowUseInInventory: team_id {}", team_id);
  if (team_id == 0) return;
  const FString creature = SpawnedCreature(item_path);
  if (debug) debug("Hook_UPrimalItem_AllowUseInInventory path_name: {}", ToUtf8(creature));
  const LimitCheck check = CheckLimits(creature, team_id, TierOf(controller));
  if (check.allowed()) return;
  debug("Hook_UPrimalItem_AllowUseInInventory: Dino spawn prevented!");
  refuse = true;
  LogRefusal("Item", team_id, creature, check);
  NotifyLimit(check, controller);
}

}  // namespace

void Hook_AShooterCharacter_OnWeaponEquipped(AShooterCharacter* character, AShooterWeapon* weapon) {
  // The equip always happens; a refusal unequips afterwards.
  Original<"AShooterCharacter.OnWeaponEquipped">(character, weapon);
  Guarded(kEquipped, [&] { CheckEquipped(character, weapon); });
}

bool Hook_UPrimalItem_AllowUseInInventory(UPrimalItem* item, bool is_remote_inventory,
                                          AShooterPlayerController* controller,
                                          bool dont_check_actor) {
  Guarded(kUse, [&] {
    const DebugLines debug;
    debug("Hook_UPrimalItem_AllowUseInInventory");
    debug("bIsRemoteInventory: {}", is_remote_inventory);
    debug("DontCheckActor: {}", dont_check_actor);
    if (item == nullptr) return;
    debug("MyItemTypeField {}", Field<"UPrimalItem.MyItemType">(item));
    debug("MyConsumableTypeField: {}", Field<"UPrimalItem.MyConsumableType">(item));
  });
  const bool allowed = Original<"UPrimalItem.AllowUseInInventory">(item, is_remote_inventory,
                                                                   controller, dont_check_actor);
  // The game's own refusal stands without a look at the team or the limits.
  bool refuse = false;
  if (item != nullptr) Guarded(kUse, [&] { CheckSpawn(item, allowed, controller, refuse); });
  return allowed && !refuse;
}

bool Hook_UPrimalItem_AllowSlotting(UPrimalItem* item, UPrimalInventoryComponent* inventory,
                                    bool force) {
  return Original<"UPrimalItem.AllowSlotting">(item, inventory, force);
}
