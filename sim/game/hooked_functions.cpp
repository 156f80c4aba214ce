#include <utility>

#include "host/game_facts.h"
#include "sim/framework/text.h"
#include "sim/game/functions.h"
#include "sim/server.h"

// The game's own versions of the functions a plug-in hooks. Each does the least the real game
// does, so that what a detour lets through or stops shows in the world.
namespace sim::game_functions {
namespace {

Game& TheGame() { return Server::Current().game(); }

void SetTeam(Actor& actor, int32_t team) {
  actor.targeting_team = team;
  if (actor.IsA(Dino::StaticClass())) static_cast<Dino&>(actor).taming_team_id = team;
}

// Spawns a creature of `kind` a little in front of the player.
Dino& SpawnNear(ShooterPlayerController& player, Class& kind, int32_t team, float distance) {
  FVector at = Game::LocationOf(player.character);
  at.X += distance;
  return TheGame().SpawnDino(kind, team, at);
}

}  // namespace

void AShooterGameMode_InitGame(AShooterGameMode*, FString*, FString*, FString*) {}

bool AShooterGameState_AllowDinoTame(AShooterGameState*, APrimalDinoCharacter* dino,
                                     AShooterPlayerController*) {
  const auto* d = FromHost<Dino>(dino);
  return d != nullptr && !d->dead() && !d->destroyed;
}

bool APrimalDinoCharacter_TryMultiUse(APrimalDinoCharacter* dino, APlayerController* controller,
                                      int32_t use_index) {
  auto* d = FromHost<Dino>(dino);
  auto* player = FromHost<ShooterPlayerController>(controller);
  if (d == nullptr || player == nullptr || d->dead() || d->destroyed) return false;
  const int32_t team = Game::TeamOf(*player);
  switch (use_index) {
    case game_facts::kClaimUseIndex:  // an unowned creature becomes the player's team's
      if (game_facts::IsPlayerTeam(d->targeting_team)) return false;
      SetTeam(*d, team);
      return true;
    case game_facts::kUnclaimUseIndex:  // the team gives the creature up
      if (d->targeting_team != team) return false;
      SetTeam(*d, 0);
      return true;
    default:  // any other use happens without changing the owner
      return true;
  }
}

bool AShooterPlayerState_AddToTribe(AShooterPlayerState* state, FTribeData* new_tribe,
                                    bool merge_tribe, bool, bool, APlayerController*) {
  auto* joining = FromHost<ShooterPlayerState>(state);
  const auto* tribe = reinterpret_cast<const TribeData*>(new_tribe);
  if (joining == nullptr || tribe == nullptr || tribe->tribe_id == 0 ||
      joining->tribe.tribe_id == tribe->tribe_id || joining->controller == nullptr) {
    return false;
  }
  const int32_t old_team = Game::TeamOf(*joining->controller);
  // A merge brings every member of the old team along; a join brings the player.
  for (ShooterPlayerController* player : TheGame().Players()) {
    if (player->player_state != state && !(merge_tribe && Game::TeamOf(*player) == old_team))
      continue;
    auto* member = FromHost<ShooterPlayerState>(player->player_state);
    member->tribe.tribe_id = tribe->tribe_id;
    member->tribe.tribe_name = tribe->tribe_name;
    member->targeting_team = player->targeting_team = tribe->tribe_id;
    if (player->character != nullptr) player->character->targeting_team = tribe->tribe_id;
  }
  // The old team's creatures go with it.
  for (AActor* slot : TheGame().level().actors) {
    auto* actor = FromHost<Actor>(slot);
    if (actor != nullptr && actor->IsA(Dino::StaticClass()) && actor->targeting_team == old_team)
      SetTeam(*actor, tribe->tribe_id);
  }
  return true;
}

void APrimalDinoCharacter_TameDino(APrimalDinoCharacter* dino, AShooterPlayerController* controller,
                                   bool, int32_t override_taming_team, bool, bool) {
  auto* d = FromHost<Dino>(dino);
  auto* player = FromHost<ShooterPlayerController>(controller);
  if (d == nullptr) return;
  const int32_t team = override_taming_team != 0 ? override_taming_team
                       : player != nullptr       ? Game::TeamOf(*player)
                                                 : d->taming_team_id;
  SetTeam(*d, team);
}

void AShooterPlayerController_ServerRequestDownloadDino_Implementation(AShooterPlayerController*,
                                                                       UploadedDinoRecord record) {
  TheGame().received_uploads().push_back(std::move(record));
}

AActor* AShooterPlayerController_SpawnActor(AShooterPlayerController* controller,
                                            FString* blueprint_path, float spawn_distance, float,
                                            float, bool) {
  auto* player = FromHost<ShooterPlayerController>(controller);
  if (player == nullptr || blueprint_path == nullptr) return nullptr;
  Class* kind = TheGame().CreatureClass(ToUtf8(*blueprint_path));
  if (kind == nullptr) return nullptr;
  return ToHost<AActor>(&SpawnNear(*player, *kind, 0, spawn_distance));
}

bool APrimalDinoCharacter_Die(APrimalDinoCharacter* dino, float, FDamageEvent*, AController*,
                              AActor*) {
  auto* d = FromHost<Dino>(dino);
  if (d == nullptr || d->dead() || d->destroyed) return false;
  d->set_dead(true);
  return true;
}

void APrimalDinoCharacter_Destroyed(APrimalDinoCharacter* dino) {
  if (auto* d = FromHost<Dino>(dino); d != nullptr) TheGame().RemoveFromLevel(*d);
}

bool APrimalStructure_TryMultiUse(APrimalStructure* structure, APlayerController* controller,
                                  int32_t) {
  return structure != nullptr && controller != nullptr;
}

void APrimalDinoCharacter_InitDownloadedTamedDino(APrimalDinoCharacter* dino,
                                                  AShooterPlayerController*, int32_t team) {
  if (auto* d = FromHost<Dino>(dino); d != nullptr) SetTeam(*d, team);
}

bool AShooterPlayerController_ServerDownloadDino(AShooterPlayerController* controller,
                                                 UploadedDinoRecord record) {
  auto* player = FromHost<ShooterPlayerController>(controller);
  auto* kind = FromHost<Class>(record.DinoClass);
  TheGame().received_uploads().push_back(record);
  if (player == nullptr || kind == nullptr || !kind->IsChildOf(Dino::StaticClass())) return false;
  SpawnNear(*player, *kind, Game::TeamOf(*player), 300.0f);
  return true;
}

bool UPrimalItem_AllowUseInInventory(UPrimalItem* item, bool, AShooterPlayerController*, bool) {
  return item != nullptr;
}

bool UPrimalItem_AllowSlotting(UPrimalItem* item, UPrimalInventoryComponent*, bool) {
  return item != nullptr;
}

bool AActor_BPServerHandleNetExecCommand(AActor* actor, APlayerController*, FName,
                                         FBPNetExecParams*) {
  return actor != nullptr;
}

void AShooterCharacter_OnWeaponEquipped(AShooterCharacter* character, AShooterWeapon* weapon) {
  auto* body = FromHost<Survivor>(character);
  auto* w = FromHost<Weapon>(weapon);
  if (body == nullptr || w == nullptr) return;
  body->weapon = w;
  w->holder = body;
}

}  // namespace sim::game_functions
