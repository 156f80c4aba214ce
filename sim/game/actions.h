#pragma once

#include <cstdint>
#include <string>

#include "sim/game/game.h"

// What players and the world do, each running the game's hooked functions through their hooks
// exactly as the real game would, so installed detours run and "result" events are reported.
// The running Server is the game they act in.
namespace sim::actions {

// The player tames the creature: its taming team becomes the player's team while it is being
// tamed, the game asks "AShooterGameState.AllowDinoTame", and when that allows it,
// "APrimalDinoCharacter.TameDino" finishes the tame. True when the tame finished.
bool Tame(ShooterPlayerController& player, Dino& dino);
// An admin's force-tame: "APrimalDinoCharacter.TameDino" alone, for the player's team, without
// asking "AShooterGameState.AllowDinoTame".
void ForceTame(ShooterPlayerController& player, Dino& dino);
// "APrimalDinoCharacter.TryMultiUse" with a use index: a claim, an unclaim (game_facts.h) or any
// other.
bool MultiUse(ShooterPlayerController& player, Dino& dino, int32_t use_index);
// "APrimalDinoCharacter.Die"; true when the creature died.
bool Die(Dino& dino);
// "APrimalDinoCharacter.Destroyed": the creature leaves the level.
void Destroy(Dino& dino);

// The player equips the item as a weapon ("AShooterCharacter.OnWeaponEquipped").
void Equip(ShooterPlayerController& player, Item& item);
// "UPrimalItem.AllowUseInInventory" for the player; true when the item may be used. A used
// spawning item brings its creature into the level for the player's team (no hooked function
// runs for that, as in the game).
bool Use(ShooterPlayerController& player, Item& item);

// A soul trap's custom data keeping a creature's path (without "Blueprint'...'") after the trap's
// other strings.
FCustomItemData SoulTrapData(FString path);
// The player puts the creature into a cryopod or soul trap: its class goes into the item's
// custom data (a soul trap keeps its path as text) and it leaves the level through
// "APrimalDinoCharacter.Destroyed". False when the item already holds one.
bool Capture(ShooterPlayerController& player, Dino& dino, Item& pod);
// The player equips the pod ("AShooterCharacter.OnWeaponEquipped"); when it stays equipped, its
// creature comes back into the level for the player's team and the pod is empty. The creature,
// or null when the pod was unequipped or held none.
Dino* Release(ShooterPlayerController& player, Item& pod);
// "UPrimalItem.AllowSlotting".
bool Slot(Item& item);

// "AShooterPlayerController.ServerRequestDownloadDino_Implementation" for an uploaded creature
// of the kind.
void RequestDownload(ShooterPlayerController& player, Class& kind);
// "AShooterPlayerController.ServerDownloadDino": the game spawns the creature for the player's
// team (without setting it up through "InitDownloadedTamedDino"). True when it arrived.
bool Download(ShooterPlayerController& player, Class& kind);
// "APrimalDinoCharacter.InitDownloadedTamedDino" for the team.
void InitDownloaded(Dino& dino, int32_t team);
// The record the download actions pass: every field filled, so a lost copy shows.
UploadedDinoRecord MakeUploadedRecord(Class& kind);

// "APrimalStructure.TryMultiUse" (game_facts::kCloneUseIndex starts cloning).
bool UseStructure(ShooterPlayerController& player, Structure& structure, int32_t use_index);
// "AActor.BPServerHandleNetExecCommand" from the player, with the creature (or none) where the
// parameter block keeps the command's object. The creature receives the command, else the player's
// body.
bool NetExec(ShooterPlayerController& player, const std::string& command, Dino* dino);

// "AShooterPlayerController.SpawnActor" with the path exactly as given; the spawned actor or null.
AActor* Spawn(ShooterPlayerController& player, const std::string& path);

// "AShooterPlayerState.AddToTribe": an invitation accepted (invite flag), a merge accepted
// (merge and invite flags), or a player creating a tribe (neither; no inviter).
bool Invite(ShooterPlayerController& inviter, ShooterPlayerController& player);
bool Merge(ShooterPlayerController& inviter, ShooterPlayerController& player);
bool CreateTribe(ShooterPlayerController& player, int32_t tribe_id);
// The same call with any flags and inviter (null for none), into the tribe with that id.
bool AddToTribe(ShooterPlayerController* inviter, ShooterPlayerController& player, int32_t tribe_id,
                bool merge, bool invite);

}  // namespace sim::actions
