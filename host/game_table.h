#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "host/game_name.h"
#include "host/game_types.h"

// Every game function, field and bit field that the plug-in reaches, with its type. Naming a
// member that is not listed here does not compile, and the host registers each of them with
// exactly this type, so both sides agree on every signature.
//
// Functions take the object first; results written through a pointer are marked "out".

// Functions that the plug-in hooks, in the order it installs them: class, function, type. The
// game name "Class.Function" (TW_GAME_NAME), the plug-in's detour (hooks/hooks.h) and the
// stand-in game's own function (sim/game/functions.h) all follow from these two identifiers, so
// hooking one more function is a row here and the detour's body.
#define TW_HOOKED_FUNCTIONS(X)                                                                     \
  X(AShooterGameMode, InitGame,                                                                    \
    void(AShooterGameMode*, FString * map_name, FString * options, FString * error_message))       \
  X(AShooterGameState, AllowDinoTame,                                                              \
    bool(AShooterGameState*, APrimalDinoCharacter*, AShooterPlayerController*))                    \
  X(APrimalDinoCharacter, TryMultiUse,                                                             \
    bool(APrimalDinoCharacter*, APlayerController*, int32_t use_index))                            \
  X(AShooterPlayerState, AddToTribe,                                                               \
    bool(AShooterPlayerState*, FTribeData * new_tribe, bool merge_tribe, bool force,               \
         bool is_from_invite, APlayerController* inviter))                                         \
  X(APrimalDinoCharacter, TameDino,                                                                \
    void(APrimalDinoCharacter*, AShooterPlayerController*, bool ignore_max_tame_limit,             \
         int32_t override_taming_team, bool prevent_name_dialog, bool skip_tamed_levels))          \
  X(AShooterPlayerController, ServerRequestDownloadDino_Implementation,                            \
    void(AShooterPlayerController*, UploadedDinoRecord))                                           \
  X(AShooterPlayerController, SpawnActor,                                                          \
    AActor*(AShooterPlayerController*, FString * blueprint_path, float spawn_distance,             \
            float y_offset, float z_offset, bool defer_begin_play))                                \
  X(APrimalDinoCharacter, Die,                                                                     \
    bool(APrimalDinoCharacter*, float killing_damage, FDamageEvent*, AController* killer,          \
         AActor* damage_causer))                                                                   \
  X(APrimalDinoCharacter, Destroyed, void(APrimalDinoCharacter*))                                  \
  X(APrimalStructure, TryMultiUse, bool(APrimalStructure*, APlayerController*, int32_t use_index)) \
  X(APrimalDinoCharacter, InitDownloadedTamedDino,                                                 \
    void(APrimalDinoCharacter*, AShooterPlayerController * tamer, int32_t team))                   \
  X(AShooterPlayerController, ServerDownloadDino,                                                  \
    bool(AShooterPlayerController*, UploadedDinoRecord))                                           \
  X(UPrimalItem, AllowUseInInventory,                                                              \
    bool(UPrimalItem*, bool is_remote_inventory, AShooterPlayerController*,                        \
         bool dont_check_actor))                                                                   \
  X(UPrimalItem, AllowSlotting, bool(UPrimalItem*, UPrimalInventoryComponent*, bool force))        \
  X(AActor, BPServerHandleNetExecCommand,                                                          \
    bool(AActor*, APlayerController*, FName command, FBPNetExecParams * params))                   \
  X(AShooterCharacter, OnWeaponEquipped, void(AShooterCharacter*, AShooterWeapon*))

// The game's name of a hooked function, "Class.Function", as one string literal.
#define TW_GAME_NAME(CLASS, FUNCTION) #CLASS "." #FUNCTION

