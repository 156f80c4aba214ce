#pragma once

#include <cstddef>
#include <cstdint>

// Numbers the game fixes, named once: the plug-in decides by them, the stand-in game behaves by
// them and the benchmarks build their worlds with them.
namespace game_facts {

// Player ids and tribe ids are above this number; the game's own teams (0 for wild creatures)
// are at or below it, and their creatures never count against anyone.
inline constexpr int32_t kMaxNonPlayerTeam = 50000;
// A team number in the players' range whose creatures the full recount never counts, so their
// deaths are not taken off either; every other count change treats it as any player team.
inline constexpr int32_t kUnrecountedTeam = 2000000000;

// A team whose creatures' gains and losses are counted.
constexpr bool IsPlayerTeam(int32_t team) { return team > kMaxNonPlayerTeam; }
// A team whose creatures the full recount counts and whose creatures' deaths are taken off.
constexpr bool IsRecountedTeam(int32_t team) {
  return IsPlayerTeam(team) && team != kUnrecountedTeam;
}

// Use indexes of "APrimalDinoCharacter.TryMultiUse".
inline constexpr int32_t kUnclaimUseIndex = 121;  // the owning team gives the creature up
inline constexpr int32_t kClaimUseIndex = 122;    // the creature becomes the user's team's
// The use index of "APrimalStructure.TryMultiUse" that starts cloning.
inline constexpr int32_t kCloneUseIndex = 85821;
// Every creature within this distance (game units) of a cloning structure takes part in cloning.
inline constexpr float kCloneScanRadius = 900.0f;

// A soul trap keeps its creature's path, without "Blueprint'...'", at this index of a custom
// data entry's strings (the eleventh).
inline constexpr int32_t kSoulTrapPathIndex = 10;

// An item of this item type and consumable type releases a creature when used.
inline constexpr uint8_t kConsumableItemType = 4;
inline constexpr uint8_t kSpawnerConsumableType = 3;

// Where the parameter block of a client's net command keeps the object the command acts on.
inline constexpr std::size_t kNetExecObjectOffset = 24;

}  // namespace game_facts
