#include "sim/game/actions.h"

#include "host/game_facts.h"
#include "host/game_text.h"
#include "sim/framework/call_trace.h"
#include "sim/framework/text.h"
#include "sim/game/names.h"
#include "sim/server.h"

namespace sim::actions {
namespace {

// An item keeps the weapon it was first equipped as.
Weapon& WeaponFor(Item& item) {
  if (item.weapon == nullptr) item.weapon = &Server::Current().game().AddWeapon(item);
  return *item.weapon;
}

bool JoinTribe(ShooterPlayerController* inviter, ShooterPlayerController& player, TribeData tribe,
               bool merge, bool invite) {
  return Invoke<"AShooterPlayerState.AddToTribe">(
      ToHost<AShooterPlayerState>(FromHost<ShooterPlayerState>(player.player_state)),
      reinterpret_cast<FTribeData*>(&tribe), merge, false, invite,
      ToHost<APlayerController>(inviter));
}

void TameDino(ShooterPlayerController& player, Dino& dino, bool force) {
  Invoke<"APrimalDinoCharacter.TameDino">(ToHost<APrimalDinoCharacter>(&dino),
                                          ToHost<AShooterPlayerController>(&player), force, 0,
                                          false, false);
}

// The creature class a pod holds, or null for an empty pod.
Class* HeldClass(const Item& pod) {
  if (pod.custom_item_datas.Num() == 0) return nullptr;
  const FCustomItemData& data = pod.custom_item_datas[0];
  if (!pod.keeps_path) {
    return data.CustomDataClasses.Num() == 0 ? nullptr : FromHost<Class>(data.CustomDataClasses[0]);
  }
  if (data.CustomDataStrings.Num() <= game_facts::kSoulTrapPathIndex) return nullptr;
  return Server::Current().game().CreatureClass(
      ToUtf8(data.CustomDataStrings[game_facts::kSoulTrapPathIndex]));
}

}  // namespace

FCustomItemData SoulTrapData(FString path) {
  FCustomItemData data;
  for (int i = 0; i < game_facts::kSoulTrapPathIndex; ++i)
    data.CustomDataStrings.Add(FString("field " + std::to_string(i)));
  data.CustomDataStrings.Add(std::move(path));
  return data;
}

void ForceTame(ShooterPlayerController& player, Dino& dino) {
  dino.taming_team_id = Game::TeamOf(player);
  TameDino(player, dino, true);
}

bool Capture(ShooterPlayerController&, Dino& dino, Item& pod) {
  if (HeldClass(pod) != nullptr) return false;
  Class& kind = *FromHost<Class>(dino.cls);
  FCustomItemData data;
  if (pod.keeps_path) {
    data = SoulTrapData(FromUtf8(std::string(game_text::Unwrap(kind.kind_path))));
  } else {
    data.CustomDataClasses.Add(ToHost<UClass>(&kind));
  }
  pod.custom_item_datas = TArray<FCustomItemData>();
  pod.custom_item_datas.Add(std::move(data));
  Destroy(dino);
  return true;
}

Dino* Release(ShooterPlayerController& player, Item& pod) {
  Equip(player, pod);
  Class* kind = HeldClass(pod);
  const bool still_equipped = player.character != nullptr && pod.weapon != nullptr &&
                              player.character->weapon == pod.weapon;
  if (kind == nullptr || !still_equipped) return nullptr;
  pod.custom_item_datas = TArray<FCustomItemData>();
  return &Server::Current().game().SpawnDino(*kind, Game::TeamOf(player),
                                             Game::LocationOf(player.character));
}

bool Tame(ShooterPlayerController& player, Dino& dino) {
  dino.taming_team_id = Game::TeamOf(player);
  const bool allowed = Invoke<"AShooterGameState.AllowDinoTame">(
      ToHost<AShooterGameState>(&Server::Current().game().game_state()),
      ToHost<APrimalDinoCharacter>(&dino), ToHost<AShooterPlayerController>(&player));
  if (allowed) TameDino(player, dino, false);
  return allowed;
}

bool MultiUse(ShooterPlayerController& player, Dino& dino, int32_t use_index) {
  return Invoke<"APrimalDinoCharacter.TryMultiUse">(ToHost<APrimalDinoCharacter>(&dino),
                                                    ToHost<APlayerController>(&player), use_index);
}

bool Die(Dino& dino) {
  return Invoke<"APrimalDinoCharacter.Die">(ToHost<APrimalDinoCharacter>(&dino), 1000.0f, nullptr,
                                            nullptr, nullptr);
}

void Destroy(Dino& dino) {
  Invoke<"APrimalDinoCharacter.Destroyed">(ToHost<APrimalDinoCharacter>(&dino));
}

void Equip(ShooterPlayerController& player, Item& item) {
  Invoke<"AShooterCharacter.OnWeaponEquipped">(ToHost<AShooterCharacter>(player.character),
                                               ToHost<AShooterWeapon>(&WeaponFor(item)));
}

bool Use(ShooterPlayerController& player, Item& item) {
  const bool allowed = Invoke<"UPrimalItem.AllowUseInInventory">(
      ToHost<UPrimalItem>(&item), false, ToHost<AShooterPlayerController>(&player), false);
  if (allowed && item.spawns != nullptr) {
    Server::Current().game().SpawnDino(*item.spawns, Game::TeamOf(player),
                                       Game::LocationOf(player.character));
  }
  return allowed;
}

bool Slot(Item& item) {
  return Invoke<"UPrimalItem.AllowSlotting">(ToHost<UPrimalItem>(&item), nullptr, false);
}

UploadedDinoRecord MakeUploadedRecord(Class& kind) {
  UploadedDinoRecord record;
  record.Version = 7;
  record.DinoName = FString("Uploaded " + kind.class_name);
  record.DinoClass = ToHost<UClass>(&kind);
  record.DinoData = {1, 2, 3, 4, 5, 6, 7, 8};
  record.DinoNameInMap = FString("TheIsland");
  record.TamerName = FString("Tamer");
  for (int i = 0; i < 12; ++i) record.Stats[i] = FString("stat " + std::to_string(i));
  record.DinoID1 = 11;
  record.DinoID2 = 22;
  record.UploadTime = 33;
  record.Flags = 44;
  return record;
}

void RequestDownload(ShooterPlayerController& player, Class& kind) {
  Invoke<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">(
      ToHost<AShooterPlayerController>(&player), MakeUploadedRecord(kind));
}