// Functions the plug-in only calls.
#define TW_CALLED_FUNCTIONS(X)                                                                    \
  X("FMemory.Malloc", void*(std::size_t bytes, uint32_t alignment))                               \
  X("FMemory.Realloc", void*(void* pointer, std::size_t bytes))                                   \
  X("FMemory.Free", void(void* pointer))                                                          \
  X("UObjectBaseUtility.IsA", bool(UObjectBaseUtility*, UClass*))                                 \
  X("UObjectBaseUtility.GetFullName", void(UObjectBaseUtility*, FString * out, UObject * stop))   \
  X("UClass.GetDefaultObject", UObject*(UClass*, bool create_if_needed))                          \
  X("APrimalDinoCharacter.GetPrivateStaticClass", UClass*())                                      \
  X("AActor.GetOwnerController", AController*(AActor*))                                           \
  X("AShooterPlayerState.IsInTribe", bool(AShooterPlayerState*))                                  \
  X("AShooterPlayerController.GetPlayerCharacter", AShooterCharacter*(AShooterPlayerController*)) \
  X("APrimalCharacter.GetAimedActor",                                                             \
    AActor*(APrimalCharacter*, int32_t channel, UActorComponent * *hit_component,                 \
            float max_distance, float check_radius, int32_t* hit_body_index, FHitResult* out_hit, \
            bool force_use_camera, bool ignore_selected, bool use_view))                          \
  X("AShooterWeapon.StartUnequip", void(AShooterWeapon*))                                         \
  X("UKismetSystemLibrary.SphereOverlapActors_NEW",                                               \
    bool(UObject * world_context, FVector centre, float radius, TArray<uint8_t>* object_types,    \
         UClass* class_filter, TArray<AActor*>* ignore, TArray<AActor*>* out_actors))             \
  X("FName.ToString", void(FName*, FString * out))                                                \
  X("RCONClientConnection.SendMessageW",                                                          \
    void(RCONClientConnection*, int32_t request_id, int32_t type, FString * text))                \
  X("AShooterPlayerController.ClientServerSOTFNotificationCustom",                                \
    void(AShooterPlayerController*, FString * text, FLinearColor, float scale, float time,        \
         UTexture2D* icon, USoundBase* sound))                                                    \
  X("AShooterPlayerController.ClientChatMessage",                                                 \
    void(AShooterPlayerController*, ChatMessageRecord))                                           \
  X("AShooterPlayerController.ClientServerChatDirectMessage",                                     \
    void(AShooterPlayerController*, FString * text, FLinearColor, bool))

// Fields: name, owner, type.
#define TW_FIELDS(X)                                                     \
  X("UObjectBase.Class", UObjectBase, UClass*)                           \
  X("UWorld.PersistentLevel", UWorld, ULevel*)                           \
  X("ULevelBase.Actors", ULevelBase, TArray<AActor*>)                    \
  X("AActor.TargetingTeam", AActor, int32_t)                             \
  X("AActor.RootComponent", AActor, USceneComponent*)                    \
  X("USceneComponent.RelativeLocation", USceneComponent, FVector)        \
  X("APrimalDinoCharacter.TamingTeamID", APrimalDinoCharacter, int32_t)  \
  X("AController.PlayerState", AController, APlayerState*)               \
  X("APlayerState.PlayerId", APlayerState, int32_t)                      \
  X("APlayerState.PlayerName", APlayerState, FString)                    \
  X("AShooterPlayerState.MyTribeData", AShooterPlayerState, FTribeData)  \
  X("FTribeData.TribeID", FTribeData, int32_t)                           \
  X("AShooterWeapon.AssociatedPrimalItem", AShooterWeapon, UPrimalItem*) \
  X("UPrimalItem.MyItemType", UPrimalItem, uint8_t)                      \
  X("UPrimalItem.MyConsumableType", UPrimalItem, uint8_t)                \
  X("UPrimalItem.CustomItemDatas", UPrimalItem, TArray<FCustomItemData>)

// Bit fields: name, owner.
#define TW_BIT_FIELDS(X) X("APrimalCharacter.bIsDead", APrimalCharacter)

template <GameName Name>
struct GameFunction;  // ::Type is the function type of the game function called Name
template <GameName Name>
struct GameField;  // ::Owner holds a field called Name of type ::Type
template <GameName Name>
struct GameBitField;  // ::Owner holds a bit field called Name

#define TW_DECLARE_FUNCTION(NAME, ...) \
  template <>                          \
  struct GameFunction<NAME> {          \
    using Type = __VA_ARGS__;          \
  };
#define TW_DECLARE_FIELD(NAME, OWNER, ...) \
  template <>                              \
  struct GameField<NAME> {                 \
    using Owner = OWNER;                   \
    using Type = __VA_ARGS__;              \
  };
#define TW_DECLARE_BIT_FIELD(NAME, OWNER) \
  template <>                             \
  struct GameBitField<NAME> {             \
    using Owner = OWNER;                  \
  };
#define TW_DECLARE_HOOKED_FUNCTION(CLASS, FUNCTION, ...) \
  TW_DECLARE_FUNCTION(TW_GAME_NAME(CLASS, FUNCTION), __VA_ARGS__)
TW_HOOKED_FUNCTIONS(TW_DECLARE_HOOKED_FUNCTION)
TW_CALLED_FUNCTIONS(TW_DECLARE_FUNCTION)
TW_FIELDS(TW_DECLARE_FIELD)
TW_BIT_FIELDS(TW_DECLARE_BIT_FIELD)
#undef TW_DECLARE_FUNCTION
#undef TW_DECLARE_HOOKED_FUNCTION
#undef TW_DECLARE_FIELD
#undef TW_DECLARE_BIT_FIELD

static_assert(std::is_same_v<GameFunction<"FMemory.Malloc">::Type, host_memory::MallocFn>);
static_assert(std::is_same_v<GameFunction<"FMemory.Realloc">::Type, host_memory::ReallocFn>);
static_assert(std::is_same_v<GameFunction<"FMemory.Free">::Type, host_memory::FreeFn>);
