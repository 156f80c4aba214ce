#pragma once

#include "host/game_table.h"

// The stand-in game's own functions, one per name of the game table, each doing the least that
// the real game does so that a plug-in's effects show. members.cpp registers them by name.
namespace sim::game_functions {

// Hooked by the plug-in.
void InitGame(AShooterGameMode*, FString* map_name, FString* options, FString* error_message);
bool AllowDinoTame(AShooterGameState*, APrimalDinoCharacter*, AShooterPlayerController*);
bool DinoTryMultiUse(APrimalDinoCharacter*, APlayerController*, int32_t use_index);
bool AddToTribe(AShooterPlayerState*, FTribeData* new_tribe, bool merge_tribe, bool force,
                bool is_from_invite, APlayerController* inviter);
void TameDino(APrimalDinoCharacter*, AShooterPlayerController*, bool ignore_max_tame_limit,
              int32_t override_taming_team, bool prevent_name_dialog, bool skip_tamed_levels);
void ServerRequestDownloadDino(AShooterPlayerController*, UploadedDinoRecord);
AActor* SpawnActor(AShooterPlayerController*, FString* blueprint_path, float spawn_distance,
                   float y_offset, float z_offset, bool defer_begin_play);
bool Die(APrimalDinoCharacter*, float killing_damage, FDamageEvent*, AController* killer,
         AActor* damage_causer);
void Destroyed(APrimalDinoCharacter*);
bool StructureTryMultiUse(APrimalStructure*, APlayerController*, int32_t use_index);
void InitDownloadedTamedDino(APrimalDinoCharacter*, AShooterPlayerController* tamer, int32_t team);
bool ServerDownloadDino(AShooterPlayerController*, UploadedDinoRecord);
bool AllowUseInInventory(UPrimalItem*, bool is_remote_inventory, AShooterPlayerController*,
                         bool dont_check_actor);
bool AllowSlotting(UPrimalItem*, UPrimalInventoryComponent*, bool force);
bool BPServerHandleNetExecCommand(AActor*, APlayerController*, FName command,
                                  FBPNetExecParams* params);
void OnWeaponEquipped(AShooterCharacter*, AShooterWeapon*);

// Called by the plug-in.
void* Malloc(std::size_t bytes, uint32_t alignment);
void* Realloc(void* pointer, std::size_t bytes);
void Free(void* pointer);
bool IsA(UObjectBaseUtility*, UClass*);
void GetFullName(UObjectBaseUtility*, FString* out, UObject* stop);
UObject* GetDefaultObject(UClass*, bool create_if_needed);
UClass* DinoStaticClass();
AController* GetOwnerController(AActor*);
bool IsInTribe(AShooterPlayerState*);
AShooterCharacter* GetPlayerCharacter(AShooterPlayerController*);
AActor* GetAimedActor(APrimalCharacter*, int32_t channel, UActorComponent** hit_component,
                      float max_distance, float check_radius, int32_t* hit_body_index,
                      FHitResult* out_hit, bool force_use_camera, bool ignore_selected,
                      bool use_view);
void StartUnequip(AShooterWeapon*);
bool SphereOverlapActors(UObject* world_context, FVector centre, float radius,
                         TArray<uint8_t>* object_types, UClass* class_filter,
                         TArray<AActor*>* ignore, TArray<AActor*>* out_actors);
void NameToString(FName*, FString* out);
void RconSendMessage(RCONClientConnection*, int32_t request_id, int32_t type, FString* text);
void ClientNotification(AShooterPlayerController*, FString* text, FLinearColor, float scale,
                        float time, UTexture2D* icon, USoundBase* sound);
void ClientChatMessage(AShooterPlayerController*, ChatMessageRecord);
void ClientServerChatDirectMessage(AShooterPlayerController*, FString* text, FLinearColor, bool);

}  // namespace sim::game_functions
