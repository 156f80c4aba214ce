#pragma once

#include "host/game_table.h"

// The stand-in game's own functions, one per name of the game table, each doing the least that
// the real game does so that a plug-in's effects show. members.cpp registers them by name.

// The stand-in's own version of a hooked function: Class_Function.
#define TW_SIM_FUNCTION(CLASS, FUNCTION) CLASS##_##FUNCTION

namespace sim::game_functions {

// Hooked by the plug-in, one per row of TW_HOOKED_FUNCTIONS; hooked_functions.cpp defines them.
#define TW_DECLARE_SIM_FUNCTION(CLASS, FUNCTION, ...) \
  GameFunction<TW_GAME_NAME(CLASS, FUNCTION)>::Type TW_SIM_FUNCTION(CLASS, FUNCTION);
TW_HOOKED_FUNCTIONS(TW_DECLARE_SIM_FUNCTION)
#undef TW_DECLARE_SIM_FUNCTION

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
