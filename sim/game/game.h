#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/game/names.h"
#include "sim/game/objects.h"

namespace sim {

struct PlayerSpec {
  std::string name;
  int32_t id = 0;  // the player id
  uint64_t steam_id = 0;
  int32_t tribe = 0;  // 0: not in a tribe
  bool dead = false;
};

// The stand-in game's world and everything in it. Owns every object it makes; an actor taken out
// of the level stays alive (marked destroyed) until the game ends, so stale pointers stay valid.
class Game {
 public:
  Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  World& world() { return *world_; }
  Level& level() { return *level_; }
  GameMode& game_mode() { return *game_mode_; }
  GameState& game_state() { return *game_state_; }

  // The class of a creature kind given as "/Game/.../X.X" or "Blueprint'/Game/.../X.X'", made on
  // first use: class "X_C" whose default object is "X_C /Game/.../X.Default__X_C". Null when the
  // text is no such path.
  Class* CreatureClass(std::string_view kind);
  // A creature class whose default object has exactly this full name.
  Class& CreatureClassNamed(std::string_view default_full_name);
  // The class of an item given as "/Game/.../X.X" (or null when the text is no such path).
  Class* ItemClass(std::string_view path);

  ShooterPlayerController& AddPlayer(const PlayerSpec& who);
  Dino& AddDino(std::string name, Class& kind, int32_t team, FVector at = {});
  Structure& AddStructure(std::string name, FVector at = {});
  Actor& AddActor(std::string name);  // an actor that is no creature
  Item& AddItem(std::string name, Class& cls);
  Weapon& AddWeapon(Item& item);
  void AddNullActor();  // a null slot in the level's actor array

  // Spawns a creature the way the game does (a generated name), in the level.
  Dino& SpawnDino(Class& kind, int32_t team, FVector at);
  // Takes an actor out of the level's actor array.
  void RemoveFromLevel(Actor& actor);

  std::vector<ShooterPlayerController*> Players() const { return players_; }
  // The team a player's creatures belong to: the tribe id, else the player id.
  static int32_t TeamOf(const ShooterPlayerController& player);
  // Where an actor stands, or the origin when it (or its root component) is missing.
  static FVector LocationOf(const Actor* actor);

  // The world's own count of living tamed creatures (of player teams, game_facts::IsPlayerTeam),
  // per team and kind path.
  std::map<int32_t, std::map<std::string, int>> Truth() const;

  // The uploaded-creature records that the game's download functions received, in order.
  std::vector<UploadedDinoRecord>& received_uploads() { return received_uploads_; }

  // A fault for testing how callers survive one: while set, the game function of that name
  // ("UObjectBaseUtility.GetFullName", "UObjectBaseUtility.IsA" or "AActor.GetOwnerController")
  // throws
  // std::runtime_error("NAME failed"). Empty: none fails.
  void set_failing(std::string function) { failing_ = std::move(function); }
  void FailIfSet(const char* function) const;

 private:
  template <typename T>
  T& Make(Class& cls, std::string name, std::string full_name);
  template <typename T>
  T& MakeActor(Class& cls, std::string name, FVector at = {});
  // The class that the blueprint at `path` makes, under `super`, made on first use.
  Class* BlueprintClass(std::string_view path, Class* super);
  Class& MakeClass(std::string class_name, std::string package, Class* super,
                   std::string default_full_name, std::string kind_path);
  std::string NextName(const Class& cls);

  std::vector<std::unique_ptr<Object>> objects_;
  std::map<std::string, std::unique_ptr<Class>, std::less<>> classes_;  // by default full name
  std::vector<ShooterPlayerController*> players_;
  std::vector<UploadedDinoRecord> received_uploads_;
  std::string failing_;
  World* world_ = nullptr;
  Level* level_ = nullptr;
  GameMode* game_mode_ = nullptr;
  GameState* game_state_ = nullptr;
  int next_serial_ = 0;
};

}  // namespace sim
