#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/game_facts.h"
#include "host/game_types.h"

// The stand-in game's objects. Each struct is the game's own layout of one class; plug-ins see
// the matching opaque type from host/game_types.h (same address) and reach these members only
// through the names registered in members.cpp. Fields that plug-ins read by name keep the host's
// types, so the registration can check them against the game table.
namespace sim {

struct Class;

struct Object {
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
  static Class* StaticClass();

  bool IsA(const Class* of) const;

  UClass* cls = nullptr;  // "UObjectBase.Class"
  std::string full_name;  // what "UObjectBaseUtility.GetFullName" reports
  std::string name;       // the short name shown in events and used by scripts
};

struct Class : Object {
  static Class* StaticClass();  // the class of classes
  bool IsChildOf(const Class* base) const;

  Class* super = nullptr;
  std::string class_name;         // such as "Dodo_Character_BP_C"
  std::string default_full_name;  // full name of the class default object
  std::string kind_path;          // a creature kind's "Blueprint'/Game/...'" path; empty otherwise
  std::function<std::unique_ptr<Object>()> make;  // a bare instance of the native type
  std::unique_ptr<Object> default_object;         // made on first request
};

struct SceneComponent : Object {
  static Class* StaticClass();
  FVector relative_location;  // "USceneComponent.RelativeLocation"
};

struct Actor : Object {
  static Class* StaticClass();
  int32_t targeting_team = 0;                 // "AActor.TargetingTeam"
  USceneComponent* root_component = nullptr;  // "AActor.RootComponent"
  bool destroyed = false;                     // taken out of the level by "Destroyed"
};

struct Character : Actor {
  static Class* StaticClass();
  static constexpr uint32_t kDeadBit = 5;  // "APrimalCharacter.bIsDead" within character_flags
  bool dead() const { return (character_flags >> kDeadBit) & 1u; }
  void set_dead(bool dead) {
    character_flags =
        dead ? character_flags | (1u << kDeadBit) : character_flags & ~(1u << kDeadBit);
  }
  uint32_t character_flags = 0b1001;  // neighbouring flags set, so a wrong mask shows
};

struct Dino : Character {
  static Class* StaticClass();
  int32_t taming_team_id = 0;  // "APrimalDinoCharacter.TamingTeamID"
};

struct ShooterPlayerController;
struct Weapon;

// The arguments of the last "APrimalCharacter.GetAimedActor" call, for checking callers.
struct AimQuery {
  int32_t channel = 0;
  bool hit_component = false;  // whether a pointer was passed
  float max_distance = 0, check_radius = 0;
  bool hit_body_index = false, out_hit = false;
  bool force_use_camera = false, ignore_selected = false, use_view = false;
};

// A player's body in the world.
struct Survivor : Character {
  static Class* StaticClass();
  ShooterPlayerController* controller = nullptr;
  Actor* aimed = nullptr;  // what "GetAimedActor" answers
  Weapon* weapon = nullptr;
  std::optional<AimQuery> last_aim_query;
};

struct TribeData {
  int32_t tribe_id = 0;  // "FTribeData.TribeID"; 0 outside a tribe
  FString tribe_name;
};

struct PlayerState : Actor {
  static Class* StaticClass();
  int32_t player_id = 0;  // "APlayerState.PlayerId"
  FString player_name;    // "APlayerState.PlayerName"
};

struct ShooterPlayerState : PlayerState {
  static Class* StaticClass();
  TribeData tribe;  // "AShooterPlayerState.MyTribeData"
  ShooterPlayerController* controller = nullptr;
};

struct Controller : Actor {
  static Class* StaticClass();
  APlayerState* player_state = nullptr;  // "AController.PlayerState"
};

struct PlayerController : Controller {
  static Class* StaticClass();
};

struct ShooterPlayerController : PlayerController {
  static Class* StaticClass();
  Survivor* character = nullptr;
  uint64_t steam_id = 0;
  bool dead = false;
};

struct Item : Object {
  static Class* StaticClass();
  uint8_t item_type = 0;                      // "UPrimalItem.MyItemType"
  uint8_t consumable_type = 0;                // "UPrimalItem.MyConsumableType"
  TArray<FCustomItemData> custom_item_datas;  // "UPrimalItem.CustomItemDatas"
  Weapon* weapon = nullptr;                   // the weapon it is equipped as, once made
  Class* spawns = nullptr;  // the creature a use brings into the level, for a spawning item
  bool keeps_path = false;  // a soul trap: it keeps its creature as a path, not as a class
};

struct Weapon : Actor {
  static Class* StaticClass();
  UPrimalItem* associated_item = nullptr;  // "AShooterWeapon.AssociatedPrimalItem"
  Survivor* holder = nullptr;
};

struct Structure : Actor {
  static Class* StaticClass();
};

struct Level : Object {
  static Class* StaticClass();
  TArray<AActor*> actors;  // "ULevelBase.Actors"; may hold nulls
};

struct World : Object {
  static Class* StaticClass();
  ULevel* persistent_level = nullptr;  // "UWorld.PersistentLevel"
};

struct GameMode : Actor {
  static Class* StaticClass();
};

struct GameState : Actor {
  static Class* StaticClass();
};

// The host's and the game's views of one object share its address.
template <typename HostType>
HostType* ToHost(Object* object) {
  return reinterpret_cast<HostType*>(object);
}

// The game object behind a host pointer; null stays null. The caller knows the object's type.
template <typename SimType>
SimType* FromHost(const void* pointer) {
  return static_cast<SimType*>(static_cast<Object*>(const_cast<void*>(pointer)));
}

// The parameter block of a client's net command; the game reads the command's object from the
// first object parameter.
struct NetExecParams {
  int32_t int_params[3] = {};
  float float_params[3] = {};
  UObject* object_params[3] = {};
  FString string_param;
};
static_assert(offsetof(NetExecParams, object_params) == game_facts::kNetExecObjectOffset);

// An RCON client's connection; answers sent on it are kept in order.
struct RconConnection {
  struct Reply {
    int32_t id;
    int32_t type;
    std::string text;
  };
  std::vector<Reply> replies;
};

}  // namespace sim
