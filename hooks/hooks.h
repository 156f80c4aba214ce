#pragma once

#include "host/game_table.h"

// The game's own function behind each hooked name: the framework writes its address here when
// the hook is installed, before the detour can run. Detours call it to let the game go on.
template <GameName Name>
inline typename GameFunction<Name>::Type* Original = nullptr;

// Taming and claiming.
bool Hook_AShooterGameState_AllowDinoTame(AShooterGameState* game_state, APrimalDinoCharacter* dino,
                                          AShooterPlayerController* controller);
void Hook_APrimalDinoCharacter_TameDino(APrimalDinoCharacter* dino,
                                        AShooterPlayerController* controller,
                                        bool ignore_max_tame_limit, int32_t override_team,
                                        bool prevent_name_dialog, bool skip_tamed_levels);
bool Hook_APrimalDinoCharacter_TryMultiUse(APrimalDinoCharacter* dino,
                                           APlayerController* controller, int32_t use_index);

// Death and destruction.
bool Hook_APrimalDinoCharacter_Die(APrimalDinoCharacter* dino, float killing_damage,
                                   FDamageEvent* damage_event, AController* killer,
                                   AActor* damage_causer);
void Hook_APrimalDinoCharacter_Destroyed(APrimalDinoCharacter* dino);

// Cryopods, soul traps and creature-spawning items.
void Hook_AShooterCharacter_OnWeaponEquipped(AShooterCharacter* character, AShooterWeapon* weapon);
bool Hook_UPrimalItem_AllowUseInInventory(UPrimalItem* item, bool is_remote_inventory,
                                          AShooterPlayerController* controller,
                                          bool dont_check_actor);
bool Hook_UPrimalItem_AllowSlotting(UPrimalItem* item, UPrimalInventoryComponent* inventory,
                                    bool force);

// Uploads and downloads.
void Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation(
    AShooterPlayerController* controller, UploadedDinoRecord record);
bool Hook_AShooterPlayerController_ServerDownloadDino(AShooterPlayerController* controller,
                                                      UploadedDinoRecord record);
void Hook_APrimalDinoCharacter_InitDownloadedTamedDino(APrimalDinoCharacter* dino,
                                                       AShooterPlayerController* tamer,
                                                       int32_t team);

// Cloning.
bool Hook_APrimalStructure_TryMultiUse(APrimalStructure* structure, APlayerController* controller,
                                       int32_t use_index);
bool Hook_AActor_BPServerHandleNetExecCommand(AActor* actor, APlayerController* controller,
                                              FName command, FBPNetExecParams* params);

// Admin spawns.
AActor* Hook_AShooterPlayerController_SpawnActor(AShooterPlayerController* controller,
                                                 FString* blueprint_path, float spawn_distance,
                                                 float y_offset, float z_offset,
                                                 bool defer_begin_play);

// Tribe joins and merges.
bool Hook_AShooterPlayerState_AddToTribe(AShooterPlayerState* player_state, FTribeData* new_tribe,
                                         bool merge_tribe, bool force, bool is_from_invite,
                                         APlayerController* inviter);
