// Cryopods, soul traps and creature-spawning items: a player may not bring out a creature of a
// kind the team has no room for. These hooks only check; they never change the counts.
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/text.h"
#include "counting/blueprint_path.h"
#include "counting/team_identity.h"
#include "hooks/hooks.h"
#include "hooks/road.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "host/game_text.h"

namespace {

constexpr char kEquipped[] = "Hook_AShooterCharacter_OnWeaponEquipped";
constexpr char kUse[] = "Hook_UPrimalItem_AllowUseInInventory";

constexpr Road kCryopod = {"Cryopod"};
constexpr Road kSoulTrap = {"Soul trap"};
constexpr Road kItem = {"Item", "Hook_UPrimalItem_AllowUseInInventory: Dino spawn prevented!"};

using game_facts::kSoulTrapPathIndex;

// The blueprint path of a soul trap's stored creature. The text is formatted as UTF-8 and comes
// back byte by byte, so a byte above 0x7F becomes '?'.
FString SoulTrapPath(const FString& stored) {
  return FString(std::string_view(game_text::Wrap(ToUtf8(stored))));
}

// Checks one creature stored in the equipped item. A refused one gets its own message and its
// own unequip request; the unequip happens even when the message cannot be sent.
void CheckStored(const Road& road, const FString& path_name, const Actor& who,
                 AShooterWeapon* weapon) {
  LogDebug("Hook_AShooterCharacter_OnWeaponEquipped - path_name: {}", ToUtf8(path_name));
  bool refuse = false;
  Guarded(kEquipped, [&] { GuardGain(road, path_name, who, refuse); });
  if (refuse) Call<"AShooterWeapon.StartUnequip">(weapon);
}

// Every creature class a cryopod holds, in order; the walk goes on past a refusal.
void CheckCryopod(UPrimalItem* item, const Actor& who, AShooterWeapon* weapon) {
  const TArray<FCustomItemData> datas = Field<"UPrimalItem.CustomItemDatas">(item);
  for (const FCustomItemData& data : datas) {
    for (UClass* cls : data.CustomDataClasses)
      CheckStored(kCryopod, GetClassBlueprintPath(cls), who, weapon);
  }
}

// The eleventh string of every soul-trap entry that has one.
void CheckSoulTrap(UPrimalItem* item, const Actor& who, AShooterWeapon* weapon) {
  const TArray<FCustomItemData> datas = Field<"UPrimalItem.CustomItemDatas">(item);
  for (const FCustomItemData& data : datas) {
    if (data.CustomDataStrings.Num() <= kSoulTrapPathIndex) continue;
    CheckStored(kSoulTrap, SoulTrapPath(data.CustomDataStrings[kSoulTrapPathIndex]), who, weapon);
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
  const Actor who = ActingPlayer(controller);
  if (who.team() == 0) return;
  (void)who.tier();  // asked once, for every creature the item holds
  if (cryopod) CheckCryopod(item, who, weapon);
  if (soul_trap) CheckSoulTrap(item, who, weapon);
}

// The creature an item spawns: its "ItemMap" entry, else the item's own path (also without an
// "ItemMap", which the configuration check warns about).
FString SpawnedCreature(const FString& item_path) {
  const auto& map = CurrentSettings().item_map;
  const auto entry = map.find(ToUtf8(item_path));
  return entry == map.end() ? item_path : FString(std::string_view(entry->second));
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
  if (PlayerStateOf(controller) == nullptr) return;
  const Actor who = ActingPlayer(controller);
  debug("Hook_UPrimalItem_AllowUseInInventory: team_id {}", who.team());
  if (who.team() == 0) return;
  const FString creature = SpawnedCreature(item_path);
  if (debug) debug("Hook_UPrimalItem_AllowUseInInventory path_name: {}", ToUtf8(creature));
  GuardGain(kItem, creature, who, refuse);
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
