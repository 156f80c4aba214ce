#pragma once

#include <cstddef>
#include <cstdint>

#include "host/fstring.h"

// The game's value types as plug-ins see them, and its classes as opaque types: a plug-in holds
// pointers to game objects and reaches their members only by name (address.h, game_access.h).
// The classes keep the game's inheritance so a creature converts to an actor or an object.

struct FVector {
  float X = 0, Y = 0, Z = 0;
};

// Linear colour, components nominally 0 to 1.
struct FLinearColor {
  float R = 0, G = 0, B = 0, A = 0;
};

// An interned game name; "FName.ToString" gives its text.
struct FName {
  int32_t ComparisonIndex = 0;
  int32_t Number = 0;
};

namespace EChatSendMode {
enum Type { GlobalChat, GlobalTribeChat, LocalChat, AllianceChat, MAX };
}

#define TW_OPAQUE(Name, Base)   \
  struct Name : Base {          \
    Name() = delete;            \
    Name(const Name&) = delete; \
  }
struct UObjectBase {
  UObjectBase() = delete;
  UObjectBase(const UObjectBase&) = delete;
};
TW_OPAQUE(UObjectBaseUtility, UObjectBase);
TW_OPAQUE(UObject, UObjectBaseUtility);
TW_OPAQUE(UField, UObject);
TW_OPAQUE(UStruct, UField);
TW_OPAQUE(UClass, UStruct);
TW_OPAQUE(UWorld, UObject);
TW_OPAQUE(ULevelBase, UObject);
TW_OPAQUE(ULevel, ULevelBase);
TW_OPAQUE(UActorComponent, UObject);
TW_OPAQUE(USceneComponent, UActorComponent);
TW_OPAQUE(UPrimalItem, UObject);
TW_OPAQUE(UPrimalInventoryComponent, UActorComponent);
TW_OPAQUE(UTexture2D, UObject);
TW_OPAQUE(USoundBase, UObject);
TW_OPAQUE(AActor, UObject);
TW_OPAQUE(APrimalCharacter, AActor);
TW_OPAQUE(APrimalDinoCharacter, APrimalCharacter);
TW_OPAQUE(AShooterCharacter, APrimalCharacter);
TW_OPAQUE(AController, AActor);
TW_OPAQUE(APlayerController, AController);
TW_OPAQUE(AShooterPlayerController, APlayerController);
TW_OPAQUE(APlayerState, AActor);
TW_OPAQUE(AShooterPlayerState, APlayerState);
TW_OPAQUE(AShooterWeapon, AActor);
TW_OPAQUE(APrimalStructure, AActor);
TW_OPAQUE(AShooterGameMode, AActor);
TW_OPAQUE(AShooterGameState, AActor);
#undef TW_OPAQUE

// Records the plug-in only passes along or reads by name.
struct FTribeData {
  FTribeData() = delete;
};
struct FDamageEvent {
  FDamageEvent() = delete;
};
struct FHitResult {
  FHitResult() = delete;
};
struct FBPNetExecParams {
  FBPNetExecParams() = delete;
};
struct RCONClientConnection {
  RCONClientConnection() = delete;
};

// One RCON request as the framework hands it to a command callback.
struct RCONPacket {
  int32_t Length = 0;
  int32_t Id = 0;  // the request id that the answer must carry
  int32_t Type = 0;
  FString Body;
};

// One custom data entry of an item; cryopods and soul traps keep their stored creature here.
struct FCustomItemData {
  FName CustomDataName;
  TArray<FString> CustomDataStrings;  // a soul trap's stored path is the eleventh
  TArray<float> CustomDataFloats;
  TArray<double> CustomDataDoubles;
  TArray<UClass*> CustomDataClasses;  // a cryopod's stored creature classes
  TArray<UObject*> CustomDataObjects;
  TArray<TArray<uint8_t>> CustomDataBytes;
  TArray<FName> CustomDataNames;
};
static_assert(sizeof(FCustomItemData) == 120);

// The game's chat message record (144 bytes). Copies are deep.
struct ChatMessageRecord {
  FString SenderName;
  FString SenderSteamName;
  FString SenderTribeName;
  uint32_t SenderId = 0;
  FString Message;
  FString Receiver;
  int32_t SenderTeamIndex = 0;
  double ReceivedTime = -1.0;
  uint8_t SendMode = 0;
  uint32_t RadioFrequency = 0;
  uint8_t ChatType = 0;
  UTexture2D* SenderIcon = nullptr;
  FString UserId;
};
static_assert(sizeof(ChatMessageRecord) == 144);
static_assert(offsetof(ChatMessageRecord, Message) == 56);
static_assert(offsetof(ChatMessageRecord, ReceivedTime) == 96);
static_assert(offsetof(ChatMessageRecord, RadioFrequency) == 108);
static_assert(offsetof(ChatMessageRecord, SenderIcon) == 120);

// The game's record of one uploaded creature (288 bytes), passed by value to the download
// functions. Copies are deep: every string and the byte array.
struct UploadedDinoRecord {
  int32_t Version = 0;
  FString DinoName;
  UClass* DinoClass = nullptr;  // the kind of the stored creature
  TArray<uint8_t> DinoData;
  FString DinoNameInMap;
  FString TamerName;
  FString Stats[12];
  int32_t DinoID1 = 0;
  int32_t DinoID2 = 0;
  int32_t UploadTime = 0;
  int32_t Flags = 0;
};
static_assert(sizeof(UploadedDinoRecord) == 288);
static_assert(offsetof(UploadedDinoRecord, DinoClass) == 24);
static_assert(offsetof(UploadedDinoRecord, DinoData) == 32);
static_assert(offsetof(UploadedDinoRecord, Stats) == 80);
static_assert(offsetof(UploadedDinoRecord, DinoID1) == 272);