bool Download(ShooterPlayerController& player, Class& kind) {
  return Invoke<"AShooterPlayerController.ServerDownloadDino">(
      ToHost<AShooterPlayerController>(&player), MakeUploadedRecord(kind));
}

void InitDownloaded(Dino& dino, int32_t team) {
  Invoke<"APrimalDinoCharacter.InitDownloadedTamedDino">(ToHost<APrimalDinoCharacter>(&dino),
                                                         nullptr, team);
}

bool UseStructure(ShooterPlayerController& player, Structure& structure, int32_t use_index) {
  return Invoke<"APrimalStructure.TryMultiUse">(ToHost<APrimalStructure>(&structure),
                                                ToHost<APlayerController>(&player), use_index);
}

bool NetExec(ShooterPlayerController& player, const std::string& command, Dino* dino) {
  NetExecParams params;
  params.object_params[0] = ToHost<UObject>(dino);
  Actor* receiver = dino != nullptr ? static_cast<Actor*>(dino) : player.character;
  return Invoke<"AActor.BPServerHandleNetExecCommand">(
      ToHost<AActor>(receiver), ToHost<APlayerController>(&player), MakeName(command),
      reinterpret_cast<FBPNetExecParams*>(&params));
}

AActor* Spawn(ShooterPlayerController& player, const std::string& path) {
  FString blueprint = FromUtf8(path);
  return Invoke<"AShooterPlayerController.SpawnActor">(ToHost<AShooterPlayerController>(&player),
                                                       &blueprint, 500.0f, 0.0f, 0.0f, false);
}

bool Invite(ShooterPlayerController& inviter, ShooterPlayerController& player) {
  return JoinTribe(&inviter, player, FromHost<ShooterPlayerState>(inviter.player_state)->tribe,
                   false, true);
}

bool Merge(ShooterPlayerController& inviter, ShooterPlayerController& player) {
  return JoinTribe(&inviter, player, FromHost<ShooterPlayerState>(inviter.player_state)->tribe,
                   true, true);
}

bool CreateTribe(ShooterPlayerController& player, int32_t tribe_id) {
  return AddToTribe(nullptr, player, tribe_id, false, false);
}

bool AddToTribe(ShooterPlayerController* inviter, ShooterPlayerController& player, int32_t tribe_id,
                bool merge, bool invite) {
  TribeData tribe;
  tribe.tribe_id = tribe_id;
  tribe.tribe_name = FString("Tribe " + std::to_string(tribe_id));
  return JoinTribe(inviter, player, std::move(tribe), merge, invite);
}

}  // namespace sim::actions
